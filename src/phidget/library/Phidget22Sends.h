#pragma once

// The update cycle's calls to one libphidget22 board. They go out through the library's _async
// calls, so the window's thread never waits for USB. A channel has one send in flight at a
// time (the vendor advises waiting rather than piling calls onto a board); while it does,
// each setting of the channel keeps only its newest value, sent once the board has answered.
// A failed result comes back to the window's thread.

#include "phidget/library/Phidget22Api.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace glimrow {

class Phidget22Sends {
public:
    // One library call of a send, started with the handler and context it reports to.
    struct Call {
        const char* name;
        std::function<void(phidget22::AsyncCallback, void*)> start;
    };
    // Runs a step later on the window's thread; called from the library's threads.
    using Post = std::function<void(std::function<void()>)>;
    // Told on the window's thread of a call the board refused.
    using Failed = std::function<void(const char* call, int code)>;

    Phidget22Sends(int channels, Post post, Failed failed);
    ~Phidget22Sends();
    Phidget22Sends(const Phidget22Sends&) = delete;
    Phidget22Sends& operator=(const Phidget22Sends&) = delete;

    // Sends `calls` for `setting` of `channel` (a row, or 0), now if the channel is free, else
    // once it is; a waiting send of the same setting is replaced.
    void send(int channel, int setting, std::vector<Call> calls);
    // Waits, at most `limit`, until every send has gone out and been answered: before the
    // board is closed, so what shutdown sent is on the board.
    void finish(std::chrono::milliseconds limit);
    // Nothing is reported any more; answers still to come are let go.
    void stopReporting();

    struct Shared; // what the library's threads share with this object

private:
    struct Waiting {
        int setting = 0;
        std::vector<Call> calls;
    };

    static void onAnswer(phidget22::PhidgetHandle, void* context, int result);
    bool busy(int channel) const;
    void start(int channel, std::vector<Call> calls);
    void startWaiting(int channel);
    void answered(int channel, const char* failedCall, int code);

    std::shared_ptr<Shared> m_shared;
    std::vector<std::vector<Waiting>> m_waiting; // per channel, oldest first
    Failed m_failed;
};

} // namespace glimrow
