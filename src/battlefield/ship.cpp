// The ship templates, one per kind, and the drawing of one ship.
#include "battlefield/ship.h"

#include "shell/clock.h"

// Every template faces up, has never moved, shot or been hit, and has seen nothing yet.
// clang-format off
constexpr std::array<Ship, 6> SHIPS = {{
    {.x = 32, .y = 18, .integrity = 5, .max_integrity = 5, .charge = 50, .max_charge = 50,
     .kind = PLAYER, .glyph = 128, .beam_glyph = 156, .colour = &WHITE, .beam_colour = &PINK,
     .move_interval = 90, .armed = 1},
    {.integrity = 1, .max_integrity = 1, .charge = 0, .max_charge = 0,
     .kind = BLUE_RAM, .glyph = 4, .beam_glyph = 0, .colour = &BLUE, .beam_colour = nullptr,
     .move_interval = 180, .armed = 0},
    {.integrity = 1, .max_integrity = 1, .charge = -2, .max_charge = -2,
     .kind = GREEN_GUNNER, .glyph = 20, .beam_glyph = 158, .colour = &GREEN, .beam_colour = &GREEN,
     .move_interval = 180, .armed = 1},
    {.integrity = -1, .max_integrity = 1, .charge = 0, .max_charge = 0,
     .kind = COMET, .glyph = 24, .beam_glyph = 0, .colour = &PINK, .beam_colour = nullptr,
     .move_interval = 65, .armed = 0},
    {.integrity = 2, .max_integrity = 2, .charge = 0, .max_charge = 0,
     .kind = RED_RAM, .glyph = 4, .beam_glyph = 0, .colour = &RED, .beam_colour = nullptr,
     .move_interval = 90, .armed = 0},
    {.integrity = 4, .max_integrity = 4, .charge = -2, .max_charge = -2,
     .kind = CYAN_GUNNER, .glyph = 20, .beam_glyph = 158, .colour = &CYAN, .beam_colour = &CYAN,
     .move_interval = 220, .armed = 1},
}};
// clang-format on

namespace {
constexpr bool rows_match_kinds() {
    for (uint32_t kind = 0; kind < SHIPS.size(); kind++)
        if (SHIPS[kind].kind != kind) return false;
    return true;
}

constexpr bool armed_kinds_have_beams() {
    for (const Ship& ship : SHIPS)
        if (ship.armed && (!ship.beam_colour || ship.beam_glyph == 0)) return false;
    return true;
}

constexpr uint8_t FLASH_GLYPH = 155;
constexpr uint8_t BACKING_GLYPH = 1;
constexpr uint8_t CANNON_OFFSET = 4; // from the body glyph to the player's cannon overlay
} // namespace

static_assert(SHIPS.size() == CYAN_GUNNER + 1);
static_assert(rows_match_kinds());
static_assert(armed_kinds_have_beams());

void print_ship(const Ship& ship) {
    auto body = static_cast<uint8_t>(ship.glyph + ship.dir);
    Colour colour = *ship.colour;
    if (TIME.now < ship.last_hit + HIT_TIME) {
        body = FLASH_GLYPH;
        colour = YELLOW;
    }
    print_char(BACKING_GLYPH, ship.y, ship.x, BLACK);
    print_char(body, ship.y, ship.x, colour);
    // A latched (negative) charge still has shots in it, so the cannon stays.
    if (ship.kind == PLAYER && ship.charge != 0)
        print_char(static_cast<uint8_t>(ship.glyph + ship.dir + CANNON_OFFSET), ship.y, ship.x,
                   *ship.beam_colour);
}
