// glimrow: drives a home cockpit's lamps, displays and servos from the Vantor-A data server.

#include "GlimrowVersion.h"
#include "app/MessageBoxReporter.h"
#include "app/WindowPlacement.h"
#include "app/frmGlimrow.h"
#include "cockpit/Cockpit.h"
#include "cockpit/CockpitState.h"
#include "cockpit/ConfigCheck.h"
#include "cockpit/HeadlessView.h"
#include "cockpit/InstanceLock.h"
#include "cockpit/ShutdownSignals.h"
#include "data/FlightDataRecorder.h"
#include "phidget/library/PhidgetLibraryChoice.h"
#include "phidget/virtual/VirtualHardware.h"
#include "phidget/virtual/VirtualHardwareService.h"
#include "phidget/virtual/VirtualHardwareWindow.h"
#include "web/Dashboard.h"
#include "web/WebListen.h"
#include "web/WebToken.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using namespace glimrow;

struct Options {
    QCommandLineParser parser;
    const QCommandLineOption screenshots{
        QStringLiteral("screenshots"),
        QStringLiteral("Start up, save a PNG of each tab (tab0.png, ...) in <folder>, then exit."),
        QStringLiteral("folder")};
    const QCommandLineOption polling{
        QStringLiteral("polling"),
        QStringLiteral("Start with the polling timer at <ms> milliseconds (1 to 250)."),
        QStringLiteral("ms")};
    const QCommandLineOption runFor{
        QStringLiteral("run-for"),
        QStringLiteral("End the program the normal way after <seconds>, saying how many update "
                       "cycles ran."),
        QStringLiteral("seconds")};
    const QCommandLineOption virtualHardware{
        QStringLiteral("virtual-hardware"),
        QStringLiteral("Attach virtual Phidget boards and a virtual EPIC card, offer them on the "
                       "session bus as org.glimrow.VirtualHardware and, with a window, show them "
                       "in a Virtual Hardware window.")};
    const QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run without a window or display: messages go to standard error.")};
    const QCommandLineOption checkConfig{
        QStringLiteral("check-config"),
        QStringLiteral("Read Glimrow.cfg (or the file given) as start-up would, print every error "
                       "and warning as FILE:LINE: severity: text, exit 0 when there is none.")};
    const QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("Write what the data server sends, as it arrives, to <file> (JSON Lines; "
                       "vantor-sim --replay plays it back). A file that exists is kept unless "
                       "--record-replace is given; a FIFO is written to."),
        QStringLiteral("file")};
    const QCommandLineOption recordReplace{
        QStringLiteral("record-replace"),
        QStringLiteral("With --record: replace the file if it exists.")};
    const QCommandLineOption recordLimit{
        QStringLiteral("record-limit"),
        QStringLiteral("Stop recording when the file reaches <MB> megabytes (default 100)."),
        QStringLiteral("MB")};
    const QCommandLineOption web{
        QStringLiteral("web"),
        QStringLiteral("Serve the dashboard, the cockpit in a browser, on [<address>:]<port> "
                       "(address 127.0.0.1 unless given; 0.0.0.0 or a LAN address opens it to "
                       "the network, behind the access token)."),
        QStringLiteral("[address:]port")};
    const QCommandLineOption webToken{
        QStringLiteral("web-token"),
        QStringLiteral("Print the dashboard's access token, making it first if there is none, "
                       "and exit.")};
    const QCommandLineOption userConfig{
        QStringLiteral("user-config"),
        QStringLiteral("Run in ~/.config/glimrow, making a Glimrow.cfg there from the example "
                       "on the first start (the menu entry does this).")};

    Options()
    {
        parser.setApplicationDescription(QString::fromLatin1(version::kProductName));
        parser.addHelpOption();
        parser.addVersionOption();
        for (const QCommandLineOption* option :
             {&screenshots, &polling, &runFor, &virtualHardware, &headless, &checkConfig,
              &userConfig, &record, &recordReplace, &recordLimit, &web, &webToken})
            parser.addOption(*option);
        parser.addPositionalArgument(QStringLiteral("file"),
                                     QStringLiteral("With --check-config: the file to check."),
                                     QStringLiteral("[file]"));
    }
};

