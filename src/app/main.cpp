// glimrow: drives a home cockpit's lamps, displays and servos from the Vantor-A data server.

#include "GlimrowVersion.h"
#include "app/MessageReporter.h"
#include "app/frmGlimrow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

// Saves a picture of every tab the user can bring up once start-up has settled, then leaves
// the program the normal way (for machines without a display, and for the README's pictures).
void scheduleScreenshots(glimrow::frmGlimrow& window, const QString& folder)
{
    QTimer::singleShot(1000, &window, [&window, folder] {
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
    options.process(app);

    glimrow::MessageBoxReporter messages;
    glimrow::frmGlimrow window(messages);
    QObject::connect(&window, &glimrow::frmGlimrow::ended, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    if (!window.Form_Load())
        return window.exitCode();
    window.show();
    if (options.isSet(screenshots))
        scheduleScreenshots(window, options.value(screenshots));
    app.exec();
    return window.exitCode();
}
