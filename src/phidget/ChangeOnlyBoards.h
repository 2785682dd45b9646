#pragma once

// Boards that are sent only what changed. Every cycle asks every lamp, output, row and motor
// for its value, but a real board pays a USB round trip for each call: a value equal to the
// one the board was last told is not sent again.
//
// What a board was told is forgotten whenever it may no longer hold: a new attach (a new
// wrapper), an error the board reports, a call that fails (that channel), and around "All
// Lamps On" and the darkening at shutdown, so the board always ends as the program shows it.

#include "phidget/PhidgetDeviceManager.h"

namespace glimrow {

// Wraps `board` for the outputs of `kind`; a board that does not offer its kind's members is
// given back as it is.
PhidgetBoardPtr sendingChangesOnly(BoardKind kind, const PhidgetBoardPtr& board);
// Forgets what the board was told, if it is such a wrapper.
void forgetSentValues(PhidgetBoard& board);

} // namespace glimrow
