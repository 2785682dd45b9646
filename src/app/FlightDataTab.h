#pragma once

// The "Flight Data" tab: what the data server sent last, read-only. The values with their
// types, every light-bit word bit by bit with the lamp lines that follow each bit (so a builder
// can see which bit a lamp needs), the arrival rate and the stream's last frame.

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace glimrow {

struct FlightDataShown;

class FlightDataTab : public QWidget {
public:
    explicit FlightDataTab(QWidget* parent = nullptr);

    void display(const FlightDataShown& shown);

    QTableWidget* values() const { return m_values; }
    QTableWidget* bits() const { return m_bits; }

private:
    QLabel* m_rate = nullptr;
    QTableWidget* m_values = nullptr;
    QTableWidget* m_bits = nullptr;
    QPlainTextEdit* m_lastFrame = nullptr;
};

} // namespace glimrow
