// Start-up to the first presented title frame, beside SDL bringing up the same window and
// renderer on its own; both on the software display. Every iteration is a whole start-up.
//
// Most of a start-up's cost is the first touch of fresh memory (the music, the mixer's ring,
// the frame), so it matters where that memory comes from. In one process, each start-up takes
// what the allocator kept from the one before; the fresh_process variants fork for every
// start-up and time it in the child, whose memory is as new as a player's.
#include "bench.h"

#include "display/text.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <chrono>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Hands the memory the allocator keeps back to the system, so that a start-up does not find
// the pages of the last one already touched.
void release_free_memory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// In a child: large blocks mapped afresh and unmapped when freed, as in a new process, rather
// than cut from a heap whose pages the parent has already touched.
void allocate_as_a_new_process() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

// What the game does up to its first title frame, through run_game's own start and the title
// scene; true when the title came up with its font.
bool game_to_first_title_frame() {
    if (!start_game()) return false;
    start_title();
    title_frame();
    return FONT && STATE == title && !CHANGE_STATE;
}

// Puts back what a fresh process starts with, so that the next start-up pays for it again.
void take_down_game() {
    leave_title(); // drops the music
    reset_mixer(); // no ring yet, as before the first sound
    shut_down();
    STATE = nullptr;
    CHANGE_STATE = 0;
    release_free_memory();
}

// SDL's own start-up of the game's window and renderer: SDL_Init, the window, the renderer.
struct SdlOwn {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool start() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
        window = SDL_CreateWindow(WINDOW_CAPTION, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  WINDOW_WIDTH, WINDOW_HEIGHT, SDL_WINDOW_ALLOW_HIGHDPI);
        if (window) renderer = SDL_CreateRenderer(window, -1, 0);
        return renderer != nullptr;
    }
    void take_down() {
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
        release_free_memory();
    }
};

void to_first_title_frame(benchmark::State& state) {
    if (!choose_display(Display::SOFTWARE, state)) return;
    for (auto _ : state) {
        const bool shown = game_to_first_title_frame();
        state.PauseTiming();
        take_down_game();
        state.ResumeTiming();
        if (!shown) {
            state.SkipWithError("the title did not come up with its font");
            return;
        }
    }
}

void sdl_own(benchmark::State& state) {
    if (!choose_display(Display::SOFTWARE, state)) return;
    for (auto _ : state) {
        SdlOwn sdl;
        const bool made = sdl.start();
        state.PauseTiming();
        sdl.take_down();
        state.ResumeTiming();
        if (!made) {
            state.SkipWithError("no window or renderer");
            return;
        }
    }
}

// Runs `start` in a child process for every iteration and takes the time the child measured;
// the child leaves without taking anything down, as its exit does that.
template <class Start>
void in_fresh_processes(benchmark::State& state, Start start) {
    if (!choose_display(Display::SOFTWARE, state)) return;
    release_free_memory();
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            allocate_as_a_new_process();
            const auto begin = std::chrono::steady_clock::now();
            const bool started = start();
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
            const double seconds = started ? took.count() : -1.0;
            const bool sent = write(channel[1], &seconds, sizeof seconds) == sizeof seconds;
            _exit(sent ? 0 : 1);
        }
        close(channel[1]);
        double seconds = -1.0;
        const bool heard =
            child > 0 && read(channel[0], &seconds, sizeof seconds) == sizeof seconds;
        close(channel[0]);
        if (child > 0) waitpid(child, nullptr, 0);
        if (!heard || seconds < 0.0) {
            state.SkipWithError("the child did not start up");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void to_first_title_frame_fresh(benchmark::State& state) {
    in_fresh_processes(state, game_to_first_title_frame);
}

void sdl_own_fresh(benchmark::State& state) {
    in_fresh_processes(state, [] { return SdlOwn{}.start(); });
}
} // namespace

BENCHMARK(to_first_title_frame)
    ->Name("start_up/to_first_title_frame")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sdl_own)->Name("start_up/sdl_own")->Unit(benchmark::kMillisecond);
BENCHMARK(to_first_title_frame_fresh)
    ->Name("start_up/to_first_title_frame/fresh_process")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sdl_own_fresh)
    ->Name("start_up/sdl_own/fresh_process")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
