// Spawn fields: the blinking warning, the release, and the order a block is placed in.
#include "harness.h"

#include "battlefield/army.h"
#include "battlefield/map.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "waves/spawn_field.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {
// All eight fields stepped on a cleared screen at game time `now`, read back.
Frame step_fields(uint64_t now, Spawner& spawner, Army& army, Ship& comet) {
    TIME.now = now;
    SDL_RenderClear(RENDERER);
    for (uint8_t i = 0; i < FIELD_COUNT; i++) update_spawn_field(i, spawner, army, comet);
    return read_frame();
}

// '!' when the field's whole rectangle, and nothing else, shows red marks; '.' when no cell
// does; '?' for anything in between.
char warning(const Frame& frame, const SpawnField& field) {
    int inside = 0, outside = 0;
    for (int32_t row = 0; row < ROWS; row++) {
        for (int32_t col = 0; col < COLUMNS; col++) {
            const Cell& cell = frame.at(row, col);
            if (cell.glyph == 0) continue;
            bool in = row >= field.y && row < field.y + field.h && col >= field.x &&
                      col < field.x + field.w;
            bool mark = cell.glyph == '!' && same_colour(cell, RED);
            (in && mark ? inside : outside)++;
        }
    }
    if (outside == 0 && inside == 0) return '.';
    return outside == 0 && inside == field.w * field.h ? '!' : '?';
}
} // namespace

TEST(WavesField, AFieldBlinksThreeTimesThenReleasesItsBlockWhichMarchesInFormation) {
    Headless game;
    MAP = {};
    SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
    Spawner spawner = parse_spawner({});
    Army army;
    Ship comet = SHIPS[COMET];
    SPAWN_FIELDS[0].kind = BLUE_RAM;
    SPAWN_FIELDS[0].active = 1;
    spawner.pending = 1;

    const uint64_t start = 10000;
    std::string blinks;
    for (uint64_t t = 0; t <= 1100; t += 100)
        blinks += warning(step_fields(start + t, spawner, army, comet), SPAWN_FIELDS[0]);
    EXPECT_EQ(blinks, ".!!..!!..!!.");
    step_fields(start + 1199, spawner, army, comet);
    EXPECT_TRUE(army.empty());
    EXPECT_EQ(spawner.pending, 1);

    Frame release = step_fields(start + 1200, spawner, army, comet);
    EXPECT_EQ(warning(release, SPAWN_FIELDS[0]), '.') << "no marks in the release frame";
    EXPECT_EQ(army.size(), 12u);
    EXPECT_EQ(spawner.pending, 0);
    EXPECT_EQ(SPAWN_FIELDS[0].active, 0);
    EXPECT_EQ(SPAWN_FIELDS[0].blink, 0);

    // Oldest first, the front row steps first and each row behind follows into its cells;
    // ships are drawn before they step, so the next frame shows the block one row up.
    TIME.now = start + 1201;
    update_enemy(army);
    TIME.now = start + 1202;
    SDL_RenderClear(RENDERER);
    update_enemy(army);
    Frame march = read_frame();
    for (int32_t row = 9; row <= 15; row++) {
        for (int32_t col = 20; col <= 21; col++) {
            const Cell& cell = march.at(row, col);
            EXPECT_EQ(cell.glyph, row < 15 ? 4 : 0) << "row " << row << " col " << col;
            if (row < 15) {
                EXPECT_TRUE(same_colour(cell, BLUE));
            }
        }
    }
}

TEST(WavesField, ABlockFillsItsRectangleFromTheRowThatLeadsItsMarch) {
    MAP = {};
    Army up, down;
    SpawnField field = SPAWN_FIELD_LAYOUT[0];
    field.kind = BLUE_RAM;
    field_spawn(field, up);
    field = SPAWN_FIELD_LAYOUT[1];
    field.kind = GREEN_GUNNER;
    field_spawn(field, down);
    ASSERT_EQ(up.size(), 12u);
    ASSERT_EQ(down.size(), 12u);
    for (size_t i = 0; i < 12; i++) {
        // Up: top row first, left to right. Down: bottom row first, right to left.
        EXPECT_EQ(up[i].x, 20 + static_cast<int32_t>(i % 2));
        EXPECT_EQ(up[i].y, 10 + static_cast<int32_t>(i / 2));
        EXPECT_EQ(up[i].dir, 0u);
        EXPECT_EQ(down[i].x, 43 - static_cast<int32_t>(i % 2));
        EXPECT_EQ(down[i].y, 25 - static_cast<int32_t>(i / 2));
        EXPECT_EQ(down[i].dir, 2u);
        EXPECT_EQ(down[i].kind, GREEN_GUNNER);
        EXPECT_EQ(cell_at(down[i].x, down[i].y), SPACE_ENEMY);
    }
}

TEST(WavesField, ACornerFieldPlacesTheCometAndWaitsOutItsBlinkBeforeTheNextCall) {
    Headless game;
    MAP = {};
    SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
    Spawner spawner = parse_spawner({});
    Army army;
    Ship comet = SHIPS[COMET];
    comet.dir = 3; // as its last life ended
    SpawnField& corner = SPAWN_FIELDS[4];
    corner.kind = COMET;
    corner.active = 1;
    spawner.pending = 1;
    for (uint64_t t = 1000; corner.active && t < 3000; t += 100)
        step_fields(t, spawner, army, comet);
    EXPECT_EQ(corner.last_tick, 2200u);
    EXPECT_EQ(comet.integrity, 1);
    EXPECT_EQ(comet.x, 62);
    EXPECT_EQ(comet.y, 34);
    EXPECT_EQ(comet.dir, 3u);
    EXPECT_EQ(cell_at(62, 34), SPACE_ENEMY);
    EXPECT_TRUE(army.empty());

    // Called again 100 ms after the release: the first advance comes 200 ms after the last.
    corner.active = 1;
    step_fields(2300, spawner, army, comet);
    step_fields(2399, spawner, army, comet);
    EXPECT_EQ(corner.blink, 0);
    step_fields(2400, spawner, army, comet);
    EXPECT_EQ(corner.blink, 1);

    SPAWN_FIELDS[0].kind = RED_RAM;
    SPAWN_FIELDS[0].active = 1;
    SPAWN_FIELDS[0].blink = 3;
    reset_spawn_fields();
    for (const SpawnField& field : SPAWN_FIELDS) {
        EXPECT_EQ(field.active, 0);
        EXPECT_EQ(field.blink, 0);
    }
    EXPECT_EQ(SPAWN_FIELDS[0].kind, RED_RAM);
    EXPECT_EQ(corner.kind, COMET);
}
