#pragma once

// Waiting on an event, not on the clock: runs the event loop until the condition holds or the
// time is up, and says whether it holds.

#include <QCoreApplication>
#include <QElapsedTimer>

namespace glimrow::test {

template <typename Condition>
bool waitFor(Condition condition, int milliseconds = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return condition();
}

} // namespace glimrow::test
