// Spawn fields: a 1200 ms warning of three red blinks, then the release.
#include "waves/spawn_field.h"

#include "battlefield/comet.h"
#include "display/text.h"
#include "platform/clock.h"
#include "waves/spawner.h"

#include <utility>

std::array<SpawnField, FIELD_COUNT> SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;

void reset_spawn_fields() {
    for (SpawnField& field : SPAWN_FIELDS) {
        field.blink = 0;
        field.active = 0;
    }
}

void warn(const SpawnField& field) {
    for (int32_t row = field.y; row < field.y + field.h; row++)
        for (int32_t col = field.x; col < field.x + field.w; col++) print_char('!', row, col, RED);
}

void field_spawn(const SpawnField& field, Army& army) {
    int32_t start_x = field.x, start_y = field.y;
    int32_t end_x = field.x + field.w - 1, end_y = field.y + field.h - 1;
    // A block facing down starts from its bottom-right cell, so that in the army, which is
    // updated oldest first, the front row always moves first and the block keeps formation.
    if (field.dir == 2) {
        std::swap(start_x, end_x);
        std::swap(start_y, end_y);
    }
    int32_t step = 1 - static_cast<int32_t>(field.dir);
    for (int32_t row = start_y; row != end_y + step; row += step)
        for (int32_t col = start_x; col != end_x + step; col += step)
            spawn_enemy(field.kind, col, row, field.dir, army);
}

void update_spawn_field(uint8_t index, Spawner& spawner, Army& army, Ship& comet) {
    SpawnField& field = SPAWN_FIELDS[index];
    if (!field.active) return;
    if (field.blink % 2 == 1) warn(field);
    if (TIME.now < field.last_tick + BLINK_MS) return;
    field.last_tick = TIME.now;
    field.blink++;
    if (field.blink <= LAST_BLINK) return;
    field.blink = 0;
    field.active = 0;
    // A field activated by hand, outside the spawner, must not wrap the count.
    if (spawner.pending > 0) spawner.pending--;
    if (field.kind == COMET)
        spawn_comet(comet, field.x, field.y);
    else
        field_spawn(field, army);
}
