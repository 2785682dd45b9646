#include "phidget/library/Phidget22Backend.h"

#include "phidget/library/BoardSends.h"
#include "phidget/library/LibraryFunctions.h"

#include <QLoggingCategory>

#include <algorithm>
#include <vector>

namespace glimrow {

Q_LOGGING_CATEGORY(lcPhidget22, "glimrow.phidget22", QtWarningMsg)

using namespace phidget22;

namespace {

// The channels the program drives on a board of a class, and how they are made.
struct ChannelKind {
    QString type; // the board's device type text
    int channelClass = 0;
    int (*create)(PhidgetHandle*) = nullptr;
    int (*destroy)(PhidgetHandle*) = nullptr;
};

std::optional<ChannelKind> channelKind(const Api& api, int deviceClass)
{
    switch (deviceClass) {
    case PHIDCLASS_LED:
        return ChannelKind{phidget_type::LED, PHIDCHCLASS_DIGITALOUTPUT,
                           api.PhidgetDigitalOutput_create, api.PhidgetDigitalOutput_delete};
    case PHIDCLASS_INTERFACEKIT:
        return ChannelKind{phidget_type::InterfaceKit, PHIDCHCLASS_DIGITALOUTPUT,
                           api.PhidgetDigitalOutput_create, api.PhidgetDigitalOutput_delete};
    case PHIDCLASS_TEXTLCD:
        return ChannelKind{phidget_type::TextLCD, PHIDCHCLASS_LCD, api.PhidgetLCD_create,
                           api.PhidgetLCD_delete};
    case PHIDCLASS_SERVO:
        return ChannelKind{phidget_type::Servo, PHIDCHCLASS_RCSERVO, api.PhidgetRCServo_create,
                           api.PhidgetRCServo_delete};
    default:
        return std::nullopt;
    }
}

} // namespace

struct Phidget22Backend::Channel {
    Device* device = nullptr;
    int index = 0;
    PhidgetHandle handle = nullptr;
    bool opened = false;
    bool attached = false; // kept on the window's thread
};

struct Phidget22Backend::Device {
    Device(std::shared_ptr<const Api> library, BoardInfo board, ChannelKind driven,
           Phidget22Backend& owner)
        : api(std::move(library)), info(std::move(board)), kind(std::move(driven)), backend(&owner)
    {
    }
    ~Device()
    {
        close();
        sends.reset(); // before the channels its calls went to
        for (auto& channel : channels) {
            if (channel->handle)
                kind.destroy(&channel->handle);
        }
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Opens channels 0 to count - 1 of the board; a channel that fails stays closed, and its
    // calls fail. The library attaches them later, each reporting to its handler.
    void open(int count)
    {
        for (int index = 0; index < count; ++index) {
            auto channel = std::make_unique<Channel>();
            channel->device = this;
            channel->index = index;
            if (QString failure = openChannel(*channel); !failure.isEmpty()) {
                qCWarning(lcPhidget22)
                    << "board" << info.serial << "channel" << index << "did not open:" << failure;
            }
            channels.push_back(std::move(channel));
        }
        sends = backend->makeSends(info.serial, count,
                                   [library = api](int code) { return library->describe(code); });
    }
    // What was sent goes out first (shutdown's darkness included); no handler runs once this
    // returns.
    void close()
    {
        if (sends)
            sends->close(std::chrono::seconds(2));
        for (auto& channel : channels) {
            if (channel->opened)
                api->Phidget_close(channel->handle);
            channel->opened = false;
        }
        backend = nullptr;
    }
    bool anyOpen() const
    {
        return std::any_of(channels.begin(), channels.end(),
                           [](const auto& channel) { return channel->opened; });
    }
    bool allAttached() const
    {
        return std::all_of(channels.begin(), channels.end(), [](const auto& channel) {
            return channel->attached || !channel->opened;
        });
    }
    PhidgetHandle channel(int index, const char* what) const
    {
        if (index < 0 || std::size_t(index) >= channels.size())
            throw PhidgetError(std::string(what) + " index out of range");
        if (!channels[std::size_t(index)]->opened)
            throw PhidgetError(std::string(what) + " channel could not be opened");
        return channels[std::size_t(index)]->handle;
    }
    void check(int code, const char* call) const
    {
        if (code != EPHIDGET_OK)
            refuseCall(backend, info.serial, call, api->describe(code));
    }

    const std::shared_ptr<const Api> api;
    const BoardInfo info;
    const ChannelKind kind;
    Phidget22Backend* backend; // null once closed: the board may outlive the backend
    std::vector<std::unique_ptr<Channel>> channels; // fixed once opened: handler contexts
    std::unique_ptr<BoardSends> sends;

private:
    QString openChannel(Channel& channel)
    {
        if (int code = kind.create(&channel.handle); code != EPHIDGET_OK) {
            channel.handle = nullptr;
            return api->describe(code);
        }
        PhidgetHandle handle = channel.handle;
        api->Phidget_setDeviceSerialNumber(handle, info.serial);
        api->Phidget_setChannel(handle, channel.index);
        api->Phidget_setOnAttachHandler(handle, &Phidget22Backend::onChannelAttach, &channel);
        api->Phidget_setOnDetachHandler(handle, &Phidget22Backend::onChannelDetach, &channel);
        api->Phidget_setOnErrorHandler(handle, &Phidget22Backend::onChannelError, &channel);
        if (int code = api->Phidget_open(handle); code != EPHIDGET_OK)
            return api->describe(code);
        channel.opened = true;
        return {};
    }
};

namespace {

using Device = Phidget22Backend::Device;

// One attach of a board; calls go to its channels, which the library keeps attached while the
// board is plugged in.
class Board22 : public LibraryBoard {
public:
    explicit Board22(std::shared_ptr<Device> device)
        : LibraryBoard(device->info), m_device(std::move(device))
    {
    }

protected:
    const Api& api() const { return *m_device->api; }
    int channelCount() const { return int(m_device->channels.size()); }
    PhidgetHandle channel(int index, const char* what) const
    {
        return m_device->channel(index, what);
    }
    void check(int code, const char* call) const { m_device->check(code, call); }
    // Sends `call`, one of the library's _async functions, with `arguments` to channel `index`
    // without waiting for the board.
    template <typename Call, typename... Arguments>
    void sendAsync(int index, const char* what, const char* name, Call call, Arguments... arguments)
    {
        PhidgetHandle handle = channel(index, what);
        m_device->sends->send(index, 0, {{name, [=](AsyncCallback done, void* ctx) {
                                              call(handle, arguments..., done, ctx);
                                          }}});
    }
    BoardSends& sends() const { return *m_device->sends; }

private:
    std::shared_ptr<Device> m_device;
};

class InterfaceKit22 final : public Board22, public PhidgetInterfaceKit {
public:
    using Board22::Board22;
    int NumOutputs() const override { return channelCount(); }
    void setOutputState(int output, bool on) override
    {
        sendAsync(output, "output", "PhidgetDigitalOutput_setState",
                  api().PhidgetDigitalOutput_setState_async, on ? 1 : 0);
    }
};

// Each LED is a digital output whose duty cycle is its brightness.
class LED22 final : public Board22, public PhidgetLED {
public:
    using Board22::Board22;
    int LEDCount() const override { return channelCount(); }
    void setDiscreteLED(int led, int brightness) override
    {
        sendAsync(led, "LED", "PhidgetDigitalOutput_setDutyCycle",
                  api().PhidgetDigitalOutput_setDutyCycle_async, brightness / 100.0);
    }
};

// The LCD channel has no brightness of its own: brightness is the backlight's level, and the
// backlight switched on shows that level.
class TextLCD22 final : public Board22, public PhidgetTextLCD {
public:
    using Board22::Board22;
    void setDisplayString(int row, const QString& text) override
    {
        if (row < 0 || row >= kRows)
            throw PhidgetError("row index out of range");
        // Written over the whole row, as a shorter text would leave the old one's end.
        const QByteArray characters =
            text.leftJustified(kColumns, QLatin1Char(' '), true).toLatin1();
        PhidgetHandle lcd = channel(0, "LCD");
        auto* writeText = api().PhidgetLCD_writeText_async;
        auto* flush = api().PhidgetLCD_flush_async;
        sends().send(
            0, row,
            {{"PhidgetLCD_writeText",
              [=](AsyncCallback done, void* ctx) {
                  writeText(lcd, FONT_5x8, 0, row, characters.constData(), done, ctx);
              }},
             {"PhidgetLCD_flush", [=](AsyncCallback done, void* ctx) { flush(lcd, done, ctx); }}});
    }
    void setBrightness(int brightness) override
    {
        m_level = std::clamp(brightness / 100.0, 0.0, 1.0);
        if (m_backlightOn)
            writeBacklight();
    }
    void setBacklight(bool on) override
    {
        m_backlightOn = on;
        writeBacklight();
    }
    void setCursorOn(bool on) override
    {
        check(api().PhidgetLCD_setCursorOn(channel(0, "LCD"), on ? 1 : 0),
              "PhidgetLCD_setCursorOn");
    }

private:
    static constexpr int kRows = 2;

