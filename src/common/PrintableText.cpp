#include "common/PrintableText.h"

namespace glimrow {
namespace {

QString hexDigits(char16_t code, int width)
{
    return QString::number(code, 16).toUpper().rightJustified(width, u'0');
}

} // namespace

QString printableText(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t code = character.unicode();
        // Halves of a pair are printed together; alone, each is a character of its own.
        if (character.isPrint() || character.isSurrogate() || code == u'\n' || code == u'\t')
            shown += character;
        else if (code < 0x100)
            shown += QStringLiteral("\\x") + hexDigits(code, 2);
        else
            shown += QStringLiteral("\\u") + hexDigits(code, 4);
    }
    return shown;
}

QString printableBytes(const QByteArray& bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = char16_t(static_cast<unsigned char>(byte));
        if (code >= 0x20 && code < 0x7F)
            shown += QChar(code);
        else
            shown += QStringLiteral("\\x") + hexDigits(code, 2);
    }
    return shown;
}

} // namespace glimrow
