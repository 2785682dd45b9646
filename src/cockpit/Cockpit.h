#pragma once

// The cockpit core: everything the program is, without a window. It owns the configuration
// tables, the connection to the data server, the Phidget device manager and the outputs, the
// EPIC dispatch, the polling timer and the update cycle's step list. A front end (the window,
// or none with --headless) shows what it reports through CockpitView and forwards the user's
// actions to it.

#include "cockpit/CockpitView.h"
#include "cockpit/ConfigFileParser.h"
#include "cockpit/ConfigTables.h"
#include "cockpit/FlightDataPanel.h"
#include "data/ArrivalTrigger.h"
#include "data/ConnectionManager.h"
#include "data/FlightDataRecord.h"
#include "data/FlightDataRecorder.h"
#include "data/UpdateCycle.h"
#include "epic/EpicDispatch.h"
#include "epic/PigrelayLibrary.h"
#include "phidget/GaugeOutputs.h"
#include "phidget/LampOutputs.h"
#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"
#include "phidget/PhidgetManager.h"
#include "phidget/TextDisplays.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

namespace glimrow {

class InstanceLock;

// Where start-up looks for things; tests point these elsewhere.
struct CockpitSettings {
    QString configFilePath = QStringLiteral("Glimrow.cfg");
    QString instanceLockPath; // empty: InstanceLock::defaultPath()
    // Makes the data server's flight-data object when DCOM is chosen; by default the D-Bus
    // object on the session bus.
    FlightDataFactory flightDataFactory;
    // Opens the Phidget boards' backends on the manager once its events are connected; by
    // default none (no board attaches).
    std::function<void(PhidgetManager&)> openPhidgets;
    // Pigrelay's file; by default beside the program.
    QString pigrelayFile;
};

class Cockpit : public QObject,
                public ConfigGlobalKeys,
                private DeviceManagerView,
                private OutputOptions {
    Q_OBJECT

public:
    static constexpr int kDefaultPollingMs = 100;
    static constexpr int kDefaultBrightness = 75;
    static constexpr int kMinBrightness = 50;  // "Day"
    static constexpr int kMaxBrightness = 100; // "Night"
    // The exit status when another copy holds the single-copy lock: a service manager must not
    // start the program again and again while that copy runs.
    static constexpr int kExitAnotherCopyRunning = 3;

    explicit Cockpit(CockpitView& view, CockpitSettings settings = {}, QObject* parent = nullptr);
    ~Cockpit() override;

    // The start-up sequence that needs no window: the single-copy check, the Phidget manager,
    // Glimrow.cfg read and applied, the grids built, DCOM unless the file chose. False when
    // the program ended during it (exitCode() says how), the user having been told why, or
    // was asked to end while it ran (a signal, the end of --run-for).
    bool Start();
    // Reads Glimrow.cfg again. On success the tables, grids and option keys are replaced, and
    // boards whose section changed get their starting settings again; the connection, the
    // boards and the EPIC card stay open. A file that fails leaves everything as it was, and
    // the message says why.
    bool ReloadConfiguration();
    // The Flight Data tab, when it is on screen and screen updates are on (every tick, and
    // when the user brings it up).
    void showFlightData();
    // Writes what the data server sends to `path`, up to `limitBytes`, from the end of
    // start-up on (or from now, after it). Asked before Start(), the file is made once the
    // configuration is read and the single-copy lock is held, and a file that cannot be made
    // ends start-up. False when the file cannot be written: the user is told, and exitCode()
    // is 1.
    bool startRecording(const QString& path, qint64 limitBytes, bool replaceExisting = false);
    // The one way out: darkens and releases everything, then emits ended().
    void ShutdownProgram();

    bool isEnded() const { return m_ended; }
    int exitCode() const { return m_exitCode; }

    // ConfigGlobalKeys: the keys of Glimrow.cfg, and the same options set by the user.
    void setServerAddress(const QString& address) override;
    void setServerPort(const QString& port) override;
    void selectConnectType(int index) override;
    void setNoScreenUpdate(bool checked) override;   // chkGlimrow(0)
    void setUpdateEpicAnyway(bool checked) override; // chkGlimrow(2)
    // chkGlimrow(3): a cycle as soon as the data server sends new values, beside the timer's.
    void setUpdateOnArrival(bool checked) override;
    // Read at start-up only: a headless cockpit has no "Open Epic" button.
    void setOpenEpicAtStart(bool open) override { m_openEpicAtStart = open; }
    // From the file: replaces what the user typed, saying so.
    void setGSuitFormula(int motor, const QString& formula) override;
    // [WEB]: where the dashboard listens, as written ("" when the file has no such key).
    void setWebListen(const QString& listen) override { m_webListen = listen; }
    QString webListen() const { return m_webListen; }
    // G-suit motor 1 or 2's conversion formula (fldGlimrow(2) and (3)) as the user typed it;
    // why it cannot be read, or "" when it can. While `typing`, a formula is taken as soon as it
    // reads, and one that does not yet read changes nothing.
    enum class Entry { Typing, Done };
    QString applyGSuitFormula(int motor, const QString& formula, Entry entry = Entry::Done);

    // The user's other actions.
    void setAllLampsOn(bool checked); // chkGlimrow(1): the lamp test
    void setLampBrightness(int value);
    void setPollingInterval(int milliseconds);
    void ChooseConnectType(int index); // 0 TCP/IP, 1 DCOM
    void OpenEpicCard();
    void CloseEpicCard();

    // Lamps, outputs and displays all on ("All Lamps On") or off (its release, shutdown).
    void TestAllOutputs(bool on, bool alsoDimmers);
    // The test of one output, to find what a line drives: line `line` (0 the first) of the
    // section that `grid` lists is lit (an LED or output on at the slider's brightness, "8888"
    // on a TextLED row, the line's description on a TextLCD row, 255 in an EPIC pigeonhole) and
    // marked in its grid; the update cycle leaves it alone, and drives the others, until the
    // test ends. A test of another line ends this one first. False when there is no such line.
    bool TestOutput(CockpitGrid grid, int line);
    // The output goes dark (or clears) and is the data's again from the next cycle.
    void EndOutputTest();
    using OutputUnderTest = GridLine;
    // The window's and the dashboard's "Test" on a line: ends its test when that line is under
    // test, else tests it.
    bool ToggleOutputTest(CockpitGrid grid, int line);
    std::optional<OutputUnderTest> outputUnderTest() const { return m_outputUnderTest; }
    // The polling timer's tick: the update cycle, while "All Lamps On" is clear and the data
    // server is active.
    void tmrGlimrow_Timer();

    const ConfigTables& tables() const { return m_tables; }
    const ConfigProblems& configProblems() const { return m_configProblems; }
    FlightDataCache& cache() { return m_cache; }
    ConnectionManager& connection() { return m_connection; }
    PhidgetDeviceManager& devices() { return m_devices; }
    UpdateCycle& updateCycle() { return m_updateCycle; }
    const QTimer& tmrGlimrow() const { return m_tmrGlimrow; }
    bool mbScreenUpdate() const { return m_mbScreenUpdate; }
    bool mbUpdateEpicAnyway() const { return m_mbUpdateEpicAnyway; }
    bool updatesOnArrival() const { return m_arrivals.isEnabled(); }
    const ArrivalTrigger& arrivals() const { return m_arrivals; }
    bool mbEpicOpen() const { return m_epic.mbEpicOpen(); }
    int lampBrightness() const override { return m_lampBrightness; }

signals:
    // The program is over (after ShutdownProgram); the event loop should end with this code.
    void ended(int exitCode);

private:
    bool runStartupStepsReportingErrors();
    bool runStartupSteps();
    void reportStartupError(const QString& description, const QString& source, int number);
    void endAtOnce(int exitCode = 1);
    bool openRecording();
    void beginRecording();
    bool acquireInstanceLock();
    void CreatePhidgetManager();
    bool ParseConfigFile();
    // Every warning and error of the file: on standard error, and to the front end.
    void reportConfigProblems();
    void BuildGrids();
    void ClearGSuitPanel();
    // Motor 1 or 2 on `formula`, shown in its box; why it cannot be read, or "".
    QString useGSuitFormula(int motor, const QString& formula);
    void resendChangedSections(const ConfigTables& before);
    // The section a grid lists, and the output that drives it; none for other grids.
    struct TestableSection {
        std::optional<SectionTable>* table = nullptr;
        LineUnderTest* output = nullptr;
        std::function<void(const SectionTable&, qsizetype, bool)> drive;
    };
    TestableSection testable(CockpitGrid grid);
    void driveOutputUnderTest(bool on);
    // Every cell of a grid line in `colour`.
    void markLine(CockpitGrid grid, int line, CellColour colour);
    // The status: the lamp test, the test of one output, or nothing.
    void showWhatTheOutputsDo();
    void setUpUpdateCycle();
    // Start-up, a reload or an update cycle is under way: what arrives while it lets events
    // run waits for its end, so that it neither runs on half-changed tables nor is undone by
    // the rest of that work.
    bool isBusy() const { return m_startingUp || m_reloading || m_updateCycle.isRunning(); }
    // Keeps `action` for later when it arrives during such a pause; false when it may run now.
    bool deferredWhileBusy(std::function<void()> action);
    // Runs what was kept, in order, once the work has ended.
    void takeDeferredActions();
    bool updateCycleMayRun() const;
    // Marks on screen the values the data no longer drives (TCP/IP carries only the lamps;
    // an inactive server, nothing) as last seen.
    void showWhatIsLive();

    void endOutputTestNow();

    // DeviceManagerView.
    void enableBoardControls(BoardKind kind) override { m_view.enableBoardControls(kind); }
    void beep() override { m_view.beep(); }
    // The window's device list shows the boards; a log has only its lines.
    void tellBoardChange(const QString& text) override
    {
        if (!m_view.showsWindow())
            m_view.showNotice(text);
    }
    // OutputOptions.
    bool screenUpdate() const override { return m_mbScreenUpdate; }
    void letEventsRun() override;

    CockpitView& m_view;
    CockpitSettings m_settings;
    std::unique_ptr<InstanceLock> m_instanceLock;
    QString msConfigFile; // the file's whole text while it is being parsed
    ConfigProblems m_configProblems;

    ConfigTables m_tables;
    FlightDataCache m_cache;
    ConnectionManager m_connection;
    UpdateCycle m_updateCycle;
    ArrivalTrigger m_arrivals;
    std::unique_ptr<PhidgetManager> m_phidgetManager;
    PhidgetDeviceManager m_devices;
    LampOutputs m_led64Lamps1;
    LampOutputs m_led64Lamps2;
    LampOutputs m_interfaceKitLamps1;
    LampOutputs m_interfaceKitLamps2;
    TextDisplays m_texts;
    TextBoardOutputs m_textLed1;
    TextBoardOutputs m_textLed2;
    TextBoardOutputs m_textLcd1;
    TextBoardOutputs m_textLcd2;
    GaugeOutputs m_gauges;
    PigrelayLibrary m_pigrelay;
    EpicDispatch m_epic;

    bool m_mbScreenUpdate = true;
    bool m_mbUpdateEpicAnyway = false;
    bool m_allLampsOn = false;
    bool m_connectTypeChosen = false;
    bool m_openEpicAtStart = false;
    // The connection as Glimrow.cfg last said it: a reload that says otherwise switches to it.
    struct FileConnection {
        int type = 1; // DCOM, without [COMPREF]
        std::optional<QString> address;
        std::optional<QString> port;
        bool operator==(const FileConnection&) const = default;
    };
    FileConnection m_fileConnection;
    // After a reload whose file names another connection: chooses it, and says which.
    QString switchToFileConnection();
    bool m_startingUp = false;
    bool m_reloading = false;
    int m_pauseDepth = 0;                                    // how deep in letEventsRun
    std::optional<std::pair<QString, QString>> m_shownStale; // lamps, other values
    FlightDataPanel m_flightDataPanel;
    std::unique_ptr<FlightDataRecorder> m_recorder;
    bool m_started = false; // start-up has run to its end
    // What the user or a signal asked for while work was paused for events, in order.
    std::deque<std::function<void()>> m_deferred;
    bool m_takingDeferred = false;
    bool m_reloadWaiting = false; // a reload is among them
    std::optional<OutputUnderTest> m_outputUnderTest;
    int m_lampBrightness = kDefaultBrightness;
    QString m_webListen;
    std::array<std::optional<QString>, 2> m_typedFormulas; // what the user typed, per motor

    QTimer m_tmrGlimrow;
    bool m_ended = false;
    int m_exitCode = 0;
};

} // namespace glimrow
