// The busiest frame of the campaign, drawn the game's way and the plain way (every glyph
// modulated on the one sheet), on the software renderer and on this machine's default one.
#include "bench.h"
#include "scenario.h"

#include "display/text.h"
#include "scenes/play.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>

namespace {
// Start-up and the real font for one benchmark run, taken down after it.
struct Session {
    bool up;
    Session(Display display, Tint tint, benchmark::State& state)
        : up(choose_display(display, state) && start_up()) {
        if (!up) return;
        FONT = load_bmp_font("assets/font.bmp", tint);
        SDL_RendererInfo info;
        SDL_GetRendererInfo(RENDERER, &info);
        state.SetLabel(info.name);
    }
    ~Session() {
        if (!up) return;
        empty_mixer();
        shut_down();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

const Snapshot& busiest() {
    static const Snapshot snapshot = busiest_frame();
    return snapshot;
}

void busiest_frame(benchmark::State& state, Display display, Tint tint) {
    const Snapshot& frame = busiest();
    Session session(display, tint, state);
    if (!session.up) return;
    use_stage_clock();
    for (auto _ : state) {
        state.PauseTiming();
        restore(frame);
        state.ResumeTiming();
        play_frame();
    }
    state.counters["ships"] = static_cast<double>(frame.game.army.size());
    state.counters["busyness"] = busyness(frame);
}
} // namespace

BENCHMARK_CAPTURE(busiest_frame, software_tinted, Display::SOFTWARE, Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(busiest_frame, software_plain, Display::SOFTWARE, Tint::PER_DRAW)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(busiest_frame, default_game, Display::DEFAULT, Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(busiest_frame, default_plain, Display::DEFAULT, Tint::PER_DRAW)
    ->Unit(benchmark::kMicrosecond);
