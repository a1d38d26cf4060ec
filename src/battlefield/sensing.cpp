// Looking along the four lines from a ship, turning toward targets and away from obstacles.
#include "battlefield/sensing.h"

#include "battlefield/map.h"

#include <cstdlib>

namespace {
constexpr int32_t OUT_OF_RANGE = 100; // farther than any line across the grid

uint32_t left_of(uint32_t dir) {
    return (dir + 3) % 4;
}

uint32_t right_of(uint32_t dir) {
    return (dir + 1) % 4;
}

Sight sight_at(const Ship& ship, uint32_t dir, int32_t distance) {
    const Vector& step = VECTORS[dir];
    const int32_t cell = cell_at(ship.x + distance * step.dx, ship.y + distance * step.dy);
    return {.space = static_cast<uint32_t>(std::abs(cell)), .distance = distance};
}
} // namespace

Sight look(const Ship& ship, uint32_t dir) {
    dir %= 4;
    return sight_at(ship, dir, steps_around(ship.x, ship.y)[dir]);
}

// Every ship looks four ways every frame: all four from one search.
void scan(Ship& ship) {
    const std::array<int32_t, 4> steps = steps_around(ship.x, ship.y);
    for (uint32_t dir = 0; dir < 4; dir++) ship.sight[dir] = sight_at(ship, dir, steps[dir]);
}

int32_t scan_for_target(Ship& ship, uint32_t target) {
    // Fixed before any turn, in the order that wins ties: left, ahead, right, behind.
    const std::array<uint32_t, 4> candidates = {left_of(ship.dir), ship.dir, right_of(ship.dir),
                                                (ship.dir + 2) % 4};
    const size_t count = ship.kind == PLAYER ? 4 : 3;
    int32_t best = OUT_OF_RANGE;
    for (size_t i = 0; i < count; i++) {
        const Sight& sight = ship.sight[candidates[i]];
        if (sight.distance < best && sight.space == target) {
            best = sight.distance;
            ship.dir = candidates[i];
        }
    }
    return best < OUT_OF_RANGE ? best : 0;
}

void redirect(Ship& ship) {
    if (ship.sight[ship.dir].distance > 1) return;
    const uint32_t left = left_of(ship.dir), right = right_of(ship.dir);
    ship.dir = ship.sight[right].distance > ship.sight[left].distance ? right : left;
}

void march(Ship& ship) {
    clear_cell(ship.x, ship.y, SPACE_ENEMY);
    const Vector& step = VECTORS[ship.dir];
    // Any pending hit ahead blocks too; the cell is entered only when it holds exactly 0.
    if (cell_at(ship.x + step.dx, ship.y + step.dy) == SPACE_EMPTY) {
        ship.x += step.dx;
        ship.y += step.dy;
    }
    set_cell(ship.x, ship.y, SPACE_ENEMY);
}
