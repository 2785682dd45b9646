#include "cockpit/Cockpit.h"

#include "GlimrowVersion.h"
#include "cockpit/ConfigCheck.h"
#include "cockpit/GridSetup.h"
#include "cockpit/InstanceLock.h"
#include "cockpit/StartupError.h"
#include "common/SkippedStep.h"
#include "data/DBusFlightData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopedValueRollback>

#include <cstdio>
#include <new>

namespace glimrow {

Q_LOGGING_CATEGORY(lcCockpit, "glimrow.cockpit", QtWarningMsg)

namespace {

const QString kErrorTitle = QStringLiteral("Vantor Lumex-Mon Error");
const QString kKeptOnReload = QStringLiteral("\rThe running configuration stays in use.");

QString linesCount(std::size_t lines)
{
    return lines == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(lines);
}

QString productName()
{
    return QString::fromLatin1(version::kProductName);
}

FlightDataFactory sessionBusFlightData()
{
    return [] { return std::make_unique<DBusFlightData>(DBusFlightData::sessionBus()); };
}

// The sections without which the text, gauge and EPIC grids cannot be set up.
void requireSections(const ConfigTables& tables)
{
    const QString missing = tables.missingRequiredSection();
    if (!missing.isEmpty()) {
        throw StartupError(QStringLiteral("Section [%1] is missing from Glimrow.cfg").arg(missing),
                           StartupError::SubscriptOutOfRange);
    }
}

const SectionTable* tableOrNull(const std::optional<SectionTable>& table)
{
    return table ? &*table : nullptr;
}

// An update-cycle step that runs an output procedure on its section; an absent section makes
// the step do nothing.
template <typename Output, typename Table>
UpdateCycle::Step sectionStep(const char* name, std::optional<SectionTable>& section,
                              Output& output, void (Output::*procedure)(Table&))
{
    return {name, [&section, &output, procedure] {
                if (section)
                    (output.*procedure)(*section);
            }};
}

// Which section drives which board slot, and which grid lists it; `fields`: how many of a
// line's fields tell what goes to the board (of a text line the fourth is rewritten from the
// data on every cycle).
const struct {
    const char* name;
    std::optional<SectionTable> ConfigTables::*table;
    BoardKind kind;
    int slot;
    int fields;
    CockpitGrid grid;
} kBoardSections[] = {
    {"PLED64-1", &ConfigTables::maPLED64_1, BoardKind::LED, 1, 4, CockpitGrid::PLED64_1},
    {"PLED64-2", &ConfigTables::maPLED64_2, BoardKind::LED, 2, 4, CockpitGrid::PLED64_2},
    {"P01616-1", &ConfigTables::maP01616_1, BoardKind::InterfaceKit, 1, 4, CockpitGrid::P01616_1},
    {"P01616-2", &ConfigTables::maP01616_2, BoardKind::InterfaceKit, 2, 4, CockpitGrid::P01616_2},
    {"PTLED-1", &ConfigTables::maPTLED_1, BoardKind::TextLED, 1, 3, CockpitGrid::PTLED_1},
    {"PTLED-2", &ConfigTables::maPTLED_2, BoardKind::TextLED, 2, 3, CockpitGrid::PTLED_2},
    {"PTLCD-1", &ConfigTables::maPTLCD_1, BoardKind::TextLCD, 1, 3, CockpitGrid::PTLCD_1},
    {"PTLCD-2", &ConfigTables::maPTLCD_2, BoardKind::TextLCD, 2, 3, CockpitGrid::PTLCD_2},
};

// The section a grid of a testable output lists, by its name in the file.
QString sectionName(CockpitGrid grid)
{
    for (const auto& section : kBoardSections) {
        if (section.grid == grid)
            return QString::fromLatin1(section.name);
    }
    return QStringLiteral("EPICAnalogs");
}

// What a board in a slot drives, as the device list shows it.
QString sectionDriven(BoardKind kind, int slot)
{
    if (kind == BoardKind::Servo)
        return slot == 1 ? QStringLiteral("G-suit") : QStringLiteral("none");
    for (const auto& section : kBoardSections) {
        if (section.kind == kind && section.slot == slot)
            return QString::fromLatin1(section.name);
    }
    return QStringLiteral("none");
}

// Global keys of a reloaded file, held until the whole file has been read and accepted.
class ReloadedKeys final : public ConfigGlobalKeys {
public:
    void setServerAddress(const QString& address) override { m_address = address; }
    void setServerPort(const QString& port) override { m_port = port; }
    void selectConnectType(int index) override { m_connectType = index; }
    void setNoScreenUpdate(bool checked) override { m_noScreenUpdate = checked; }
    void setUpdateEpicAnyway(bool checked) override { m_updateEpicAnyway = checked; }
    void setUpdateOnArrival(bool on) override { m_updateOnArrival = on; }
    void setGSuitFormula(int motor, const QString& formula) override
    {
        m_formulas.at(std::size_t(motor - 1)) = formula;
    }

