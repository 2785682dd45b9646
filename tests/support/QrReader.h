#pragma once

// Reading a QR code as a phone's camera would: with zbarimg (Debian's zbar-tools), from a
// picture of it.

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace glimrow::test {

// The text of the QR code in the picture `path`; what went wrong, in brackets, when none is
// read.
inline QString readQrCode(const QString& path)
{
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), path});
    if (!zbar.waitForFinished(30000))
        return QStringLiteral("[zbarimg (zbar-tools) did not run: %1]").arg(zbar.errorString());
    const QString text = QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
    return text.isEmpty() ? QStringLiteral("[no QR code read]") : text;
}

// A code drawn in characters (light modules as blocks, two rows of modules to a line) as a
// picture: a grey-scale PGM, 8 pixels to a module.
inline bool drawTerminalQrCode(const QStringList& lines, const QString& path)
{
    constexpr int kScale = 8;
    const int width = lines.isEmpty() ? 0 : int(lines[0].size());
    QByteArray pixels;
    for (const QString& line : lines) {
        for (const bool bottom : {false, true}) {
            QByteArray row;
            for (const QChar shown : line) {
                const bool light = shown == u'\u2588' || (shown == u'\u2580' && !bottom) ||
                                   (shown == u'\u2584' && bottom);
                row += QByteArray(kScale, light ? char(255) : char(0));
            }
            for (int copy = 0; copy < kScale; ++copy)
                pixels += row;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("P5\n%1 %2\n255\n")
                   .arg(width * kScale)
                   .arg(lines.size() * 2 * kScale)
                   .toLatin1());
    file.write(pixels);
    return true;
}

} // namespace glimrow::test
