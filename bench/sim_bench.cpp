// The simulation alone: every update of a play frame with nothing drawn, for crowds of 50, 200
// and 1000 enemies, to show how its cost grows with the army.
#include "bench.h"
#include "scenario.h"

namespace {
// A second of game time before the crowd is put back: long enough that restoring it costs
// little per frame, short enough that the crowd is still itself.
constexpr uint32_t FRAMES_PER_RESTORE = 60;

void simulation(benchmark::State& state) {
    const Snapshot start = crowd(static_cast<uint32_t>(state.range(0)));
    const NoFont no_font;
    drive_clock();
    uint32_t frame = 0;
    for (auto _ : state) {
        if (frame++ % FRAMES_PER_RESTORE == 0) {
            state.PauseTiming();
            restore(start);
            state.ResumeTiming();
        }
        step();
    }
    state.counters["ships"] = static_cast<double>(start.game.army.size());
    state.SetComplexityN(static_cast<int64_t>(start.game.army.size()));
}
} // namespace

BENCHMARK(simulation)
    ->Arg(50)
    ->Arg(200)
    ->Arg(1000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
