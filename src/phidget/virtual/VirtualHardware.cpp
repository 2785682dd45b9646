#include "phidget/virtual/VirtualHardware.h"

#include "phidget/PhidgetManager.h"

#include "EPICIOVirtualCard.h"

#include <QTimer>

#include <cmath>

namespace glimrow {

struct VirtualHardware::DeviceState {
    VirtualDevice device;
    int generation = 0; // which attach the current board object belongs to
    PhidgetBoardPtr current;
    VirtualHardware* hardware = nullptr;
};

// One attach of a virtual board: usable until the board is unplugged (a new attach makes a
// new object) and refusing every call while the board is failing.
class VirtualBoard : public virtual PhidgetBoard {
public:
    explicit VirtualBoard(std::shared_ptr<VirtualHardware::DeviceState> state)
        : m_state(std::move(state)), m_generation(m_state->generation)
    {
    }

    QString DeviceType() const override { return usable().type; }
    int SerialNumber() const override { return usable().serial; }
    float DeviceVersion() const override { return usable().version; }

protected:
    const VirtualDevice& usable() const
    {
        if (!m_state->device.attached || m_state->generation != m_generation)
            throw PhidgetError("the board is not attached");
        if (m_state->device.failing)
            throw PhidgetError("the board is failing");
        return m_state->device;
    }

    // Runs a write on the board's state and tells the hardware's watchers.
    template <typename Write> void write(Write change)
    {
        usable();
        change(m_state->device);
        ++m_state->device.writes;
        if (m_state->hardware)
            m_state->hardware->noteChange();
    }

    static void checkIndex(int index, std::size_t count, const char* what)
    {
        if (index < 0 || std::size_t(index) >= count)
            throw PhidgetError(std::string(what) + " index out of range");
    }

    static void checkRange(int value, int low, int high, const char* what)
    {
        if (value < low || value > high)
            throw PhidgetError(std::string(what) + " out of range");
    }

