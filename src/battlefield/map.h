// The battlefield grid, its space codes and directions, the map file and its drawing.
#pragma once

#include "display/text.h"

#include <array>
#include <cstdint>

constexpr int32_t MAP_WIDTH = 64;
constexpr int32_t MAP_HEIGHT = 36;

// A negative cell is a pending hit on the code of its absolute value.
enum : int32_t { SPACE_EMPTY = 0, SPACE_WALL = 1, SPACE_PLAYER = 2, SPACE_ENEMY = 3 };

extern std::array<int32_t, MAP_WIDTH * MAP_HEIGHT> MAP;

struct Vector {
    int32_t dx, dy;
};

// Up, right, down, left: clockwise, and the order of the movement keys.
constexpr std::array<Vector, 4> VECTORS = {{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}};

struct Space {
    const Colour* colour; // null for codes whose ships draw themselves
    uint8_t glyph;
    uint8_t hidden;
};

extern const std::array<Space, 4> SPACES;

// The cell at (x, y); cells outside the grid read as walls, so no walk can leave it.
int32_t cell_at(int32_t x, int32_t y);
// Writes the cell at (x, y); a cell outside the grid is left alone.
void set_cell(int32_t x, int32_t y, int32_t code);
// Writes minus the absolute value: a pending hit, once however often it is marked.
void mark_cell(int32_t x, int32_t y);

void load_map(const char* path);
void print_map();
