// The game clock: milliseconds of play, advanced only by the play frame.
#pragma once

#include <cstdint>

struct Clock {
    uint64_t last_ticks; // real ms at the last advance or re-base
    uint64_t now;        // game ms: 500 plus the real time spent in play frames
};

extern Clock TIME;

// Where the clock reads real milliseconds; SDL's tick count unless a test drives time itself.
extern uint64_t (*TICK_SOURCE)();

// Adds the real time since the last advance or re-base to TIME.now.
void update_clock();
// Re-bases without advancing, so the time spent outside play (titles, pauses) is no game time.
void set_clock();
