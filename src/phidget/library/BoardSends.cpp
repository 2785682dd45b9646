#include "phidget/library/BoardSends.h"

#include <algorithm>

namespace glimrow {

using namespace phidget22;

struct BoardSends::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<int> inFlight;           // calls per channel
    std::vector<const char*> failedCall; // per channel: the first refused call of its send
    std::vector<int> failedCode;
    Post post;                   // empty once nothing is reported
    BoardSends* owner = nullptr; // read and cleared on the window's thread only

    bool idle() const
    {
        return std::all_of(inFlight.begin(), inFlight.end(), [](int calls) { return calls == 0; });
    }
};

namespace {

// The context of one call in flight; the answer frees it.
struct InFlight {
    std::shared_ptr<BoardSends::Shared> shared;
    int channel = 0;
    const char* name = nullptr;
};

} // namespace

// On a library thread.
void BoardSends::onAnswer(PhidgetHandle, void* context, int result)
{
    const std::unique_ptr<InFlight> call(static_cast<InFlight*>(context));
    Shared& shared = *call->shared;
    const int channel = call->channel;
    std::lock_guard lock(shared.mutex);
    if (result != EPHIDGET_OK && !shared.failedCall[std::size_t(channel)]) {
        shared.failedCall[std::size_t(channel)] = call->name;
        shared.failedCode[std::size_t(channel)] = result;
    }
    if (--shared.inFlight[std::size_t(channel)] > 0)
        return;
    shared.answered.notify_all();
    if (!shared.post)
        return;
    const char* failedCall = shared.failedCall[std::size_t(channel)];
    const int code = shared.failedCode[std::size_t(channel)];
    shared.post([shared = call->shared, channel, failedCall, code] {
        if (shared->owner)
            shared->owner->answered(channel, failedCall, code);
    });
}

BoardSends::BoardSends(int channels, Post post, Failed failed)
    : m_shared(std::make_shared<Shared>()), m_waiting(std::size_t(channels)),
      m_failed(std::move(failed))
{
    m_shared->inFlight.resize(std::size_t(channels), 0);
    m_shared->failedCall.resize(std::size_t(channels), nullptr);
    m_shared->failedCode.resize(std::size_t(channels), EPHIDGET_OK);
    m_shared->post = std::move(post);
    m_shared->owner = this;
}

BoardSends::~BoardSends()
{
    stopReporting();
    m_shared->owner = nullptr;
}

void BoardSends::send(int channel, int setting, std::vector<Call> calls)
{
    auto& waiting = m_waiting[std::size_t(channel)];
    if (waiting.empty() && !busy(channel)) {
        start(channel, std::move(calls));
        return;
    }
    const auto same = std::find_if(waiting.begin(), waiting.end(),
                                   [&](const Waiting& send) { return send.setting == setting; });
    if (same != waiting.end())
        same->calls = std::move(calls);
    else
        waiting.push_back(Waiting{setting, std::move(calls)});
}

void BoardSends::close(std::chrono::milliseconds limit)
{
    waitForAnswers(limit);
    stopReporting();
}

void BoardSends::waitForAnswers(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        {
            std::unique_lock lock(m_shared->mutex);
            if (!m_shared->answered.wait_until(lock, deadline, [this] { return m_shared->idle(); }))
                return; // a board that does not answer is not waited for longer
        }
        bool started = false;
        for (std::size_t channel = 0; channel < m_waiting.size(); ++channel) {
            started = started || !m_waiting[channel].empty();
            startWaiting(int(channel));
        }
        if (!started)
            return;
    }
}

void BoardSends::stopReporting()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->post = nullptr;
}

bool BoardSends::idle() const
{
    if (std::any_of(m_waiting.begin(), m_waiting.end(),
                    [](const auto& waiting) { return !waiting.empty(); }))
        return false;
    std::lock_guard lock(m_shared->mutex);
    return m_shared->idle();
}

bool BoardSends::busy(int channel) const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->inFlight[std::size_t(channel)] > 0;
}

void BoardSends::start(int channel, std::vector<Call> calls)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->inFlight[std::size_t(channel)] += int(calls.size());
        m_shared->failedCall[std::size_t(channel)] = nullptr;
    }
    for (const Call& call : calls)
        call.start(&onAnswer, new InFlight{m_shared, channel, call.name});
}

void BoardSends::startWaiting(int channel)
{
    auto& waiting = m_waiting[std::size_t(channel)];
    if (waiting.empty() || busy(channel))
        return;
    std::vector<Call> calls = std::move(waiting.front().calls);
    waiting.erase(waiting.begin());
    start(channel, std::move(calls));
}

void BoardSends::answered(int channel, const char* failedCall, int code)
{
    if (failedCall)
        m_failed(failedCall, code);
    startWaiting(channel);
}

SendThread::SendThread()
    : m_thread([this] {
          std::unique_lock lock(m_mutex);
          for (;;) {
              m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
              if (m_stopping)
                  return;
              std::function<void()> call = std::move(m_queue.front());
              m_queue.pop_front();
              lock.unlock();
              call();
              lock.lock();
          }
      })
{
}

SendThread::~SendThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SendThread::run(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(call));
    }
    m_wake.notify_all();
}

} // namespace glimrow
