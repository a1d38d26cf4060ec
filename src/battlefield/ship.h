// The one record of every actor on the battlefield, its templates and its drawing.
#pragma once

#include "display/text.h"

#include <array>
#include <cstdint>
#include <type_traits>

struct Sight {
    uint32_t space = 0;   // code of the first non-empty cell, as an absolute value
    int32_t distance = 0; // steps to it, at least 1
};

enum : uint32_t { PLAYER, BLUE_RAM, GREEN_GUNNER, COMET, RED_RAM, CYAN_GUNNER };

// Every field starts at zero, so a template names only what it sets.
struct Ship {
    int32_t x = 0, y = 0;
    uint32_t dir = 0;
    int32_t integrity = 0;
    int32_t max_integrity = 0;
    int32_t charge = 0; // the player's shots left, negated while the trigger is latched
    int32_t max_charge = 0;
    uint32_t kind = 0;
    uint8_t glyph = 0;      // body facing up; + dir for the others
    uint8_t beam_glyph = 0; // vertical beam; + 1 for horizontal
    const Colour* colour = nullptr;
    const Colour* beam_colour = nullptr;
    uint64_t move_interval = 0; // ms of game time
    uint64_t last_move = 0;     // ms of game time
    uint64_t last_shot = 0;     // ms of game time
    uint64_t last_hit = 0;      // ms of game time
    uint32_t beam = 0;          // 0 none, 1 aiming, 2 fired
    uint8_t armed = 0;
    std::array<Sight, 4> sight{};
};
static_assert(std::is_trivially_copyable_v<Ship>);

extern const std::array<Ship, 6> SHIPS;

// ms after a hit that a ship shows the flash, and an enemy or the comet stands still.
constexpr uint64_t HIT_TIME = 200;

// Draws the ship on a black block: the flash while hit, the player's cannon while it has shots.
void print_ship(const Ship& ship);
