// The comet: the pink pickup that refills the player's laser.
#pragma once

#include "battlefield/ship.h"

void spawn_comet(Ship& comet, int32_t x, int32_t y);
void collect(Ship& comet);
void update_comet(Ship& comet, Ship& player);
