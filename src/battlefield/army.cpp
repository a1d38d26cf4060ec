// The enemy army: placing enemies, their update oldest first, their removal and beams.
#include "battlefield/army.h"

#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/sensing.h"
#include "platform/clock.h"
#include "sound/sound.h"

#include <cstdlib>

uint32_t SCORE = 0;

namespace {
constexpr uint32_t KILL_SCORE = 100;

// One enemy's turn; false once it has exploded and must leave the army.
bool update_ship(Ship& ship) {
    detect_hit(ship);
    scan(ship);
    print_ship(ship);
    // A hit ship neither moves nor fires, nor is it removed, until its flash is over.
    if (TIME.now < ship.last_hit + HIT_TIME) return true;
    if (ship.integrity <= 0) {
        play_effect(FX_EXPLOSION);
        SCORE += KILL_SCORE;
        clear_cell(ship.x, ship.y, SPACE_ENEMY);
        return false;
    }
    const int32_t target = scan_for_target(ship, SPACE_PLAYER);
    reset_laser(ship, target);
    if (TIME.now < ship.last_move + ship.move_interval) return true;
    ship.last_move = TIME.now;
    // Fire, ram, turn, step: all read the sights of this update's scan, in this order.
    shoot(ship, target);
    strike(ship, SPACE_PLAYER);
    redirect(ship);
    march(ship);
    if (target != 0 && ship.armed)
        ship.charge++;
    else
        ship.charge = ship.max_charge;
    return true;
}
} // namespace

void spawn_enemy(uint32_t kind, int32_t x, int32_t y, uint32_t dir, Army& army) {
    // Bad field data must not index past the templates, the vectors or the sights.
    if (kind >= SHIPS.size()) return;
    Ship ship = SHIPS[kind];
    ship.x = x;
    ship.y = y;
    ship.dir = dir % 4;
    // Released onto the player, a ship rams it at once, as one that reached it would.
    if (std::abs(cell_at(x, y)) == SPACE_PLAYER) {
        ship.integrity = 0;
        mark_cell(x, y);
    } else {
        set_cell(x, y, SPACE_ENEMY);
    }
    army.push_back(ship);
}

void update_enemy(Army& army) {
    // Survivors slide down over the dead as the walk goes, so no ship is skipped or reordered.
    size_t kept = 0;
    for (size_t i = 0; i < army.size(); i++) {
        if (!update_ship(army[i])) continue;
        if (kept != i) army[kept] = army[i];
        kept++;
    }
    army.resize(kept);
}

void laser(const Army& army) {
    for (const Ship& ship : army) laser(ship);
}

void free_army(Army& army) {
    army.clear();
}