    void applyTo(ConfigGlobalKeys& keys) const
    {
        for (int motor : {1, 2}) {
            if (const auto& formula = m_formulas[std::size_t(motor - 1)])
                keys.setGSuitFormula(motor, *formula);
        }
        if (m_address)
            keys.setServerAddress(*m_address);
        if (m_port)
            keys.setServerPort(*m_port);
        if (m_noScreenUpdate)
            keys.setNoScreenUpdate(*m_noScreenUpdate);
        if (m_updateEpicAnyway)
            keys.setUpdateEpicAnyway(*m_updateEpicAnyway);
        if (m_updateOnArrival)
            keys.setUpdateOnArrival(*m_updateOnArrival);
    }

    // The connection the file names; choosing it is the reload's last step.
    int connectType() const { return m_connectType.value_or(1); }
    const std::optional<QString>& address() const { return m_address; }
    const std::optional<QString>& port() const { return m_port; }

private:
    std::optional<int> m_connectType;
    std::optional<QString> m_address;
    std::optional<QString> m_port;
    std::optional<bool> m_noScreenUpdate;
    std::optional<bool> m_updateEpicAnyway;
    std::optional<bool> m_updateOnArrival;
    std::array<std::optional<QString>, 2> m_formulas;
};

// Whether a section drives its board differently, comparing the first `fields` fields.
bool sameLines(const std::optional<SectionTable>& a, const std::optional<SectionTable>& b,
               int fields)
{
    if (!a || !b)
        return !a && !b;
    if (a->rowCount() != b->rowCount())
        return false;
    for (qsizetype row = 0; row < a->rowCount(); ++row) {
        for (int field = 0; field < fields; ++field) {
            if (a->field(field, row) != b->field(field, row))
                return false;
        }
    }
    return true;
}

} // namespace

Cockpit::Cockpit(CockpitView& view, CockpitSettings settings, QObject* parent)
    : QObject(parent), m_view(view), m_settings(std::move(settings)),
      m_connection(view, m_cache,
                   m_settings.flightDataFactory ? m_settings.flightDataFactory
                                                : sessionBusFlightData()),
      m_updateCycle(m_connection, m_cache, [this] { letEventsRun(); }),
      m_arrivals(m_updateCycle,
                 [this] {
                     showWhatIsLive();
                     return m_updateCycle.runOnNewerData();
                 }),
      m_devices(view.grid(CockpitGrid::Devices), *this),
      m_led64Lamps1(view.grid(CockpitGrid::PLED64_1), BoardSlot(m_devices, BoardKind::LED, 1),
                    m_cache, *this),
      m_led64Lamps2(view.grid(CockpitGrid::PLED64_2), BoardSlot(m_devices, BoardKind::LED, 2),
                    m_cache, *this),
      m_interfaceKitLamps1(view.grid(CockpitGrid::P01616_1),
                           BoardSlot(m_devices, BoardKind::InterfaceKit, 1), m_cache, *this),
      m_interfaceKitLamps2(view.grid(CockpitGrid::P01616_2),
                           BoardSlot(m_devices, BoardKind::InterfaceKit, 2), m_cache, *this),
      m_texts(m_connection, m_cache, *this, view.label(CockpitLabel::DED),
              view.label(CockpitLabel::PFL)),
      m_textLed1(view.grid(CockpitGrid::PTLED_1), BoardSlot(m_devices, BoardKind::TextLED, 1),
                 *this),
      m_textLed2(view.grid(CockpitGrid::PTLED_2), BoardSlot(m_devices, BoardKind::TextLED, 2),
                 *this),
      m_textLcd1(view.grid(CockpitGrid::PTLCD_1), BoardSlot(m_devices, BoardKind::TextLCD, 1),
                 *this),
      m_textLcd2(view.grid(CockpitGrid::PTLCD_2), BoardSlot(m_devices, BoardKind::TextLCD, 2),
                 *this),
      m_gauges(m_connection, *this, view.grid(CockpitGrid::SKITS),
               GSuitPanel{view.label(CockpitLabel::GForce), view.label(CockpitLabel::ServoOutput1),
                          view.label(CockpitLabel::ServoOutput2)},
               m_devices, BoardSlot(m_devices, BoardKind::Servo, 1)),
      m_pigrelay(m_settings.pigrelayFile),
      m_epic(m_pigrelay, view.grid(CockpitGrid::EPICAnalogs), m_connection, m_devices, view, *this)
{
    setUpUpdateCycle();
    m_devices.setSectionNames(sectionDriven);
    m_view.showLampBrightness(m_lampBrightness);
    // The polling timer runs from the start; its ticks do nothing until the data server is
    // active.
    m_tmrGlimrow.setTimerType(Qt::PreciseTimer);
    m_tmrGlimrow.setInterval(kDefaultPollingMs);
    connect(&m_tmrGlimrow, &QTimer::timeout, this, &Cockpit::tmrGlimrow_Timer);
    m_tmrGlimrow.start();
    connect(&m_connection, &ConnectionManager::frameDecoded, this,
            [this](const QByteArray& frame) { m_flightDataPanel.takeFrame(frame); });
    connect(&m_connection, &ConnectionManager::valuesChanged, this,
            [this] { m_arrivals.valuesChanged(); });
    connect(&m_connection, &ConnectionManager::objectFilled, this,
            [this](const QVariantMap& snapshot) { m_flightDataPanel.takeSnapshot(snapshot); });
}

Cockpit::~Cockpit() = default;

void Cockpit::setUpUpdateCycle()
{
    m_updateCycle.setGate([this] { return updateCycleMayRun(); });
    m_updateCycle.setCycleEnded([this] {
        m_arrivals.cycleEnded();
        takeDeferredActions();
    });
    ConfigTables& t = m_tables;
    m_updateCycle.setDcomSteps({
        sectionStep("BuildTextLEDStrings [PTLED-1]", t.maPTLED_1, m_texts,
                    &TextDisplays::BuildTextLEDStrings),
        sectionStep("BuildTextLEDStrings [PTLED-2]", t.maPTLED_2, m_texts,
                    &TextDisplays::BuildTextLEDStrings),
        sectionStep("BuildTextLCDStrings [PTLCD-1]", t.maPTLCD_1, m_texts,
                    &TextDisplays::BuildTextLCDStrings),
        sectionStep("BuildTextLCDStrings [PTLCD-2]", t.maPTLCD_2, m_texts,
                    &TextDisplays::BuildTextLCDStrings),
        sectionStep("ComputeGauges", t.maSKITS, m_gauges, &GaugeOutputs::ComputeGauges),
    });
    m_updateCycle.setOutputSteps({
        sectionStep("SendLamps [PLED64-1]", t.maPLED64_1, m_led64Lamps1, &LampOutputs::SendLamps),
        sectionStep("SendLamps [PLED64-2]", t.maPLED64_2, m_led64Lamps2, &LampOutputs::SendLamps),
        sectionStep("SendLamps [P01616-1]", t.maP01616_1, m_interfaceKitLamps1,
                    &LampOutputs::SendLamps),
        sectionStep("SendLamps [P01616-2]", t.maP01616_2, m_interfaceKitLamps2,
                    &LampOutputs::SendLamps),
        sectionStep("SendTextLED [PTLED-1]", t.maPTLED_1, m_textLed1,
                    &TextBoardOutputs::SendTextLED),
        sectionStep("SendTextLED [PTLED-2]", t.maPTLED_2, m_textLed2,
                    &TextBoardOutputs::SendTextLED),
        sectionStep("SendTextLCD [PTLCD-1]", t.maPTLCD_1, m_textLcd1,
                    &TextBoardOutputs::SendTextLCD),
        sectionStep("SendTextLCD [PTLCD-2]", t.maPTLCD_2, m_textLcd2,
                    &TextBoardOutputs::SendTextLCD),
        {"ShowDED", [this] { m_texts.ShowDED(); }},
        {"ShowPFL", [this] { m_texts.ShowPFL(); }},
        sectionStep("ShowGauges", t.maSKITS, m_gauges, &GaugeOutputs::ShowGauges),
        {"SendEpicValues",
         [this] {
             // The pass runs for an open card, or to show the values without one when asked.
             if (m_tables.maEPICAnalogs && (m_epic.mbEpicOpen() || m_mbUpdateEpicAnyway))
                 m_epic.SendEpicValues(*m_tables.maEPICAnalogs);
         }},
        {"DriveGSuit", [this] { m_gauges.DriveGSuit(); }},
    });
}

bool Cockpit::Start()
{
    m_startingUp = true;
    const bool started = runStartupStepsReportingErrors();
    m_startingUp = false;
    m_started = started;
    // The recording's first line names the connection start-up chose.
    if (started && m_recorder)
        beginRecording();
    if (started && m_openEpicAtStart)
        OpenEpicCard();
    // A stop asked for while start-up let events run is taken now.
    takeDeferredActions();
    return started && !m_ended;
}

bool Cockpit::runStartupStepsReportingErrors()
{
    try {
        return runStartupSteps();
    } catch (const StartupError& error) {
        reportStartupError(error.description(), error.source(), error.number());
    } catch (const std::bad_alloc&) {
        reportStartupError(QStringLiteral("Out of memory"), QStringLiteral("Glimrow"),
                           StartupError::OutOfMemory);
    } catch (const std::out_of_range& error) {
        reportStartupError(QString::fromLocal8Bit(error.what()), QStringLiteral("Glimrow"),
                           StartupError::SubscriptOutOfRange);
    }
    m_exitCode = 1;
    m_startingUp = false;
    ShutdownProgram();
    return false;
}

bool Cockpit::runStartupSteps()
{
    if (!acquireInstanceLock()) {
        endAtOnce(m_exitCode);
        return false;
    }
    m_cache.VantorAy = false;
    InitDeviceGrid(m_view.grid(CockpitGrid::Devices));
    CreatePhidgetManager();

    const QFileInfo config(m_settings.configFilePath);
    if (!config.exists()) {
        m_view.showMessage(QStringLiteral("Missing Config"),
                           QStringLiteral("Glimrow.cfg File Is Missing - Program will Terminate\r"
                                          "Looked for it in %1")
                               .arg(QDir::toNativeSeparators(config.absolutePath())));
        endAtOnce();
        return false;
    }
    msConfigFile = ConfigFileParser::readFile(m_settings.configFilePath);
    const bool parsed = ParseConfigFile();
    msConfigFile.clear(); // the text is no longer needed
    reportConfigProblems();
    if (!parsed) {
        m_view.showMessage(productName(),
                           ConfigFileParser::formatErrorText() + QStringLiteral("\r\r") +
                               errorSentences(m_configProblems, m_settings.configFilePath));
        endAtOnce();
        return false;
    }
    if (m_recorder && !openRecording()) {
        endAtOnce();
        return false;
    }
    BuildGrids();
    ClearGSuitPanel();
    if (!m_connectTypeChosen)
        ChooseConnectType(1); // DCOM unless the configuration chose
    return true;
}

bool Cockpit::acquireInstanceLock()
{
    m_exitCode = 1; // unless another copy holds the lock
    QString problem;
    const QString path = m_settings.instanceLockPath.isEmpty() ? InstanceLock::defaultPath(&problem)
                                                               : m_settings.instanceLockPath;
    if (!problem.isEmpty()) {
        m_view.showMessage(kErrorTitle,
                           QStringLiteral("Cannot create the lock file %1: %2").arg(path, problem));
        return false;
    }
    m_instanceLock = std::make_unique<InstanceLock>(path);
    switch (m_instanceLock->tryLock(&problem)) {
    case InstanceLock::Outcome::Locked:
        m_exitCode = 0;
        return true;
    case InstanceLock::Outcome::HeldByAnotherCopy: {
        m_exitCode = kExitAnotherCopyRunning;
        // The other copy is often the service, started at boot and never seen.
        const QString holder =
            QStringLiteral("\nThe other copy is %1; if it is the service, \"systemctl --user "
                           "stop glimrow\" stops it.")
                .arg(m_instanceLock->holder());
        m_view.showMessage(QStringLiteral("Duplicate Execution"),
                           (m_view.showsWindow()
                                ? QStringLiteral("A Previous Instance of ") + productName() +
                                      QStringLiteral(" Is Running.  Please Press Ok")
                                : QStringLiteral("A Previous Instance of %1 Is Running (it "
                                                 "holds %2); this one ends")
                                      .arg(productName(), path)) +
                               holder);
        return false;
    }
    case InstanceLock::Outcome::Failed:
        break;
    }
    m_view.showMessage(kErrorTitle, problem);
    return false;
}

void Cockpit::CreatePhidgetManager()
{
    m_phidgetManager = std::make_unique<PhidgetManager>();
    connect(m_phidgetManager.get(), &PhidgetManager::OnAttach, this,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnAttach(board); });
    connect(m_phidgetManager.get(), &PhidgetManager::OnDetach, this,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnDetach(board); });
    connect(m_phidgetManager.get(), &PhidgetManager::OnError, this,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnError(board); });
    if (m_settings.openPhidgets)
        m_settings.openPhidgets(*m_phidgetManager);
}

