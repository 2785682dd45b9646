#include "phidget/DisplayText.h"

#include <QStringList>

namespace glimrow {
namespace {

bool endsALine(qsizetype position)
{
    return position == 27 || position == 53 || position == 78 || position == 104 || position == 130;
}

void chopTrailingSpaces(QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    text.truncate(end);
}

} // namespace

QString BuildDisplay(const QString& characters, const QString& /*inverse*/)
{
    QString rendered;
    rendered.reserve(characters.size() + 5);
    for (qsizetype position = 1; position <= characters.size(); ++position) {
        const char16_t code = characters[position - 1].unicode();
        if (code >= 33 && code <= 127)
            rendered += QChar(code);
        else if (code == 128)
            rendered += QChar(0x20AC); // the euro sign, code 128 of the Windows code page
        else if (code == 1)
            rendered += QChar(0x00A6); // broken bar
        else if (code == 2)
            rendered += u'*';
        else if (code == 32 && position != 7)
            rendered += u' ';
        if (endsALine(position)) {
            chopTrailingSpaces(rendered);
            rendered += u'\r';
        }
    }
    return rendered;
}

QString GetDisplayLine(const QString& rendered, int line)
{
    const QStringList lines = rendered.split(u'\r');
    if (line < 1 || line > lines.size())
        return {};
    return lines[line - 1].trimmed();
}

} // namespace glimrow
