// How long the stream decoder takes for one frame of vantor-sim's flight (target: under 1 us).

#include "FlightScript.h"
#include "data/StreamDecoder.h"

#include <benchmark/benchmark.h>

namespace {

void DecodeFrame(benchmark::State& state)
{
    const QByteArray frame =
        glimrow::sim::FlightScript::frameFor(glimrow::sim::FlightScript::recordAt(42.0));
    glimrow::FlightDataCache cache;
    for (auto _ : state) {
        glimrow::StreamDecoder::decode(frame, cache);
        benchmark::DoNotOptimize(cache);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(DecodeFrame);

} // namespace
