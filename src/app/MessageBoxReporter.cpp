#include "app/MessageBoxReporter.h"

#include "common/PrintableText.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace glimrow {

void MessageBoxReporter::showMessage(const QString& title, const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n'); // Qt's labels break lines on LF only
    shown = printableText(shown);
    // Said on standard error too, for the log of a program started without a terminal; and
    // where no window can be seen (the offscreen platform), only there: nobody could press OK.
    std::fprintf(stderr, "glimrow: %s: %s\n", qPrintable(title), qPrintable(shown));
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        return;
    QMessageBox::information(nullptr, title, shown, QMessageBox::Ok);
}

} // namespace glimrow
