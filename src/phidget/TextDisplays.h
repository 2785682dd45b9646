#pragma once

// Readouts on TextLED boards (fuel flow, totalizer, channels, countermeasure status) and
// TextLCD boards (fault-list lines or the countermeasure panel), and the window's mirrors of
// the data-entry display and the fault list.
//
// A text line is: board row (TextLED) or fault-list line number (TextLCD "PFD" mode),
// description, keyword or mode, and the text to show. In DCOM mode the Build procedures
// rewrite the text from the flight data every cycle; otherwise the file's text stays.

#include "common/SectionTable.h"
#include "data/ConnectionManager.h"
#include "data/FlightDataRecord.h"
#include "phidget/OutputWindow.h"
#include "phidget/PhidgetBoard.h"

namespace glimrow {

class TextDisplays {
public:
    TextDisplays(OutputWindow& window, FlightDataSource& data, const FlightDataCache& cache);

    // Each throws FlightDataError when the flight data cannot be read (no object, TCP/IP
    // mode): the procedure ends there and the cycle goes on.
    void BuildTextLEDStrings(SectionTable& table);
    void BuildTextLCDStrings(SectionTable& table);
    void SendTextLED(int gridIndex, const SectionTable& table,
                     const std::shared_ptr<PhidgetTextLED>& board);
    void SendTextLCD(int gridIndex, const SectionTable& table,
                     const std::shared_ptr<PhidgetTextLCD>& board);
    void ShowDED();
    void ShowPFL();

    static constexpr int kDedLabel = 0;
    static constexpr int kPfdLabel = 2;

private:
    FlightDataObject& object();
    QString countermeasureLine(const QString& prefix, FlightDataField count);

    OutputWindow& m_window;
    FlightDataSource& m_data;
    const FlightDataCache& m_cache;
};

} // namespace glimrow
