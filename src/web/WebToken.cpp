#include "web/WebToken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

namespace glimrow {

namespace {

constexpr int kTokenDigits = 32;

bool isToken(const QString& text)
{
    if (text.size() != kTokenDigits)
        return false;
    for (QChar c : text) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

QString randomToken()
{
    QString token;
    for (int word = 0; word < 4; ++word)
        token +=
            QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
    return token;
}

} // namespace

QString WebToken::pathBeside(const QString& configFilePath)
{
    return QFileInfo(configFilePath).absoluteDir().filePath(QStringLiteral("web-token"));
}

std::optional<QString> WebToken::loadOrCreate(const QString& path, QString* problem)
{
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            *problem = QStringLiteral("%1 cannot be read: %2").arg(path, existing.errorString());
            return std::nullopt;
        }
        const QString kept = QString::fromLatin1(existing.read(256)).trimmed();
        if (isToken(kept))
            return kept;
    }
    const QString token = randomToken();
    QSaveFile file(path);
    // Readable by its owner only from the first byte on.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(token.toLatin1() + '\n') < 0 || !file.commit()) {
        *problem = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return token;
}

bool WebToken::matches(const QString& given, const QString& token)
{
    if (given.size() != token.size())
        return false;
    char16_t difference = 0;
    for (qsizetype index = 0; index < token.size(); ++index)
        difference |= char16_t(given[index].unicode() ^ token[index].unicode());
    return difference == 0;
}

} // namespace glimrow