bool Cockpit::ParseConfigFile()
{
    m_configProblems = readConfigText(msConfigFile, m_tables, *this);
    return !hasError(m_configProblems);
}

void Cockpit::reportConfigProblems()
{
    for (const ConfigProblem& problem : m_configProblems) {
        std::fprintf(stderr, "%s\n", qPrintable(problem.compilerStyle(m_settings.configFilePath)));
    }
    m_view.showConfigProblems(m_configProblems);
}

void Cockpit::BuildGrids()
{
    const PauseForEvents pause = [this] { letEventsRun(); };
    const auto lampGrid = [&](CockpitGrid grid, const std::optional<SectionTable>& table) {
        SetupLampGrid(m_view.grid(grid), tableOrNull(table), pause);
    };
    lampGrid(CockpitGrid::PLED64_1, m_tables.maPLED64_1);
    lampGrid(CockpitGrid::PLED64_2, m_tables.maPLED64_2);
    pause();
    lampGrid(CockpitGrid::P01616_1, m_tables.maP01616_1);
    lampGrid(CockpitGrid::P01616_2, m_tables.maP01616_2);
    pause();

    requireSections(m_tables);
    const struct {
        CockpitGrid grid;
        const SectionTable& table;
        void (*setup)(OutputGrid&, const SectionTable&);
    } textAndGaugeGrids[] = {
        {CockpitGrid::PTLED_1, *m_tables.maPTLED_1, SetupTextLedGrid},
        {CockpitGrid::PTLED_2, *m_tables.maPTLED_2, SetupTextLedGrid},
        {CockpitGrid::PTLCD_1, *m_tables.maPTLCD_1, SetupTextLcdGrid},
        {CockpitGrid::PTLCD_2, *m_tables.maPTLCD_2, SetupTextLcdGrid},
        {CockpitGrid::SKITS, *m_tables.maSKITS, SetupGaugeGrid},
    };
    for (const auto& grid : textAndGaugeGrids) {
        SetupLampGrid(m_view.grid(grid.grid), &grid.table, pause);
        grid.setup(m_view.grid(grid.grid), grid.table);
    }
    SetupEpicGrid(m_view.grid(CockpitGrid::EPICAnalogs), *m_tables.maEPICAnalogs, pause);
}

