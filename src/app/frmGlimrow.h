#pragma once

// The program's one window. It owns all program state (configuration tables, option flags,
// the window cache of the flight data record, the data server's object) and runs start-up
// (Form_Load) and shutdown (ShutdownProgram). The subsystems decide; the window wires them.

#include "app/ConfigFileParser.h"
#include "app/ConfigTables.h"
#include "app/TableGrid.h"
#include "app/frmGlimrowUi.h"
#include "data/ConnectionManager.h"
#include "data/FlightDataObject.h"
#include "data/FlightDataRecord.h"
#include "data/UpdateCycle.h"
#include "epic/EpicDispatch.h"
#include "epic/PigrelayLibrary.h"
#include "phidget/GaugeOutputs.h"
#include "phidget/LampOutputs.h"
#include "phidget/OutputWindow.h"
#include "phidget/PhidgetDeviceManager.h"
#include "phidget/PhidgetManager.h"
#include "phidget/TextDisplays.h"

#include <QDir>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>

class QLockFile;

namespace glimrow {

class MessageReporter;

// Where start-up looks for things; tests point these elsewhere.
struct StartupSettings {
    QString configFilePath = QStringLiteral("Glimrow.cfg");
    QString instanceLockPath = QDir::tempPath() + QStringLiteral("/glimrow.lock");
    // Makes the data server's flight-data object when DCOM is chosen; by default the D-Bus
    // object on the session bus.
    FlightDataFactory flightDataFactory;
    // Opens the Phidget boards' backends on the manager once its events are connected; by
    // default none (no board attaches).
    std::function<void(PhidgetManager&)> openPhidgets;
    // Says under the device list which boards can attach ("virtual boards", the library).
    QString phidgetLibraryLine;
    // Pigrelay as the EPIC buttons reach it; by default the library, loaded at first use.
    std::function<std::unique_ptr<PigrelayApi>()> pigrelay;
};

class frmGlimrow : public QMainWindow,
                   private ConfigGlobalKeys,
                   private ConnectionView,
                   private DeviceManagerView,
                   private OutputWindow {
    Q_OBJECT

public:
    explicit frmGlimrow(MessageReporter& messages, StartupSettings settings = {},
                        QWidget* parent = nullptr);
    ~frmGlimrow() override;

    // The window caption and the status bar's about line, from the version record.
    static QString caption();
    static QString aboutLine();

    // Runs the start-up sequence. False when the program ended during it (second copy,
    // missing or malformed configuration, start-up error); exitCode() then says how.
    bool Form_Load();
    // The one way out: darkens and releases everything, hides the window and emits ended().
    void ShutdownProgram();
    void mnuExit_Click() { ShutdownProgram(); }

    bool isEnded() const { return m_ended; }
    int exitCode() const { return m_exitCode; }

    const ConfigTables& tables() const { return m_tables; }
    FlightDataCache& cache() { return m_cache; }
    const frmGlimrowUi& ui() const { return m_ui; }
    const QTimer& tmrGlimrow() const { return m_tmrGlimrow; }

    // The grid `grdGlimrow(index)`, 0 to 12, as the output procedures write it.
    OutputGrid& grdGlimrow(int index) { return *m_grids.at(std::size_t(index)); }
    // Lamps, outputs and displays all on ("All Lamps On") or off (its release, shutdown).
    void TestAllOutputs(bool on, bool alsoDimmers);

    bool mbScreenUpdate() const { return m_mbScreenUpdate; }
    bool mbUpdateEpicAnyway() const { return m_mbUpdateEpicAnyway; }
    bool mbEpicOpen() const { return m_epic.mbEpicOpen(); }
    // Brightness for lit LED-64 lamps and TextLED displays, read when they are driven.
    int lampBrightness() const override;

    // Fits the tab control and the tall frames and grids to the window's size.
    void Form_Resize();
    // The polling timer's tick: emits updateCycleDue when the update gate is open.
    void tmrGlimrow_Timer();
    // Moves the polling slider, as the user would (1 to 250 ms).
    void setPollingInterval(int milliseconds);

    ConnectionManager& connection() { return *m_connection; }
    PhidgetDeviceManager& devices() { return m_devices; }
    EpicDispatch& epic() { return m_epic; }
    UpdateCycle& updateCycle() { return m_updateCycle; }

signals:
    // The program is over (after ShutdownProgram); the event loop should end with this code.
    void ended(int exitCode);
    // A polling tick found the update gate open ("All Lamps On" unchecked, data server
    // active): the update cycle is due.
    void updateCycleDue();

protected:
    void closeEvent(QCloseEvent* event) override; // Form_Unload
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<std::unique_ptr<TableGrid>, 13> setupUiAndGrids();
    bool runStartupSteps();
    bool acquireInstanceLock();
    void placeWindow();
    void SetupStatusBar();
    QString readConfigFile() const;
    bool ParseConfigFile();
    void BuildGrids();
    void ClearGSuitPanel();
    void CreatePhidgetManager();
    void pauseForEvents();
    void reportStartupError(const QString& description, const QString& source, int number);
    void endAtOnce();

    void chkGlimrow_Click(int index);
    void sldGlimrow_Change(int index);

    // ConfigGlobalKeys: what Glimrow.cfg's global keys set.
    void setServerAddress(const QString& address) override;
    void setServerPort(const QString& port) override;
    void selectConnectType(int index) override;
    void setNoScreenUpdate(bool checked) override;
    void setUpdateEpicAnyway(bool checked) override;

    // ConnectionView: the Communication frame and the status bar's second panel.
    QString serverAddress() const override;
    QString serverPort() const override;
    void setServerFieldsEnabled(bool enabled) override;
    void setTcpCaptionBold(bool bold) override;
    void showConnectType(int index) override;
    bool isDcomSelected() const override;
    void showServerState(const QString& text) override;

    // DeviceManagerView.
    void enableFrame(int frameIndex) override;
    void beep() override;

    // OutputWindow: the grids, labels and options the output procedures use.
    OutputGrid& grid(int index) override { return grdGlimrow(index); }
    QString labelText(int index) const override;
    void setLabelText(int index, const QString& text) override;
    bool screenUpdate() const override { return m_mbScreenUpdate; }
    void letEventsRun() override { pauseForEvents(); }

    void setUpUpdateCycle();

    MessageReporter& m_messages;
    StartupSettings m_settings;
    frmGlimrowUi m_ui;
    std::array<std::unique_ptr<TableGrid>, 13> m_grids;
    std::unique_ptr<QLockFile> m_instanceLock;

    QString msConfigFile;
    ConfigTables m_tables;
    FlightDataCache m_cache;
    std::unique_ptr<ConnectionManager> m_connection;
    UpdateCycle m_updateCycle;
    std::unique_ptr<PhidgetManager> m_phidgetManager;
    PhidgetDeviceManager m_devices;
    LampOutputs m_lamps;
    TextDisplays m_texts;
    GaugeOutputs m_gauges;
    std::unique_ptr<PigrelayApi> m_pigrelay;
    EpicDispatch m_epic;

    bool m_mbScreenUpdate = true;
    bool m_mbUpdateEpicAnyway = false;

    QTimer m_tmrGlimrow;
    bool m_ended = false;
    int m_exitCode = 0;
};

} // namespace glimrow
