#pragma once

// Waiting on an event, not on the clock: runs the event loop until the condition holds or the
// time is up, and says whether it held. The condition is not looked at again once it held: a
// lamp that moves on may no longer match a second look.

#include <QCoreApplication>
#include <QElapsedTimer>

namespace glimrow::test {

template <typename Condition> bool waitFor(Condition condition, int milliseconds = 5000)
{
    QElapsedTimer waited;
    waited.start();
    bool held = false;
    while (!(held = condition()) && waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return held;
}

// Runs the event loop until `idle` holds before and after the events then waiting are handled:
// work that other threads answer (a board's calls) is done, and so is what the answers started.
template <typename Idle> bool waitUntilSettled(Idle idle, int milliseconds = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds) {
        QCoreApplication::processEvents();
        if (idle()) {
            QCoreApplication::processEvents();
            if (idle())
                return true;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return false;
}

} // namespace glimrow::test
