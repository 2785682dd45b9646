#include "FakeCore.h"

#include <cstdio>
#include <thread>

namespace fake {
namespace {

std::string calls;
std::string failingFunction;

} // namespace

std::map<int, Board>& boards()
{
    static std::map<int, Board> all;
    return all;
}

const Board* plugged(int serial)
{
    const auto board = boards().find(serial);
    return board != boards().end() && board->second.plugged ? &board->second : nullptr;
}

void onLibraryThread(const std::function<void()>& event)
{
    std::thread(event).join();
}

bool failing(const char* function)
{
    return failingFunction == function;
}

void record(const std::string& call)
{
    calls += call + '\n';
}

std::string arguments(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace fake

// The functions a test calls on either fake beside the vendor's (see FakePhidgetLibrary.h).

FAKE_EXPORT void FakePhidget_plug(const char* type, int serial, int version)
{
    fake::boards()[serial] = fake::Board{type, version, true};
    fake::announce(serial, true);
}

FAKE_EXPORT void FakePhidget_unplug(int serial)
{
    if (!fake::plugged(serial))
        return;
    fake::boards()[serial].plugged = false;
    fake::announce(serial, false);
}

FAKE_EXPORT void FakePhidget_error(int serial, int code, const char* text)
{
    fake::announceError(serial, code, text);
}

FAKE_EXPORT void FakePhidget_fail(const char* function)
{
    fake::failingFunction = function ? function : "";
}

FAKE_EXPORT const char* FakePhidget_takeCalls()
{
    static std::string taken;
    taken.swap(fake::calls);
    fake::calls.clear();
    return taken.c_str();
}

FAKE_EXPORT void FakePhidget_reset()
{
    fake::boards().clear();
    fake::failingFunction.clear();
    fake::calls.clear();
}