void Cockpit::ClearGSuitPanel()
{
    for (CockpitLabel label :
         {CockpitLabel::GForce, CockpitLabel::ServoOutput1, CockpitLabel::ServoOutput2})
        m_view.label(label).setText(QString());
}

bool Cockpit::ReloadConfiguration()
{
    // Reloads asked for while one waits are one: it reads the file as it is when it runs.
    if (m_reloadWaiting)
        return false;
    if (deferredWhileBusy([this] {
            m_reloadWaiting = false;
            ReloadConfiguration();
        })) {
        m_reloadWaiting = true;
        return false;
    }
    ConfigTables tables;
    ReloadedKeys keys;
    ConfigProblems problems;
    try {
        const QString text = ConfigFileParser::readFile(m_settings.configFilePath);
        problems = readConfigText(text, tables, keys);
        if (!hasError(problems))
            requireSections(tables);
    } catch (const StartupError& error) {
        m_view.showMessage(kErrorTitle, error.description() + kKeptOnReload);
        return false;
    }
    // What the file now says is shown, whether or not it can be used.
    m_configProblems = problems;
    reportConfigProblems();
    if (hasError(problems)) {
        m_view.showMessage(productName(),
                           errorSentences(problems, m_settings.configFilePath) + kKeptOnReload);
        return false;
    }
    m_reloading = true;
    endOutputTestNow(); // its line may not be there any more
    const ConfigTables before = std::exchange(m_tables, std::move(tables));
    const FileConnection connectionBefore = m_fileConnection;
    keys.applyTo(*this);
    for (CockpitGrid grid :
         {CockpitGrid::PLED64_1, CockpitGrid::PLED64_2, CockpitGrid::P01616_1,
          CockpitGrid::P01616_2, CockpitGrid::PTLED_1, CockpitGrid::PTLED_2, CockpitGrid::PTLCD_1,
          CockpitGrid::PTLCD_2, CockpitGrid::SKITS, CockpitGrid::EPICAnalogs}) {
        runSkippingFailure(lcCockpit(), "clearing a grid",
                           [&] { m_view.grid(grid).setRowCount(1); });
    }
    runSkippingFailure(lcCockpit(), "BuildGrids", [this] { BuildGrids(); });
    resendChangedSections(before);
    m_epic.setLines(tableOrNull(m_tables.maEPICAnalogs));
    m_reloading = false;
    m_fileConnection = {keys.connectType(), keys.address(), keys.port()};
    const QString switched = m_fileConnection == connectionBefore
                                 ? QString()
                                 : QStringLiteral("; ") + switchToFileConnection();
    m_view.showNotice((m_configProblems.empty()
                           ? QStringLiteral("Glimrow.cfg reloaded")
                           : QStringLiteral("Glimrow.cfg reloaded: %1 to look at (Messages tab)")
                                 .arg(linesCount(m_configProblems.size()))) +
                      switched);
    takeDeferredActions();
    return true;
}

