// The game clock: stopped outside play frames, so titles and pauses cost no game time.
#include "platform/clock.h"

#include <SDL.h>

namespace {
uint64_t sdl_ticks() {
    return SDL_GetTicks64();
}
} // namespace

Clock TIME = {.last_ticks = 0, .now = 500};
uint64_t (*TICK_SOURCE)() = sdl_ticks;

void update_clock() {
    uint64_t ticks = TICK_SOURCE();
    TIME.now += ticks - TIME.last_ticks;
    TIME.last_ticks = ticks;
}

void set_clock() {
    TIME.last_ticks = TICK_SOURCE();
}