// The boards the cockpit drives: virtual ones, or real ones through the vendor's library.
struct Boards {
    PhidgetLibraryChoice library;
    VirtualHardware hardware;
    VirtualHardwareService hardwareService{hardware};
    CockpitSettings settings;
    QString libraryLine;

    explicit Boards(bool virtualBoards)
    {
        if (virtualBoards) {
            hardware.addDefaultBoards();
            hardware.setEpicPresent(true);
            QString error;
            if (!hardwareService.registerOn(QDBusConnection::sessionBus(), &error)) {
                std::fprintf(stderr, "glimrow: virtual hardware not on the session bus: %s\n",
                             qPrintable(error));
            }
            settings.openPhidgets = [this](PhidgetManager& manager) { hardware.open(manager); };
            libraryLine = kVirtualBoardsLine;
            std::fprintf(stderr, "glimrow: Phidget boards: %s\n", qPrintable(libraryLine));
            return;
        }
        library = choosePhidgetLibrary();
        for (const QString& problem : library.problems)
            std::fprintf(stderr, "glimrow: Phidget library not usable: %s\n", qPrintable(problem));
        if (library.backend) {
            settings.openPhidgets = [this](PhidgetManager& manager) {
                library.backend->open(manager);
            };
            std::fprintf(stderr, "glimrow: Phidget library: %s\n",
                         qPrintable(library.backend->description()));
        } else {
            std::fprintf(stderr, "glimrow: %s; no real board can attach\n",
                         qPrintable(kNoPhidgetLibraryLine));
        }
        libraryLine = library.description;
    }
};

// The ways out besides the window's own: a signal, the end of the session (the application
// quitting) and --run-for. Each runs the cockpit's shutdown, whose end ends the event loop
// with the cockpit's exit status.
class WaysOut {
public:
    WaysOut(const Options& options, Cockpit& cockpit, QCoreApplication& app)
        : m_signals([&cockpit] { cockpit.ShutdownProgram(); }, hangupReloads(options, cockpit))
    {
        QObject::connect(&cockpit, &Cockpit::ended, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &cockpit, &Cockpit::ShutdownProgram);
        if (!options.parser.isSet(options.runFor))
            return;
        const double seconds = options.parser.value(options.runFor).toDouble();
        QTimer::singleShot(int(seconds * 1000), &cockpit, [&cockpit] {
            std::fprintf(stderr, "glimrow: %ld update cycles run\n",
                         cockpit.updateCycle().cyclesRun());
            cockpit.ShutdownProgram();
        });
    }

private:
    // Without a window there is no terminal whose closing SIGHUP could mean: it asks for the
    // configuration to be read again, as for any service.
    static std::function<void()> hangupReloads(const Options& options, Cockpit& cockpit)
    {
        if (!options.parser.isSet(options.headless))
            return {};
        return [&cockpit] { cockpit.ReloadConfiguration(); };
    }

    ShutdownSignals m_signals;
};

// The event loop, unless the program was asked to end before it could start (a signal while the
// window was being set up): the loop would then never be told to end.
void runUnlessEnded(QCoreApplication& app, const Cockpit& cockpit)
{
    if (!cockpit.isEnded())
        app.exec();
}

