// The enemy army: every enemy ship on the field, oldest first.
#pragma once

#include "battlefield/ship.h"

#include <cstdint>
#include <vector>

// Updated and drawn oldest first; a new ship joins at the end.
using Army = std::vector<Ship>;

// Zeroed at the start of each game; raised by the army and the spawner.
extern uint32_t SCORE;

// Adds a copy of template `kind` at (x, y) and marks its cell; released onto the player, it
// rams it at once.
void spawn_enemy(uint32_t kind, int32_t x, int32_t y, uint32_t dir, Army& army);
// Every enemy's turn, oldest first; the exploded leave the army and add to SCORE.
void update_enemy(Army& army);
// The beams of the whole army, the newest drawn last, on top.
void laser(const Army& army);
// Empties the army; the cells its ships held are left as they are.
void free_army(Army& army);
