// The battlefield grid: its cells, the map file that fills it and its drawing.
#include "battlefield/map.h"

#include "display/glyphs.h"
#include "platform/assets.h"

#include <bit>
#include <cstdlib>

namespace {
Grid CELLS{};
// Bit x of OCCUPIED_ROWS[y], and bit y of OCCUPIED_COLUMNS[x], is set while cell (x, y) is not
// empty: every ship looks four ways every frame, and a look is then a bit search, not a walk.
std::array<uint64_t, ROWS> OCCUPIED_ROWS{};
std::array<uint64_t, COLUMNS> OCCUPIED_COLUMNS{};
} // namespace

const Grid& MAP = CELLS;

constexpr std::array<Space, 4> SPACES = {{
    {.colour = &WHITE, .glyph = GLYPH_NONE, .hidden = 0},  // SPACE_EMPTY
    {.colour = &GRAY, .glyph = GLYPH_WALL, .hidden = 0},   // SPACE_WALL
    {.colour = nullptr, .glyph = GLYPH_NONE, .hidden = 1}, // SPACE_PLAYER
    {.colour = nullptr, .glyph = GLYPH_NONE, .hidden = 1}, // SPACE_ENEMY
}};
static_assert(SPACES.size() == SPACE_ENEMY + 1);

namespace {
size_t index_of(int32_t x, int32_t y) {
    return static_cast<size_t>(y) * COLUMNS + static_cast<size_t>(x);
}

void write_cell(int32_t x, int32_t y, int32_t code) {
    CELLS[index_of(x, y)] = code;
    const uint64_t column_bit = uint64_t{1} << x, row_bit = uint64_t{1} << y;
    if (code != SPACE_EMPTY) {
        OCCUPIED_ROWS[y] |= column_bit;
        OCCUPIED_COLUMNS[x] |= row_bit;
    } else {
        OCCUPIED_ROWS[y] &= ~column_bit;
        OCCUPIED_COLUMNS[x] &= ~row_bit;
    }
}

// Steps from bit `at` of `line` to the nearest set bit above it (or, `back`, below it); past
// the line's `length` bits, its edge.
int32_t steps_along(uint64_t line, int32_t at, int32_t length, bool back) {
    if (back) {
        const uint64_t behind = line & ((uint64_t{1} << at) - 1);
        return behind ? at - (63 - std::countl_zero(behind)) : at + 1;
    }
    const uint64_t ahead = (line >> at) >> 1;
    return ahead ? std::countr_zero(ahead) + 1 : length - at;
}

// The code a cell shows, pending hit or not; anything beyond the table reads as a wall.
uint32_t code_of(int32_t cell) {
    uint32_t code = cell < 0 ? 0u - static_cast<uint32_t>(cell) : static_cast<uint32_t>(cell);
    return code < SPACES.size() ? code : uint32_t{SPACE_WALL};
}
} // namespace

int32_t cell_at(int32_t x, int32_t y) {
    return on_grid(x, y) ? CELLS[index_of(x, y)] : SPACE_WALL;
}

void set_cell(int32_t x, int32_t y, int32_t code) {
    if (on_grid(x, y)) write_cell(x, y, code);
}

std::array<int32_t, 4> steps_around(int32_t x, int32_t y) {
    const uint64_t row = OCCUPIED_ROWS[y], column = OCCUPIED_COLUMNS[x];
    return {steps_along(column, y, ROWS, true), steps_along(row, x, COLUMNS, false),
            steps_along(column, y, ROWS, false), steps_along(row, x, COLUMNS, true)};
}

void set_map(const Grid& cells) {
    for (int32_t y = 0; y < ROWS; y++)
        for (int32_t x = 0; x < COLUMNS; x++) write_cell(x, y, cells[index_of(x, y)]);
}

void mark_cell(int32_t x, int32_t y) {
    if (!on_grid(x, y)) return;
    const int32_t cell = CELLS[index_of(x, y)];
    if (cell > 0) write_cell(x, y, -cell);
}

void clear_cell(int32_t x, int32_t y, int32_t code) {
    if (std::abs(cell_at(x, y)) == code) set_cell(x, y, SPACE_EMPTY);
}

void load_map(const char* path) {
    const auto bytes = read_asset(path, MAP.size());
    if (!bytes) return;
    // A short file leaves the rest zero, a long one is cut.
    Grid cells{};
    for (size_t i = 0; i < bytes->size(); i++)
        cells[i] = (*bytes)[i] <= SPACE_ENEMY ? (*bytes)[i] : int32_t{SPACE_WALL};
    set_map(cells);
}

void print_map() {
    if (!FONT) return; // nothing to draw with: the simulation alone
    for (int32_t row = 0; row < ROWS; row++) {
        for (int32_t col = 0; col < COLUMNS; col++) {
            const Space& space = SPACES[code_of(MAP[index_of(col, row)])];
            if (!space.hidden) print_char(space.glyph, row, col, *space.colour);
        }
    }
}