void Cockpit::resendChangedSections(const ConfigTables& before)
{
    for (const auto& section : kBoardSections) {
        const std::optional<SectionTable>& old = before.*section.table;
        if (sameLines(old, m_tables.*section.table, section.fields))
            continue;
        m_devices.ResendStartingSettings(section.kind, section.slot,
                                         old ? displayRowsNamed(*old) : QList<int>());
    }
}

void Cockpit::reportStartupError(const QString& description, const QString& source, int number)
{
    // Where it came from is for the developers' log, not for the user's box.
    qCInfo(lcCockpit).noquote() << "start-up error, generated by Form_Load, source" << source
                                << number;
    m_view.showMessage(kErrorTitle, description);
}

bool Cockpit::startRecording(const QString& path, qint64 limitBytes, bool replaceExisting)
{
    m_recorder = std::make_unique<FlightDataRecorder>(path, limitBytes, replaceExisting);
    if (!m_started)
        return true; // made by start-up
    if (!openRecording())
        return false;
    beginRecording();
    return true;
}

bool Cockpit::openRecording()
{
    if (const QString problem = m_recorder->open(); !problem.isEmpty()) {
        m_recorder.reset();
        m_view.showMessage(kErrorTitle, problem);
        m_exitCode = 1;
        return false;
    }
    return true;
}

