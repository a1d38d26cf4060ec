// Scenes staged for the benchmarks, and for the test that holds both ways of drawing to one
// picture: whole game states taken, restored and replayed on a clock that only they move.
#pragma once

#include "battlefield/map.h"
#include "display/text.h"
#include "headless.h"
#include "platform/clock.h"
#include "scenes/play.h"
#include "waves/spawn_field.h"

#include <array>
#include <cstdint>
#include <memory>

struct Snapshot {
    Game game;
    Grid map;
    std::array<SpawnField, FIELD_COUNT> fields;
    Clock time;
    uint32_t score;
    uint64_t ticks; // the driven clock's reading
};

constexpr uint64_t FRAME_MS = 16;

// One frame's updates, FRAME_MS later on the driven clock, in the play scene's own order.
void step();

Snapshot take_snapshot();
void restore(const Snapshot& snapshot);

// The shipped campaign, nothing drawn, played by a ship that never shoots and never dies, so
// that every ship the script sends stays on the field; the frame with the most on it.
Snapshot busiest_frame();

// A game on the shipped map, its script started, with `ships` enemies of every kind and facing
// spread over the free cells; fewer where the cells run out.
Snapshot crowd(uint32_t ships);

// How much a frame of `snapshot` has to draw: ships, beams and blinking fields.
uint32_t busyness(const Snapshot& snapshot);
