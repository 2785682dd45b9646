#pragma once

// The program's side of the EPIC card: "Open Epic" and "Close Epic", and the pass of every
// [EPICAnalogs] line that shows its variable in the EPIC grid and, while the card is open,
// hands it to its pigeonhole through Pigrelay.
//
// A line is: pigeonhole, description, keyword (upper-cased, blanks kept), and the value shown.
// Unknown keywords keep their file text. A line whose pigeonhole or value cannot be converted
// is skipped for that pass; a failed read of the flight data ends the pass.

#include "common/MessageReporter.h"
#include "common/OutputGrid.h"
#include "common/SectionTable.h"
#include "data/ConnectionManager.h"
#include "epic/PigrelayLibrary.h"
#include "phidget/LineUnderTest.h"
#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"

#include <QStringList>

#include <set>
#include <span>
#include <string>

namespace glimrow {

class EpicDispatch : public LineUnderTest {
public:
    EpicDispatch(PigrelayLibrary& pigrelay, OutputGrid& epicGrid, FlightDataSource& data,
                 PhidgetDeviceManager& devices, MessageReporter& messages, OutputOptions& options);

    // Opens the card; once open, the derived channels' pigeonholes named by `lines` (the
    // INTRESFUEL and INTWINGFUEL lines) are handed over, so the first pass is already right.
    void OpenEpicCard(const SectionTable* lines);
    void CloseEpicCard();
    void SendEpicValues(SectionTable& table);
    // For the test of one output: 255 (or 0 again) in the line's pigeonhole, on an open card.
    void TestLine(const SectionTable& table, qsizetype row, bool on);
    // A new [EPICAnalogs] section (a reloaded configuration): derived sends follow its lines.
    void setLines(const SectionTable* lines);

    bool mbEpicOpen() const { return m_mbEpicOpen; }
    // The [EPICAnalogs] keywords the pass knows.
    static QStringList keywords();

private:
    struct Channel;
    static std::span<const Channel> channels();
    static const Channel* channelFor(const QString& keyword);

    void sendLine(SectionTable& table, qsizetype row, const Channel& channel);
    void callCard(const Channel& channel, std::int32_t pigeonhole, std::int32_t value);
    void handDerivedPigeonhole(const Channel& channel, std::int32_t pigeonhole);
    void report(const PigrelayError& error);

    PigrelayLibrary& m_pigrelay;
    OutputGrid& m_epicGrid;
    FlightDataSource& m_data;
    PhidgetDeviceManager& m_devices;
    MessageReporter& m_messages;
    OutputOptions& m_options;
    bool m_mbEpicOpen = false;
    // Derived sends go only to a pigeonhole a line of the file asked for.
    bool m_reservePigeonholeGiven = false;
    bool m_wingPigeonholeGiven = false;
    std::set<std::string> m_reported;
};

} // namespace glimrow