    static QString fitted(const QString& text, int width) { return text.left(width); }

private:
    std::shared_ptr<VirtualHardware::DeviceState> m_state;
    int m_generation;
};

namespace {

class VirtualInterfaceKit final : public VirtualBoard, public PhidgetInterfaceKit {
public:
    using VirtualBoard::VirtualBoard;
    int NumOutputs() const override { return int(usable().outputs.size()); }
    void setOutputState(int output, bool on) override
    {
        write([&](VirtualDevice& device) {
            checkIndex(output, device.outputs.size(), "output");
            device.outputs[std::size_t(output)] = on;
        });
    }
};

class VirtualLED final : public VirtualBoard, public PhidgetLED {
public:
    using VirtualBoard::VirtualBoard;
    int LEDCount() const override { return int(usable().leds.size()); }
    void setDiscreteLED(int led, int brightness) override
    {
        write([&](VirtualDevice& device) {
            checkIndex(led, device.leds.size(), "LED");
            checkRange(brightness, 0, 100, "LED brightness");
            device.leds[std::size_t(led)] = brightness;
        });
    }
};

// Rows longer than the display are cut to its width, as the program sends them.
class VirtualTextLCD final : public VirtualBoard, public PhidgetTextLCD {
public:
    using VirtualBoard::VirtualBoard;
    void setDisplayString(int row, const QString& text) override
    {
        write([&](VirtualDevice& device) {
            checkIndex(row, std::size_t(device.rows.size()), "row");
            device.rows[row] = fitted(text, kColumns);
        });
    }
    void setBrightness(int brightness) override
    {
        write([&](VirtualDevice& device) {
            checkRange(brightness, 0, 255, "brightness");
            device.brightness = brightness;
        });
    }
    void setBacklight(bool on) override
    {
        write([&](VirtualDevice& device) { device.backlight = on; });
    }
    void setCursorOn(bool on) override
    {
        write([&](VirtualDevice& device) { device.cursorOn = on; });
    }
};

class VirtualTextLED final : public VirtualBoard, public PhidgetTextLED {
public:
    using VirtualBoard::VirtualBoard;
    void setDisplayString(int row, const QString& text) override
    {
        write([&](VirtualDevice& device) {
            checkIndex(row, std::size_t(device.rows.size()), "row");
            device.rows[row] = fitted(text, kColumns);
        });
    }
    void setBrightness(int brightness) override
    {
        write([&](VirtualDevice& device) {
            checkRange(brightness, 0, 100, "brightness");
            device.brightness = brightness;
        });
    }
};

class VirtualServo final : public VirtualBoard, public PhidgetServo {
public:
    using VirtualBoard::VirtualBoard;
    void setMotorPosition(int motor, float position) override
    {
        write([&](VirtualDevice& device) {
            checkIndex(motor, device.motors.size(), "motor");
            if (!std::isfinite(position))
                throw PhidgetError("motor position is not a number");
            device.motors[std::size_t(motor)] = double(position);
        });
    }
    // As the vendor's servo boards report it for an ordinary RC servo.
    std::pair<double, double> MotorPositionRange(int) override { return {0, 180}; }
};

// A device of a type the program does not know: only the three common properties.
class VirtualOtherDevice final : public VirtualBoard {
public:
    using VirtualBoard::VirtualBoard;
};

void shapeDevice(VirtualDevice& device)
{
    if (device.type == phidget_type::LED)
        device.leds.assign(64, 0);
    else if (device.type == phidget_type::InterfaceKit)
        device.outputs.assign(16, false);
    else if (device.type == phidget_type::TextLCD)
        device.rows = QStringList(2);
    else if (device.type == phidget_type::TextLED)
        device.rows = QStringList(4);
    else if (device.type == phidget_type::Servo)
        device.motors.assign(4, 0.0);
}

PhidgetBoardPtr makeBoard(const std::shared_ptr<VirtualHardware::DeviceState>& state)
{
    const QString& type = state->device.type;
    if (type == phidget_type::LED)
        return std::make_shared<VirtualLED>(state);
    if (type == phidget_type::InterfaceKit)
        return std::make_shared<VirtualInterfaceKit>(state);
    if (type == phidget_type::TextLCD)
        return std::make_shared<VirtualTextLCD>(state);
    if (type == phidget_type::TextLED)
        return std::make_shared<VirtualTextLED>(state);
    if (type == phidget_type::Servo)
        return std::make_shared<VirtualServo>(state);
    return std::make_shared<VirtualOtherDevice>(state);
}

} // namespace

VirtualHardware::VirtualHardware(QObject* parent) : QObject(parent) {}

VirtualHardware::~VirtualHardware()
{
    for (auto& [serial, state] : m_devices) {
        state->hardware = nullptr; // board objects held elsewhere outlive us quietly
        state->current.reset();    // a board holds its state: break the circle
    }
}

bool VirtualHardware::addDevice(const QString& type, int serial)
{
    if (m_devices.count(serial))
        return false;
    auto state = std::make_shared<DeviceState>();
    state->device.type = type;
    state->device.serial = serial;
    state->device.version = type == phidget_type::TextLCD ? 1.03f : 1.0f;
    state->hardware = this;
    shapeDevice(state->device);
    m_devices.emplace(serial, std::move(state));
    emit changed();
    return true;
}

void VirtualHardware::addDefaultBoards()
{
    const std::pair<const QString*, int> boards[] = {
        {&phidget_type::LED, 10001},          {&phidget_type::LED, 10002},
        {&phidget_type::InterfaceKit, 20001}, {&phidget_type::InterfaceKit, 20002},
        {&phidget_type::TextLCD, 30001},      {&phidget_type::TextLCD, 30002},
        {&phidget_type::TextLED, 40001},      {&phidget_type::TextLED, 40002},
        {&phidget_type::Servo, 50001},
    };
    for (const auto& [type, serial] : boards)
        addDevice(*type, serial);
}

void VirtualHardware::open(PhidgetManager& manager)
{
    m_manager = &manager;
    for (const auto& [serial, state] : m_devices)
        attach(serial);
}

bool VirtualHardware::attach(int serial)
{
    DeviceState* device = state(serial);
    if (!device)
        return false;
    if (device->device.attached)
        return true;
    device->device.attached = true;
    ++device->generation;
    device->current = makeBoard(m_devices.at(serial));
    raise([board = device->current](PhidgetManager& manager) { manager.raiseAttach(board); });
    emit changed();
    return true;
}

bool VirtualHardware::detach(int serial)
{
    DeviceState* device = state(serial);
    if (!device)
        return false;
    if (!device->device.attached)
        return true;
    device->device.attached = false;
    raise([board = device->current](PhidgetManager& manager) { manager.raiseDetach(board); });
    emit changed();
    return true;
}

bool VirtualHardware::setFailing(int serial, bool failing)
{
    DeviceState* device = state(serial);
    if (!device)
        return false;
    device->device.failing = failing;
    if (failing && device->current) {
        raise([board = device->current](PhidgetManager& manager) {
            manager.raiseError(board, QStringLiteral("The board stopped answering"), 1);
        });
    }
    emit changed();
    return true;
}

const VirtualDevice* VirtualHardware::device(int serial) const
{
    const DeviceState* found = state(serial);
    return found ? &found->device : nullptr;
}

std::vector<const VirtualDevice*> VirtualHardware::devices() const
{
    std::vector<const VirtualDevice*> all;
    for (const auto& [serial, state] : m_devices)
        all.push_back(&state->device);
    return all;
}

bool VirtualHardware::epicPresent() const
{
    return EpicioVirtual_IsPresent() != 0;
}

void VirtualHardware::setEpicPresent(bool present)
{
    EpicioVirtual_SetPresent(present ? 1 : 0);
    emit changed();
}

std::vector<VirtualHardware::EpicPigeonhole> VirtualHardware::epicPigeonholes() const
{
    const auto count = static_cast<std::size_t>(EpicioVirtual_PigeonholeCount());
    std::vector<EpicPigeonhole> pigeonholes(count);
    for (std::size_t index = 0; index < pigeonholes.size(); ++index) {
        EpicPigeonhole& entry = pigeonholes[index];
        EpicioVirtual_Pigeonhole(int(index), &entry.number, entry.bytes.data(), &entry.writes);
    }
    return pigeonholes;
}

VirtualHardware::DeviceState* VirtualHardware::state(int serial) const
{
    const auto found = m_devices.find(serial);
    return found == m_devices.end() ? nullptr : found->second.get();
}

void VirtualHardware::noteChange()
{
    // A cycle writes a hundred values or more: tell the watchers once, after it.
    if (m_changePending)
        return;
    m_changePending = true;
    QTimer::singleShot(0, this, [this] {
        m_changePending = false;
        emit changed();
    });
}

void VirtualHardware::raise(std::function<void(PhidgetManager&)> event)
{
    m_events.push_back(std::move(event));
    // Like the library's events, these reach the program from its event loop, one at a time.
    QTimer::singleShot(0, this, &VirtualHardware::deliverEvents);
}

void VirtualHardware::deliverEvents()
{
    if (m_delivering)
        return; // a handler let window events run; the outer delivery goes on after it
    m_delivering = true;
    while (!m_events.empty()) {
        auto event = std::move(m_events.front());
        m_events.pop_front();
        if (m_manager)
            event(*m_manager);
    }
    m_delivering = false;
}

} // namespace glimrow
