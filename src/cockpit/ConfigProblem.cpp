#include "cockpit/ConfigProblem.h"

namespace glimrow {

QString ConfigProblem::compilerStyle(const QString& file) const
{
    const QString severityName =
        severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
    if (line == 0)
        return QStringLiteral("%1: %2: %3").arg(file, severityName, message);
    return QStringLiteral("%1:%2: %3: %4 (\"%5\")")
        .arg(file)
        .arg(line)
        .arg(severityName, message, text);
}

QString ConfigProblem::sentence(const QString& file) const
{
    return QStringLiteral("%1, line %2: \"%3\": %4").arg(file).arg(line).arg(text, message);
}

} // namespace glimrow
