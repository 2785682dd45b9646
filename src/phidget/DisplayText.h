#pragma once

// Renders the aircraft's character screens (the data-entry display and the fault list) as
// lines of text, and picks single lines out of the result.

#include <QString>

namespace glimrow {

// Walks the characters: codes 33 to 128 are kept, 1 becomes the broken bar, 2 becomes "*",
// a space is kept except at position 7, anything else is dropped. After positions 27, 53,
// 78, 104 and 130 trailing spaces are removed and a CR ends the line. The inverse-video mask
// is shown like any other text, so it does not change the result.
QString BuildDisplay(const QString& characters, const QString& inverse);

// Line `line` (from 1) of a rendered text, without leading or trailing spaces; "" when there
// is no such line.
QString GetDisplayLine(const QString& rendered, int line);

} // namespace glimrow
