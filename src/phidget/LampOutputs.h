#pragma once

// Warning and indicator lamps on LED-64 boards and interface-kit outputs. Each configured lamp
// follows one or more bits of a light-bit word; every lamp is written on every cycle.
//
// A lamp line is: output number, description, bit mask, word (1 LightBits, 2 LightBits2,
// anything else LightBits3). The lamp is lit when the mask shares any bit with the word.

#include "common/SectionTable.h"
#include "data/FlightDataRecord.h"
#include "phidget/OutputWindow.h"
#include "phidget/PhidgetDeviceManager.h"

namespace glimrow {

class LampOutputs {
public:
    LampOutputs(OutputWindow& window, const FlightDataCache& cache,
                const PhidgetDeviceManager& devices);

    // Lights or darkens each line's lamp on `board` (an LED-64 board for grids 0 and 1, an
    // interface kit for grids 2 and 5; none: only the grid) and, with screen updates on, marks
    // it "*" in the grid. A line whose numbers cannot be read is skipped; a board call that
    // fails ends the procedure for this cycle.
    void SendLamps(int gridIndex, const SectionTable& table, const PhidgetBoardPtr& board);

    // Every output at once: on for "All Lamps On", off at its release and at shutdown (with
    // `alsoDimmers`, the TextLCD backlights and TextLED brightness too). The TextLED test
    // pattern goes to one row per configured line of `textLedTables`. Each call that fails is
    // skipped; the procedure always runs to its end.
    void TestAllOutputs(bool on, bool alsoDimmers, const SectionTable* textLedTable1,
                        const SectionTable* textLedTable2);

private:
    struct Lamp {
        int output;
        bool lit;
    };
    std::optional<Lamp> readLamp(const SectionTable& table, qsizetype row) const;

    OutputWindow& m_window;
    const FlightDataCache& m_cache;
    const PhidgetDeviceManager& m_devices;
};

} // namespace glimrow
