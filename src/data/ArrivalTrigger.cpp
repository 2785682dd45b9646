#include "data/ArrivalTrigger.h"

#include <algorithm>
#include <utility>

namespace glimrow {

ArrivalTrigger::ArrivalTrigger(const UpdateCycle& cycle, std::function<bool()> runCycle)
    : m_cycle(cycle), m_runCycle(std::move(runCycle))
{
    m_gapEnd.setSingleShot(true);
    m_gapEnd.setTimerType(Qt::PreciseTimer);
    m_gapEnd.callOnTimeout([this] { runIfWanted(); });
}

void ArrivalTrigger::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled) {
        m_changeWaiting = false;
        m_gapEnd.stop();
    }
}

void ArrivalTrigger::valuesChanged()
{
    if (!m_enabled)
        return;
    m_changeWaiting = true;
    scheduleRun();
}

void ArrivalTrigger::cycleEnded()
{
    if (std::exchange(m_ownCycleUnderWay, false))
        m_sinceOwnCycleEnd.start();
    if (m_changeWaiting)
        scheduleRun();
}

void ArrivalTrigger::scheduleRun()
{
    // A running cycle schedules the next run at its end; an armed timer already has one.
    if (m_cycle.isRunning() || m_gapEnd.isActive())
        return;
    qint64 waitNs = 0;
    if (m_sinceOwnCycleEnd.isValid())
        waitNs = std::max<qint64>(0, kMinimumGapNs - m_sinceOwnCycleEnd.nsecsElapsed());
    // Even "at once" goes through the event loop: the frame's read ends first, and the cycle
    // never runs inside the socket's signal.
    m_gapEnd.start(int((waitNs + 999'999) / 1'000'000));
}

void ArrivalTrigger::runIfWanted()
{
    if (!m_changeWaiting || m_cycle.isRunning())
        return;
    m_ownCycleUnderWay = true;
    // Behind a refresh already on its way, the change waits for that refresh's cycle to end.
    m_changeWaiting = m_runCycle();
}

} // namespace glimrow
