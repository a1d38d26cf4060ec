// The status console, drawn first in every play frame so the map and the ships lie on top.
#include "scenes/console.h"

#include "battlefield/laser.h"
#include "display/text.h"

#include <array>
#include <cstdlib>
#include <string>

namespace {
struct ConsoleLine {
    int32_t row;
    const char* text;
};

// Rows 1 to 4 end in a space, drawn like any glyph.
constexpr std::array<ConsoleLine, 8> CONSOLE_LINES = {{
    {.row = 1, .text = ">LASER: "},
    {.row = 2, .text = ">SHIP INTEGRITY: "},
    {.row = 3, .text = ">LEVEL: "},
    {.row = 4, .text = ">SCORE: "},
    {.row = 30, .text = ">Eres QUELTIVAR NOSPERIDA KU"},
    {.row = 31, .text = ">WASD to move, ENTER to shoot"},
    {.row = 32, .text = ">Your ship will always aim at the closest enemy"},
    {.row = 33, .text = ">Touch or shoot pink COMET to replenish LASER"},
}};
constexpr const char* BEGIN_LINE = ">Click anywhere to begin";
constexpr int32_t BEGIN_ROW = 34;
constexpr int32_t TEXT_COL = 1;
constexpr int32_t NUMBER_COL = 9;
constexpr int32_t LEFT_BORDER = 1, RIGHT_BORDER = 62;
constexpr int32_t TOP_RULE = 5, BOTTOM_RULE = 29;
constexpr int32_t INTEGRITY_ROW = 2, INTEGRITY_COL = 18;
constexpr int32_t LASER_ROW = 1, LASER_COL = 9;

void print_bar(uint8_t glyph, int32_t length, int32_t row, int32_t col, const Colour& colour) {
    for (int32_t i = 0; i < length; i++) print_char(glyph, row, col + i, colour);
}
} // namespace

void print_console(const Spawner& spawner, const Ship& player, const Ship& comet,
                   const Army& army) {
    if (!FONT) return; // nothing to draw with: the simulation alone
    bool busy = !army.empty() || comet.integrity > 0 || spawner.pending != 0;
    const Colour& colour = busy ? DARK_GRAY : WHITE;

    for (const ConsoleLine& line : CONSOLE_LINES) print_msg(line.text, line.row, TEXT_COL, colour);
    if (spawner.level == 1) print_msg(BEGIN_LINE, BEGIN_ROW, TEXT_COL, colour);

    print_msg(std::to_string(spawner.level).c_str(), 3, NUMBER_COL, colour);
    print_msg(std::to_string(SCORE).c_str(), 4, NUMBER_COL, colour);

    for (int32_t row = 1; row <= BEGIN_ROW; row++) {
        print_char('>', row, LEFT_BORDER, colour);
        print_char('<', row, RIGHT_BORDER, colour);
    }
    for (int32_t col = LEFT_BORDER + 1; col < RIGHT_BORDER; col++) {
        print_char('-', BOTTOM_RULE, col, colour);
        print_char('-', TOP_RULE, col, colour);
    }

    // The charge is negated while the trigger is latched; the bar still counts the shots.
    print_bar('|', std::abs(player.integrity), INTEGRITY_ROW, INTEGRITY_COL, colour);
    const bool low = std::abs(player.charge) <= LOW_CHARGE;
    print_bar('*', std::abs(player.charge), LASER_ROW, LASER_COL, low ? YELLOW : colour);
}
