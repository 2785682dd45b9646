#pragma once

// What both fake Phidget libraries share: a thread of their own on which every event handler
// runs (as the vendor's libraries do), the record of the calls that reach a board, the calls
// told to fail, and the control functions every test uses (see FakeControl.h).

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fake {

class Core {
public:
    static Core& instance();

    // Runs `event` on the library's thread, after every event posted before it.
    void post(std::function<void()> event);
    // Returns once every posted event has run; at once on the library's own thread.
    void settle();

    // Notes a call that reached a board: "name serial arguments...".
    void record(std::string call);
    std::string takeCalls();

    void setFailing(std::string function)
    {
        std::lock_guard lock(m_mutex);
        m_failing = std::move(function);
    }
    bool failing(const char* function);

    // Guards each fake's own registry of boards and handles.
    std::recursive_mutex registry;

    ~Core();

private:
    Core();
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_events;
    bool m_running = false; // an event is running
    bool m_stopping = false;
    std::vector<std::string> m_calls;
    std::string m_failing;
    std::thread m_thread; // last: starts once the rest is ready
};

} // namespace fake

// A number as the call records show it.
std::string fakeNumber(double value);
// One formatted call record.
std::string fakeCall(const char* name, int serial, const std::string& arguments);
