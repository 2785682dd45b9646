#pragma once

// Sorts attached Phidget boards into two slots per kind, gives each its starting settings and
// keeps the device list (grid 4): one row per board ever seen, its "Phidget" cell green while
// attached, red once detached, yellow after an error. The outputs find their boards only here.
//
// A board that comes back (same serial number) returns to the slot it had, its new object
// replacing the stale one. While a board is detached its slot counts as empty for the outputs;
// it still holds its place, so a new board of the kind does not take it over.

#include "common/OutputGrid.h"
#include "phidget/PhidgetBoard.h"

#include <QString>

#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace glimrow {

// What the device manager needs from the window.
class DeviceManagerView {
public:
    virtual ~DeviceManagerView() = default;
    virtual void enableFrame(int frameIndex) = 0;
    virtual void beep() = 0;
    // The brightness slider's value now (50 to 100).
    virtual int lampBrightness() const = 0;

protected:
    DeviceManagerView() = default;
};

class PhidgetDeviceManager {
public:
    enum class Kind { InterfaceKit, LED, TextLCD, TextLED, Servo };
    static constexpr int kKinds = 5;

    PhidgetDeviceManager(OutputGrid& deviceList, DeviceManagerView& view);

    // The manager's events.
    void PhidgetManager_OnAttach(const PhidgetBoardPtr& board);
    void PhidgetManager_OnDetach(const PhidgetBoardPtr& board);
    void PhidgetManager_OnError(const PhidgetBoardPtr& board);

    // Adds a row for a board not listed yet, or turns its row green again.
    void ListDevice(int count, const QString& type, const QString& version, const QString& serial);

    // The boards the outputs drive, slot 1 or 2 (pRavazLED_1, pRavazLED_2, ...); nullptr when
    // the slot is empty or its board is unplugged.
    std::shared_ptr<PhidgetInterfaceKit> pRavaz01616(int slot) const;
    std::shared_ptr<PhidgetLED> pRavazLED(int slot) const;
    std::shared_ptr<PhidgetTextLCD> pRavazTextLCD(int slot) const;
    std::shared_ptr<PhidgetTextLED> pRavazTextLED(int slot) const;
    std::shared_ptr<PhidgetServo> pRavazServo(int slot) const;

    bool servoPresent() const { return m_servoPresent; }
    int attachCount(Kind kind) const { return m_counters[std::size_t(kind)]; }

    // Shutdown: kind by kind (interface kits, TextLCD, TextLED, servo, LED), the first slot and,
    // only when it held a board, the second.
    void ReleaseSlots();

private:
    struct Slot {
        PhidgetBoardPtr board;
        int serial = -1;
        bool attached = false;
    };

    void storeInSlot(Kind kind, const PhidgetBoardPtr& board, int serial);
    void applyStartingSettings(Kind kind, const PhidgetBoardPtr& board, int counter);
    void MarkDevice(const PhidgetBoardPtr& board, CellColour colour);
    int serialOf(const PhidgetBoard& board) const;
    PhidgetBoardPtr activeBoard(Kind kind, int slot) const;

    OutputGrid& m_deviceList;
    DeviceManagerView& m_view;
    std::array<std::array<Slot, 2>, kKinds> m_slots;
    std::array<std::int16_t, kKinds> m_counters{};
    bool m_servoPresent = false;
    // Serial numbers of the board objects seen, for a board that can no longer tell its own.
    std::vector<std::pair<std::weak_ptr<PhidgetBoard>, int>> m_knownSerials;
};

} // namespace glimrow
