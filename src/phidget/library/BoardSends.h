#pragma once

// The update cycle's calls to one board, sent so that the window's thread never waits for
// USB: libphidget22's _async calls, or libphidget21's blocking ones run on a thread of the
// board's own (SendThread). A channel has one send in flight at a time (the vendor advises
// waiting rather than piling calls onto a board); while it does, each setting of the channel
// keeps only its newest value, sent once the board has answered. A failed result comes back
// to the window's thread.

#include "phidget/library/Phidget22Api.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glimrow {

class BoardSends {
public:
    // One library call of a send, started with the handler and context it reports to (the
    // handler's first argument is not used).
    struct Call {
        const char* name;
        std::function<void(phidget22::AsyncCallback, void*)> start;
    };
    // Runs a step later on the window's thread; called from the library's threads.
    using Post = std::function<void(std::function<void()>)>;
    // Told on the window's thread of a call the board refused.
    using Failed = std::function<void(const char* call, int code)>;

    BoardSends(int channels, Post post, Failed failed);
    ~BoardSends();
    BoardSends(const BoardSends&) = delete;
    BoardSends& operator=(const BoardSends&) = delete;

    // Sends `calls` for `setting` of `channel` (a row, or 0), now if the channel is free, else
    // once it is; a waiting send of the same setting is replaced.
    void send(int channel, int setting, std::vector<Call> calls);
    // Before the board is closed: waits, at most `limit`, until every send has gone out and
    // been answered, so what shutdown sent is on the board; then reports nothing any more.
    void close(std::chrono::milliseconds limit);
    // Every send has gone out and been answered.
    bool idle() const;

    struct Shared; // what the library's threads share with this object

private:
    struct Waiting {
        int setting = 0;
        std::vector<Call> calls;
    };

    static void onAnswer(phidget22::PhidgetHandle, void* context, int result);
    void waitForAnswers(std::chrono::milliseconds limit);
    void stopReporting(); // answers still to come are let go
    bool busy(int channel) const;
    void start(int channel, std::vector<Call> calls);
    void startWaiting(int channel);
    void answered(int channel, const char* failedCall, int code);

    std::shared_ptr<Shared> m_shared;
    std::vector<std::vector<Waiting>> m_waiting; // per channel, oldest first
    Failed m_failed;
};

// A thread that runs a board's blocking calls one after another, for a library without
// _async calls. Whatever is still queued when it goes is dropped.
class SendThread {
public:
    SendThread();
    ~SendThread();
    SendThread(const SendThread&) = delete;
    SendThread& operator=(const SendThread&) = delete;

    void run(std::function<void()> call);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::thread m_thread; // last: started once the rest is ready
};

} // namespace glimrow
