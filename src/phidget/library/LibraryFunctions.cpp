#include "phidget/library/LibraryFunctions.h"

#include <QRegularExpression>

namespace glimrow::library {

Functions::Functions(const QString& file) : m_library(file)
{
    // The vendor libraries start threads of their own; unloading them under those threads
    // would crash, so once loaded they stay.
    m_library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!m_library.load())
        m_loadError = m_library.errorString();
}

QString Functions::problem() const
{
    if (!m_loadError.isEmpty())
        return m_loadError;
    if (m_missing.isEmpty())
        return {};
    return QStringLiteral("%1 lacks %2")
        .arg(m_library.fileName(), m_missing.join(QStringLiteral(", ")));
}

QString errorText(int (*description)(int code, const char** text), int code)
{
    const char* text = nullptr;
    if (description(code, &text) == 0 && text)
        return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(text)).arg(code);
    return QStringLiteral("error %1").arg(code);
}

QString versionLine(const QString& libraryName, const char* versionText)
{
    static const QRegularExpression version(QStringLiteral("Version\\s+([0-9][0-9.]*)"));
    const auto match = version.match(QString::fromLatin1(versionText ? versionText : ""));
    if (!match.hasMatch())
        return libraryName;
    QString number = match.captured(1);
    while (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    return libraryName + QLatin1Char(' ') + number;
}

} // namespace glimrow::library
