// The player's ship: moved by W, A, S, D, aimed by itself, one shot per press of Enter.
#pragma once

#include "battlefield/ship.h"

void update_player(Ship& player);
void wasd_move(Ship& ship);
