// Hitscan lasers, their beams, taking hits and ramming.
#pragma once

#include "battlefield/ship.h"

// Shots left at or below which the player's laser is low: it sounds low, its bar turns yellow.
constexpr int32_t LOW_CHARGE = 10;

void reset_laser(Ship& ship, int32_t aim);
void shoot(Ship& ship, int32_t distance);
void laser(const Ship& ship);
void detect_hit(Ship& ship);
void strike(Ship& ship, uint32_t target);
