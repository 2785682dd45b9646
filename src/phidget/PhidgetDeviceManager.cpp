#include "phidget/PhidgetDeviceManager.h"

#include "phidget/ChangeOnlyBoards.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace glimrow {

Q_LOGGING_CATEGORY(lcDevices, "glimrow.devices", QtWarningMsg)

namespace {

using Kind = PhidgetDeviceManager::Kind;

constexpr int kPhidgetColumn = 1;
constexpr int kTypeColumn = 1;
constexpr int kSerialColumn = 3;
constexpr int kSectionColumn = 4;
const QString kNoSection = QStringLiteral("none");

std::optional<Kind> kindOf(const QString& type)
{
    if (type == phidget_type::InterfaceKit)
        return Kind::InterfaceKit;
    if (type == phidget_type::LED)
        return Kind::LED;
    if (type == phidget_type::TextLCD)
        return Kind::TextLCD;
    if (type == phidget_type::TextLED)
        return Kind::TextLED;
    if (type == phidget_type::Servo)
        return Kind::Servo;
    return std::nullopt;
}

// Every step of the attach handler runs whatever happened in the one before.
template <typename Step> void skippingErrors(const char* what, Step step)
{
    runSkippingFailure(lcDevices(), what, step);
}

template <typename Board> std::shared_ptr<Board> as(const PhidgetBoardPtr& board)
{
    auto typed = std::dynamic_pointer_cast<Board>(board);
    if (board && !typed)
        throw PhidgetError("the board does not offer the members of its type");
    return typed;
}

} // namespace

PhidgetDeviceManager::PhidgetDeviceManager(OutputGrid& deviceList, DeviceManagerView& view)
    : m_deviceList(deviceList), m_view(view)
{
}

void PhidgetDeviceManager::PhidgetManager_OnAttach(const PhidgetBoardPtr& board)
{
    std::optional<Kind> kind;
    skippingErrors("device type", [&] { kind = kindOf(board->DeviceType()); });
    int serial = -1;
    skippingErrors("serial number", [&] { serial = board->SerialNumber(); });
    if (serial >= 0) {
        std::erase_if(m_knownSerials, [](const auto& known) { return known.first.expired(); });
        m_knownSerials.emplace_back(board, serial);
    }
    QString section = kNoSection;
    if (kind) {
        const std::size_t index = std::size_t(*kind);
        if (*kind == Kind::Servo)
            m_servoPresent = true;
        ++m_counters[index];
        skippingErrors("enabling its controls", [&] { m_view.enableBoardControls(*kind); });
        const int slot = storeInSlot(*kind, board, serial);
        if (m_sectionOf)
            section = m_sectionOf(*kind, slot);
        applyStartingSettings(*kind, activeBoard(*kind, slot), m_counters[index]);
    }
    skippingErrors("listing the board", [&] {
        const QString type = board->DeviceType();
        const QString serialText = QString::number(board->SerialNumber());
        ListDevice(kind ? m_counters[std::size_t(*kind)] : 0, type,
                   DecimalText(board->DeviceVersion()), serialText, section);
        m_view.tellBoardChange(QStringLiteral("Phidget board attached: %1, serial %2, drives %3")
                                   .arg(type, serialText, section));
    });
    m_view.letEventsRun();
}

int PhidgetDeviceManager::storeInSlot(Kind kind, const PhidgetBoardPtr& source, int serial)
{
    auto& kindSlots = m_slots[std::size_t(kind)];
    int index = kindSlots[0].board ? 1 : 0;
    for (int known = 0; known < 2; ++known) {
        if (serial >= 0 && kindSlots[std::size_t(known)].serial == serial)
            index = known; // back into the slot it had
    }
    const int replaced = kindSlots[std::size_t(index)].serial;
    if (replaced >= 0 && replaced != serial)
        showSection(QString::number(replaced), kNoSection); // that board drives nothing now
    kindSlots[std::size_t(index)] = Slot{sendingChangesOnly(kind, source), source, serial, true};
    return index + 1;
}

void PhidgetDeviceManager::showSection(const QString& serial, const QString& section)
{
    for (int row = 1; row < m_deviceList.rowCount(); ++row) {
        if (m_deviceList.text(row, kSerialColumn) == serial)
            m_deviceList.setText(row, kSectionColumn, section);
    }
}

