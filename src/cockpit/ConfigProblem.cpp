#include "cockpit/ConfigProblem.h"

#include "common/PrintableText.h"

namespace glimrow {

// The line and the message quote the file, whose bytes could drive a terminal.
QString ConfigProblem::compilerStyle(const QString& file) const
{
    const QString severityName =
        severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
    if (line == 0)
        return QStringLiteral("%1: %2: %3").arg(file, severityName, printableText(message));
    return QStringLiteral("%1:%2: %3: %4 (\"%5\")")
        .arg(file)
        .arg(line)
        .arg(severityName, printableText(message), printableText(text));
}

QString ConfigProblem::sentence(const QString& file) const
{
    return QStringLiteral("%1, line %2: \"%3\": %4")
        .arg(file)
        .arg(line)
        .arg(printableText(text), printableText(message));
}

QString ConfigProblem::messageLine() const
{
    return (severity == Severity::Error ? QStringLiteral("Error: ") : QStringLiteral("Warning: ")) +
           sentence(QStringLiteral("Glimrow.cfg"));
}

} // namespace glimrow
