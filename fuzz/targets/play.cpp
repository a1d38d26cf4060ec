// Fuzz target: frames of a game on a fuzzed map and wave script under fuzzed input.
#include "fuzz_targets.h"

#include "battlefield/map.h"
#include "display/text.h"
#include "headless.h"
#include "input/input.h"
#include "platform/clock.h"
#include "scenes/play.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include <SDL.h>
#include <cstdlib>

namespace {
// Frames an input can ask for. Time jumps of up to 31 s an action carry a game far in few.
constexpr size_t MAX_ACTIONS = 400;

FuzzInput ACTIONS;
// One action per read_input call, so the game's own wait loops (pause, end screens) consume
// the stream too; once it runs out the window closes, which ends every loop.
Point next_action() {
    if (ACTIONS.at >= ACTIONS.size) {
        push_quit();
        return {0, 0};
    }
    const uint32_t action = take(ACTIONS, 1), op = action % 8, arg = action / 8;
    switch (op) {
    case 0:
    case 1: push_key(CONTROLS[arg % CONTROLS.size()], op == 0); break;
    // 0, 6 and 7 are no button of ours
    case 2:
    case 3: push_button(static_cast<uint8_t>(arg % 8), op == 2); break;
    case 4: FAKE_TICKS += arg * 16; break;
    case 5: FAKE_TICKS += arg * 1000; break;
    default: FAKE_TICKS += 17; break;
    }
    return {static_cast<int32_t>(arg * 36), static_cast<int32_t>(arg * 20)};
}

bool stands_on_grid(const Ship& ship) {
    return on_grid(ship.x, ship.y);
}
} // namespace

// Input: a 16-bit length and the map, a 16-bit length and the script, then one action a byte.
int fuzz_play(const uint8_t* data, size_t size) {
    fuzz_start();
    FuzzInput in{data, size};
    const std::vector<uint8_t> map = take_block(in, take(in, 2));
    const std::vector<uint8_t> script = take_block(in, take(in, 2));
    ScratchFile map_file("play-map", map.data(), map.size());
    ScratchFile script_file("play-script", script.data(), script.size());
    ACTIONS = {in.data + std::min(in.at, size),
               std::min(size - std::min(in.at, size), MAX_ACTIONS)};

    // Nothing drawn: the rules are what is fuzzed here, and drawing has its own target (font).
    const NoFont no_font;
    const auto saved_ticks = TICK_SOURCE;
    const auto saved_pointer = POINTER_SOURCE;
    drive_clock();
    POINTER_SOURCE = next_action;
    FAKE_TICKS = 0;
    TIME = {.last_ticks = 0, .now = 500};
    KEYS = {};
    MOUSE = {};
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    seed_noise(1);
    STATE = play;
    CHANGE_STATE = 0;

    start_play(map_file.path.c_str(), script_file.path.c_str());
    while (!CHANGE_STATE) {
        play_frame();
        bool codes = true;
        for (int32_t cell : MAP) codes = codes && std::abs(cell) <= SPACE_ENEMY;
        fuzz_check(codes, "map code");
        fuzz_check(stands_on_grid(GAME.player) && stands_on_grid(GAME.comet),
                   "player and comet on the grid");
        for (const Ship& ship : GAME.army) fuzz_check(stands_on_grid(ship), "enemy on the grid");
        const Spawner& spawner = *GAME.spawner;
        fuzz_check(spawner.next <= spawner.count && spawner.pending <= FIELD_COUNT, "spawner");
    }
    end_play();

    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    TICK_SOURCE = saved_ticks;
    POINTER_SOURCE = saved_pointer;
    STATE = nullptr;
    CHANGE_STATE = 0;
    KEYS = {};
    MOUSE = {};
    return 0;
}
