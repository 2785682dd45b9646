#pragma once

// The "Virtual Hardware" window: every virtual board drawn as it would look (LED-64 lamps at
// their brightness, interface-kit outputs, TextLED and TextLCD rows, servo positions), with a
// button to unplug and plug each board.

#include <QWidget>

namespace glimrow {

class VirtualHardware;

class VirtualHardwareWindow : public QWidget {
    Q_OBJECT

public:
    explicit VirtualHardwareWindow(VirtualHardware& hardware, QWidget* parent = nullptr);

private:
    VirtualHardware& m_hardware;
};

} // namespace glimrow
