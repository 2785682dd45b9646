#pragma once

// SIGTERM, SIGINT and SIGHUP (Ctrl+C, kill, logging out, a system shutdown) turned into the
// program's own way out, so that lamps are darkened and the EPIC card and the data server's
// object are closed. The signal handler only writes a byte to a pipe; the event loop reads it
// and runs the shutdown. A second signal while the first is being handled ends the program at
// once.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace glimrow {

class ShutdownSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers (one object per process); `shutdown` runs on the event loop's
    // thread at the first signal.
    explicit ShutdownSignals(std::function<void()> shutdown, QObject* parent = nullptr);
    // Gives the signals their default actions back.
    ~ShutdownSignals() override;

private:
    std::function<void()> m_shutdown;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace glimrow
