// One update cycle of the window on the example configuration with virtual hardware, DCOM
// mode, from an in-process flight-data object holding vantor-sim's record (targets: 200 us
// with screen updates on, 50 us with them off; recording with --record within 10 % of not). And the
// latency from a stream frame leaving vantor-sim's frame server to the virtual LED changing, at 10
// and 100 ms polling, with the cycle on arrival and with the timer alone (target: p99 2 ms on
// arrival).

#include "StartedWindow.h"

#include "app/frmGlimrow.h"
#include "data/FlightDataRecorder.h"
#include "phidget/virtual/VirtualHardware.h"

#include <QCheckBox>
#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace glimrow;
using glimrow::bench::StartedWindow;

void UpdateCycle(benchmark::State& state)
{
    StartedWindow cockpit("DCOM");
    const bool screenUpdates = state.range(0) != 0;
    cockpit.window->ui().chkGlimrow[0]->setChecked(!screenUpdates);
    if (!cockpit.window->cockpit().cache().VantorAy) {
        state.SkipWithError("the in-process data server is not active");
        return;
    }
    for (auto _ : state)
        cockpit.window->cockpit().updateCycle().run();
    state.SetLabel(screenUpdates ? "screen updates on" : "screen updates off");
}
BENCHMARK(UpdateCycle)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The same with screen updates on, recording (1) or not, the cycles 1 ms apart as at the
// fastest polling: the rest of each period goes to the window's events, among them the
// recording's hand-over to its thread, as in the running program.
void UpdateCycleRecording(benchmark::State& state)
{
    StartedWindow cockpit("DCOM");
    const bool recording = state.range(0) != 0;
    if (recording &&
        !cockpit.window->cockpit().startRecording(cockpit.dir.filePath("flight.jsonl"),
                                                  FlightDataRecorder::kDefaultLimitBytes)) {
        state.SkipWithError("cannot record");
        return;
    }
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        cockpit.window->cockpit().updateCycle().run();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        while (Clock::now() - start < std::chrono::milliseconds(1))
            QCoreApplication::processEvents();
    }
    state.SetLabel(recording ? "recording" : "not recording");
}
BENCHMARK(UpdateCycleRecording)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Arguments: the polling interval in ms; the cycle on arrival on (1) or off (0).
void FrameToLed(benchmark::State& state)
{
    bench::LightBitStream stream;
    StartedWindow cockpit("TCP", stream.server.port());
    const int pollingMs = int(state.range(0));
    cockpit.window->setPollingInterval(pollingMs);
    cockpit.window->ui().chkGlimrow[3]->setChecked(state.range(1) != 0);
    bench::waitUntilActive(cockpit);
    bench::timeLightBitToggles(state, stream, pollingMs, 1000, [&](bool lit) {
        return (cockpit.hardware.device(10001)->leds[0] > 0) == lit;
    });
    state.SetLabel(state.range(1) != 0 ? "on arrival" : "timer alone");
}
BENCHMARK(FrameToLed)
    ->Args({10, 1})
    ->Args({100, 1})
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Each iteration waits up to a polling period: fewer of them.
BENCHMARK(FrameToLed)
    ->Args({10, 0})
    ->Args({100, 0})
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
