#include "cockpit/ShutdownSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace glimrow {

Q_LOGGING_CATEGORY(lcSignals, "glimrow.signals", QtWarningMsg)

namespace {

constexpr int kShutdownSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signalled = 0;
volatile std::sig_atomic_t g_hangupReloads = 0;

// Only async-signal-safe calls here.
extern "C" void onShutdownSignal(int signal)
{
    const bool reload = signal == SIGHUP && g_hangupReloads;
    if (!reload) {
        if (g_signalled)
            _exit(128 + signal); // asked again while shutting down: the user insists
        g_signalled = signal;
    }
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

// SIGHUP alone waits for the handlers: one that comes while the program starts is a reload
// asked for early. SIGTERM and SIGINT before then end the program at once, as nothing is lit.
void holdHangup(int how)
{
    sigset_t hangup;
    sigemptyset(&hangup);
    sigaddset(&hangup, SIGHUP);
    ::pthread_sigmask(how, &hangup, nullptr);
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kShutdownSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

ShutdownSignals::ShutdownSignals(std::function<void()> shutdown, std::function<void()> reload,
                                 QObject* parent)
    : QObject(parent), m_shutdown(std::move(shutdown)), m_reload(std::move(reload))
{
    if (::pipe(g_pipe) != 0) {
        qCWarning(lcSignals) << "no pipe for signals; they end the program at once";
        holdHangup(SIG_UNBLOCK);
        return;
    }
    for (int end : g_pipe)
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::takeSignal);
    g_hangupReloads = m_reload ? 1 : 0;
    setHandler(onShutdownSignal);
    holdHangup(SIG_UNBLOCK); // one that came while the program started is handled now
}

void ShutdownSignals::holdUntilHandled()
{
    holdHangup(SIG_BLOCK);
}

void ShutdownSignals::takeSignal()
{
    char signal = 0;
    if (::read(g_pipe[0], &signal, 1) != 1)
        return;
    if (signal == SIGHUP && m_reload) {
        m_reload();
        return;
    }
    m_notifier->setEnabled(false);
    // A service's log says why it ended; the shutdown's own lines follow.
    std::fprintf(stderr, "glimrow: stopping (%s)\n",
                 signal == SIGTERM  ? "SIGTERM"
                 : signal == SIGINT ? "SIGINT"
                                    : "SIGHUP");
    m_shutdown();
}

ShutdownSignals::~ShutdownSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIG_DFL);
    g_hangupReloads = 0;
    delete m_notifier;
    for (int& end : g_pipe) {
        ::close(end);
        end = -1;
    }
}

} // namespace glimrow
