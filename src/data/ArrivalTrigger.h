#pragma once

// Brings the update cycle forward when the data server sends values that differ from the last
// ones, so that a lamp follows the data within a USB write rather than a polling period. A
// cycle runs at once, unless a cycle brought forward ended less than the minimum gap ago: then
// it runs when the gap is over, so that a burst of frames makes one cycle on its last values.
// The polling timer keeps running beside it, unchanged; its cycles open no gap, since at fast
// polling a change would otherwise often wait out a gap behind a tick.
//
// A change that comes while a cycle runs (it pauses for window events) waits for that cycle's
// end and the gap after it. A change that comes while the cycle may not run at all (start-up, a
// reload, "All Lamps On", an inactive server) is left to the polling timer once that ends.

#include "data/UpdateCycle.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace glimrow {

class ArrivalTrigger {
public:
    static constexpr qint64 kMinimumGapNs = 2'000'000;

    // `runCycle` starts a cycle as a tick does, and says whether it found a refresh already on
    // its way (the change is then looked at again after that refresh's cycle); `cycle` says
    // whether one is running.
    ArrivalTrigger(const UpdateCycle& cycle, std::function<bool()> runCycle);

    // Off: changes are ignored and the cycle keeps the timer's pace alone.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // A change is waiting for its cycle.
    bool isWaiting() const { return m_changeWaiting; }

    // New values arrived.
    void valuesChanged();
    // Every cycle's end, whatever started it.
    void cycleEnded();

private:
    void scheduleRun();
    void runIfWanted();

    const UpdateCycle& m_cycle;
    std::function<bool()> m_runCycle;
    QTimer m_gapEnd;
    QElapsedTimer m_sinceOwnCycleEnd;
    bool m_ownCycleUnderWay = false; // asked for by runIfWanted and not yet ended
    bool m_enabled = true;
    bool m_changeWaiting = false;
};

} // namespace glimrow