void Cockpit::beginRecording()
{
    FlightDataRecorder* recorder = m_recorder.get();
    recorder->begin(QStringLiteral("glimrow %1").arg(QLatin1StringView(version::kText)),
                    m_connection.isDcomSelected() ? QStringLiteral("dbus") : QStringLiteral("tcp"));
    connect(&m_connection, &ConnectionManager::streamRead, recorder,
            &FlightDataRecorder::recordStreamRead);
    connect(&m_connection, &ConnectionManager::objectFilled, recorder,
            &FlightDataRecorder::recordSnapshot);
    connect(recorder, &FlightDataRecorder::notice, this,
            [this](const QString& text) { m_view.showNotice(text); });
    m_view.showNotice(
        QStringLiteral("Recording what the data server sends to %1").arg(recorder->path()));
}

void Cockpit::endAtOnce(int exitCode)
{
    m_exitCode = exitCode;
    m_ended = true;
    m_tmrGlimrow.stop();
}

void Cockpit::ShutdownProgram()
{
    if (m_ended || deferredWhileBusy([this] { ShutdownProgram(); }))
        return;
    m_ended = true;
    // Every step runs whatever the one before did; a step that fails is skipped.
    const auto step = [](const char* name, auto run) {
        runSkippingFailure(lcCockpit(), name, run);
    };
    step("stopping the polling timer", [this] { m_tmrGlimrow.stop(); });
    step("ending the test of one output", [this] { endOutputTestNow(); });
    step("darkening every output", [this] { TestAllOutputs(false, true); });
    step("releasing the board slots", [this] { m_devices.ReleaseSlots(); });
    step("closing the EPIC card", [this] {
        if (m_epic.mbEpicOpen())
            m_epic.CloseEpicCard();
    });
    step("closing the stream", [this] { m_connection.CloseSockets(); });
    step("releasing the flight-data object", [this] { m_connection.ReleaseFlightData(); });
    step("finishing the recording", [this] {
        if (m_recorder)
            m_recorder->finish();
    });
    emit ended(m_exitCode);
}

void Cockpit::setServerAddress(const QString& address)
{
    m_fileConnection.address = address;
    m_view.setServerAddress(address);
}

void Cockpit::setServerPort(const QString& port)
{
    m_fileConnection.port = port;
    m_view.setServerPort(port);
}

void Cockpit::selectConnectType(int index)
{
    m_fileConnection.type = index;
    ChooseConnectType(index);
}

QString Cockpit::switchToFileConnection()
{
    // As choosing it in the window does: the old connection closes, the new one starts.
    ChooseConnectType(m_fileConnection.type);
    if (m_fileConnection.type == 1)
        return QStringLiteral("now DCOM");
    return QStringLiteral("now TCP/IP %1:%2")
        .arg(m_view.serverAddress().trimmed(), m_view.serverPort().trimmed());
}

void Cockpit::setNoScreenUpdate(bool checked)
{
    m_mbScreenUpdate = !checked;
    m_view.showNoScreenUpdate(checked);
}

void Cockpit::setUpdateOnArrival(bool checked)
{
    m_arrivals.setEnabled(checked);
    m_view.showUpdateOnArrival(checked);
}

void Cockpit::setUpdateEpicAnyway(bool checked)
{
    m_mbUpdateEpicAnyway = checked;
    m_view.showUpdateEpicAnyway(checked);
}

void Cockpit::setGSuitFormula(int motor, const QString& formula)
{
    const std::optional<QString> typed =
        std::exchange(m_typedFormulas.at(std::size_t(motor - 1)), std::nullopt);
    if (typed && typed->trimmed() != formula.trimmed()) {
        m_view.showNotice(QStringLiteral("G-suit formula %1 \"%2\" typed in its box is replaced "
                                         "by \"%3\" from [GSUIT-%1] of Glimrow.cfg")
                              .arg(motor)
                              .arg(*typed, formula));
    }
    useGSuitFormula(motor, formula);
}

QString Cockpit::applyGSuitFormula(int motor, const QString& formula, Entry entry)
{
    QString problem;
    if (entry == Entry::Typing && !GSuitFormula::parse(formula, &problem))
        return problem; // not yet a formula: the motor keeps the last one
    m_typedFormulas.at(std::size_t(motor - 1)) = formula;
    return useGSuitFormula(motor, formula);
}

