#include "app/frmGlimrow.h"

#include "GlimrowVersion.h"
#include "app/MessageReporter.h"
#include "app/StartupError.h"
#include "app/Twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>

#include <new>

namespace glimrow {
namespace {

// A configuration file is a few kilobytes; anything this large is not one, and reading it
// whole could exhaust memory.
constexpr qint64 kMaxConfigFileBytes = 16 * 1024 * 1024;

// Shutdown runs every step whatever the one before did; a step that fails is skipped.
template <typename Step>
void runIgnoringErrors(Step step)
{
    try {
        step();
    } catch (...) {
    }
}

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

} // namespace

frmGlimrow::frmGlimrow(MessageReporter& messages, StartupSettings settings, QWidget* parent)
    : QMainWindow(parent), m_messages(messages), m_settings(std::move(settings))
{
    m_ui.setupUi(this);
    resize(twipsToPixels(11295), twipsToPixels(6420) + menuBar()->sizeHint().height());

    connect(m_ui.mnuExit, &QAction::triggered, this, &frmGlimrow::mnuExit_Click);
    for (int index = 0; index < int(m_ui.chkGlimrow.size()); ++index) {
        connect(m_ui.chkGlimrow[std::size_t(index)], &QCheckBox::toggled, this,
                [this, index] { chkGlimrow_Click(index); });
    }

    // The polling timer runs from the window's creation; its ticks do nothing until the data
    // server is active.
    m_tmrGlimrow.setTimerType(Qt::PreciseTimer);
    m_tmrGlimrow.setInterval(100);
    m_tmrGlimrow.start();
}

frmGlimrow::~frmGlimrow() = default;

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

    if (!QFileInfo::exists(m_settings.configFilePath)) {
        m_messages.showMessage(QStringLiteral("Missing Config"),
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
    m_mbEpicOpen = false;
    m_mbUpdateEpicAnyway = m_ui.chkGlimrow[2]->isChecked();
    msConfigFile.clear();
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
    // The text, gauge and EPIC grids are built from their sections, which must be present;
    // the lamp sections may be left out.
    requireSection(m_tables.maPTLED_1, QStringLiteral("PTLED-1"));
    requireSection(m_tables.maPTLED_2, QStringLiteral("PTLED-2"));
    requireSection(m_tables.maPTLCD_1, QStringLiteral("PTLCD-1"));
    requireSection(m_tables.maPTLCD_2, QStringLiteral("PTLCD-2"));
    requireSection(m_tables.maSKITS, QStringLiteral("SKITS"));
    requireSection(m_tables.maEPICAnalogs, QStringLiteral("EPICAnalogs"));
}

void frmGlimrow::reportStartupError(const QString& description, const QString& source,
                                    int number)
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
    runIgnoringErrors([this] {
        if (m_flightData)
            m_flightData->Close();
    });
    m_flightData.reset();
    hide();
    QCoreApplication::exit(m_exitCode);
}

void frmGlimrow::closeEvent(QCloseEvent* event)
{
    ShutdownProgram();
    event->accept();
}

void frmGlimrow::setFlightDataObject(std::unique_ptr<FlightDataObject> object)
{
    m_flightData = std::move(object);
}

void frmGlimrow::chkGlimrow_Click(int index)
{
    switch (index) {
    case 0:
        m_mbScreenUpdate = !m_ui.chkGlimrow[0]->isChecked();
        break;
    case 2:
        m_mbUpdateEpicAnyway = m_ui.chkGlimrow[2]->isChecked();
        break;
    default:
        break;
    }
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
    m_ui.optConnectType[std::size_t(index)]->setChecked(true);
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
