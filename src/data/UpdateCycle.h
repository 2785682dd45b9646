#pragma once

// The one procedure that moves the flight data to every output, run by the polling timer
// while the data server is active. In DCOM mode it first refreshes the flight-data object and
// copies the four lamp and speed-brake fields into the window cache; then, in both modes, it
// lets window events run once and calls the output steps in their fixed order.
//
// The refresh is asked for without waiting: the cycle goes on when the answer arrives, one
// refresh at a time. A refresh that fails or gets no answer in time ends the cycle there and
// tells the source that the server is not active. Every other step runs whatever happened in the
// one before: a step that fails is skipped.

#include "data/ConnectionManager.h"
#include "data/FlightDataRecord.h"

#include <functional>
#include <vector>

namespace glimrow {

class UpdateCycle {
public:
    struct Step {
        const char* name;
        std::function<void()> run;
    };

    UpdateCycle(FlightDataSource& source, FlightDataCache& cache,
                std::function<void()> letEventsRun);

    // Steps that follow the cache copy in DCOM mode only (text strings, gauge values).
    void setDcomSteps(std::vector<Step> steps) { m_dcomSteps = std::move(steps); }
    // Steps that follow the pause for window events in both modes (lamps, text displays,
    // gauges, EPIC, G-suit), in their order.
    void setOutputSteps(std::vector<Step> steps) { m_outputSteps = std::move(steps); }

    // Whether a cycle may run now ("All Lamps On" clear, the server active, no other work
    // under way). Asked before a cycle starts and again when a refresh's answer arrives, since
    // either may have changed while it was on its way.
    void setGate(std::function<bool()> mayRun) { m_mayRun = std::move(mayRun); }
    // Called after every cycle, when the outputs are the cycle's own.
    void setCycleEnded(std::function<void()> ended) { m_cycleEnded = std::move(ended); }

    // One cycle, or in DCOM mode the request that starts one. A call made while a cycle runs
    // (a tick that fell into one of its pauses for window events) or while its refresh is on
    // its way is dropped: a second cycle never runs inside the first, nor piles up behind it.
    void run();
    // The same for data known to be newer than any refresh already asked for (the server said
    // it changed). True when a refresh was already on its way: its answer may hold the old
    // values, so the caller asks again once that answer's cycle has ended.
    bool runOnNewerData();
    bool isRunning() const { return m_running; }
    // Cycles run since the start (ticks that were dropped not counted).
    long cyclesRun() const { return m_cyclesRun; }

private:
    void afterFill(FillOutcome outcome, const QString& why);
    bool mayRun() const { return !m_mayRun || m_mayRun(); }
    void runCycle();
    void runDcomBlock();
    void copyCache();

    FlightDataSource& m_source;
    FlightDataCache& m_cache;
    std::function<void()> m_letEventsRun;
    std::vector<Step> m_dcomSteps;
    std::vector<Step> m_outputSteps;
    std::function<bool()> m_mayRun;
    std::function<void()> m_cycleEnded;
    bool m_running = false;
    long m_cyclesRun = 0;
};

} // namespace glimrow
