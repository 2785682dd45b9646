#pragma once

// A text as a QR code, made by libqrencode: its modules, for a window to draw, and the code
// drawn in characters, for a terminal or a journal to show.

#include <QString>
#include <QStringList>

#include <vector>

namespace glimrow {

class QrCode {
public:
    // Empty (size 0) when libqrencode cannot encode the text (far too long, or out of memory).
    explicit QrCode(const QString& text);

    // Modules on a side, without the quiet zone; 0 when empty.
    int size() const { return m_size; }
    bool isDark(int x, int y) const;

    // Light modules as blocks, for light text on a dark background (as a terminal and
    // journalctl show it), two rows of modules per line, with the quiet zone around. Empty
    // when the code is.
    QStringList terminalLines() const;

    static constexpr int kQuietZone = 4; // light modules around the code, as readers expect

private:
    int m_size = 0;
    std::vector<bool> m_dark; // row by row
};

} // namespace glimrow
