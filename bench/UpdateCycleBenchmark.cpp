// One update cycle of the window on the example configuration with virtual hardware, DCOM
// mode, from an in-process flight-data object holding vantor-sim's record (targets: 200 us
// with screen updates on, 50 us with them off; recording with --record within 10 % of not). And the
// latency from a stream frame leaving vantor-sim's frame server to the virtual LED changing, at 10
// ms polling (target: p99 11 ms).

#include "StartedWindow.h"

#include "FlightScript.h"
#include "TcpFrameServer.h"
#include "app/frmGlimrow.h"
#include "data/FlightDataRecorder.h"
#include "phidget/virtual/VirtualHardware.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

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

void FrameToLed(benchmark::State& state)
{
    // A frame server whose LightBits bit 0 the benchmark turns on and off.
    std::int32_t lightBits = 0;
    QVariantMap record = sim::FlightScript::recordAt(0);
    sim::TcpFrameServer stream(
        [&] {
            record[QStringLiteral("LightBits")] = lightBits;
            return sim::FlightScript::frameFor(record);
        },
        1000);
    stream.listen(QHostAddress::LocalHost, 0);
    StartedWindow cockpit("TCP", stream.port());
    cockpit.window->setPollingInterval(10);
    QElapsedTimer clock;
    clock.start();
    while (!cockpit.window->cockpit().cache().VantorAy && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);

    std::vector<double> latencies;
    QRandomGenerator random(7);
    for (auto _ : state) {
        // Toggle at a random moment of the polling period, as the simulator would.
        clock.restart();
        const qint64 pause = random.bounded(10);
        while (clock.elapsed() < pause)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        const bool wanted = !(lightBits & 1);
        lightBits = wanted ? 1 : 0;
        clock.restart();
        while ((cockpit.hardware.device(10001)->leds[0] > 0) != wanted && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0
                                 : latencies[std::min(latencies.size() - 1,
                                                      std::size_t(p * double(latencies.size())))];
    };
    state.counters["p50_ms"] = percentile(0.50);
    state.counters["p99_ms"] = percentile(0.99);
}
BENCHMARK(FrameToLed)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
