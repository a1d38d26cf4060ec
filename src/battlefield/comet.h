// The comet: the pink pickup that refills the player's laser.
#pragma once

#include "battlefield/ship.h"

// Brings the comet back at (x, y); its facing and timers carry over from its last life.
void spawn_comet(Ship& comet, int32_t x, int32_t y);
// Takes the comet (integrity 0) when the player is in the next cell along any line.
void collect(Ship& comet);
// The comet's turn: it flees; once taken or shot, it refills the player's laser and leaves.
void update_comet(Ship& comet, Ship& player);
