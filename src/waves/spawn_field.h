// The eight spawn fields: rectangles that blink a warning, then release ships or the comet.
#pragma once

#include "battlefield/army.h"
#include "battlefield/ship.h"

#include <array>
#include <cstdint>
#include <type_traits>

struct Spawner;

struct SpawnField {
    int32_t x, y;       // top-left cell
    int32_t w, h;       // cells, at least 1
    uint32_t kind;      // SHIPS index to release; COMET releases the comet
    uint64_t last_tick; // ms of game time of the last blink advance
    uint8_t active;     // 1 while blinking
    int32_t blink;      // 0 to 6 while active; odd counts show the marks
    uint32_t dir;       // 0 (up) or 2 (down): the walk of field_spawn knows no other
};
static_assert(std::is_trivially_copyable_v<SpawnField>);

constexpr uint8_t FIELD_COUNT = 8;
constexpr uint8_t FIRST_COMET_FIELD = 4; // fields 4 to 7 are the comet's corners
constexpr uint64_t BLINK_MS = 200;
constexpr int32_t LAST_BLINK = 6;

// Where the fields lie.
// clang-format off
constexpr std::array<SpawnField, FIELD_COUNT> SPAWN_FIELD_LAYOUT = {{
    {.x = 20, .y = 10, .w = 2, .h = 6, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
    {.x = 42, .y = 20, .w = 2, .h = 6, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 2},
    {.x = 10, .y = 25, .w = 2, .h = 4, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 2},
    {.x = 52, .y =  7, .w = 2, .h = 4, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
    {.x = 62, .y = 34, .w = 1, .h = 1, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
    {.x =  1, .y = 34, .w = 1, .h = 1, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
    {.x = 62, .y =  1, .w = 1, .h = 1, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
    {.x =  1, .y =  1, .w = 1, .h = 1, .kind = 0, .last_tick = 0, .active = 0, .blink = 0, .dir = 0},
}};
// clang-format on
// Every field inside the grid facing up or down; the comet's corners are single cells.
static_assert([] {
    for (uint8_t i = FIRST_COMET_FIELD; i < FIELD_COUNT; i++)
        if (SPAWN_FIELD_LAYOUT[i].w != 1 || SPAWN_FIELD_LAYOUT[i].h != 1) return false;
    for (const SpawnField& f : SPAWN_FIELD_LAYOUT)
        if ((f.dir != 0 && f.dir != 2) || f.w < 1 || f.h < 1 || f.x < 0 || f.y < 0 ||
            f.x + f.w > COLUMNS || f.y + f.h > ROWS)
            return false;
    return true;
}());

// The fields as play leaves them: the layout, with kind, blink and timing changing in a game.
extern std::array<SpawnField, FIELD_COUNT> SPAWN_FIELDS;

// Stops every field's warning.
void reset_spawn_fields();
// Blinks an active field's warning; after the last blink, releases its ships or the comet.
void update_spawn_field(uint8_t index, Spawner& spawner, Army& army, Ship& comet);
// Draws the field's red marks.
void warn(const SpawnField& field);
// One ship of the field's kind on each of its cells, the front row first in the army.
void field_spawn(const SpawnField& field, Army& army);
