// The busiest frame of the campaign, drawn the game's way and the plain way (every glyph
// modulated on the one sheet), on the software renderer and on this machine's default one; the
// same frame presented in a real window on both, beside SDL presenting an empty frame there.
#include "bench.h"
#include "scenario.h"

#include "display/text.h"
#include "scenes/play.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <array>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>

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
    drive_clock();
    for (auto _ : state) {
        state.PauseTiming();
        restore(frame);
        state.ResumeTiming();
        play_frame();
    }
    state.counters["ships"] = static_cast<double>(frame.game.army.size());
    state.counters["busyness"] = busyness(frame);
    // Only in a window is a frame one a player sees.
    if (display != Display::SOFTWARE)
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

// Both ways of the busiest frame in turn, each frame timed on its own, the first way taken in
// turn too: on a shared machine the load falls on both alike, where runs a second apart differ
// by half. Not for the software renderer, whose game way reuses the last frame's picture. The
// time is the game's; `plain` is the plain way's, `faster` the ratio of the two.
void busiest_frame_in_turn(benchmark::State& state, Display display) {
    const Snapshot& frame = busiest();
    Session session(display, Tint::PER_COLOUR_WHEN_FASTER, state);
    if (!session.up) return;
    std::unique_ptr<Font> other = load_bmp_font("assets/font.bmp", Tint::PER_DRAW);
    drive_clock();
    std::array<double, 2> total = {0, 0}; // seconds: the game's way, the plain way
    for (auto _ : state) {
        std::array<double, 2> took = {0, 0};
        for (int32_t turn = 0; turn < 2; turn++) {
            const auto way = static_cast<size_t>((turn + state.iterations()) % 2);
            if (way == 1) FONT.swap(other);
            restore(frame);
            const auto begin = std::chrono::steady_clock::now();
            play_frame();
            took[way] =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            if (way == 1) FONT.swap(other);
        }
        state.SetIterationTime(took[0]);
        total[0] += took[0];
        total[1] += took[1];
    }
    const auto frames = static_cast<double>(state.iterations());
    state.counters["plain_us"] = total[1] / frames * 1e6;
    state.counters["faster"] = total[0] > 0 ? total[1] / total[0] : 0;
}

// The least a frame in the window costs: SDL clearing and presenting it, nothing drawn.
void empty_frame(benchmark::State& state, Display display) {
    Session session(display, Tint::PER_COLOUR_WHEN_FASTER, state);
    if (!session.up) return;
    for (auto _ : state) {
        SDL_RenderClear(RENDERER);
        SDL_RenderPresent(RENDERER);
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The busiest frame on the default renderer with SDL's OpenGL counting its draw calls: the
// figure is draw calls a frame, the time only the counting's company.
void draw_calls(benchmark::State& state, Tint tint) {
    const Snapshot& frame = busiest();
    setenv("SDL_OPENGL_LIBRARY", QUELTIVAR_GL_COUNT, 1);
    Session session(Display::DEFAULT, tint, state);
    unsetenv("SDL_OPENGL_LIBRARY");
    if (!session.up) return;
    void* library = dlopen(QUELTIVAR_GL_COUNT, RTLD_NOW | RTLD_NOLOAD);
    auto count =
        library ? reinterpret_cast<uint64_t (*)()>(dlsym(library, "gl_draw_calls")) : nullptr;
    if (!count) {
        state.SkipWithError("the renderer does not draw through OpenGL");
        return;
    }
    drive_clock();
    uint64_t draws = 0;
    for (auto _ : state) {
        restore(frame);
        const uint64_t before = count();
        play_frame();
        draws += count() - before;
    }
    dlclose(library);
    state.counters["draws"] =
        benchmark::Counter(static_cast<double>(draws), benchmark::Counter::kAvgIterations);
}
} // namespace

BENCHMARK_CAPTURE(busiest_frame, software_tinted, Display::SOFTWARE, Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(busiest_frame, software_plain, Display::SOFTWARE, Tint::PER_DRAW)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(busiest_frame, default_game, Display::DEFAULT, Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(busiest_frame, default_plain, Display::DEFAULT, Tint::PER_DRAW)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(busiest_frame_in_turn, default, Display::DEFAULT)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(empty_frame, default, Display::DEFAULT)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(busiest_frame, software_window_game, Display::SOFTWARE_WINDOW,
                  Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(busiest_frame, software_window_plain, Display::SOFTWARE_WINDOW, Tint::PER_DRAW)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(empty_frame, software_window, Display::SOFTWARE_WINDOW)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(draw_calls, default_game, Tint::PER_COLOUR_WHEN_FASTER)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(draw_calls, default_plain, Tint::PER_DRAW)->Unit(benchmark::kMicrosecond);
