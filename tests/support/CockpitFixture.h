#pragma once

// A cockpit started on a configuration of the test's, without a window: the virtual boards,
// the real Pigrelay on the virtual EPIC card, the data server's object in memory, grids and
// labels in memory. The outputs are tested through it, as the program drives them.

#include "support/MemoryFlightData.h"

#include "cockpit/Cockpit.h"
#include "cockpit/CockpitState.h"
#include "cockpit/HeadlessView.h"
#include "phidget/virtual/VirtualHardware.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTemporaryDir>

#include <set>

namespace glimrow::test {

// The headless front end, keeping what a window would show of the board and stream state.
class RecordingView : public HeadlessView {
public:
    void beep() override { ++beeps; }
    void enableBoardControls(BoardKind kind) override { enabled.insert(kind); }
    void setServerFieldsEnabled(bool usable) override { serverFieldsEnabled = usable; }
    void setTcpCaptionBold(bool bold) override { tcpCaptionBold = bold; }
    // Every status the stream's connection said, as the log shows them.
    void showConnectionStatus(const QString& text) override
    {
        if (text != connectionStatus() && !text.isEmpty())
            connectionStatuses << text;
        HeadlessView::showConnectionStatus(text);
    }
    void showConfigProblems(const ConfigProblems& problems) override { shownProblems = problems; }
    void showNotice(const QString& text) override
    {
        notices << text;
        HeadlessView::showNotice(text);
    }
    void showServerProblem(const QString& text) override
    {
        serverProblems << text;
        HeadlessView::showServerProblem(text);
    }
    int beeps = 0;
    QStringList connectionStatuses;
    QStringList serverProblems;
    QStringList notices;
    ConfigProblems shownProblems;
    std::set<BoardKind> enabled;
    bool serverFieldsEnabled = true;
    bool tcpCaptionBold = false;
};

class CockpitFixture : public ::testing::Test {
protected:
    CockpitFixture();
    ~CockpitFixture() override;

    // `sections` with every section the program requires added (empty) where missing.
    static QByteArray withRequiredSections(QByteArray sections);
    void writeConfig(const QByteArray& text);
    // By default the flight-data object is made in memory and answers `m_values`.
    CockpitSettings settings(FlightDataFactory flightData = {});
    Cockpit& start(const QByteArray& config, FlightDataFactory flightData = {});
    // The configuration's first keys for the stream: TCP/IP to the test's own server.
    QByteArray tcpKeys();

    // A value of the flight data, now and for objects made later.
    void set(FlightDataField field, const QVariant& value);
    // One polling tick with the data server active.
    void tick();

    const VirtualDevice& board(int serial) const { return *m_hardware.device(serial); }
    PhidgetDeviceManager& devices() { return m_cockpit->devices(); }
    // The device list's row of a board, or -1; the colour of its "Phidget" cell.
    int deviceRow(int serial);
    CellColour deviceColour(int serial)
    {
        return grid(CockpitGrid::Devices).colour(deviceRow(serial), 1);
    }
    const MemoryGrid& grid(CockpitGrid which) { return m_view.memoryGrid(which); }
    const QString& label(CockpitLabel which) { return m_view.memoryLabel(which).text; }

    QTemporaryDir m_dir;
    RecordingView m_view;
    // As in the program: the core writes to the state, which passes it on to the view.
    CockpitState m_state{m_view};
    VirtualHardware m_hardware;
    QHash<FlightDataField, QVariant> m_values; // every field zero or empty, the server active
    MemoryFlightData* m_data = nullptr;        // the object made last
    int m_objectsMade = 0;
    QTcpServer m_stream;
    std::unique_ptr<Cockpit> m_cockpit;
};

} // namespace glimrow::test
