// Hitscan lasers: the beam state, firing, beam drawing, taking a hit and ramming.
#include "battlefield/laser.h"

#include "battlefield/map.h"
#include "platform/clock.h"
#include "sound/sound.h"

#include <cstdlib>

namespace {
constexpr uint64_t BEAM_HOLD = 70;   // ms a fired beam stays bright
constexpr uint8_t FAINT_ALPHA = 180; // taken from the beam colour's alpha while aiming

enum : uint32_t { BEAM_NONE, BEAM_AIMING, BEAM_FIRED };
} // namespace

void reset_laser(Ship& ship, int32_t aim) {
    if (TIME.now < ship.last_shot + BEAM_HOLD) return;
    if (!ship.armed) return;
    ship.beam = aim != 0 ? BEAM_AIMING : BEAM_NONE;
}

void shoot(Ship& ship, int32_t distance) {
    if (ship.beam != BEAM_AIMING || ship.charge <= 0) return;
    ship.charge--;
    // The player's charge turns negative until Enter is released: one press, one shot.
    ship.charge = ship.kind == PLAYER ? -ship.charge : ship.max_charge;
    ship.last_shot = TIME.now;
    const Vector& step = VECTORS[ship.dir];
    mark_cell(ship.x + distance * step.dx, ship.y + distance * step.dy);
    ship.beam = BEAM_FIRED;
    const bool low = ship.kind == PLAYER && std::abs(ship.charge) <= LOW_CHARGE;
    play_effect(low ? FX_LASER_LOW : FX_LASER);
}

void laser(const Ship& ship) {
    if (ship.beam == BEAM_NONE || !ship.beam_colour) return;
    const auto glyph = static_cast<uint8_t>(ship.beam_glyph + ship.dir % 2);
    Colour colour = *ship.beam_colour;
    if (ship.beam == BEAM_AIMING) colour.a = static_cast<uint8_t>(colour.a - FAINT_ALPHA);
    const Vector& step = VECTORS[ship.dir];
    // The sights are from the last scan: the beam ends where the ship last saw something.
    for (int32_t i = 1; i < ship.sight[ship.dir].distance; i++)
        print_char(glyph, ship.y + i * step.dy, ship.x + i * step.dx, colour);
}

void detect_hit(Ship& ship) {
    if (cell_at(ship.x, ship.y) >= 0) return;
    // A ship already done for leaves the marker for whoever clears its cell.
    if (ship.integrity <= 0) return;
    ship.integrity--;
    // Left empty, not the ship's own code: the ship marks it again when it next moves.
    set_cell(ship.x, ship.y, SPACE_EMPTY);
    ship.last_hit = TIME.now;
    if (ship.kind == PLAYER) play_effect(FX_HURT);
}

void strike(Ship& ship, uint32_t target) {
    const Sight& ahead = ship.sight[ship.dir];
    if (ahead.distance > 1 || ahead.space != target) return;
    // The rammer dies without a hit flash, so the army removes it at its next update.
    ship.integrity = 0;
    const Vector& step = VECTORS[ship.dir];
    mark_cell(ship.x + step.dx, ship.y + step.dy);
}
