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
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace glimrow {

enum class BoardKind { InterfaceKit, LED, TextLCD, TextLED, Servo };

// What the device manager needs from the front end.
class DeviceManagerView {
public:
    virtual ~DeviceManagerView() = default;
    // A board of this kind is attached: the controls that serve it become usable.
    virtual void enableBoardControls(BoardKind kind) = 0;
    virtual void beep() = 0;
    // A board attached or left ("Phidget board attached: ..."), for the log of a program
    // nobody watches.
    virtual void tellBoardChange(const QString& text) = 0;
    // The brightness slider's value now (50 to 100).
    virtual int lampBrightness() const = 0;
    // Lets pending window events run, as the owner rules for such pauses.
    virtual void letEventsRun() = 0;

protected:
    DeviceManagerView() = default;
};

class PhidgetDeviceManager;

// One of the ten board slots, as an output holds it: the board is looked up at each use,
// since boards come and go.
class BoardSlot {
public:
    BoardSlot(const PhidgetDeviceManager& devices, BoardKind kind, int number)
        : m_devices(&devices), m_kind(kind), m_number(number)
    {
    }
    BoardKind kind() const { return m_kind; }
    int number() const { return m_number; }
    // The board in the slot as `Board`, or nullptr when the slot is empty or unplugged.
    template <typename Board> std::shared_ptr<Board> board() const;

private:
    const PhidgetDeviceManager* m_devices;
    BoardKind m_kind;
    int m_number;
};

class PhidgetDeviceManager {
public:
    using Kind = BoardKind;
    static constexpr int kKinds = 5;

    PhidgetDeviceManager(OutputGrid& deviceList, DeviceManagerView& view);

    // What a colour in the device list's Phidget column says of the board, in words.
    static QString colourMeaning(CellColour colour);

    // The manager's events.
    void PhidgetManager_OnAttach(const PhidgetBoardPtr& board);
    void PhidgetManager_OnDetach(const PhidgetBoardPtr& board);
    void PhidgetManager_OnError(const PhidgetBoardPtr& board);

    // Adds a row for a board not listed yet, or turns its row green again; `section` is what
    // the board drives.
    void ListDevice(int count, const QString& type, const QString& version, const QString& serial,
                    const QString& section);
    // Names the configuration section a board in a slot drives, for the device list; without
    // it every board shows "none".
    void setSectionNames(std::function<QString(Kind kind, int slot)> sectionOf)
    {
        m_sectionOf = std::move(sectionOf);
    }

    // The boards the outputs drive, slot 1 or 2 (pRavazLED_1, pRavazLED_2, ...); nullptr when
    // the slot is empty or its board is unplugged.
    std::shared_ptr<PhidgetInterfaceKit> pRavaz01616(int slot) const;
    std::shared_ptr<PhidgetLED> pRavazLED(int slot) const;
    std::shared_ptr<PhidgetTextLCD> pRavazTextLCD(int slot) const;
    std::shared_ptr<PhidgetTextLED> pRavazTextLED(int slot) const;
    std::shared_ptr<PhidgetServo> pRavazServo(int slot) const;

    bool servoPresent() const { return m_servoPresent; }
    int attachCount(Kind kind) const { return m_counters[std::size_t(kind)]; }

    // The board in slot 1 or 2 of `kind`; nullptr when the slot is empty or unplugged.
    PhidgetBoardPtr activeBoard(Kind kind, int slot) const;
    // After a reload changed what a slot's section drives: the board's starting settings again,
    // with lamps darkened and the display rows the old section's lines named cleared.
    void ResendStartingSettings(Kind kind, int slot, const QList<int>& rowsToClear);

    // Shutdown: kind by kind (interface kits, TextLCD, TextLED, servo, LED), the first slot and,
    // only when it held a board, the second.
    void ReleaseSlots();
    // Every board is sent its next value for each channel whatever it was last told (around
    // "All Lamps On" and the darkening at shutdown).
    void forgetSentValues();

private:
    struct Slot {
        PhidgetBoardPtr board;  // as the outputs drive it: sent only what changed
        PhidgetBoardPtr source; // as the backend made it, and names it in its events
        int serial = -1;
        bool attached = false;
    };

    // The slot (1 or 2) the board now holds.
    int storeInSlot(Kind kind, const PhidgetBoardPtr& source, int serial);
    void showSection(const QString& serial, const QString& section);
    void applyStartingSettings(Kind kind, const PhidgetBoardPtr& board, int counter);
    // The board's row, coloured; -1 when the board is not listed.
    int MarkDevice(const PhidgetBoardPtr& board, CellColour colour);
    int serialOf(const PhidgetBoard& board) const;

    OutputGrid& m_deviceList;
    DeviceManagerView& m_view;
    std::array<std::array<Slot, 2>, kKinds> m_slots;
    std::array<std::int16_t, kKinds> m_counters{};
    bool m_servoPresent = false;
    std::function<QString(Kind, int)> m_sectionOf;
    // Serial numbers of the board objects seen, for a board that can no longer tell its own.
    std::vector<std::pair<std::weak_ptr<PhidgetBoard>, int>> m_knownSerials;
    // The colour each listed board's row was given last, by the row's serial number text.
    std::map<QString, CellColour> m_rowColours;
};

template <typename Board> std::shared_ptr<Board> BoardSlot::board() const
{
    return std::dynamic_pointer_cast<Board>(m_devices->activeBoard(m_kind, m_number));
}

} // namespace glimrow
