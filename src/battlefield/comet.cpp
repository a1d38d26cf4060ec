// The comet: the pink pickup that flees the player and refills its laser.
#include "battlefield/comet.h"

#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/sensing.h"
#include "platform/clock.h"
#include "sound/sound.h"

void spawn_comet(Ship& comet, int32_t x, int32_t y) {
    // Facing, timers and sights carry over from the comet's previous life.
    comet.x = x;
    comet.y = y;
    comet.integrity = comet.max_integrity;
    set_cell(x, y, SPACE_ENEMY);
}

void collect(Ship& comet) {
    for (const Sight& sight : comet.sight)
        if (sight.space == SPACE_PLAYER && sight.distance < 2) comet.integrity = 0;
}

void update_comet(Ship& comet, Ship& player) {
    detect_hit(comet);
    if (comet.integrity < 0) return;
    scan(comet);
    print_ship(comet);
    collect(comet);
    // A touch leaves last_hit alone, so only a shot comet waits here.
    if (TIME.now < comet.last_hit + HIT_TIME) return;
    if (comet.integrity == 0) {
        play_effect(FX_PICKUP);
        comet.integrity = -1;
        // Replaces a latched negative charge too, which frees the trigger.
        player.charge = player.max_charge;
        clear_cell(comet.x, comet.y, SPACE_ENEMY);
        return;
    }
    if (TIME.now < comet.last_move + comet.move_interval) return;
    comet.last_move = TIME.now;
    // The player straight ahead counts as a wall at the door, so the comet turns away.
    Sight& ahead = comet.sight[comet.dir];
    if (ahead.space == SPACE_PLAYER) ahead.distance = 1;
    redirect(comet);
    march(comet);
}
