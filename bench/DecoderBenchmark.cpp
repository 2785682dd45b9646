// How long the stream decoder takes for one frame of vantor-sim's flight (target: under 1 us),
// and the framer and decoder together for the frame as it arrives, line end and all.

#include "FlightScript.h"
#include "data/StreamDecoder.h"
#include "data/StreamFramer.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray flightFrame()
{
    return glimrow::sim::FlightScript::frameFor(glimrow::sim::FlightScript::recordAt(42.0));
}

void DecodeFrame(benchmark::State& state)
{
    const QByteArray frame = flightFrame();
    glimrow::FlightDataCache cache;
    for (auto _ : state) {
        glimrow::StreamDecoder::decode(frame, cache);
        benchmark::DoNotOptimize(cache);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(DecodeFrame);

void FrameAndDecode(benchmark::State& state)
{
    const QByteArray bytes = flightFrame() + "\r\n";
    glimrow::StreamFramer framer;
    glimrow::FlightDataCache cache;
    for (auto _ : state) {
        glimrow::StreamDecoder::decode(framer.take(bytes).value(), cache);
        benchmark::DoNotOptimize(cache);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FrameAndDecode);

} // namespace
