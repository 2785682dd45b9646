#pragma once

// What both fake Phidget libraries share: the boards the test plugged in, the record of the
// calls that reached a board, the call told to fail, and a thread of the library's own for
// every event. Each event runs on a new thread while the caller waits for it, so the handlers
// run off the caller's thread (as the vendor's do) and nothing here is touched by two threads
// at once.

#include <functional>
#include <map>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace fake {

struct Board {
    std::string type;
    int version = 0;
    bool plugged = false;
};

std::map<int, Board>& boards();
const Board* plugged(int serial);

void onLibraryThread(const std::function<void()>& event);

bool failing(const char* function);
void record(const std::string& call);

// "1 0.5": the arguments as a call record shows them.
std::string arguments(double value);
template <typename... More> std::string arguments(double first, More... more)
{
    return arguments(first) + ' ' + arguments(more...);
}

// What every set...Handler function does.
template <typename Handler> int setHandler(Handler& slot, void*& context, Handler fn, void* given)
{
    slot = fn;
    context = given;
    return 0;
}

// Each fake's events: every open manager, and every open handle on the board, told.
void announce(int serial, bool attached);
void announceError(int serial, int code, const char* text);

} // namespace fake
