#include "app/frmGlimrow.h"

#include "GlimrowVersion.h"
#include "app/GridSetup.h"
#include "app/StartupError.h"
#include "app/Twips.h"
#include "common/MessageReporter.h"
#include "data/DBusFlightData.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>

#include <new>

namespace glimrow {
namespace {

// A configuration file is a few kilobytes; anything this large is not one, and reading it
// whole could exhaust memory.
constexpr qint64 kMaxConfigFileBytes = 16 * 1024 * 1024;

// Shutdown runs every step whatever the one before did; a step that fails is skipped.
template <typename Step> void runIgnoringErrors(Step step)
{
    try {
        step();
    } catch (...) {
    }
}

// Design shapes of grdGlimrow 0 to 12, kept when a set-up cannot size a grid.
constexpr std::array<std::pair<int, int>, 13> kDesignRowsAndColumns{{
    {65, 3},
    {65, 3},
    {16, 3},
    {2, 4},
    {2, 4},
    {16, 3},
    {2, 4},
    {2, 4},
    {2, 2},
    {2, 2},
    {2, 4},
    {2, 4},
    {2, 4},
}};

// The window's size in the layout's terms includes its title bar and borders: 690 twips of
// height and 30 of width beyond the client area at the design size.
constexpr int kNonClientHeightTwips = 690;
constexpr int kNonClientWidthTwips = 30;

// Small enough for any screen, large enough that no frame or grid height goes below zero.
constexpr QSize kMinimumWindowSize(480, 320);

QString productName()
{
    return QString::fromLatin1(version::kProductName);
}

// A section whose grid set-up cannot do without it.
const SectionTable& requireSection(const std::optional<SectionTable>& table,
                                   const QString& sectionName)
{
    if (!table) {
        throw StartupError(
            QStringLiteral("Section [%1] is missing from Glimrow.cfg").arg(sectionName),
            StartupError::SubscriptOutOfRange);
    }
    return *table;
}

FlightDataFactory sessionBusFlightData()
{
    return [] { return std::make_unique<DBusFlightData>(QDBusConnection::sessionBus()); };
}

} // namespace

frmGlimrow::frmGlimrow(MessageReporter& messages, StartupSettings settings, QWidget* parent)
    : QMainWindow(parent), m_messages(messages), m_settings(std::move(settings)),
      m_grids(setupUiAndGrids()),
      m_connection(std::make_unique<ConnectionManager>(
          static_cast<ConnectionView&>(*this), m_cache,
          m_settings.flightDataFactory ? m_settings.flightDataFactory : sessionBusFlightData())),
      m_updateCycle(*m_connection, m_cache, [this] { pauseForEvents(); }),
      m_devices(*m_grids[4], static_cast<DeviceManagerView&>(*this)),
      m_lamps(static_cast<OutputWindow&>(*this), m_cache, m_devices),
      m_texts(static_cast<OutputWindow&>(*this), *m_connection, m_cache),
      m_gauges(static_cast<OutputWindow&>(*this), *m_connection, m_devices),
      m_pigrelay(m_settings.pigrelay ? m_settings.pigrelay() : std::make_unique<PigrelayLibrary>()),
      m_epic(*m_pigrelay, static_cast<OutputWindow&>(*this), *m_connection, m_devices, m_messages)
{
    setUpUpdateCycle();
    m_ui.lblPhidgetLibrary->setText(m_settings.phidgetLibraryLine);
    setMinimumSize(kMinimumWindowSize);
    resize(twipsToPixels(11295), twipsToPixels(6420) + menuBar()->sizeHint().height());

    connect(m_ui.mnuExit, &QAction::triggered, this, &frmGlimrow::mnuExit_Click);
    for (int index = 0; index < int(m_ui.chkGlimrow.size()); ++index) {
        connect(m_ui.chkGlimrow[std::size_t(index)], &QCheckBox::toggled, this,
                [this, index] { chkGlimrow_Click(index); });
    }
    for (int index = 0; index < int(m_ui.sldGlimrow.size()); ++index) {
        connect(m_ui.sldGlimrow[std::size_t(index)], &QSlider::valueChanged, this,
                [this, index] { sldGlimrow_Change(index); });
    }
    for (int index = 0; index < int(m_ui.optConnectType.size()); ++index) {
        connect(m_ui.optConnectType[std::size_t(index)], &QRadioButton::clicked, this,
                [this, index] { m_connection->ChooseConnectType(index); });
    }
    connect(m_ui.btnOpenEpic, &QPushButton::clicked, this, [this] { m_epic.OpenEpicCard(); });
    connect(m_ui.btnCloseEpic, &QPushButton::clicked, this, [this] { m_epic.CloseEpicCard(); });
    connect(&m_tmrGlimrow, &QTimer::timeout, this, &frmGlimrow::tmrGlimrow_Timer);
    connect(this, &frmGlimrow::updateCycleDue, this, [this] { m_updateCycle.run(); });

    // The polling timer runs from the window's creation; its ticks do nothing until the data
    // server is active.
    m_tmrGlimrow.setTimerType(Qt::PreciseTimer);
    m_tmrGlimrow.setInterval(100);
    m_tmrGlimrow.start();
}

frmGlimrow::~frmGlimrow() = default;

std::array<std::unique_ptr<TableGrid>, 13> frmGlimrow::setupUiAndGrids()
{
    m_ui.setupUi(this);
    std::array<std::unique_ptr<TableGrid>, 13> grids;
    for (std::size_t index = 0; index < grids.size(); ++index) {
        const auto [rows, columns] = kDesignRowsAndColumns[index];
        grids[index] = std::make_unique<TableGrid>(m_ui.grdGlimrow[index], rows, columns);
    }
    return grids;
}

QString frmGlimrow::caption()
{
    return QStringLiteral("%1 Version %2.%3%4")
        .arg(QString::fromLatin1(version::kFileDescription))
        .arg(version::kMajor)
        .arg(version::kMinor)
        .arg(version::kRevision);
}

QString frmGlimrow::aboutLine()
{
    return productName() + QStringLiteral(" - cockpit lamps, displays and EPIC for Vantor-A - ") +
           QString::number(QDate::currentDate().year());
}

bool frmGlimrow::Form_Load()
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
    ShutdownProgram();
    return false;
}