// What the options' values must be; the reason when one is not.
QString badOptionValue(const Options& options)
{
    const QCommandLineParser& parser = options.parser;
    bool ok = true;
    const int polling =
        parser.isSet(options.polling) ? parser.value(options.polling).toInt(&ok) : 100;
    if (!ok || polling < 1 || polling > 250)
        return QStringLiteral("--polling needs a whole number of milliseconds from 1 to 250");
    const double seconds =
        parser.isSet(options.runFor) ? parser.value(options.runFor).toDouble(&ok) : 1;
    if (!ok || !(seconds > 0) || seconds > 2e6)
        return QStringLiteral("--run-for needs a number of seconds above 0");
    const double megabytes =
        parser.isSet(options.recordLimit) ? parser.value(options.recordLimit).toDouble(&ok) : 100;
    if (!ok || !(megabytes > 0) || megabytes > 1e6)
        return QStringLiteral("--record-limit needs a number of megabytes above 0");
    if (!parser.isSet(options.record) &&
        (parser.isSet(options.recordReplace) || parser.isSet(options.recordLimit)))
        return QStringLiteral("--record-replace and --record-limit go only with --record");
    if (QString problem;
        parser.isSet(options.web) && !WebListen::parse(parser.value(options.web), &problem))
        return QStringLiteral("--web: ") + problem;
    if (parser.isSet(options.headless) && parser.isSet(options.screenshots))
        return QStringLiteral("--screenshots needs the window; it cannot go with --headless");
    if (!parser.positionalArguments().isEmpty() &&
        (!parser.isSet(options.checkConfig) || parser.positionalArguments().size() > 1))
        return QStringLiteral("a file name goes only after --check-config, and only one");
    return {};
}

// The example the package installs, found from the program's own place.
QString exampleConfigFile()
{
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../share/doc/glimrow/examples/Glimrow.cfg"));
}

// Messages for a run without a window or a log of its own (--check-config).
class StandardErrorMessages : public MessageReporter {
public:
    void showMessage(const QString&, const QString& text) override
    {
        std::fprintf(stderr, "glimrow: %s\n", qPrintable(text));
    }
    bool showsWindow() const override { return false; }
};

// --user-config: the program runs in the user's configuration folder, where a first start puts
// a copy of the installed example (a user starting it from the menu has no Glimrow.cfg in the
// home folder). Without an example to copy, start-up says "Missing Config" there. Gives why the
// folder cannot be used, or "": running on whatever Glimrow.cfg the starting folder holds
// instead would drive the cockpit from the wrong file.
QString enterUserConfigFolder(MessageReporter& messages)
{
    if (qEnvironmentVariableIsEmpty("HOME"))
        return QStringLiteral("--user-config: HOME is not set, so there is no ~/.config/glimrow");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty())
        return QStringLiteral("--user-config: no configuration folder is known for this user");
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("--user-config: %1 is not a folder").arg(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("--user-config: cannot make the folder %1").arg(folder);
    const QString config = QDir(folder).filePath(QStringLiteral("Glimrow.cfg"));
    const QString example = exampleConfigFile();
    if (!QFileInfo::exists(config) && QFileInfo::exists(example)) {
        if (!QFile::copy(example, config))
            return QStringLiteral("--user-config: cannot write %1").arg(config);
        const QString reload = messages.showsWindow()
                                   ? QStringLiteral("use File, Reload Configuration")
                                   : QStringLiteral("reload it with systemctl --user reload "
                                                    "glimrow (or send the program SIGHUP)");
        messages.showMessage(QString::fromLatin1(version::kProductName),
                             QStringLiteral("Your Glimrow.cfg was made in %1 from the example. "
                                            "Change it to fit your cockpit, then %2.")
                                 .arg(folder, reload));
    }
    if (!QDir::setCurrent(folder))
        return QStringLiteral("--user-config: cannot enter the folder %1").arg(folder);
    return {};
}

// The file --check-config --user-config checks: made from the example on a fresh account, as
// the first start would make it; "" when the folder cannot be used (said why).
QString userConfigFileForCheck()
{
    StandardErrorMessages messages;
    const QString workingFolder = QDir::currentPath();
    if (const QString problem = enterUserConfigFolder(messages); !problem.isEmpty()) {
        messages.showMessage(QString(), problem);
        return {};
    }
    QDir::setCurrent(workingFolder);
    const QString file = QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                             .filePath(QStringLiteral("Glimrow.cfg"));
    if (!QFileInfo::exists(file)) {
        messages.showMessage(QString(), QStringLiteral("%1 does not exist yet; copy the example "
                                                       "there (the package puts it in "
                                                       "/usr/share/doc/glimrow/examples/)")
                                            .arg(file));
    }
    return file;
}

