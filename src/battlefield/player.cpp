// The player's ship: moved by W, A, S, D, aimed by itself, one shot per press of Enter.
#include "battlefield/player.h"

#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/sensing.h"
#include "input/input.h"
#include "platform/clock.h"

void update_player(Ship& player) {
    detect_hit(player);
    // Sights come from before the move, so aim and target distance lag a step behind it.
    scan(player);
    // Cleared first so that the ship never blocks its own move.
    set_cell(player.x, player.y, SPACE_EMPTY);
    wasd_move(player);
    set_cell(player.x, player.y, SPACE_PLAYER);
    const int32_t target = scan_for_target(player, SPACE_ENEMY);
    reset_laser(player, target);
    print_ship(player);
    // The release is seen before the next shot, so holding Enter fires exactly once.
    if (player.charge < 0 && !KEYS[KEY_FIRE]) player.charge = -player.charge;
    if (KEYS[KEY_FIRE]) shoot(player, target);
}

void wasd_move(Ship& ship) {
    if (TIME.now < ship.last_move + ship.move_interval) return;
    ship.last_move = TIME.now;
    const int32_t x = ship.x, y = ship.y;
    for (uint32_t dir = 0; dir < 4; dir++) {
        if (!KEYS[dir]) continue;
        ship.x += VECTORS[dir].dx;
        ship.y += VECTORS[dir].dy;
    }
    // Only the destination counts: a diagonal step slips between walls meeting at a corner.
    if (cell_at(ship.x, ship.y) != SPACE_EMPTY) {
        ship.x = x;
        ship.y = y;
    }
}
