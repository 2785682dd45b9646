#pragma once

// Readouts on TextLED boards (fuel flow, totalizer, channels, countermeasure status) and
// TextLCD boards (fault-list lines or the countermeasure panel), and the window's mirrors of
// the data-entry display and the fault list.
//
// A text line is: board row (TextLED) or fault-list line number (TextLCD "PFD" mode),
// description, keyword or mode, and the text to show. In DCOM mode the Build procedures
// rewrite the text from the flight data every cycle; otherwise the file's text stays.

#include "common/OutputGrid.h"
#include "common/OutputLabel.h"
#include "common/SectionTable.h"

#include "data/ConnectionManager.h"
#include "data/FlightDataRecord.h"
#include "phidget/LineUnderTest.h"
#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"
#include <QStringList>

namespace glimrow {

// The TextLED rows the lines of a section write to, each once, in the order of the lines (a
// line whose row cannot be read names none).
QList<int> displayRowsNamed(const SectionTable& table);

// The texts computed from the flight data, and the screen mirrors of the DED and PFL.
class TextDisplays {
public:
    TextDisplays(FlightDataSource& data, const FlightDataCache& cache, OutputOptions& options,
                 OutputLabel& dedMirror, OutputLabel& pflMirror);

    // Each throws FlightDataError when the flight data cannot be read (no object, TCP/IP
    // mode): the procedure ends there and the cycle goes on.
    void BuildTextLEDStrings(SectionTable& table);
    void BuildTextLCDStrings(SectionTable& table);

    // The keywords BuildTextLEDStrings knows, and the TextLCD modes BuildTextLCDStrings knows.
    static const QStringList& textLedKeywords();
    static const QStringList& textLcdModes();
    void ShowDED();
    void ShowPFL();

private:
    FlightDataObject& object();
    QString countermeasureLine(const QString& prefix, FlightDataField count);

    FlightDataSource& m_data;
    const FlightDataCache& m_cache;
    OutputOptions& m_options;
    OutputLabel& m_dedMirror;
    OutputLabel& m_pflMirror;
};

// One TextLED or TextLCD board's rows, and the grid that lists its lines with their texts.
class TextBoardOutputs : public LineUnderTest {
public:
    TextBoardOutputs(OutputGrid& grid, BoardSlot board, OutputOptions& options);

    // TextLED: each line's text to the board row its first field names.
    void SendTextLED(const SectionTable& table);
    // TextLCD: line r's text to row r.
    void SendTextLCD(const SectionTable& table);
    // For the test of one output: "8888" on the line's TextLED row, or the line's description
    // on its TextLCD row (or the row cleared again).
    void TestLine(const SectionTable& table, qsizetype row, bool on);

private:
    OutputGrid& m_grid;
    BoardSlot m_board;
    OutputOptions& m_options;
};

} // namespace glimrow