void PhidgetDeviceManager::applyStartingSettings(Kind kind, const PhidgetBoardPtr& board,
                                                 int counter)
{
    switch (kind) {
    case Kind::InterfaceKit:
        skippingErrors("interface kit outputs off", [&] {
            const auto kit = as<PhidgetInterfaceKit>(board);
            const int outputs = kit->NumOutputs();
            for (int output = 0; output < outputs; ++output)
                kit->setOutputState(output, false);
        });
        break;
    case Kind::LED:
        break; // nothing is sent to an LED board on attach
    case Kind::TextLCD:
        skippingErrors("TextLCD brightness",
                       [&] { as<PhidgetTextLCD>(board)->setBrightness(m_view.lampBrightness()); });
        skippingErrors("TextLCD backlight", [&] { as<PhidgetTextLCD>(board)->setBacklight(true); });
        skippingErrors("TextLCD cursor", [&] { as<PhidgetTextLCD>(board)->setCursorOn(false); });
        skippingErrors("TextLCD rows", [&] {
            as<PhidgetTextLCD>(board)->setDisplayString(0, QString());
            as<PhidgetTextLCD>(board)->setDisplayString(1, QString());
        });
        break;
    case Kind::TextLED:
        skippingErrors("TextLED brightness",
                       [&] { as<PhidgetTextLED>(board)->setBrightness(m_view.lampBrightness()); });
        break;
    case Kind::Servo:
        // The motor whose index is the servo counter: motor 1 for the first servo board.
        skippingErrors("servo motor",
                       [&] { as<PhidgetServo>(board)->setMotorPosition(counter, 0); });
        break;
    }
}

void PhidgetDeviceManager::ResendStartingSettings(Kind kind, int slot,
                                                  const QList<int>& rowsToClear)
{
    const PhidgetBoardPtr board = activeBoard(kind, slot);
    if (!board)
        return;
    if (kind == Kind::LED) {
        skippingErrors("LED-64 lamps off", [&] {
            const auto led = as<PhidgetLED>(board);
            const int leds = led->LEDCount();
            for (int index = 0; index < leds; ++index)
                led->setDiscreteLED(index, 0);
        });
    }
    if (kind == Kind::TextLED) {
        for (int row : rowsToClear)
            skippingErrors("TextLED row cleared",
                           [&] { as<PhidgetTextLED>(board)->setDisplayString(row, QString()); });
    }
    applyStartingSettings(kind, board, slot);
}

QString PhidgetDeviceManager::colourMeaning(CellColour colour)
{
    switch (colour) {
    case CellColour::Green:
        return QStringLiteral("attached and working");
    case CellColour::Red:
        return QStringLiteral("left (unplugged or lost)");
    case CellColour::Yellow:
        return QStringLiteral("reported an error");
    case CellColour::Normal:
        break;
    }
    return QString();
}

void PhidgetDeviceManager::ListDevice(int count, const QString& type, const QString& version,
                                      const QString& serial, const QString& section)
{
    m_rowColours[serial] = CellColour::Green;
    for (int row = 1; row < m_deviceList.rowCount(); ++row) {
        if (m_deviceList.text(row, kSerialColumn) == serial) {
            m_deviceList.setCellColour(row, kPhidgetColumn, CellColour::Green);
            m_deviceList.setText(row, kSectionColumn, section);
            return;
        }
    }
    const int row = m_deviceList.rowCount();
    m_deviceList.setRowCount(row + 1);
    m_deviceList.setCellColour(row, kPhidgetColumn, CellColour::Green);
    m_deviceList.setText(row, 0, QString::number(count));
    m_deviceList.setText(row, kTypeColumn, type);
    m_deviceList.setText(row, 2, version);
    m_deviceList.setText(row, kSerialColumn, serial);
    m_deviceList.setText(row, kSectionColumn, section);
}

