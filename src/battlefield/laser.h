// Hitscan lasers, their beams, taking hits and ramming.
#pragma once

#include "battlefield/ship.h"

// Shots left at or below which the player's laser is low: it sounds low, its bar turns yellow.
constexpr int32_t LOW_CHARGE = 10;

// An armed ship aims while `aim`, a target's distance, is not 0; a fired beam stays 70 ms.
void reset_laser(Ship& ship, int32_t aim);
// When aiming with charge: spends a shot, marks a hit `distance` cells ahead and sounds it.
void shoot(Ship& ship, int32_t distance);
// Draws the ship's beam up to what its last scan saw ahead; faint while aiming.
void laser(const Ship& ship);
// Takes a pending hit on the ship's cell: one point of integrity and the flash.
void detect_hit(Ship& ship);
// Rams `target` in the next cell ahead: the rammer is done for, the cell takes a hit.
void strike(Ship& ship, uint32_t target);
