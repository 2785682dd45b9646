#include "common/PrintableText.h"

namespace glimrow {
namespace {

bool isHexDigit(QChar character)
{
    return (character >= u'0' && character <= u'9') || (character >= u'a' && character <= u'f') ||
           (character >= u'A' && character <= u'F');
}

// \x1B, or \x{01} before a hex digit: "\x013" would read as one code.
QString escaped(QLatin1StringView kind, char16_t code, int width, QChar next)
{
    const QString digits = QString::number(code, 16).toUpper().rightJustified(width, u'0');
    return isHexDigit(next) ? kind + u'{' + digits + u'}' : kind + digits;
}

} // namespace

QString printableText(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar character = text[at];
        const char16_t code = character.unicode();
        const QChar next = at + 1 < text.size() ? text[at + 1] : QChar();
        // Halves of a pair are printed together; alone, each is a character of its own.
        if (character.isPrint() || character.isSurrogate() || code == u'\n' || code == u'\t')
            shown += character;
        else if (code < 0x100)
            shown += escaped(QLatin1StringView("\\x"), code, 2, next);
        else
            shown += escaped(QLatin1StringView("\\u"), code, 4, next);
    }
    return shown;
}

QString printableBytes(const QByteArray& bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const auto code = char16_t(static_cast<unsigned char>(bytes[at]));
        const QChar next = at + 1 < bytes.size() ? QChar(char16_t(uchar(bytes[at + 1]))) : QChar();
        if (code >= 0x20 && code < 0x7F)
            shown += QChar(code);
        else
            shown += escaped(QLatin1StringView("\\x"), code, 2, next);
    }
    return shown;
}

} // namespace glimrow
