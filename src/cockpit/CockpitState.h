#pragma once

// What the cockpit shows, kept in the core so that any number of views can read it. The core
// writes to this state as to any view; the state remembers each grid, label, status and
// message and passes every call on to the view in front of the user (the window, or the log
// with --headless). Other views (the dashboard's pages) read the state, and each part's
// revision tells them what changed since they last looked.

#include "cockpit/CockpitView.h"
#include "common/MemoryGrid.h"

#include <QStringList>

#include <array>
#include <optional>

namespace glimrow {

// A grid's frame caption in the window ("PhidgetLED 64 - 1", "Analog Data", ...).
QString gridCaption(CockpitGrid grid);
// A grid's short name: its section's name in Glimrow.cfg ("PLED64-1", "EPICAnalogs"), or
// "Devices" for the device list.
QString gridKey(CockpitGrid grid);
std::optional<CockpitGrid> gridOfKey(const QString& key);
inline constexpr int kCockpitGridCount = int(CockpitGrid::Devices) + 1;
inline constexpr int kCockpitLabelCount = int(CockpitLabel::ServoOutput2) + 1;

// "Data server: ..." as the Messages list says a problem with what the server sends.
QString serverProblemLine(const QString& problem);

class CockpitState final : public CockpitView {
public:
    // The parts a view may refresh on their own: each grid (by CockpitGrid), then these.
    static constexpr int kLabelsPart = kCockpitGridCount;
    static constexpr int kConnectionPart = kLabelsPart + 1;
    static constexpr int kStatusPart = kConnectionPart + 1;
    static constexpr int kMessagesPart = kStatusPart + 1;
    static constexpr int kPartCount = kMessagesPart + 1;
    // The Messages list keeps the newest lines only.
    static constexpr int kMaxMessages = 500;

    explicit CockpitState(CockpitView& shown);

    // Rises whenever the part changes; 0 until it first does.
    quint64 revision(int part) const { return m_revisions.at(std::size_t(part)); }

    const MemoryGrid& shownGrid(CockpitGrid which) const;
    const MemoryLabel& shownLabel(CockpitLabel which) const;
    QString serverState() const { return m_serverState; }
    QString connectionStatus() const { return m_connectionStatus; }
    bool isDcomShown() const { return m_connectType == 1; }
    QString activity() const { return m_activity; }
    QString lastNotice() const { return m_lastNotice; }
    int lampBrightness() const { return m_lampBrightness; }
    bool allLampsOn() const { return m_allLampsOn; }
    bool noScreenUpdate() const { return m_noScreenUpdate; }
    std::optional<GridLine> outputUnderTest() const { return m_outputUnderTest; }
    const QStringList& messages() const { return m_messages; }

    // CockpitView: kept, then passed on.
    OutputGrid& grid(CockpitGrid which) override;
    OutputLabel& label(CockpitLabel which) override;
    void setServerAddress(const QString& address) override;
    void setServerPort(const QString& port) override;
    void showNoScreenUpdate(bool checked) override;
    void showUpdateEpicAnyway(bool checked) override { m_shown.showUpdateEpicAnyway(checked); }
    void showUpdateOnArrival(bool checked) override { m_shown.showUpdateOnArrival(checked); }
    void showGSuitFormula(int motor, const QString& formula, const QString& problem) override;
    void showConfigProblems(const ConfigProblems& problems) override;
    void showNotice(const QString& text) override;
    // A notice whose whole text holds a secret (the dashboard's token): the window and the log
    // get `whole`, the state that pages are sent gets `withoutSecret`.
    void showSecretNotice(const QString& whole, const QString& withoutSecret);
    // Only to the view, never to pages: the address holds the dashboard's token.
    void showDashboardAddress(const QString& address) override
    {
        m_shown.showDashboardAddress(address);
    }
    void showActivity(const QString& text) override;
    void showLampBrightness(int value) override;
    void showAllLampsOn(bool checked) override;
    void showOutputUnderTest(const std::optional<GridLine>& line) override;
    bool showsFlightData() const override { return m_shown.showsFlightData(); }
    void showFlightData(const FlightDataShown& shown) override { m_shown.showFlightData(shown); }
    void enableBoardControls(BoardKind kind) override { m_shown.enableBoardControls(kind); }
    void beep() override { m_shown.beep(); }
    void showMessage(const QString& title, const QString& text) override;
    bool showsWindow() const override { return m_shown.showsWindow(); }
    QString serverAddress() const override { return m_shown.serverAddress(); }
    QString serverPort() const override { return m_shown.serverPort(); }
    void setServerFieldsEnabled(bool enabled) override { m_shown.setServerFieldsEnabled(enabled); }
    void setTcpCaptionBold(bool bold) override { m_shown.setTcpCaptionBold(bold); }
    void showConnectType(int index) override;
    bool isDcomSelected() const override { return m_shown.isDcomSelected(); }
    void showServerState(const QString& text) override;
    void showConnectionStatus(const QString& text) override;
    void showServerProblem(const QString& text) override;

private:
    // A grid that remembers what it shows and passes each change on.
    class KeptGrid final : public OutputGrid {
    public:
        KeptGrid(CockpitState& state, CockpitGrid which);
        int rowCount() const override { return m_kept.rowCount(); }
        void setRowCount(int rows) override;
        int columnCount() const override { return m_kept.columnCount(); }
        void setColumnCount(int columns) override;
        void setColumnWidth(int column, int twips) override;
        void setColumnAlignment(int column, ColumnAlignment alignment) override;
        QString text(int row, int column) const override { return m_kept.text(row, column); }
        void setText(int row, int column, const QString& text) override;
        void setCellColour(int row, int column, CellColour colour) override;
        void setColumnStale(int column, const QString& why) override;
        const MemoryGrid& kept() const { return m_kept; }

    private:
        CockpitState& m_state;
        OutputGrid& m_shown;
        int m_part;
        MemoryGrid m_kept;
    };
    class KeptLabel final : public OutputLabel {
    public:
        KeptLabel(CockpitState& state, CockpitLabel which);
        void setText(const QString& text) override;
        void setStale(const QString& why) override;
        const MemoryLabel& kept() const { return m_kept; }

    private:
        CockpitState& m_state;
        OutputLabel& m_shown;
        MemoryLabel m_kept;
    };

    void changed(int part) { m_revisions.at(std::size_t(part)) = ++m_lastRevision; }
    void addMessage(const QString& line);

    CockpitView& m_shown;
    std::array<quint64, kPartCount> m_revisions{};
    quint64 m_lastRevision = 0;
    std::vector<KeptGrid> m_grids;
    std::vector<KeptLabel> m_labels;
    QString m_serverState;
    QString m_connectionStatus;
    int m_connectType = -1;
    QString m_activity;
    QString m_lastNotice;
    int m_lampBrightness = 0;
    bool m_allLampsOn = false;
    bool m_noScreenUpdate = false;
    std::optional<GridLine> m_outputUnderTest;
    QStringList m_messages;
};

} // namespace glimrow