bool frmGlimrow::runStartupSteps()
{
    if (!acquireInstanceLock()) {
        m_messages.showMessage(QStringLiteral("Duplicate Execution"),
                               QStringLiteral("A Previous Instance of ") + productName() +
                                   QStringLiteral(" Is Running.  Please Press Ok"));
        endAtOnce();
        return false;
    }
    setWindowTitle(caption());
    placeWindow();
    m_cache.VantorAy = false;
    SetupStatusBar();
    InitDeviceGrid(grdGlimrow(4));
    // MFDs and HUD are not in use: the user cannot bring them up.
    m_ui.tabGlimrow->setTabEnabled(frmGlimrowUi::kTabMfds, false);
    m_ui.tabGlimrow->setTabEnabled(frmGlimrowUi::kTabHud, false);
    CreatePhidgetManager();

    if (!QFileInfo::exists(m_settings.configFilePath)) {
        m_messages.showMessage(
            QStringLiteral("Missing Config"),
            QStringLiteral("Glimrow.cfg File Is Missing - Program will Terminate"));
        endAtOnce();
        return false;
    }
    msConfigFile = readConfigFile();
    if (!ParseConfigFile()) {
        m_messages.showMessage(productName(), ConfigFileParser::formatErrorText());
        endAtOnce();
        return false;
    }
    m_mbScreenUpdate = !m_ui.chkGlimrow[0]->isChecked();
    BuildGrids();
    ClearGSuitPanel();
    SetupMfdGrid(grdGlimrow(8), [this] { pauseForEvents(); });
    SetupMfdGrid(grdGlimrow(9), [this] { pauseForEvents(); });
    pauseForEvents();
    m_mbUpdateEpicAnyway = m_ui.chkGlimrow[2]->isChecked();
    msConfigFile.clear();
    if (!m_ui.optConnectType[0]->isChecked() && !m_ui.optConnectType[1]->isChecked())
        m_connection->ChooseConnectType(1); // DCOM unless the configuration chose
    sldGlimrow_Change(1);
    return true;
}

bool frmGlimrow::acquireInstanceLock()
{
    m_instanceLock = std::make_unique<QLockFile>(m_settings.instanceLockPath);
    // A lock left by a crashed copy is recognised as stale (its process is gone) and taken.
    return m_instanceLock->tryLock(0);
}

void frmGlimrow::placeWindow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Hug the right edge of the screen, 100 twips in, 1000 twips down; never off screen.
    const QRect available = screen->availableGeometry();
    const int left = screen->geometry().width() - frameGeometry().width() - twipsToPixels(100);
    move(qMax(available.left(), left), qMax(available.top(), twipsToPixels(1000)));
}

