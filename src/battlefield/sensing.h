// Looking along the four lines from a ship, turning toward targets and away from obstacles.
#pragma once

#include "battlefield/ship.h"

// The first thing the ship sees along `dir`. From a ship on the grid, which no move leaves:
// cells beyond its edge read as walls.
Sight look(const Ship& ship, uint32_t dir);
// Fills all four of the ship's sights.
void scan(Ship& ship);
// Faces the nearest target among left, ahead, right (and behind, for the player); its
// distance, or 0 when none is in sight.
int32_t scan_for_target(Ship& ship, uint32_t target);
// Blocked in the next cell ahead, turns to the side that sees farther, left on a tie.
void redirect(Ship& ship);
// One step ahead into an empty cell, moving the ship's SPACE_ENEMY mark; blocked, it stays.
void march(Ship& ship);
