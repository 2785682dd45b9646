#pragma once

// Text that quotes the configuration file or the data server, made safe to print: control and
// other invisible characters (an ESC that would drive the terminal, a NUL, a direction
// override) are written as \x1B or \u202E, and as \x{01} where a hex digit follows, so that
// "\x01" then "3" cannot read as one code. Line breaks and tabs stay.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace glimrow {

QString printableText(QStringView text);
// Bytes as received (the stream's frames): printable ASCII as it is, every other byte, line
// ends included, as \x0D.
QString printableBytes(const QByteArray& bytes);

} // namespace glimrow
