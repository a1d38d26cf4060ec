// The player's ship: moved by W, A, S, D, aimed by itself, one shot per press of Enter.
#pragma once

#include "battlefield/ship.h"

// The player's turn: hits, the move, the turn to the nearest enemy, drawing, one shot a press.
void update_player(Ship& player);
// One step by the held movement keys per move interval, unless the cell it ends on is taken.
void wasd_move(Ship& ship);
