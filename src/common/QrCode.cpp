#include "common/QrCode.h"

#include <qrencode.h>

#include <memory>

namespace glimrow {

QrCode::QrCode(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    // Version 0: the smallest that holds the text; level M survives a smudged screen.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return;
    m_size = code->width;
    m_dark.resize(std::size_t(m_size) * std::size_t(m_size));
    for (std::size_t module = 0; module < m_dark.size(); ++module)
        m_dark[module] = (code->data[module] & 1) != 0; // the lowest bit is the colour
}

bool QrCode::isDark(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_size || y >= m_size)
        return false; // the quiet zone
    return m_dark[std::size_t(y) * std::size_t(m_size) + std::size_t(x)];
}

QStringList QrCode::terminalLines() const
{
    if (m_size == 0)
        return {};
    QStringList lines;
    const int first = -kQuietZone;
    const int end = m_size + kQuietZone;
    for (int y = first; y < end; y += 2) {
        QString line;
        for (int x = first; x < end; ++x) {
            const bool topLight = !isDark(x, y);
            const bool bottomLight = y + 1 < end && !isDark(x, y + 1);
            line +=
                topLight ? (bottomLight ? u'\u2588' : u'\u2580') : (bottomLight ? u'\u2584' : u' ');
        }
        lines << line;
    }
    return lines;
}

} // namespace glimrow