void frmGlimrow::SetupStatusBar()
{
    QLabel* panel1 = m_ui.sbStatusBarPanel[0];
    QLabel* panel2 = m_ui.sbStatusBarPanel[1];
    panel2->setMinimumWidth(twipsToPixels(1200));
    panel2->setAlignment(Qt::AlignCenter);
    panel2->setText(QStringLiteral("VLM"));
    panel1->setMinimumWidth(twipsToPixels(2200));
    panel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panel1->setText(aboutLine());
}

QString frmGlimrow::readConfigFile() const
{
    QFile file(m_settings.configFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StartupError(QStringLiteral("Glimrow.cfg cannot be read: ") + file.errorString(),
                           StartupError::PathFileAccessError);
    }
    if (file.size() > kMaxConfigFileBytes) {
        throw StartupError(QStringLiteral("Glimrow.cfg is too large (%1 bytes) to be a "
                                          "configuration file")
                               .arg(file.size()),
                           StartupError::PathFileAccessError);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw StartupError(QStringLiteral("Glimrow.cfg cannot be read: ") + file.errorString(),
                           StartupError::PathFileAccessError);
    }
    return QString::fromLatin1(bytes);
}

bool frmGlimrow::ParseConfigFile()
{
    return ConfigFileParser::parse(msConfigFile, m_tables, *this);
}

void frmGlimrow::BuildGrids()
{
    const PauseForEvents pause = [this] { pauseForEvents(); };
    const auto lampTable = [](const std::optional<SectionTable>& table) {
        return table ? &*table : nullptr;
    };
    SetupLampGrid(grdGlimrow(0), lampTable(m_tables.maPLED64_1), pause);
    SetupLampGrid(grdGlimrow(1), lampTable(m_tables.maPLED64_2), pause);
    pause();
    SetupLampGrid(grdGlimrow(2), lampTable(m_tables.maP01616_1), pause);
    SetupLampGrid(grdGlimrow(5), lampTable(m_tables.maP01616_2), pause);
    pause();

    // The text, gauge and EPIC grids cannot do without their sections.
    const struct {
        int grid;
        const std::optional<SectionTable>& table;
        const char* section;
        void (*setup)(OutputGrid&, const SectionTable&);
    } textAndGaugeGrids[] = {
        {3, m_tables.maPTLED_1, "PTLED-1", SetupTextLedGrid},
        {11, m_tables.maPTLED_2, "PTLED-2", SetupTextLedGrid},
        {6, m_tables.maPTLCD_1, "PTLCD-1", SetupTextLcdGrid},
        {12, m_tables.maPTLCD_2, "PTLCD-2", SetupTextLcdGrid},
        {7, m_tables.maSKITS, "SKITS", SetupGaugeGrid},
    };
    for (const auto& grid : textAndGaugeGrids) {
        SetupLampGrid(grdGlimrow(grid.grid), lampTable(grid.table), pause);
        grid.setup(grdGlimrow(grid.grid),
                   requireSection(grid.table, QString::fromLatin1(grid.section)));
    }
    SetupEpicGrid(grdGlimrow(10),
                  requireSection(m_tables.maEPICAnalogs, QStringLiteral("EPICAnalogs")), pause);
}

void frmGlimrow::CreatePhidgetManager()
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

void frmGlimrow::ClearGSuitPanel()
{
    for (int label : {15, 24, 25})
        m_ui.lblGlimrow[std::size_t(label)]->clear();
    m_ui.fldGlimrow[2]->clear();
    m_ui.fldGlimrow[3]->clear();
}

void frmGlimrow::pauseForEvents()
{
    QCoreApplication::processEvents();
}

int frmGlimrow::lampBrightness() const
{
    return m_ui.sldGlimrow[0]->value();
}

void frmGlimrow::Form_Resize()
{
    if (isMinimized())
        return;
    const int windowHeight = pixelsToTwips(height() - menuBar()->height()) + kNonClientHeightTwips;
    const int windowWidth = pixelsToTwips(width()) + kNonClientWidthTwips;
    const auto setHeight = [](QWidget* widget, int twips) {
        widget->resize(widget->width(), twipsToPixels(qMax(0, twips)));
    };
    const int tabHeight = qMax(0, windowHeight - 1500);
    m_ui.tabGlimrow->resize(twipsToPixels(qMax(0, windowWidth - 300)), twipsToPixels(tabHeight));

    const int frameHeight = tabHeight - 800;
    const auto& frames = m_ui.fraGlimrow;
    const auto& grids = m_ui.grdGlimrow;
    setHeight(frames[7], frameHeight);
    setHeight(frames[8], frameHeight);
    setHeight(grids[0], frameHeight - 300);
    setHeight(grids[1], frameHeight - 300);
    setHeight(frames[2], frameHeight);
    setHeight(frames[9], frameHeight);
    setHeight(grids[2], frameHeight - 300);
    setHeight(grids[5], frameHeight - 300);
    setHeight(frames[11], frameHeight);
    setHeight(grids[7], frameHeight - 400);
    setHeight(frames[0], frameHeight);
    m_ui.layOutDevices(frameHeight);
    setHeight(frames[19], frameHeight);
    setHeight(grids[10], frameHeight - 400);
}

