// The one record of every actor on the battlefield, its templates and its drawing.
#pragma once

#include "display/text.h"

#include <array>
#include <cstdint>
#include <type_traits>

struct Sight {
    uint32_t space;   // code of the first non-empty cell, as an absolute value
    int32_t distance; // steps to it, at least 1
};

enum : uint32_t { PLAYER, BLUE_RAM, GREEN_GUNNER, COMET, RED_RAM, CYAN_GUNNER };

struct Ship {
    int32_t x, y;
    uint32_t dir;
    int32_t integrity;
    int32_t max_integrity;
    int32_t charge; // the player's shots left, negated while the trigger is latched
    int32_t max_charge;
    uint32_t kind;
    uint8_t glyph;      // body facing up; + dir for the others
    uint8_t beam_glyph; // vertical beam; + 1 for horizontal
    const Colour* colour;
    const Colour* beam_colour;
    uint64_t move_interval; // ms of game time
    uint64_t last_move;     // ms of game time
    uint64_t last_shot;     // ms of game time
    uint64_t last_hit;      // ms of game time
    uint32_t beam;          // 0 none, 1 aiming, 2 fired
    uint8_t armed;
    std::array<Sight, 4> sight;
};
static_assert(std::is_trivially_copyable_v<Ship>);

extern const std::array<Ship, 6> SHIPS;

void print_ship(const Ship& ship);
