// The battlefield grid, its space codes and directions, the map file and its drawing.
#pragma once

#include "display/text.h"
#include "platform/grid.h"

#include <array>
#include <cstdint>

// A negative cell is a pending hit on the code of its absolute value.
enum : int32_t { SPACE_EMPTY = 0, SPACE_WALL = 1, SPACE_PLAYER = 2, SPACE_ENEMY = 3 };

using Grid = std::array<int32_t, COLUMNS * ROWS>;
static_assert(COLUMNS <= 64 && ROWS <= 64, "a row and a column of the grid fit 64 bits");

// Read by anyone; written only through the functions below, which keep the occupancy that
// steps_around reads in step with it.
extern const Grid& MAP;

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

constexpr bool on_grid(int32_t x, int32_t y) {
    return x >= 0 && x < COLUMNS && y >= 0 && y < ROWS;
}

// The cell at (x, y); cells outside the grid read as walls, so no walk can leave it.
int32_t cell_at(int32_t x, int32_t y);
// Writes the cell at (x, y); a cell outside the grid is left alone.
void set_cell(int32_t x, int32_t y, int32_t code);
// Writes minus the absolute value: a pending hit, once however often it is marked.
void mark_cell(int32_t x, int32_t y);
// Empties the cell at (x, y) only while it holds `code` or a pending hit on it: a ship that
// leaves its cell or is removed clears its own mark, never the player who stepped in.
void clear_cell(int32_t x, int32_t y, int32_t code);

// Steps from (x, y), inside the grid, to the first cell that is not empty in each direction
// (up, right, down, left); the grid's edge counts as one step beyond its last cell.
std::array<int32_t, 4> steps_around(int32_t x, int32_t y);
// The whole grid at once.
void set_map(const Grid& cells);
void load_map(const char* path);
void print_map();
