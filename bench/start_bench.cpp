// Start-up to the first presented title frame, beside SDL bringing up the same window and
// renderer on its own; both on the software display. Every iteration is a fresh start-up.
#include "bench.h"

#include "display/text.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <vector>

namespace {
// Puts back what a fresh process starts with, so that the next start-up pays for it again.
void take_down_game() {
    leave_title(); // drops the music
    empty_mixer();
    shut_down();
    std::vector<int16_t>().swap(MIXER.ring); // no ring yet, as before the first sound
    MIXER.head = 0;
    STATE = nullptr;
    CHANGE_STATE = 0;
}

void to_first_title_frame(benchmark::State& state) {
    if (!choose_display(Display::SOFTWARE, state)) return;
    for (auto _ : state) {
        if (!start_up()) {
            state.SkipWithError("start-up failed");
            return;
        }
        FONT = load_bmp_font("assets/font.bmp");
        start_title();
        title_frame();
        state.PauseTiming();
        const bool shown = FONT && STATE == title && !CHANGE_STATE && !mixer_empty();
        take_down_game();
        state.ResumeTiming();
        if (!shown) {
            state.SkipWithError("the title did not come up with its font and music");
            return;
        }
    }
}

void sdl_own(benchmark::State& state) {
    if (!choose_display(Display::SOFTWARE, state)) return;
    for (auto _ : state) {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            state.SkipWithError(SDL_GetError());
            return;
        }
        SDL_Window* window =
            SDL_CreateWindow(WINDOW_CAPTION, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                             WINDOW_WIDTH, WINDOW_HEIGHT, SDL_WINDOW_ALLOW_HIGHDPI);
        SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
        state.PauseTiming();
        const bool made = renderer != nullptr;
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
        state.ResumeTiming();
        if (!made) {
            state.SkipWithError("no window or renderer");
            return;
        }
    }
}
} // namespace

BENCHMARK(to_first_title_frame)
    ->Name("start_up/to_first_title_frame")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(sdl_own)->Name("start_up/sdl_own")->Unit(benchmark::kMillisecond);