// With --user-config: in the folder, or the user told why not.
bool enteredUserConfigFolder(const Options& options, MessageReporter& messages)
{
    if (!options.parser.isSet(options.userConfig))
        return true;
    const QString problem = enterUserConfigFolder(messages);
    if (!problem.isEmpty())
        messages.showMessage(QStringLiteral("Vantor Lumex-Mon Error"), problem);
    return problem.isEmpty();
}

// Opens the Virtual Hardware window where it hides neither the main window's tabs nor itself.
void showBeside(QWidget& other, const frmGlimrow& window)
{
    other.adjustSize();
    other.show(); // the window system's frame is known once it is shown
    const QScreen* screen = window.screen();
    const QTabWidget* tabs = window.ui().tabGlimrow;
    const int tabRowBottom = tabs->mapToGlobal(QPoint(0, tabs->tabBar()->height())).y();
    other.move(placeBeside(window.frameGeometry(), tabRowBottom, other.frameGeometry().size(),
                           screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080)));
}

// Saves a picture of every tab the user can bring up once start-up has settled (and of the
// Virtual Hardware window, when there is one), then leaves the program the normal way: for
// machines without a display, and for the README's pictures.
void scheduleScreenshots(frmGlimrow& window, QWidget* virtualHardware, const QString& folder)
{
    QTimer::singleShot(3000, &window, [&window, virtualHardware, folder] {
        QDir().mkpath(folder);
        QTabWidget* tabs = window.ui().tabGlimrow;
        int saved = 0;
        for (int tab = 0; tab < tabs->count(); ++tab) {
            if (!tabs->isTabEnabled(tab))
                continue;
            tabs->setCurrentIndex(tab);
            const QString path = QDir(folder).filePath(QStringLiteral("tab%1.png").arg(tab));
            saved += window.grab().save(path, "PNG") ? 1 : 0;
        }
        tabs->setCurrentIndex(0);
        if (virtualHardware) {
            const QString path = QDir(folder).filePath(QStringLiteral("virtual-hardware.png"));
            saved += virtualHardware->grab().save(path, "PNG") ? 1 : 0;
        }
        std::fprintf(stderr, "glimrow: %d pictures of the window saved in %s\n", saved,
                     qPrintable(QDir(folder).absolutePath()));
        window.cockpit().ShutdownProgram();
    });
}

