#pragma once

// Reading a QR code as a phone's camera would: with zbarimg (Debian's zbar-tools), from a
// picture of it.

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace glimrow::test {

// The text of the QR code in the picture `path`; what went wrong, in brackets, when none is read.
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
// grey-scale PGM picture, 8 pixels to a module.
inline bool drawTerminalQrCode(const QStringList& lines, const QString& path)
{
    constexpr int kScale = 8;
    QByteArray pixels;
    for (int row = 0; row < 2 * lines.size(); ++row) {
        QByteArray pixelRow;
        for (const QChar shown : lines[row / 2]) {
            const bool light = shown == u'\u2588' || shown == (row % 2 ? u'\u2584' : u'\u2580');
            pixelRow += QByteArray(kScale, light ? char(255) : char(0));
        }
        pixels += pixelRow.repeated(kScale);
    }
    QFile file(path);
    const int width = lines.isEmpty() ? 0 : int(lines[0].size()) * kScale;
    return file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray("P5\n") + QByteArray::number(width) + ' ' +
                      QByteArray::number(2 * lines.size() * kScale) + "\n255\n" + pixels) > 0;
}

} // namespace glimrow::test