void PhidgetDeviceManager::PhidgetManager_OnDetach(const PhidgetBoardPtr& board)
{
    for (auto& kindSlots : m_slots) {
        for (Slot& slot : kindSlots) {
            if (slot.source == board)
                slot.attached = false;
        }
    }
    const int row = MarkDevice(board, CellColour::Red);
    if (row > 0) {
        m_view.tellBoardChange(QStringLiteral("Phidget board left: %1, serial %2, which drove %3")
                                   .arg(m_deviceList.text(row, kTypeColumn),
                                        m_deviceList.text(row, kSerialColumn),
                                        m_deviceList.text(row, kSectionColumn)));
    }
}

void PhidgetDeviceManager::PhidgetManager_OnError(const PhidgetBoardPtr& board)
{
    // A board in trouble may have lost what it was told.
    for (auto& kindSlots : m_slots) {
        for (Slot& slot : kindSlots) {
            if (slot.source == board)
                glimrow::forgetSentValues(*slot.board);
        }
    }
    MarkDevice(board, CellColour::Yellow);
}

void PhidgetDeviceManager::forgetSentValues()
{
    for (auto& kindSlots : m_slots) {
        for (Slot& slot : kindSlots) {
            if (slot.board)
                glimrow::forgetSentValues(*slot.board);
        }
    }
}

int PhidgetDeviceManager::MarkDevice(const PhidgetBoardPtr& board, CellColour colour)
{
    const int serial = serialOf(*board);
    if (serial < 0)
        return -1;
    for (int row = 1; row < m_deviceList.rowCount(); ++row) {
        const QString listed = m_deviceList.text(row, kSerialColumn);
        if (!listed.isEmpty() && ReadNumber(listed) == serial) {
            // A board that keeps failing beeps once, not on every refused call.
            if (std::exchange(m_rowColours[listed], colour) != colour)
                m_view.beep();
            m_deviceList.setCellColour(row, kPhidgetColumn, colour);
            return row;
        }
    }
    return -1;
}

int PhidgetDeviceManager::serialOf(const PhidgetBoard& board) const
{
    try {
        return board.SerialNumber();
    } catch (const PhidgetError&) {
        // An unplugged board may no longer answer; use what it said when it attached.
        for (const auto& [known, serial] : m_knownSerials) {
            if (known.lock().get() == &board)
                return serial;
        }
        return -1;
    }
}

PhidgetBoardPtr PhidgetDeviceManager::activeBoard(Kind kind, int slot) const
{
    if (slot < 1 || slot > 2)
        return {};
    const Slot& held = m_slots[std::size_t(kind)][std::size_t(slot - 1)];
    return held.attached ? held.board : PhidgetBoardPtr();
}

std::shared_ptr<PhidgetInterfaceKit> PhidgetDeviceManager::pRavaz01616(int slot) const
{
    return std::dynamic_pointer_cast<PhidgetInterfaceKit>(activeBoard(Kind::InterfaceKit, slot));
}

std::shared_ptr<PhidgetLED> PhidgetDeviceManager::pRavazLED(int slot) const
{
    return std::dynamic_pointer_cast<PhidgetLED>(activeBoard(Kind::LED, slot));
}

std::shared_ptr<PhidgetTextLCD> PhidgetDeviceManager::pRavazTextLCD(int slot) const
{
    return std::dynamic_pointer_cast<PhidgetTextLCD>(activeBoard(Kind::TextLCD, slot));
}

std::shared_ptr<PhidgetTextLED> PhidgetDeviceManager::pRavazTextLED(int slot) const
{
    return std::dynamic_pointer_cast<PhidgetTextLED>(activeBoard(Kind::TextLED, slot));
}

std::shared_ptr<PhidgetServo> PhidgetDeviceManager::pRavazServo(int slot) const
{
    return std::dynamic_pointer_cast<PhidgetServo>(activeBoard(Kind::Servo, slot));
}

void PhidgetDeviceManager::ReleaseSlots()
{
    for (Kind kind : {Kind::InterfaceKit, Kind::TextLCD, Kind::TextLED, Kind::Servo, Kind::LED}) {
        auto& kindSlots = m_slots[std::size_t(kind)];
        if (!kindSlots[0].board)
            continue;
        kindSlots[0] = Slot{};
        kindSlots[1] = Slot{};
    }
}

} // namespace glimrow