QString Cockpit::useGSuitFormula(int motor, const QString& formula)
{
    QString problem;
    const std::optional<GSuitFormula> read = GSuitFormula::parse(formula, &problem);
    // An empty box, or one that cannot be read, leaves the motor on the load factor itself.
    m_gauges.setGSuitFormula(motor - 1, formula.trimmed().isEmpty() ? std::nullopt : read);
    m_view.showGSuitFormula(motor, formula, problem);
    return problem;
}

void Cockpit::setAllLampsOn(bool checked)
{
    if (deferredWhileBusy([this, checked] { setAllLampsOn(checked); }))
        return;
    if (m_allLampsOn == checked)
        return;
    m_allLampsOn = checked;
    m_view.showAllLampsOn(checked);
    // Once the test ends, the next tick repaints the outputs from the data.
    TestAllOutputs(checked, false);
    showWhatTheOutputsDo();
}

void Cockpit::setLampBrightness(int value)
{
    if (m_lampBrightness == value)
        return;
    m_lampBrightness = value;
    m_view.showLampBrightness(value);
}

void Cockpit::setPollingInterval(int milliseconds)
{
    m_tmrGlimrow.setInterval(milliseconds);
}

void Cockpit::ChooseConnectType(int index)
{
    if (deferredWhileBusy([this, index] { ChooseConnectType(index); }))
        return;
    m_connectTypeChosen = true;
    m_connection.ChooseConnectType(index);
}

void Cockpit::OpenEpicCard()
{
    if (deferredWhileBusy([this] { OpenEpicCard(); }))
        return;
    m_epic.OpenEpicCard(tableOrNull(m_tables.maEPICAnalogs));
}

void Cockpit::CloseEpicCard()
{
    if (deferredWhileBusy([this] { CloseEpicCard(); }))
        return;
    m_epic.CloseEpicCard();
}

void Cockpit::TestAllOutputs(bool on, bool alsoDimmers)
{
    // Every output is sent, whatever the boards were told last, and afterwards the next cycle
    // sends every value again.
    m_devices.forgetSentValues();
    glimrow::TestAllOutputs(m_devices, *this, on, alsoDimmers, tableOrNull(m_tables.maPTLED_1),
                            tableOrNull(m_tables.maPTLED_2));
    m_devices.forgetSentValues();
}

Cockpit::TestableSection Cockpit::testable(CockpitGrid grid)
{
    const auto of = [](std::optional<SectionTable>& table, auto& output) {
        return TestableSection{&table, &output,
                               [&output](const SectionTable& lines, qsizetype row, bool on) {
                                   output.TestLine(lines, row, on);
                               }};
    };
    switch (grid) {
    case CockpitGrid::PLED64_1:
        return of(m_tables.maPLED64_1, m_led64Lamps1);
    case CockpitGrid::PLED64_2:
        return of(m_tables.maPLED64_2, m_led64Lamps2);
    case CockpitGrid::P01616_1:
        return of(m_tables.maP01616_1, m_interfaceKitLamps1);
    case CockpitGrid::P01616_2:
        return of(m_tables.maP01616_2, m_interfaceKitLamps2);
    case CockpitGrid::PTLED_1:
        return of(m_tables.maPTLED_1, m_textLed1);
    case CockpitGrid::PTLED_2:
        return of(m_tables.maPTLED_2, m_textLed2);
    case CockpitGrid::PTLCD_1:
        return of(m_tables.maPTLCD_1, m_textLcd1);
    case CockpitGrid::PTLCD_2:
        return of(m_tables.maPTLCD_2, m_textLcd2);
    case CockpitGrid::EPICAnalogs:
        return of(m_tables.maEPICAnalogs, m_epic);
    case CockpitGrid::SKITS:
    case CockpitGrid::Devices:
        break;
    }
    return {};
}

bool Cockpit::TestOutput(CockpitGrid grid, int line)
{
    if (deferredWhileBusy([this, grid, line] { TestOutput(grid, line); }))
        return true;
    endOutputTestNow();
    const TestableSection section = testable(grid);
    if (!section.table || !*section.table || line < 0 || line >= (*section.table)->rowCount())
        return false;
    m_outputUnderTest = OutputUnderTest{grid, line};
    m_view.showOutputUnderTest(m_outputUnderTest);
    section.output->setLineUnderTest(line);
    markLine(grid, line, CellColour::Yellow);
    driveOutputUnderTest(true);
    showWhatTheOutputsDo();
    return true;
}

bool Cockpit::ToggleOutputTest(CockpitGrid grid, int line)
{
    // Decided when it runs: two presses during one pause end where they began.
    if (deferredWhileBusy([this, grid, line] { ToggleOutputTest(grid, line); }))
        return true;
    if (m_outputUnderTest == OutputUnderTest{grid, line}) {
        EndOutputTest();
        return true;
    }
    return TestOutput(grid, line);
}

void Cockpit::EndOutputTest()
{
    if (!deferredWhileBusy([this] { EndOutputTest(); }))
        endOutputTestNow();
}

