#pragma once

// The "Virtual Hardware" window: every virtual board drawn as it would look (LED-64 lamps at
// their brightness, interface-kit outputs, TextLED and TextLCD rows, servo positions), with a
// button to unplug and plug each board. On a small screen it scrolls rather than outgrow it.

#include <QWidget>

namespace glimrow {

class VirtualHardware;

class VirtualHardwareWindow : public QWidget {
    Q_OBJECT

public:
    explicit VirtualHardwareWindow(VirtualHardware& hardware, QWidget* parent = nullptr);

    // Every board in view where the screen has room for them; no larger than the screen.
    QSize sizeHint() const override;

private:
    VirtualHardware& m_hardware;
    QWidget* m_boards = nullptr;
};

} // namespace glimrow
