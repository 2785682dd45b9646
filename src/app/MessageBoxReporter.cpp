#include "app/MessageBoxReporter.h"

#include <QMessageBox>

namespace glimrow {

void MessageBoxReporter::showMessage(const QString& title, const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n'); // Qt's labels break lines on LF only
    QMessageBox::information(nullptr, title, shown, QMessageBox::Ok);
}

} // namespace glimrow
