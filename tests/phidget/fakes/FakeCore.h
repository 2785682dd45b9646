#pragma once

// What both fake Phidget libraries share: the boards the test plugged in, the record of the
// calls that reached a board, the call told to fail, a board's latency, and the library's own
// threads. Events run on a new thread while the caller waits for it, so the handlers run off
// the caller's thread (as the vendor's do). Asynchronous calls complete on one worker thread,
// each a latency after the board finished the one before it, as a board takes its USB packets
// one at a time.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace fake {

struct Board {
    std::string type;
    int version = 0;
    bool plugged = false;
};

// Guards the boards, the handles' open state, the call record and the failing call: the
// worker thread reaches boards while the test plugs and unplugs them.
std::mutex& guard();
std::map<int, Board>& boards();   // under guard()
const Board* plugged(int serial); // under guard()
std::string boardType(int serial);
std::vector<int> pluggedSerials();

void onLibraryThread(const std::function<void()>& event);

// A blocking call that reaches a board takes the board's round trip.
void waitForTheBoard();
// Runs `complete` on the worker thread once board `serial` has taken the call.
void later(int serial, std::function<void()> complete);

bool failing(const char* function);   // under guard()
void record(const std::string& call); // under guard()

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
