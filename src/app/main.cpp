// glimrow: drives a home cockpit's lamps, displays and servos from the Vantor-A data server.

#include "GlimrowVersion.h"
#include "app/MessageBoxReporter.h"
#include "app/frmGlimrow.h"
#include "phidget/library/PhidgetLibraryChoice.h"
#include "phidget/virtual/VirtualHardware.h"
#include "phidget/virtual/VirtualHardwareService.h"
#include "phidget/virtual/VirtualHardwareWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Saves a picture of every tab the user can bring up once start-up has settled (and of the
// Virtual Hardware window, when there is one), then leaves the program the normal way: for
// machines without a display, and for the README's pictures.
void scheduleScreenshots(glimrow::frmGlimrow& window, QWidget* virtualHardware,
                         const QString& folder)
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
        window.ShutdownProgram();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimrow"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(glimrow::version::kText));
    // The window goes only through ShutdownProgram, never by the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser options;
    options.setApplicationDescription(QString::fromLatin1(glimrow::version::kProductName));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Start up, save a PNG of each tab (tab0.png, ...) in <folder>, then exit."),
        QStringLiteral("folder"));
    options.addOption(screenshots);
    const QCommandLineOption polling(
        QStringLiteral("polling"),
        QStringLiteral("Start with the polling timer at <ms> milliseconds (1 to 250)."),
        QStringLiteral("ms"));
    options.addOption(polling);
    const QCommandLineOption runFor(
        QStringLiteral("run-for"),
        QStringLiteral("End the program the normal way after <seconds>, saying how many "
                       "update cycles ran."),
        QStringLiteral("seconds"));
    options.addOption(runFor);
    const QCommandLineOption virtualHardware(
        QStringLiteral("virtual-hardware"),
        QStringLiteral("Attach virtual Phidget boards, show them in a Virtual Hardware window "
                       "and offer them on the session bus as org.glimrow.VirtualHardware."));
    options.addOption(virtualHardware);
    options.process(app);

    // Declared before the window, so the boards outlive the window that drives them.
    glimrow::PhidgetLibraryChoice library;
    glimrow::VirtualHardware hardware;
    glimrow::VirtualHardwareService hardwareService(hardware);
    std::unique_ptr<glimrow::VirtualHardwareWindow> hardwareWindow;
    glimrow::StartupSettings settings;
    if (options.isSet(virtualHardware)) {
        hardware.addDefaultBoards();
        hardware.setEpicPresent(true);
        QString error;
        if (!hardwareService.registerOn(QDBusConnection::sessionBus(), &error)) {
            std::fprintf(stderr, "glimrow: virtual hardware not on the session bus: %s\n",
                         qPrintable(error));
        }
        hardwareWindow = std::make_unique<glimrow::VirtualHardwareWindow>(hardware);
        settings.openPhidgets = [&hardware](glimrow::PhidgetManager& manager) {
            hardware.open(manager);
        };
        settings.phidgetLibraryLine = glimrow::kVirtualBoardsLine;
    } else {
        library = glimrow::choosePhidgetLibrary();
        for (const QString& problem : library.problems)
            std::fprintf(stderr, "glimrow: Phidget library not usable: %s\n", qPrintable(problem));
        if (library.backend) {
            settings.openPhidgets = [&library](glimrow::PhidgetManager& manager) {
                library.backend->open(manager);
            };
        }
        settings.phidgetLibraryLine = library.description;
    }

    glimrow::MessageBoxReporter messages;
    glimrow::frmGlimrow window(messages, settings);
    QObject::connect(&window, &glimrow::frmGlimrow::ended, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    if (!window.Form_Load())
        return window.exitCode();
    if (options.isSet(polling))
        window.setPollingInterval(options.value(polling).toInt());
    window.show();
    if (options.isSet(runFor)) {
        QTimer::singleShot(int(options.value(runFor).toDouble() * 1000), &window, [&window] {
            std::fprintf(stderr, "glimrow: %ld update cycles run\n",
                         window.updateCycle().cyclesRun());
            window.ShutdownProgram();
        });
    }
    if (hardwareWindow) {
        hardwareWindow->move(window.x() - 40, window.y() + 40);
        hardwareWindow->show();
    }
    if (options.isSet(screenshots)) {
        // With virtual hardware the pictures show the EPIC card in use too, as after a click
        // on "Open Epic".
        if (hardwareWindow)
            QTimer::singleShot(500, &window, [&window] { window.epic().OpenEpicCard(); });
        scheduleScreenshots(window, hardwareWindow.get(), options.value(screenshots));
    }
    app.exec();
    return window.exitCode();
}
