#include "FakeCore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace fake {
namespace {

using Clock = std::chrono::steady_clock;

std::string calls;
std::string failingFunction;

// FAKE_PHIDGET_LATENCY_MS, or FakePhidget_setLatency: a board's round trip.
std::atomic<long> latencyMicroseconds{[] {
    const char* text = std::getenv("FAKE_PHIDGET_LATENCY_MS");
    return text ? long(std::atof(text) * 1000) : 0L;
}()};

Clock::duration latency()
{
    return std::chrono::microseconds(latencyMicroseconds.load());
}

// The library's thread that completes asynchronous calls, in the order each board takes them.
class Worker {
public:
    ~Worker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_due.clear(); // no handler runs as the process ends
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(int serial, std::function<void()> complete)
    {
        std::lock_guard lock(m_mutex);
        Clock::time_point& boardFree = m_boardFree[serial];
        boardFree = std::max(Clock::now(), boardFree) + latency();
        m_due.emplace(boardFree, std::move(complete));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_all();
    }
    bool idle()
    {
        std::lock_guard lock(m_mutex);
        return m_due.empty() && !m_running;
    }
    void clear()
    {
        std::unique_lock lock(m_mutex);
        m_due.clear();
        m_boardFree.clear();
        m_wake.wait(lock, [this] { return !m_running; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (m_due.empty()) {
                m_wake.wait(lock);
                continue;
            }
            const auto next = m_due.begin();
            if (next->first > Clock::now()) {
                m_wake.wait_until(lock, next->first);
                continue;
            }
            std::function<void()> complete = std::move(next->second);
            m_due.erase(next);
            m_running = true;
            lock.unlock();
            complete();
            lock.lock();
            m_running = false;
            m_wake.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<Clock::time_point, std::function<void()>> m_due; // equal times keep their order
    std::map<int, Clock::time_point> m_boardFree;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};

Worker& worker()
{
    static Worker theWorker;
    return theWorker;
}

} // namespace

std::mutex& guard()
{
    static std::mutex theGuard;
    return theGuard;
}

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

std::string boardType(int serial)
{
    std::lock_guard lock(guard());
    return boards()[serial].type;
}

std::vector<int> pluggedSerials()
{
    std::lock_guard lock(guard());
    std::vector<int> serials;
    for (const auto& [serial, board] : boards()) {
        if (board.plugged)
            serials.push_back(serial);
    }
    return serials;
}

void onLibraryThread(const std::function<void()>& event)
{
    std::thread(event).join();
}

void waitForTheBoard()
{
    if (latencyMicroseconds.load() > 0)
        std::this_thread::sleep_for(latency());
}

void later(int serial, std::function<void()> complete)
{
    worker().add(serial, std::move(complete));
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
    {
        std::lock_guard lock(fake::guard());
        fake::boards()[serial] = fake::Board{type, version, true};
    }
    fake::announce(serial, true);
}

FAKE_EXPORT void FakePhidget_unplug(int serial)
{
    {
        std::lock_guard lock(fake::guard());
        if (!fake::plugged(serial))
            return;
        fake::boards()[serial].plugged = false;
    }
    fake::announce(serial, false);
}

FAKE_EXPORT void FakePhidget_error(int serial, int code, const char* text)
{
    fake::announceError(serial, code, text);
}

FAKE_EXPORT void FakePhidget_fail(const char* function)
{
    std::lock_guard lock(fake::guard());
    fake::failingFunction = function ? function : "";
}

FAKE_EXPORT void FakePhidget_setLatency(double milliseconds)
{
    fake::latencyMicroseconds = long(milliseconds * 1000);
}

// No asynchronous call is waiting for its board or completing.
FAKE_EXPORT int FakePhidget_idle()
{
    return fake::worker().idle() ? 1 : 0;
}

FAKE_EXPORT const char* FakePhidget_takeCalls()
{
    static std::string taken;
    std::lock_guard lock(fake::guard());
    taken.swap(fake::calls);
    fake::calls.clear();
    return taken.c_str();
}

FAKE_EXPORT void FakePhidget_reset()
{
    fake::worker().clear();
    std::lock_guard lock(fake::guard());
    fake::boards().clear();
    fake::failingFunction.clear();
    fake::calls.clear();
}
