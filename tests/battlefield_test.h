// Common ground for the battlefield stories: a walled box, ships placed on it, the sound queue.
#pragma once

#include "harness.h"

#include "battlefield/army.h"
#include "battlefield/comet.h"
#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/player.h"
#include "battlefield/sensing.h"
#include "battlefield/ship.h"
#include "input/input.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <vector>

inline int32_t& cell(int32_t x, int32_t y) {
    return MAP[y * MAP_WIDTH + x];
}

// Walls everywhere but the open rectangle from (left, top) to (right, bottom).
inline void open_box(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    MAP.fill(SPACE_WALL);
    for (int32_t y = top; y <= bottom; y++)
        for (int32_t x = left; x <= right; x++) cell(x, y) = SPACE_EMPTY;
}

// A copy of a template standing at (x, y), its cell taken.
inline Ship place(uint32_t kind, int32_t x, int32_t y, uint32_t dir) {
    Ship ship = SHIPS[kind];
    ship.x = x;
    ship.y = y;
    ship.dir = dir;
    cell(x, y) = kind == PLAYER ? SPACE_PLAYER : SPACE_ENEMY;
    return ship;
}

inline std::vector<int16_t> queued() {
    std::vector<int16_t> samples;
    const uint32_t count = MIXER.count.load();
    const size_t mask = MIXER.ring.size() - 1;
    for (uint32_t i = 0; i < count; i++) samples.push_back(MIXER.ring[(MIXER.head + i) & mask]);
    return samples;
}

// Whether the mixer holds exactly one play of the effect; noise is only measured.
inline bool queued_is(uint8_t effect) {
    const SoundEffect& entry = SOUND_EFFECTS[effect];
    const Sound sound = entry.generator(entry.duration, entry.frequency);
    if (effect == FX_EXPLOSION) return queued().size() == sound.samples.size();
    return queued() == sound.samples;
}

inline void clear_screen() {
    SDL_RenderClear(RENDERER);
}

// A 62 x 34 box inside the outer ring, the clock at 1000 ms, no keys, silence.
class BattlefieldTest : public testing::Test {
  protected:
    void SetUp() override {
        open_box(1, 1, 62, 34);
        TIME.now = 1000;
        SCORE = 0;
        KEYS = {};
        empty_mixer();
    }
    void TearDown() override {
        empty_mixer();
    }
    Headless game;
};