// Why the window cannot open here, or "". Qt itself would abort (status 134) with advice to
// reinstall; a cockpit computer without a screen needs to hear about --headless instead, and a
// system without Qt's display plugin which package holds it (on Debian the X11 one comes with
// libqt6gui6, the Wayland one with qt6-wayland; qt6-qpa-plugins holds only VNC). A platform or
// plugin folder chosen on purpose (QT_QPA_PLATFORM=offscreen, say) is left to Qt.
QString missingDisplay()
{
    for (const char* variable : {"QT_QPA_PLATFORM", "QT_PLUGIN_PATH"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return {};
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("No display found (DISPLAY and WAYLAND_DISPLAY are unset); to run "
                              "without a screen use --headless");
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    if (platforms
            .entryList({QStringLiteral("libqxcb.so"), QStringLiteral("libqwayland*.so")},
                       QDir::Files)
            .isEmpty())
        return QStringLiteral("Qt's display plugins are missing from %1: install them with "
                              "'sudo apt install --reinstall libqt6gui6' (X11) or 'sudo apt "
                              "install qt6-wayland' (Wayland); without a screen use --headless")
            .arg(platforms.path());
    return {};
}

// --record: what the data server sends goes to the file once start-up is done; the file is made
// once the configuration is read and no other copy runs.
bool startRecordingIfAsked(const Options& options, Cockpit& cockpit)
{
    if (!options.parser.isSet(options.record))
        return true;
    const double megabytes = options.parser.isSet(options.recordLimit)
                                 ? options.parser.value(options.recordLimit).toDouble()
                                 : double(FlightDataRecorder::kDefaultLimitBytes) / 1e6;
    return cockpit.startRecording(options.parser.value(options.record), qint64(megabytes * 1e6),
                                  options.parser.isSet(options.recordReplace));
}

// --web, or [WEB] in Glimrow.cfg: the dashboard, once start-up is done. A wrong address, a
// token that cannot be kept or a port already taken is said, and the program runs on without it.
std::unique_ptr<Dashboard> startDashboard(const Options& options, Cockpit& cockpit,
                                          CockpitState& state, const QString& configFile)
{
    const QString asked =
        options.parser.isSet(options.web) ? options.parser.value(options.web) : cockpit.webListen();
    if (asked.isEmpty())
        return nullptr;
    QString problem;
    const std::optional<WebListen> listen = WebListen::parse(asked, &problem);
    if (!listen) {
        state.showNotice(QStringLiteral("The dashboard is not started: Glimrow.cfg [WEB]: ") +
                         problem);
        return nullptr;
    }
    QString token;
    if (!listen->isLoopback()) {
        const auto kept = WebToken::loadOrCreate(WebToken::pathBeside(configFile), &problem);
        if (!kept) {
            state.showNotice(QStringLiteral("The dashboard is not started: its access token ") +
                             problem);
            return nullptr;
        }
        token = *kept;
    }
    auto dashboard = std::make_unique<Dashboard>(cockpit, state);
    if (!dashboard->start(*listen, token))
        return nullptr;
    return dashboard;
}

// --web-token: the token the running copy uses (beside its Glimrow.cfg), or, with none running,
// the one beside the Glimrow.cfg the program would run on.
int printWebToken(const Options& options)
{
    QString folder = QDir::currentPath();
    if (options.parser.isSet(options.userConfig)) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(folder);
    }
    QString lockProblem;
    const QString lock = InstanceLock::defaultPath(&lockProblem);
    if (const auto running = InstanceLock::runningCopy(lock)) {
        const QString path = WebToken::pathBeside(QDir(running->folder).filePath("Glimrow.cfg"));
        if (QFileInfo::exists(path)) {
            folder = running->folder;
            std::printf("Glimrow runs (process %lld) in %s.\n",
                        static_cast<long long>(running->pid), qPrintable(folder));
        }
    }
    const QString path = WebToken::pathBeside(QDir(folder).filePath(QStringLiteral("Glimrow.cfg")));
    QString problem;
    const std::optional<QString> token = WebToken::loadOrCreate(path, &problem);
    if (!token) {
        std::fprintf(stderr, "glimrow: %s\n", qPrintable(problem));
        return 1;
    }
    std::printf("The dashboard's access token, kept in %s: %s\n", qPrintable(path),
                qPrintable(*token));
    return 0;
}

int runCheckConfig(int argc, char* argv[], const Options& options)
{
    // The program's own place (the example beside it) is known only to an application.
    QCoreApplication app(argc, argv);
    // The file the program would run on: the one named, or the user's with --user-config.
    const QStringList files = options.parser.positionalArguments();
    QString file = QStringLiteral("Glimrow.cfg");
    if (!files.isEmpty())
        file = files.first();
    else if (options.parser.isSet(options.userConfig))
        file = userConfigFileForCheck();
    if (file.isEmpty())
        return 1;
    const ConfigProblems problems = checkConfigFile(file);
    for (const ConfigProblem& problem : problems)
        std::printf("%s\n", qPrintable(problem.compilerStyle(file)));
    return problems.empty() ? 0 : 1;
}

int runHeadless(int argc, char* argv[], const Options& options)
{
    QCoreApplication app(argc, argv);
    Boards boards(options.parser.isSet(options.virtualHardware));
    HeadlessView log;
    if (!enteredUserConfigFolder(options, log))
        return 1;
    CockpitState state(log);
    Cockpit cockpit(state, boards.settings);
    const WaysOut waysOut(options, cockpit, app);
    if (!startRecordingIfAsked(options, cockpit) || !cockpit.Start())
        return cockpit.exitCode();
    if (options.parser.isSet(options.polling))
        cockpit.setPollingInterval(options.parser.value(options.polling).toInt());
    const auto dashboard = startDashboard(options, cockpit, state, boards.settings.configFilePath);
    runUnlessEnded(app, cockpit);
    std::fprintf(stderr, "glimrow: stopped (status %d, %ld update cycles run)\n",
                 cockpit.exitCode(), cockpit.updateCycle().cyclesRun());
    return cockpit.exitCode();
}

int runWindow(int argc, char* argv[], const Options& options)
{
    QApplication app(argc, argv);
    // The window goes only through ShutdownProgram, never by the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    // Declared before the window, so the boards outlive the window that drives them.
    Boards boards(options.parser.isSet(options.virtualHardware));
    std::unique_ptr<VirtualHardwareWindow> hardwareWindow;
    if (options.parser.isSet(options.virtualHardware))
        hardwareWindow = std::make_unique<VirtualHardwareWindow>(boards.hardware);

    MessageBoxReporter messages;
    if (!enteredUserConfigFolder(options, messages))
        return 1;
    frmGlimrow window(messages, boards.settings, boards.libraryLine);
    Cockpit& cockpit = window.cockpit();
    const WaysOut waysOut(options, cockpit, app);
    if (!startRecordingIfAsked(options, cockpit) || !window.Form_Load())
        return window.exitCode();
    if (options.parser.isSet(options.polling))
        window.setPollingInterval(options.parser.value(options.polling).toInt());
    window.show();
    const auto dashboard =
        startDashboard(options, cockpit, window.state(), boards.settings.configFilePath);
    if (hardwareWindow)
        showBeside(*hardwareWindow, window);
    if (options.parser.isSet(options.screenshots)) {
        // With virtual hardware the pictures show what a user does with it too: the EPIC card
        // open, the first lamp under test, a G-suit formula.
        if (hardwareWindow) {
            QTimer::singleShot(500, &cockpit, [&cockpit] {
                cockpit.OpenEpicCard();
                cockpit.TestOutput(CockpitGrid::PLED64_1, 0);
                cockpit.applyGSuitFormula(1, QStringLiteral("30*G"));
            });
        }
        scheduleScreenshots(window, hardwareWindow.get(),
                            options.parser.value(options.screenshots));
    }
    runUnlessEnded(app, cockpit);
    return window.exitCode();
}

} // namespace

