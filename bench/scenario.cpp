// Staged scenes: the busiest frame of the campaign and crowds of any size.
#include "scenario.h"

#include "display/text.h"
#include "input/input.h"

#include <SDL.h>
#include <memory>
#include <utility>
#include <vector>

namespace {
// Game time runs on from game to game, and ships first move sooner the later they appear: every
// staged game starts as the first game of a session does, its clock and fields fresh.
const Clock SESSION_START = TIME;

// A game on the shipped map and script, started by a click on its first frame.
void start_campaign() {
    drive_clock();
    TIME = SESSION_START;
    SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
    start_play();
    KEYS = {};
    MOUSE = {};
    MOUSE[MOUSE_LEFT] = 1;
    step();
    MOUSE[MOUSE_LEFT] = 0;
}
} // namespace

void step() {
    FAKE_TICKS += FRAME_MS;
    update_clock();
    update_play(*GAME.spawner);
}

Snapshot take_snapshot() {
    return {.game = GAME,
            .map = MAP,
            .fields = SPAWN_FIELDS,
            .time = TIME,
            .score = SCORE,
            .ticks = FAKE_TICKS};
}

void restore(const Snapshot& snapshot) {
    GAME = snapshot.game;
    set_map(snapshot.map);
    SPAWN_FIELDS = snapshot.fields;
    TIME = snapshot.time;
    SCORE = snapshot.score;
    FAKE_TICKS = snapshot.ticks;
}

uint32_t busyness(const Snapshot& snapshot) {
    uint32_t count = static_cast<uint32_t>(snapshot.game.army.size());
    for (const Ship& ship : snapshot.game.army) count += ship.beam != 0;
    for (const SpawnField& field : snapshot.fields) count += field.active;
    return count;
}

Snapshot busiest_frame() {
    NoFont no_font;
    start_campaign();
    Snapshot busiest = take_snapshot();
    // Past the script's last command, the field only thins out.
    while (GAME.spawner->next < GAME.spawner->count || GAME.spawner->pending != 0) {
        GAME.player.integrity = GAME.player.max_integrity;
        step();
        Snapshot now = take_snapshot();
        if (busyness(now) > busyness(busiest)) busiest = std::move(now);
    }
    return busiest;
}

Snapshot crowd(uint32_t ships) {
    NoFont no_font;
    start_campaign();
    std::vector<std::pair<int32_t, int32_t>> free;
    for (int32_t y = 0; y < ROWS; y++)
        for (int32_t x = 0; x < COLUMNS; x++)
            if (cell_at(x, y) == SPACE_EMPTY) free.emplace_back(x, y);
    constexpr std::array<uint32_t, 4> KINDS = {BLUE_RAM, GREEN_GUNNER, RED_RAM, CYAN_GUNNER};
    const auto placed = static_cast<uint32_t>(std::min<size_t>(ships, free.size()));
    for (uint32_t i = 0; i < placed; i++) {
        const auto [x, y] = free[i * free.size() / placed];
        spawn_enemy(KINDS[i % KINDS.size()], x, y, i % 4, GAME.army);
    }
    return take_snapshot();
}
