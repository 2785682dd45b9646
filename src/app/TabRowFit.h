#pragma once

// The window's tab row is as wide as the design's tab control, and its eleven captions fill it:
// with a style or font that pads tabs more (Qt 6.8's), the last ones would go behind scroll
// arrows. fitTabRow() narrows the space around each caption just enough for every tab to show.

class QTabWidget;

namespace glimrow {

void fitTabRow(QTabWidget& tabs);

} // namespace glimrow
