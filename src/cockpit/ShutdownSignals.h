#pragma once

// SIGTERM, SIGINT and SIGHUP (Ctrl+C, kill, logging out, a system shutdown) turned into the
// program's own way out, so that lamps are darkened and the EPIC card and the data server's
// object are closed. The signal handler only writes the signal's number to a pipe; the event
// loop reads it and runs the shutdown. A second signal while the first is being handled ends
// the program at once.
//
// A program without a window (a service) has no terminal to lose: there SIGHUP asks for the
// configuration to be read again, as daemons do, and can come any number of times.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace glimrow {

class ShutdownSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers (one object per process); `shutdown` runs on the event loop's
    // thread at the first signal. With `reload`, SIGHUP runs it instead of `shutdown`.
    explicit ShutdownSignals(std::function<void()> shutdown, std::function<void()> reload = {},
                             QObject* parent = nullptr);
    // Gives the signals their default actions back.
    ~ShutdownSignals() override;

    // Called first thing in main(): SIGHUP waits, blocked, until the handlers are in place, so
    // one that comes while the program starts (a reload asked for by systemd, say) is handled
    // then rather than ending the program by its default action. Threads started meanwhile
    // keep it blocked, so it reaches the main thread.
    static void holdUntilHandled();

private:
    void takeSignal();

    std::function<void()> m_shutdown;
    std::function<void()> m_reload;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace glimrow
