// glimrow: drives a home cockpit's lamps, displays and servos from the Vantor-A data server.

#include "GlimrowVersion.h"
#include "app/MessageReporter.h"
#include "app/frmGlimrow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace {

// Saves a picture of the window once start-up has settled, then leaves the program the
// normal way (for machines without a display, and for the README's pictures).
void scheduleScreenshot(glimrow::frmGlimrow& window, const QString& path)
{
    QTimer::singleShot(1000, &window, [&window, path] {
        const bool saved = window.grab().save(path, "PNG");
        std::fprintf(stderr, saved ? "glimrow: window saved to %s\n"
                                   : "glimrow: could not save the window to %s\n",
                     qPrintable(path));
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
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Start up, save a PNG of the window to <file>, then exit."),
        QStringLiteral("file"));
    options.addOption(screenshot);
    options.process(app);

    glimrow::MessageBoxReporter messages;
    glimrow::frmGlimrow window(messages);
    if (!window.Form_Load())
        return window.exitCode();
    window.show();
    if (options.isSet(screenshot))
        scheduleScreenshot(window, options.value(screenshot));
    app.exec();
    return window.exitCode();
}
