// Scenes staged for the benchmarks, and for the test that holds both ways of drawing to one
// picture: whole game states taken, restored and replayed on a clock that only they move.
#pragma once

#include "battlefield/map.h"
#include "display/text.h"
#include "scenes/play.h"
#include "platform/clock.h"
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
    uint64_t ticks; // the stage clock's reading
};

// Real milliseconds as the game clock reads them once use_stage_clock has run.
extern uint64_t STAGE_TICKS;
void use_stage_clock();

constexpr uint64_t FRAME_MS = 16;

// One frame's updates, FRAME_MS later on the stage clock, in the play scene's own order.
void step();

// Without a font every glyph is skipped: the play scene with nothing drawn, while it lives.
struct NoFont {
    std::unique_ptr<Font> saved;
    NoFont();
    ~NoFont();
    NoFont(const NoFont&) = delete;
    NoFont& operator=(const NoFont&) = delete;
};

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
