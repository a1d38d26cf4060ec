// The status console: laser and integrity bars, level, score, instructions and borders.
#pragma once

#include "battlefield/army.h"
#include "battlefield/ship.h"
#include "waves/spawner.h"

// Grey while ships, the comet or a warning are about, white when the field is clear.
void print_console(const Spawner& spawner, const Ship& player, const Ship& comet, const Army& army);
