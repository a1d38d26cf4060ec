// The one grid of the game: the screen's cells, and the battlefield's, cell for cell.
#pragma once

#include <cstdint>

constexpr int32_t COLUMNS = 64;
constexpr int32_t ROWS = 36;
