// Looking along the four lines from a ship, turning toward targets and away from obstacles.
#pragma once

#include "battlefield/ship.h"

// From a ship on the grid, which no move leaves: cells beyond its edge read as walls.
Sight look(const Ship& ship, uint32_t dir);
void scan(Ship& ship);
// Faces the nearest target among left, ahead, right (and behind, for the player); its
// distance, or 0 when none is in sight.
int32_t scan_for_target(Ship& ship, uint32_t target);
void redirect(Ship& ship);
void march(Ship& ship);