void frmGlimrow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmGlimrow::reportStartupError(const QString& description, const QString& source, int number)
{
    m_messages.showMessage(QStringLiteral("Vantor Lumex-Mon Error"),
                           description + QStringLiteral("\rGenerated by: Form_Load\rSource: ") +
                               source + u'(' + QString::number(number) + u')');
}

void frmGlimrow::endAtOnce()
{
    m_exitCode = 1;
    m_ended = true;
    m_tmrGlimrow.stop();
}

void frmGlimrow::ShutdownProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    runIgnoringErrors([this] { m_tmrGlimrow.stop(); });
    runIgnoringErrors([this] { TestAllOutputs(false, true); });
    runIgnoringErrors([this] { m_devices.ReleaseSlots(); });
    runIgnoringErrors([this] {
        if (m_epic.mbEpicOpen())
            m_epic.CloseEpicCard();
    });
    runIgnoringErrors([this] { m_connection->CloseSockets(); });
    runIgnoringErrors([this] { m_connection->ReleaseFlightData(); });
    hide();
    emit ended(m_exitCode);
}

void frmGlimrow::closeEvent(QCloseEvent* event)
{
    ShutdownProgram();
    event->accept();
}

void frmGlimrow::chkGlimrow_Click(int index)
{
    switch (index) {
    case 0:
        m_mbScreenUpdate = !m_ui.chkGlimrow[0]->isChecked();
        break;
    case 1:
        // Once the box is cleared, the next tick repaints the outputs from the data.
        TestAllOutputs(m_ui.chkGlimrow[1]->isChecked(), false);
        break;
    case 2:
        m_mbUpdateEpicAnyway = m_ui.chkGlimrow[2]->isChecked();
        break;
    default:
        break;
    }
}

void frmGlimrow::sldGlimrow_Change(int index)
{
    // The brightness slider is read whenever a lamp is driven; only the polling slider acts.
    if (index != 1)
        return;
    const int interval = m_ui.sldGlimrow[1]->value();
    m_tmrGlimrow.setInterval(interval);
    m_ui.lblTimerValue->setText(QString::number(interval));
}

void frmGlimrow::setPollingInterval(int milliseconds)
{
    m_ui.sldGlimrow[1]->setValue(milliseconds);
}

void frmGlimrow::tmrGlimrow_Timer()
{
    if (m_ui.chkGlimrow[1]->isChecked() || !m_cache.VantorAy)
        return;
    emit updateCycleDue();
}

void frmGlimrow::setServerAddress(const QString& address)
{
    m_ui.fldGlimrow[0]->setText(address);
}

void frmGlimrow::setServerPort(const QString& port)
{
    m_ui.fldGlimrow[1]->setText(port);
}

void frmGlimrow::selectConnectType(int index)
{
    m_connection->ChooseConnectType(index);
}

void frmGlimrow::setNoScreenUpdate(bool checked)
{
    m_ui.chkGlimrow[0]->setChecked(checked);
}

void frmGlimrow::setUpdateEpicAnyway(bool checked)
{
    m_ui.chkGlimrow[2]->setChecked(checked);
}

} // namespace glimrow

