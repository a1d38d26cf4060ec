// The ship templates, one per kind, and the drawing of one ship.
#include "battlefield/ship.h"

#include "display/glyphs.h"
#include "platform/clock.h"

// Every template faces up, has never moved, shot or been hit, and has seen nothing yet.
// clang-format off
constexpr std::array<Ship, 6> SHIPS = {{
    {.x = 32, .y = 18, .integrity = 5, .max_integrity = 5, .charge = 50, .max_charge = 50,
     .kind = PLAYER, .glyph = GLYPH_PLAYER, .beam_glyph = GLYPH_PLAYER_BEAM, .colour = &WHITE, .beam_colour = &PINK,
     .move_interval = 90, .armed = 1},
    {.integrity = 1, .max_integrity = 1, .charge = 0, .max_charge = 0,
     .kind = BLUE_RAM, .glyph = GLYPH_RAM, .beam_glyph = GLYPH_NONE, .colour = &BLUE, .beam_colour = nullptr,
     .move_interval = 180, .armed = 0},
    {.integrity = 1, .max_integrity = 1, .charge = -2, .max_charge = -2,
     .kind = GREEN_GUNNER, .glyph = GLYPH_GUNNER, .beam_glyph = GLYPH_GUNNER_BEAM, .colour = &GREEN, .beam_colour = &GREEN,
     .move_interval = 180, .armed = 1},
    {.integrity = -1, .max_integrity = 1, .charge = 0, .max_charge = 0,
     .kind = COMET, .glyph = GLYPH_COMET, .beam_glyph = GLYPH_NONE, .colour = &PINK, .beam_colour = nullptr,
     .move_interval = 65, .armed = 0},
    {.integrity = 2, .max_integrity = 2, .charge = 0, .max_charge = 0,
     .kind = RED_RAM, .glyph = GLYPH_RAM, .beam_glyph = GLYPH_NONE, .colour = &RED, .beam_colour = nullptr,
     .move_interval = 90, .armed = 0},
    {.integrity = 4, .max_integrity = 4, .charge = -2, .max_charge = -2,
     .kind = CYAN_GUNNER, .glyph = GLYPH_GUNNER, .beam_glyph = GLYPH_GUNNER_BEAM, .colour = &CYAN, .beam_colour = &CYAN,
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
        if (ship.armed && (!ship.beam_colour || ship.beam_glyph == GLYPH_NONE)) return false;
    return true;
}

} // namespace

static_assert(SHIPS.size() == CYAN_GUNNER + 1);
static_assert(rows_match_kinds());
static_assert(armed_kinds_have_beams());

void print_ship(const Ship& ship) {
    auto body = static_cast<uint8_t>(ship.glyph + ship.dir);
    Colour colour = *ship.colour;
    if (TIME.now < ship.last_hit + HIT_TIME) {
        body = GLYPH_HIT_FLASH;
        colour = YELLOW;
    }
    print_char(GLYPH_BLOCK, ship.y, ship.x, BLACK);
    print_char(body, ship.y, ship.x, colour);
    // A latched (negative) charge still has shots in it, so the cannon stays.
    if (ship.kind == PLAYER && ship.charge != 0)
        print_char(static_cast<uint8_t>(GLYPH_CANNON + ship.dir), ship.y, ship.x,
                   *ship.beam_colour);
}
