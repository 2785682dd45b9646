#include "phidget/library/Phidget21Backend.h"

#include "phidget/library/BoardSends.h"
#include "phidget/library/LibraryFunctions.h"

#include <QLoggingCategory>

#include <algorithm>

namespace glimrow {

Q_LOGGING_CATEGORY(lcPhidget21, "glimrow.phidget21", QtWarningMsg)

using namespace phidget21;

struct Phidget21Backend::Device {
    Device(std::shared_ptr<const Api> library, BoardInfo board, Phidget21Backend& owner)
        : api(std::move(library)), info(std::move(board)), backend(&owner)
    {
    }
    ~Device()
    {
        close();
        thread.reset(); // before the handle its calls went to
        sends.reset();
        if (handle)
            api->CPhidget_delete(handle);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Creates the handle of the board's kind and opens it on the board's serial number.
    // Empty on success, else what failed.
    QString open(int (*create)(CPhidgetHandle*))
    {
        if (int code = create(&handle); code != EPHIDGET_OK) {
            handle = nullptr;
            return api->describe(code);
        }
        api->CPhidget_set_OnAttach_Handler(handle, &Phidget21Backend::onDeviceAttach, this);
        api->CPhidget_set_OnError_Handler(handle, &Phidget21Backend::onDeviceError, this);
        if (int code = api->CPhidget_open(handle, info.serial); code != EPHIDGET_OK)
            return api->describe(code);
        opened = true;
        if (info.type == phidget_type::TextLCD || info.type == phidget_type::TextLED)
            startSendThread();
        return {};
    }
    // What was sent goes out first (shutdown's blank rows included); no handler runs once this
    // returns.
    void close()
    {
        if (sends)
            sends->close(std::chrono::seconds(2));
        if (opened)
            api->CPhidget_close(handle);
        opened = false;
        backend = nullptr;
    }
    void check(int code, const char* call) const
    {
        if (code != EPHIDGET_OK)
            refuseCall(backend, info.serial, call, api->describe(code));
    }

    const std::shared_ptr<const Api> api;
    const BoardInfo info;
    Phidget21Backend* backend; // null once closed: the board may outlive the backend
    CPhidgetHandle handle = nullptr;
    bool opened = false;
    // A display's rows: the library writes them packet by packet while the caller waits, so
    // they are written on a thread of the board's own.
    std::unique_ptr<BoardSends> sends;
    std::unique_ptr<SendThread> thread;

private:
    void startSendThread()
    {
        sends = backend->makeSends(info.serial, 1,
                                   [library = api](int code) { return library->describe(code); });
        thread = std::make_unique<SendThread>();
    }
};

namespace {

using Device = Phidget21Backend::Device;

// One attach of a board; calls go to its handle, which the library keeps attached to the
// board while it is plugged in.
class Board21 : public LibraryBoard {
public:
    explicit Board21(std::shared_ptr<Device> device)
        : LibraryBoard(device->info), m_device(std::move(device))
    {
    }

protected:
    const Api& api() const { return *m_device->api; }
    CPhidgetHandle handle() const { return m_device->handle; }
    void check(int code, const char* call) const { m_device->check(code, call); }
    // Writes a display row on the board's send thread; the window goes on at once.
    void sendRow(int row, int rows, int columns, const char* name,
                 int (*setDisplayString)(CPhidgetHandle, int, char*), const QString& text)
    {
        if (row < 0 || row >= rows)
            throw PhidgetError("row index out of range");
        if (!m_device->opened)
            throw PhidgetError(std::string(name) + ": the board is closed");
        QByteArray characters = text.left(columns).toLatin1();
        CPhidgetHandle board = handle();
        SendThread* thread = m_device->thread.get();
        m_device->sends->send(
            0, row, {{name, [=](phidget22::AsyncCallback done, void* ctx) {
                          thread->run([=]() mutable {
                              done(nullptr, ctx, setDisplayString(board, row, characters.data()));
                          });
                      }}});
    }

private:
    std::shared_ptr<Device> m_device;
};

class InterfaceKit21 final : public Board21, public PhidgetInterfaceKit {
public:
    using Board21::Board21;
    int NumOutputs() const override
    {
        int count = 0;
        check(api().CPhidgetInterfaceKit_getOutputCount(handle(), &count), "getOutputCount");
        return count;
    }
    void setOutputState(int output, bool on) override
    {
        check(api().CPhidgetInterfaceKit_setOutputState(handle(), output, on ? 1 : 0),
              "setOutputState");
    }
};

class LED21 final : public Board21, public PhidgetLED {
public:
    using Board21::Board21;
    int LEDCount() const override
    {
        int count = 0;
        check(api().CPhidgetLED_getLEDCount(handle(), &count), "getLEDCount");
        return count;
    }
    void setDiscreteLED(int led, int brightness) override
    {
        check(api().CPhidgetLED_setDiscreteLED(handle(), led, brightness), "setDiscreteLED");
    }
};

class TextLCD21 final : public Board21, public PhidgetTextLCD {
public:
    using Board21::Board21;
    void setDisplayString(int row, const QString& text) override
    {
        sendRow(row, 2, kColumns, "setDisplayString", api().CPhidgetTextLCD_setDisplayString, text);
    }
    // The library's brightness runs 0-255. Older TextLCDs answer "unsupported": their
    // backlight has one level, which is no fault of the board.
    void setBrightness(int brightness) override
    {
        if (!m_brightnessControl)
            return;
        const int code = api().CPhidgetTextLCD_setBrightness(
            handle(), std::clamp(brightness, 0, 100) * 255 / 100);
        if (code == EPHIDGET_UNSUPPORTED) {
            m_brightnessControl = false;
            return;
        }
        check(code, "setBrightness");
    }
    void setBacklight(bool on) override
    {
        check(api().CPhidgetTextLCD_setBacklight(handle(), on ? 1 : 0), "setBacklight");
    }
    void setCursorOn(bool on) override
    {
        check(api().CPhidgetTextLCD_setCursorOn(handle(), on ? 1 : 0), "setCursorOn");
    }

private:
    bool m_brightnessControl = true;
};

class TextLED21 final : public Board21, public PhidgetTextLED {
public:
    using Board21::Board21;
    void setDisplayString(int row, const QString& text) override
    {
        // Up to four rows (the 4x8 board); the library refuses the rows a 1x8 does not have.
        sendRow(row, 4, kColumns, "setDisplayString", api().CPhidgetTextLED_setDisplayString, text);
    }
    void setBrightness(int brightness) override
    {
        check(api().CPhidgetTextLED_setBrightness(handle(), brightness), "setBrightness");
    }
};

class Servo21 final : public Board21, public PhidgetServo {
public:
    using Board21::Board21;
    void setMotorPosition(int motor, float position) override
    {
        check(api().CPhidgetServo_setPosition(handle(), motor, double(position)), "setPosition");
    }
    std::pair<double, double> MotorPositionRange(int motor) override
    {
        std::pair<double, double> range;
        check(api().CPhidgetServo_getPositionMin(handle(), motor, &range.first), "getPositionMin");
        check(api().CPhidgetServo_getPositionMax(handle(), motor, &range.second), "getPositionMax");
        return range;
    }
};

// The create function of a kind the program drives; null for any other type.
auto createFunction(const Api& api, const QString& type) -> int (*)(CPhidgetHandle*)
{
    if (type == phidget_type::InterfaceKit)
        return api.CPhidgetInterfaceKit_create;
    if (type == phidget_type::LED)
        return api.CPhidgetLED_create;
    if (type == phidget_type::TextLCD)
        return api.CPhidgetTextLCD_create;
    if (type == phidget_type::TextLED)
        return api.CPhidgetTextLED_create;
    if (type == phidget_type::Servo)
        return api.CPhidgetServo_create;
    return nullptr;
}

PhidgetBoardPtr makeBoard(const std::shared_ptr<Device>& device)
{
    const QString& type = device->info.type;
    if (type == phidget_type::InterfaceKit)
        return std::make_shared<InterfaceKit21>(device);
    if (type == phidget_type::LED)
        return std::make_shared<LED21>(device);
    if (type == phidget_type::TextLCD)
        return std::make_shared<TextLCD21>(device);
    if (type == phidget_type::TextLED)
        return std::make_shared<TextLED21>(device);
    return std::make_shared<Servo21>(device);
}

} // namespace

std::unique_ptr<Phidget21Backend> Phidget21Backend::load(const QString& file, QString* error)
{
    auto api = Api::load(file, error);
    if (!api)
        return nullptr;
    return std::unique_ptr<Phidget21Backend>(new Phidget21Backend(std::move(api)));
}

Phidget21Backend::Phidget21Backend(std::shared_ptr<const Api> api) : m_api(std::move(api)) {}

Phidget21Backend::~Phidget21Backend()
{
    // Closing stops the handlers, which hold pointers to this object and its devices; boards
    // still held elsewhere keep their handles until they go.
    if (m_managerHandle) {
        m_api->CPhidgetManager_close(m_managerHandle);
        m_api->CPhidgetManager_delete(m_managerHandle);
    }
    for (auto& [serial, device] : m_devices)
        device->close();
}

void Phidget21Backend::open(PhidgetManager& manager)
{
    setManager(manager);
    if (m_managerHandle)
        return;
    if (int code = m_api->CPhidgetManager_create(&m_managerHandle); code != EPHIDGET_OK) {
        m_managerHandle = nullptr;
        qCWarning(lcPhidget21) << "no Phidget manager:" << m_api->describe(code);
        return;
    }
    m_api->CPhidgetManager_set_OnAttach_Handler(m_managerHandle, &onManagerAttach, this);
    m_api->CPhidgetManager_set_OnDetach_Handler(m_managerHandle, &onManagerDetach, this);
    m_api->CPhidgetManager_set_OnError_Handler(m_managerHandle, &onManagerError, this);
    if (int code = m_api->CPhidgetManager_open(m_managerHandle); code != EPHIDGET_OK)
        qCWarning(lcPhidget21) << "the Phidget manager did not open:" << m_api->describe(code);
}

QString Phidget21Backend::description() const
{
    const char* version = nullptr;
    m_api->CPhidget_getLibraryVersion(&version);
    return QStringLiteral("Phidget library: ") +
           library::versionLine(QStringLiteral("libphidget21"), version);
}

int Phidget21Backend::onManagerAttach(CPhidgetHandle phid, void* self)
{
    auto* backend = static_cast<Phidget21Backend*>(self);
    const Api& api = *backend->m_api;
    const char* type = nullptr;
    int version = 0;
    BoardInfo info;
    if (api.CPhidget_getDeviceType(phid, &type) != EPHIDGET_OK ||
        api.CPhidget_getSerialNumber(phid, &info.serial) != EPHIDGET_OK)
        return 0; // a board that cannot say what it is cannot be driven or listed
    api.CPhidget_getDeviceVersion(phid, &version);
    info.type = libraryText(type);
    info.version = float(version);
    backend->post([backend, info] { backend->boardFound(info); });
    return 0;
}

int Phidget21Backend::onManagerDetach(CPhidgetHandle phid, void* self)
{
    auto* backend = static_cast<Phidget21Backend*>(self);
    int serial = 0;
    if (backend->m_api->CPhidget_getSerialNumber(phid, &serial) == EPHIDGET_OK)
        backend->post([backend, serial] { backend->boardDetached(serial); });
    return 0;
}

int Phidget21Backend::onManagerError(CPhidgetManagerHandle, void*, int code, const char* text)
{
    // The manager's own faults name no board, so no row can show them.
    qCWarning(lcPhidget21) << "Phidget manager error" << code << libraryText(text);
    return 0;
}

int Phidget21Backend::onDeviceAttach(CPhidgetHandle, void* device)
{
    auto* opened = static_cast<Device*>(device);
    Phidget21Backend* backend = opened->backend;
    const int serial = opened->info.serial;
    backend->post([backend, serial] { backend->deviceReady(serial); });
    return 0;
}

int Phidget21Backend::onDeviceError(CPhidgetHandle, void* device, int code, const char* text)
{
    auto* opened = static_cast<Device*>(device);
    Phidget21Backend* backend = opened->backend;
    const int serial = opened->info.serial;
    const QString description = libraryText(text);
    backend->post([=] { backend->boardError(serial, description, code); });
    return 0;
}

void Phidget21Backend::boardFound(const BoardInfo& info)
{
    if (m_devices.count(info.serial))
        return; // its open handle reports the attach itself
    const auto create = createFunction(*m_api, info.type);
    if (!create) {
        boardAttached(std::make_shared<LibraryBoard>(info)); // listed, not driven
        return;
    }
    auto device = std::make_shared<Device>(m_api, info, *this);
    if (QString failure = device->open(create); !failure.isEmpty()) {
        // Listed and marked, so the user sees the board that cannot be driven.
        qCWarning(lcPhidget21) << "board" << info.serial << "did not open:" << failure;
        boardAttached(std::make_shared<LibraryBoard>(info));
        boardError(info.serial, failure, 0);
        return;
    }
    m_devices.emplace(info.serial, std::move(device));
}

bool Phidget21Backend::sendsIdle() const
{
    return std::all_of(m_devices.begin(), m_devices.end(), [](const auto& device) {
        return !device.second->sends || device.second->sends->idle();
    });
}

void Phidget21Backend::deviceReady(int serial)
{
    const auto found = m_devices.find(serial);
    if (found != m_devices.end())
        boardAttached(makeBoard(found->second));
}

} // namespace glimrow