namespace glimrow {

QString frmGlimrow::serverAddress() const
{
    return m_ui.fldGlimrow[0]->text();
}

QString frmGlimrow::serverPort() const
{
    return m_ui.fldGlimrow[1]->text();
}

void frmGlimrow::setServerFieldsEnabled(bool enabled)
{
    m_ui.fldGlimrow[0]->setEnabled(enabled);
    m_ui.fldGlimrow[1]->setEnabled(enabled);
}

void frmGlimrow::setTcpCaptionBold(bool bold)
{
    QRadioButton* tcp = m_ui.optConnectType[0];
    if (tcp->font().bold() == bold)
        return;
    QFont font = tcp->font();
    font.setBold(bold);
    tcp->setFont(font);
}

void frmGlimrow::showConnectType(int index)
{
    m_ui.optConnectType.at(std::size_t(index))->setChecked(true);
}

bool frmGlimrow::isDcomSelected() const
{
    return m_ui.optConnectType[1]->isChecked();
}

void frmGlimrow::showServerState(const QString& text)
{
    m_ui.sbStatusBarPanel[1]->setText(text);
}

QString frmGlimrow::labelText(int index) const
{
    return m_ui.lblGlimrow.at(std::size_t(index))->text();
}

void frmGlimrow::setLabelText(int index, const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n'); // rendered screens end their lines with CR
    QLabel* label = m_ui.lblGlimrow.at(std::size_t(index));
    if (label->text() != shown)
        label->setText(shown);
}

void frmGlimrow::TestAllOutputs(bool on, bool alsoDimmers)
{
    m_lamps.TestAllOutputs(on, alsoDimmers, m_tables.maPTLED_1 ? &*m_tables.maPTLED_1 : nullptr,
                           m_tables.maPTLED_2 ? &*m_tables.maPTLED_2 : nullptr);
}

void frmGlimrow::setUpUpdateCycle()
{
    // The text, gauge and EPIC tables exist once start-up has gone through; before that a step
    // finding one absent fails and is skipped.
    const auto table = [](std::optional<SectionTable>& section) -> SectionTable& {
        if (!section)
            throw std::out_of_range("section not configured");
        return *section;
    };
    ConfigTables& t = m_tables;
    m_updateCycle.setDcomSteps({
        {"BuildTextLEDStrings 1", [&, table] { m_texts.BuildTextLEDStrings(table(t.maPTLED_1)); }},
        {"BuildTextLEDStrings 2", [&, table] { m_texts.BuildTextLEDStrings(table(t.maPTLED_2)); }},
        {"BuildTextLCDStrings 1", [&, table] { m_texts.BuildTextLCDStrings(table(t.maPTLCD_1)); }},
        {"BuildTextLCDStrings 2", [&, table] { m_texts.BuildTextLCDStrings(table(t.maPTLCD_2)); }},
        {"ComputeGauges", [&, table] { m_gauges.ComputeGauges(table(t.maSKITS)); }},
    });
    const PhidgetDeviceManager& d = m_devices;
    // Lamp sections may be left out; their step has nothing to do then (no failure to skip).
    const auto lamps = [this](int grid, const std::optional<SectionTable>& section,
                              const PhidgetBoardPtr& board) {
        if (section)
            m_lamps.SendLamps(grid, *section, board);
    };
    m_updateCycle.setOutputSteps({
        {"SendLamps 0", [&, lamps] { lamps(0, t.maPLED64_1, d.pRavazLED(1)); }},
        {"SendLamps 1", [&, lamps] { lamps(1, t.maPLED64_2, d.pRavazLED(2)); }},
        {"SendLamps 2", [&, lamps] { lamps(2, t.maP01616_1, d.pRavaz01616(1)); }},
        {"SendLamps 5", [&, lamps] { lamps(5, t.maP01616_2, d.pRavaz01616(2)); }},
        {"SendTextLED 3",
         [&, table] { m_texts.SendTextLED(3, table(t.maPTLED_1), d.pRavazTextLED(1)); }},
        {"SendTextLED 11",
         [&, table] { m_texts.SendTextLED(11, table(t.maPTLED_2), d.pRavazTextLED(2)); }},
        {"SendTextLCD 6",
         [&, table] { m_texts.SendTextLCD(6, table(t.maPTLCD_1), d.pRavazTextLCD(1)); }},
        {"SendTextLCD 12",
         [&, table] { m_texts.SendTextLCD(12, table(t.maPTLCD_2), d.pRavazTextLCD(2)); }},
        {"ShowDED", [this] { m_texts.ShowDED(); }},
        {"ShowPFL", [this] { m_texts.ShowPFL(); }},
        {"ShowGauges", [&, table] { m_gauges.ShowGauges(table(t.maSKITS)); }},
        {"SendEpicValues",
         [&, table] {
             if (m_epic.mbEpicOpen() || m_mbUpdateEpicAnyway)
                 m_epic.SendEpicValues(table(t.maEPICAnalogs));
         }},
        {"DriveGSuit", [this] { m_gauges.DriveGSuit(); }},
    });
}

void frmGlimrow::enableFrame(int frameIndex)
{
    m_ui.fraGlimrow.at(std::size_t(frameIndex))->setEnabled(true);
}

void frmGlimrow::beep()
{
    QApplication::beep();
}

} // namespace glimrow