void Cockpit::endOutputTestNow()
{
    if (!m_outputUnderTest)
        return;
    driveOutputUnderTest(false);
    const OutputUnderTest ended = *std::exchange(m_outputUnderTest, std::nullopt);
    m_view.showOutputUnderTest(std::nullopt);
    testable(ended.grid).output->setLineUnderTest(std::nullopt);
    markLine(ended.grid, ended.line, CellColour::Normal);
    showWhatTheOutputsDo();
}

void Cockpit::markLine(CockpitGrid grid, int line, CellColour colour)
{
    runSkippingFailure(lcCockpit(), "marking the line under test", [&] {
        OutputGrid& shown = m_view.grid(grid);
        for (int column = 0; column < shown.columnCount(); ++column)
            shown.setCellColour(line + 1, column, colour);
    });
}

void Cockpit::showWhatTheOutputsDo()
{
    if (m_allLampsOn) {
        m_view.showActivity(QStringLiteral("All Lamps On"));
    } else if (const std::optional<OutputUnderTest> under = m_outputUnderTest) {
        const SectionTable& lines = **testable(under->grid).table;
        m_view.showActivity(QStringLiteral("Testing: %1 %2")
                                .arg(sectionName(under->grid), lines.field(1, under->line)));
    } else {
        m_view.showActivity(QString());
    }
}

void Cockpit::driveOutputUnderTest(bool on)
{
    const OutputUnderTest& under = *m_outputUnderTest;
    const TestableSection section = testable(under.grid);
    if (*section.table && under.line < (*section.table)->rowCount()) {
        runSkippingFailure(lcCockpit(), "the test of one output",
                           [&] { section.drive(**section.table, under.line, on); });
    }
}

void Cockpit::tmrGlimrow_Timer()
{
    if (!m_cache.VantorAy)
        m_connection.pollSilentServer();
    showWhatIsLive();
    showFlightData();
    m_updateCycle.run();
}

void Cockpit::showFlightData()
{
    if (m_mbScreenUpdate && m_view.showsFlightData()) {
        m_view.showFlightData(
            m_flightDataPanel.describe(m_cache, m_tables, m_connection.isDcomSelected()));
    }
}

void Cockpit::showWhatIsLive()
{
    // The stream carries the lamps' words only; without an active server nothing is live.
    const QString inactive = QStringLiteral("last seen: the data server is inactive");
    const QString notInStream = QStringLiteral("last seen: not in the TCP/IP stream");
    const QString lamps = m_cache.VantorAy ? QString() : inactive;
    const QString others = !m_cache.VantorAy                ? inactive
                           : !m_connection.isDcomSelected() ? notInStream
                                                            : QString();
    if (m_shownStale == std::pair(lamps, others))
        return;
    m_shownStale = {lamps, others};
    const auto mark = [this](CockpitGrid grid, int column, const QString& why) {
        runSkippingFailure(lcCockpit(), "marking values as last seen",
                           [&] { m_view.grid(grid).setColumnStale(column, why); });
    };
    for (CockpitGrid grid : {CockpitGrid::PLED64_1, CockpitGrid::PLED64_2, CockpitGrid::P01616_1,
                             CockpitGrid::P01616_2})
        mark(grid, 2, lamps);
    for (CockpitGrid grid : {CockpitGrid::PTLED_1, CockpitGrid::PTLED_2, CockpitGrid::PTLCD_1,
                             CockpitGrid::PTLCD_2, CockpitGrid::SKITS, CockpitGrid::EPICAnalogs})
        mark(grid, 3, others);
    for (CockpitLabel label : {CockpitLabel::DED, CockpitLabel::PFL, CockpitLabel::GForce,
                               CockpitLabel::ServoOutput1, CockpitLabel::ServoOutput2})
        m_view.label(label).setStale(others);
}

bool Cockpit::updateCycleMayRun() const
{
    // A tick that falls into a pause of other work is dropped; the next one comes soon.
    return !m_allLampsOn && m_cache.VantorAy && !m_startingUp && !m_reloading && !m_ended;
}

void Cockpit::letEventsRun()
{
    ++m_pauseDepth;
    QCoreApplication::processEvents();
    --m_pauseDepth;
}

bool Cockpit::deferredWhileBusy(std::function<void()> action)
{
    if (m_pauseDepth == 0 || !isBusy())
        return false;
    m_deferred.push_back(std::move(action));
    return true;
}

void Cockpit::takeDeferredActions()
{
    // One loop takes them all: an action that ends by taking what waits (a reload does) must
    // not go one call deeper for each action queued behind it.
    if (m_takingDeferred)
        return;
    const QScopedValueRollback taking(m_takingDeferred, true);
    while (!m_deferred.empty() && !isBusy()) {
        if (m_ended) {
            m_deferred.clear(); // nothing more to do once the program is over
            return;
        }
        const std::function<void()> action = std::move(m_deferred.front());
        m_deferred.pop_front();
        action();
    }
}

} // namespace glimrow
