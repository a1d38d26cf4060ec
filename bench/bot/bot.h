// The playing bot: reads the battlefield and plays the real play scene through SDL events.
#pragma once

#include "battlefield/ship.h"

#include <cstdint>
#include <string>

struct Outcome {
    uint16_t level = 0;
    uint32_t score = 0;
    std::string result = "unfinished"; // or "won", "lost", "quit"
    uint64_t game_ms = 0, frames = 0;
    uint32_t kills = 0;
    uint16_t issued = 0;         // wave script commands issued
    uint64_t console_frames = 0; // frames with a ship or the comet on a row of the console
    std::string broken;          // the first invariant that failed; empty while all hold
};

// One game on `assets`/map.dat and spawner.dat, once start_headless has run, for at most `max_ms`
// of game time, the invariants checked after every frame. A `wild` player presses keys at random
// and takes frames of random length instead of playing. In `real_time` the frames keep pace
// with the wall clock and the sound goes to an audio device of SDL's, opened for the game.
Outcome play_game(uint32_t seed, uint64_t max_ms, const std::string& assets = "assets",
                  bool wild = false, bool real_time = false);

// Whether the ship stands on a row the status console writes on, above or below the field.
bool on_console(const Ship& ship);
