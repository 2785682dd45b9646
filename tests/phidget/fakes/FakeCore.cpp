#include "FakeCore.h"

#include "FakeControl.h"

#include <cstdio>

namespace fake {

Core& Core::instance()
{
    static Core core;
    return core;
}

Core::Core() : m_thread([this] { run(); }) {}

Core::~Core()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Core::post(std::function<void()> event)
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_wake.notify_all();
}

void Core::settle()
{
    if (std::this_thread::get_id() == m_thread.get_id())
        return;
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_events.empty() && !m_running; });
}

void Core::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stopping || !m_events.empty(); });
        if (m_events.empty())
            return;
        std::function<void()> event = std::move(m_events.front());
        m_events.pop_front();
        m_running = true;
        lock.unlock();
        event();
        lock.lock();
        m_running = false;
        if (m_events.empty())
            m_idle.notify_all();
    }
}

void Core::record(std::string call)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back(std::move(call));
}

std::string Core::takeCalls()
{
    std::lock_guard lock(m_mutex);
    std::string all;
    for (const std::string& call : m_calls)
        all += call + '\n';
    m_calls.clear();
    return all;
}

bool Core::failing(const char* function)
{
    std::lock_guard lock(m_mutex);
    return !m_failing.empty() && m_failing == function;
}

} // namespace fake

std::string fakeNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string fakeCall(const char* name, int serial, const std::string& arguments)
{
    return std::string(name) + ' ' + std::to_string(serial) + (arguments.empty() ? "" : " ") +
           arguments;
}

extern "C" {

FAKE_EXPORT const char* FakePhidget_takeCalls()
{
    static std::string calls;
    calls = fake::Core::instance().takeCalls();
    return calls.c_str();
}

FAKE_EXPORT void FakePhidget_fail(const char* function)
{
    fake::Core::instance().setFailing(function ? function : "");
}

FAKE_EXPORT void FakePhidget_settle()
{
    fake::Core::instance().settle();
}

} // extern "C"