    void writeBacklight()
    {
        check(api().PhidgetLCD_setBacklight(channel(0, "LCD"), m_backlightOn ? m_level : 0.0),
              "PhidgetLCD_setBacklight");
    }

    double m_level = 1.0;
    bool m_backlightOn = false;
};

// A motor is engaged with its first position, so it does not move before it has one: that
// position is sent and waited for, once per attach; later ones go out without waiting.
class Servo22 final : public Board22, public PhidgetServo {
public:
    using Board22::Board22;
    void setMotorPosition(int motor, float position) override
    {
        PhidgetHandle servo = channel(motor, "motor");
        m_engaged.resize(std::size_t(channelCount()), false);
        if (m_engaged[std::size_t(motor)]) {
            sendAsync(motor, "motor", "PhidgetRCServo_setTargetPosition",
                      api().PhidgetRCServo_setTargetPosition_async, double(position));
            return;
        }
        check(api().PhidgetRCServo_setTargetPosition(servo, double(position)),
              "PhidgetRCServo_setTargetPosition");
        check(api().PhidgetRCServo_setEngaged(servo, 1), "PhidgetRCServo_setEngaged");
        m_engaged[std::size_t(motor)] = true;
    }
    std::pair<double, double> MotorPositionRange(int motor) override
    {
        PhidgetHandle servo = channel(motor, "motor");
        std::pair<double, double> range;
        check(api().PhidgetRCServo_getMinPosition(servo, &range.first),
              "PhidgetRCServo_getMinPosition");
        check(api().PhidgetRCServo_getMaxPosition(servo, &range.second),
              "PhidgetRCServo_getMaxPosition");
        return range;
    }

private:
    std::vector<bool> m_engaged;
};

PhidgetBoardPtr makeBoard(const std::shared_ptr<Device>& device)
{
    const QString& type = device->info.type;
    if (type == phidget_type::InterfaceKit)
        return std::make_shared<InterfaceKit22>(device);
    if (type == phidget_type::LED)
        return std::make_shared<LED22>(device);
    if (type == phidget_type::TextLCD)
        return std::make_shared<TextLCD22>(device);
    return std::make_shared<Servo22>(device);
}

} // namespace

std::unique_ptr<Phidget22Backend> Phidget22Backend::load(const QString& file, QString* error)
{
    auto api = Api::load(file, error);
    if (!api)
        return nullptr;
    return std::unique_ptr<Phidget22Backend>(new Phidget22Backend(std::move(api)));
}

Phidget22Backend::Phidget22Backend(std::shared_ptr<const Api> api) : m_api(std::move(api)) {}

Phidget22Backend::~Phidget22Backend()
{
    // Closing stops the handlers, which hold pointers to this object and its channels; boards
    // still held elsewhere keep their channels until they go.
    if (m_managerHandle) {
        m_api->PhidgetManager_close(m_managerHandle);
        m_api->PhidgetManager_delete(&m_managerHandle);
    }
    for (auto& [serial, device] : m_devices)
        device->close();
}

void Phidget22Backend::open(PhidgetManager& manager)
{
    setManager(manager);
    if (m_managerHandle)
        return;
    if (int code = m_api->PhidgetManager_create(&m_managerHandle); code != EPHIDGET_OK) {
        m_managerHandle = nullptr;
        qCWarning(lcPhidget22) << "no Phidget manager:" << m_api->describe(code);
        return;
    }
    m_api->PhidgetManager_setOnAttachHandler(m_managerHandle, &onManagerAttach, this);
    m_api->PhidgetManager_setOnDetachHandler(m_managerHandle, &onManagerDetach, this);
    if (int code = m_api->PhidgetManager_open(m_managerHandle); code != EPHIDGET_OK)
        qCWarning(lcPhidget22) << "the Phidget manager did not open:" << m_api->describe(code);
}

QString Phidget22Backend::description() const
{
    const char* version = nullptr;
    m_api->Phidget_getLibraryVersion(&version);
    return QStringLiteral("Phidget library: ") +
           library::versionLine(QStringLiteral("libphidget22"), version);
}

void Phidget22Backend::onManagerAttach(PhidgetManagerHandle, void* self, PhidgetHandle channel)
{
    auto* backend = static_cast<Phidget22Backend*>(self);
    const Api& api = *backend->m_api;
    Found found;
    std::int32_t serial = 0;
    const char* className = nullptr;
    int version = 0;
    if (api.Phidget_getDeviceSerialNumber(channel, &serial) != EPHIDGET_OK ||
        api.Phidget_getDeviceClass(channel, &found.deviceClass) != EPHIDGET_OK)
        return; // a channel that cannot say whose it is cannot be grouped
    api.Phidget_getDeviceVersion(channel, &version);
    api.Phidget_getDeviceClassName(channel, &className);
    found.info = BoardInfo{libraryText(className), int(serial), float(version)};
    if (const auto kind = channelKind(api, found.deviceClass)) {
        found.info.type = kind->type;
        std::uint32_t count = 0;
        if (api.Phidget_getDeviceChannelCount(channel, kind->channelClass, &count) == EPHIDGET_OK)
            found.channels = int(std::min<std::uint32_t>(count, 256));
    }
    backend->post([backend, found] { backend->boardFound(found); });
}

void Phidget22Backend::onManagerDetach(PhidgetManagerHandle, void* self, PhidgetHandle channel)
{
    auto* backend = static_cast<Phidget22Backend*>(self);
    std::int32_t serial = 0;
    if (backend->m_api->Phidget_getDeviceSerialNumber(channel, &serial) != EPHIDGET_OK)
        return;
    backend->post([backend, serial] {
        // Boards that are driven hear of it from their own channels.
        if (!backend->m_devices.count(serial))
            backend->boardDetached(serial);
    });
}

void Phidget22Backend::onChannelAttach(PhidgetHandle, void* channel)
{
    const auto* opened = static_cast<const Channel*>(channel);
    Phidget22Backend* backend = opened->device->backend;
    const int serial = opened->device->info.serial;
    const int index = opened->index;
    backend->post([=] { backend->channelAttached(serial, index, true); });
}

void Phidget22Backend::onChannelDetach(PhidgetHandle, void* channel)
{
    const auto* opened = static_cast<const Channel*>(channel);
    Phidget22Backend* backend = opened->device->backend;
    const int serial = opened->device->info.serial;
    const int index = opened->index;
    backend->post([=] { backend->channelAttached(serial, index, false); });
}

void Phidget22Backend::onChannelError(PhidgetHandle, void* channel, int code, const char* text)
{
    const auto* opened = static_cast<const Channel*>(channel);
    Phidget22Backend* backend = opened->device->backend;
    const int serial = opened->device->info.serial;
    const QString description = libraryText(text);
    backend->post([=] { backend->boardError(serial, description, code); });
}

void Phidget22Backend::boardFound(const Found& found)
{
    const int serial = found.info.serial;
    if (m_devices.count(serial) || isAttached(serial))
        return; // another channel of a board already seen
    const auto kind = channelKind(*m_api, found.deviceClass);
    if (!kind || found.channels == 0) {
        boardAttached(std::make_shared<LibraryBoard>(found.info)); // listed, not driven
        return;
    }
    auto device = std::make_shared<Device>(m_api, found.info, *kind, *this);
    device->open(found.channels);
    if (!device->anyOpen()) {
        // Listed and marked, so the user sees the board that cannot be driven.
        boardAttached(std::make_shared<LibraryBoard>(found.info));
        boardError(serial, QStringLiteral("no channel of the board could be opened"), 0);
        return;
    }
    m_devices.emplace(serial, std::move(device));
}

bool Phidget22Backend::sendsIdle() const
{
    return std::all_of(m_devices.begin(), m_devices.end(),
                       [](const auto& device) { return device.second->sends->idle(); });
}

void Phidget22Backend::channelAttached(int serial, int index, bool attached)
{
    const auto found = m_devices.find(serial);
    if (found == m_devices.end())
        return;
    Device& device = *found->second;
    device.channels[std::size_t(index)]->attached = attached;
    if (!attached)
        boardDetached(serial);
    else if (device.allAttached())
        boardAttached(makeBoard(found->second));
}

} // namespace glimrow
