// The battlefield grid: its cells, the map file that fills it and its drawing.
#include "battlefield/map.h"

#include "shell/shell.h"

std::array<int32_t, MAP_WIDTH * MAP_HEIGHT> MAP{};

constexpr std::array<Space, 4> SPACES = {{
    {.colour = &WHITE, .glyph = 0, .hidden = 0},  // SPACE_EMPTY
    {.colour = &GRAY, .glyph = 2, .hidden = 0},   // SPACE_WALL
    {.colour = nullptr, .glyph = 0, .hidden = 1}, // SPACE_PLAYER
    {.colour = nullptr, .glyph = 0, .hidden = 1}, // SPACE_ENEMY
}};
static_assert(SPACES.size() == SPACE_ENEMY + 1);

namespace {
bool inside(int32_t x, int32_t y) {
    return x >= 0 && x < MAP_WIDTH && y >= 0 && y < MAP_HEIGHT;
}

size_t index_of(int32_t x, int32_t y) {
    return static_cast<size_t>(y) * MAP_WIDTH + static_cast<size_t>(x);
}

// The code a cell shows, pending hit or not; anything beyond the table reads as a wall.
uint32_t code_of(int32_t cell) {
    uint32_t code = cell < 0 ? 0u - static_cast<uint32_t>(cell) : static_cast<uint32_t>(cell);
    return code < SPACES.size() ? code : uint32_t{SPACE_WALL};
}
} // namespace

int32_t cell_at(int32_t x, int32_t y) {
    return inside(x, y) ? MAP[index_of(x, y)] : SPACE_WALL;
}

void set_cell(int32_t x, int32_t y, int32_t code) {
    if (inside(x, y)) MAP[index_of(x, y)] = code;
}

void mark_cell(int32_t x, int32_t y) {
    if (!inside(x, y)) return;
    int32_t& cell = MAP[index_of(x, y)];
    if (cell > 0) cell = -cell;
}

void load_map(const char* path) {
    const auto bytes = read_asset(path, MAP.size());
    if (!bytes) return;
    // A short file leaves the rest zero, a long one is cut.
    for (size_t i = 0; i < MAP.size(); i++) {
        int32_t code = i < bytes->size() ? (*bytes)[i] : 0;
        MAP[i] = code <= SPACE_ENEMY ? code : int32_t{SPACE_WALL};
    }
}

void print_map() {
    for (int32_t row = 0; row < MAP_HEIGHT; row++) {
        for (int32_t col = 0; col < MAP_WIDTH; col++) {
            const Space& space = SPACES[code_of(MAP[index_of(col, row)])];
            if (!space.hidden) print_char(space.glyph, row, col, *space.colour);
        }
    }
}
