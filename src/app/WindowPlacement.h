#pragma once

// Where a second window (the Virtual Hardware window) opens beside the main window: in a free
// part of the screen that shows the main window, to its right or left when there is room,
// else below it, else over it but under its tab row, which stays in sight.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace glimrow {

// `main` is the main window's frame, `tabRowBottom` the screen row just under its tab row,
// `size` the other window's frame and `screen` the screen's available area.
QPoint placeBeside(const QRect& main, int tabRowBottom, const QSize& size, const QRect& screen);

} // namespace glimrow
