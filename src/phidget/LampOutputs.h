#pragma once

// Warning and indicator lamps on one LED-64 board or one interface kit, and the grid that
// lists them. Each configured lamp follows one or more bits of a light-bit word; every lamp is
// written on every cycle.
//
// A lamp line is: output number, description, bit mask, word (1 LightBits, 2 LightBits2,
// anything else LightBits3). The lamp is lit when the mask shares any bit with the word.

#include "common/OutputGrid.h"
#include "common/SectionTable.h"
#include "data/FlightDataRecord.h"
#include "phidget/LineUnderTest.h"
#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"

namespace glimrow {

// A lamp line as numbers: its output, its mask and which word it tests (1 LightBits,
// 2 LightBits2, 3 LightBits3).
struct LampLine {
    int output;
    std::int32_t mask;
    int word;
    // The line's row of `table`; nothing when its numbers cannot be read.
    static std::optional<LampLine> read(const SectionTable& table, qsizetype row);
};

class LampOutputs : public LineUnderTest {
public:
    // `board`: an LED-64 or an interface-kit slot.
    LampOutputs(OutputGrid& grid, BoardSlot board, const FlightDataCache& cache,
                OutputOptions& options);

    // Lights or darkens each line's lamp on the board (when one is in the slot) and, with
    // screen updates on, marks it "*" in the grid. A line whose numbers cannot be read, or
    // whose board call fails, is skipped; the other lines go on.
    void SendLamps(const SectionTable& table);
    // The line's lamp on at the slider's brightness (or off again), for the test of one output.
    void TestLine(const SectionTable& table, qsizetype row, bool on);

private:
    struct Lamp {
        int output;
        bool lit;
    };
    std::optional<Lamp> readLamp(const SectionTable& table, qsizetype row) const;

    OutputGrid& m_grid;
    BoardSlot m_board;
    const FlightDataCache& m_cache;
    OutputOptions& m_options;
};

// Every output at once: on for "All Lamps On", off at its release and at shutdown (with
// `alsoDimmers`, the TextLCD backlights and TextLED brightness too). The TextLED test pattern
// goes to one row per configured line of `textLedTables`. Each call that fails is skipped; the
// procedure always runs to its end.
void TestAllOutputs(const PhidgetDeviceManager& devices, const OutputOptions& options, bool on,
                    bool alsoDimmers, const SectionTable* textLedTable1,
                    const SectionTable* textLedTable2);

} // namespace glimrow
