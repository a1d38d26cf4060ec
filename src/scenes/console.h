// The status console: laser and integrity bars, level, score, instructions and borders.
#pragma once

#include "battlefield/army.h"
#include "battlefield/ship.h"
#include "waves/spawner.h"

// Charges at or below which the laser bar turns yellow, whatever the console colour.
constexpr int32_t LOW_LASER = 10;

void print_console(const Spawner& spawner, const Ship& player, const Ship& comet, const Army& army);