int main(int argc, char* argv[])
{
    ShutdownSignals::holdUntilHandled();
    QCoreApplication::setApplicationName(QStringLiteral("glimrow"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kText));

    // The options are read before any window system starts, so that --help, --version and a
    // wrong option work on a machine without a display.
    Options options;
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    if (!options.parser.parse(arguments)) {
        std::fprintf(stderr, "glimrow: %s\nTry 'glimrow --help'.\n",
                     qPrintable(options.parser.errorText()));
        return 2;
    }
    if (options.parser.isSet(QStringLiteral("help"))) {
        // Without an application object the parser cannot know the program's name.
        QString help = options.parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("glimrow"));
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (options.parser.isSet(QStringLiteral("version"))) {
        std::printf("glimrow %s\n", version::kText);
        return 0;
    }
    if (const QString bad = badOptionValue(options); !bad.isEmpty()) {
        std::fprintf(stderr, "glimrow: %s\nTry 'glimrow --help'.\n", qPrintable(bad));
        return 2;
    }
    if (options.parser.isSet(options.webToken))
        return printWebToken(options);
    if (options.parser.isSet(options.checkConfig))
        return runCheckConfig(argc, argv, options);
    if (options.parser.isSet(options.headless))
        return runHeadless(argc, argv, options);
    if (const QString missing = missingDisplay(); !missing.isEmpty()) {
        std::fprintf(stderr, "glimrow: %s\n", qPrintable(missing));
        return 1;
    }
    return runWindow(argc, argv, options);
}
