#pragma once

// The program's one window: a view of the cockpit core. It shows the grids, labels and status
// bar the core writes, and forwards the user's actions (check boxes, sliders, option buttons,
// EPIC buttons, File menu) to it. The core decides; the window shows.

#include "app/TableGrid.h"
#include "app/frmGlimrowUi.h"
#include "cockpit/Cockpit.h"
#include "cockpit/CockpitState.h"
#include "cockpit/CockpitView.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

class QLabel;

namespace glimrow {

// One of the window's labels as the outputs write it.
class WidgetLabel final : public OutputLabel {
public:
    explicit WidgetLabel(QLabel* label) : m_label(label) {}
    void setText(const QString& text) override;
    void setStale(const QString& why) override;

private:
    QLabel* m_label;
};

class frmGlimrow : public QMainWindow, private CockpitView {
    Q_OBJECT

public:
    // `phidgetLibraryLine` says under the device list which boards can attach.
    frmGlimrow(MessageReporter& messages, CockpitSettings settings = {},
               const QString& phidgetLibraryLine = QString(), QWidget* parent = nullptr);
    ~frmGlimrow() override;

    // The window caption and the status bar's about line, from the version record.
    static QString caption();
    static QString aboutLine();

    // Runs the start-up sequence. False when the program ended during it (second copy,
    // missing or malformed configuration, start-up error); exitCode() then says how.
    bool Form_Load();
    void mnuExit_Click() { m_cockpit.ShutdownProgram(); }
    void mnuReload_Click() { m_cockpit.ReloadConfiguration(); }
    void btnOpenEpic_Click() { m_cockpit.OpenEpicCard(); }
    void btnCloseEpic_Click() { m_cockpit.CloseEpicCard(); }

    Cockpit& cockpit() { return m_cockpit; }
    // What the window shows, for other views of the same cockpit.
    CockpitState& state() { return m_state; }
    int exitCode() const { return m_cockpit.exitCode(); }
    const frmGlimrowUi& ui() const { return m_ui; }

    // The grid `grdGlimrow(index)`, 0 to 12.
    TableGrid& grdGlimrow(int index) { return *m_grids.at(std::size_t(index)); }
    // Fits the tab control and the tall frames and grids to the window's size.
    void Form_Resize();
    // Moves the polling slider, as the user would (1 to 250 ms).
    void setPollingInterval(int milliseconds);

protected:
    void closeEvent(QCloseEvent* event) override;               // Form_Unload
    bool eventFilter(QObject* watched, QEvent* event) override; // Space and Escape on grids
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<std::unique_ptr<TableGrid>, 13> setupUiAndGrids();
    void connectControls();
    void placeWindow();
    void SetupStatusBar();
    void chkGlimrow_Click(int index);
    void sldGlimrow_Change(int index);
    void optConnectType_Click(int index);
    // The test of one output from a grid's line: its context menu, Space, Escape, or choosing
    // another line.
    void connectOutputTests();
    void toggleOutputTest(int gridIndex, int row);

    // CockpitView.
    OutputGrid& grid(CockpitGrid which) override;
    OutputLabel& label(CockpitLabel which) override;
    void showMessage(const QString& title, const QString& text) override;
    void showConfigProblems(const ConfigProblems& problems) override;
    void showNotice(const QString& text) override;
    void showDashboardAddress(const QString& address) override;
    bool showsFlightData() const override;
    void showFlightData(const FlightDataShown& shown) override;
    void showActivity(const QString& text) override;
    void showLampBrightness(int value) override;
    void showAllLampsOn(bool checked) override;
    void setServerAddress(const QString& address) override;
    void setServerPort(const QString& port) override;
    void showNoScreenUpdate(bool checked) override;
    void showUpdateEpicAnyway(bool checked) override;
    void showUpdateOnArrival(bool checked) override;
    void showGSuitFormula(int motor, const QString& formula, const QString& problem) override;
    void enableBoardControls(BoardKind kind) override;
    void beep() override;
    QString serverAddress() const override;
    QString serverPort() const override;
    void setServerFieldsEnabled(bool enabled) override;
    void setTcpCaptionBold(bool bold) override;
    void showConnectType(int index) override;
    bool isDcomSelected() const override;
    void showServerState(const QString& text) override;
    void showConnectionStatus(const QString& text) override;
    void showServerProblem(const QString& text) override;

    MessageReporter& m_messages;
    frmGlimrowUi m_ui;
    std::array<std::unique_ptr<TableGrid>, 13> m_grids;
    std::array<WidgetLabel, 5> m_labels;
    // The core writes here; the state passes it all on to the window.
    CockpitState m_state;
    Cockpit m_cockpit;
    bool m_showingConnectType = false;
    bool m_connectTypePressedChosen = false; // the pressed option button was already chosen
};

} // namespace glimrow
