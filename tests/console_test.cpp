// The status console drawn on its own and read back cell by cell.
#include "harness.h"

#include "scenes/console.h"
#include "shell/shell.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {
struct Status {
    Spawner spawner = parse_spawner({});
    Ship player = SHIPS[PLAYER];
    Ship comet = SHIPS[COMET];
    Army army;
    Frame draw() const {
        SDL_RenderClear(RENDERER);
        print_console(spawner, player, comet, army);
        return read_frame();
    }
};

// Whether every glyph on screen outside the laser bar's run is in `colour`.
bool console_in(const Frame& frame, const Colour& colour) {
    for (int32_t row = 0; row < ROWS; row++) {
        for (int32_t col = 0; col < COLUMNS; col++) {
            if (row == 1 && col >= 9 && col < 59) continue;
            const Cell& cell = frame.at(row, col);
            if (cell.glyph != 0 && !same_colour(cell, colour)) return false;
        }
    }
    return true;
}
} // namespace

TEST(Console, AFreshGameShowsAWhiteFramedConsoleWithFullBarsLevelOneAndTheStartLine) {
    Headless game;
    SCORE = 0;
    Frame frame = Status{}.draw();
    EXPECT_EQ(frame.text(1, 0, 64), " >LASER: " + std::string(50, '*') + "   < ");
    EXPECT_EQ(frame.text(2, 0, 24), " >SHIP INTEGRITY: ||||| ");
    EXPECT_EQ(frame.text(3, 0, 11), " >LEVEL: 1 ");
    EXPECT_EQ(frame.text(4, 0, 11), " >SCORE: 0 ");
    EXPECT_EQ(frame.text(5, 0, 64), " >" + std::string(60, '-') + "< ");
    EXPECT_EQ(frame.text(29, 0, 64), " >" + std::string(60, '-') + "< ");
    EXPECT_EQ(frame.text(30, 1, 29), ">Eres QUELTIVAR NOSPERIDA KU ");
    EXPECT_EQ(frame.text(31, 1, 30), ">WASD to move, ENTER to shoot ");
    EXPECT_EQ(frame.text(32, 1, 48), ">Your ship will always aim at the closest enemy ");
    EXPECT_EQ(frame.text(33, 1, 46), ">Touch or shoot pink COMET to replenish LASER ");
    EXPECT_EQ(frame.text(34, 1, 25), ">Click anywhere to begin ");
    for (int32_t row = 6; row < 29; row++)
        EXPECT_EQ(frame.text(row, 0, 64), " >" + std::string(60, ' ') + "< ") << "row " << row;
    EXPECT_EQ(frame.text(0, 0, 64), std::string(64, ' '));
    EXPECT_EQ(frame.text(35, 0, 64), std::string(64, ' '));
    EXPECT_TRUE(console_in(frame, WHITE));
    EXPECT_TRUE(same_colour(frame.at(1, 58), WHITE)) << "50 shots are not low";
}

TEST(Console, AnythingAliveOrBlinkingDimsTheConsoleAndALowLaserTurnsYellow) {
    Headless game;
    Status status;
    status.army.push_back(SHIPS[BLUE_RAM]);
    EXPECT_TRUE(console_in(status.draw(), DARK_GRAY)) << "an enemy lives";
    status.army.clear();
    status.comet.integrity = 1;
    EXPECT_TRUE(console_in(status.draw(), DARK_GRAY)) << "the comet is on the field";
    status.comet.integrity = 0;
    EXPECT_TRUE(console_in(status.draw(), WHITE)) << "a collected comet no longer counts";
    status.spawner.pending = 1;
    status.player.charge = 11;
    Frame dim = status.draw();
    EXPECT_TRUE(console_in(dim, DARK_GRAY)) << "a field is blinking";
    EXPECT_EQ(dim.text(1, 9, 12), std::string(11, '*') + " ");
    EXPECT_TRUE(same_colour(dim.at(1, 19), DARK_GRAY)) << "11 shots take the console colour";

    status.player.charge = -11;
    EXPECT_TRUE(same_colour(status.draw().at(1, 19), DARK_GRAY));
    status.player.charge = 10;
    EXPECT_TRUE(same_colour(status.draw().at(1, 18), YELLOW));
    status.player.charge = -7;
    Frame latched = status.draw();
    EXPECT_EQ(latched.text(1, 9, 8), "******* ") << "a latched trigger still counts 7 shots";
    EXPECT_TRUE(same_colour(latched.at(1, 9), YELLOW));
    EXPECT_TRUE(console_in(latched, DARK_GRAY));

    status.spawner.pending = 0;
    status.player.charge = 0;
    status.player.integrity = 0;
    status.spawner.level = 2;
    SCORE = 1200;
    Frame later = status.draw();
    EXPECT_EQ(later.text(1, 9, 50), std::string(50, ' '));
    EXPECT_EQ(later.text(2, 18, 5), "     ");
    EXPECT_EQ(later.text(3, 1, 10), ">LEVEL: 2 ");
    EXPECT_EQ(later.text(4, 1, 13), ">SCORE: 1200 ");
    EXPECT_EQ(later.text(34, 1, 62), ">" + std::string(60, ' ') + "<") << "level 1 only";
    EXPECT_TRUE(console_in(later, WHITE));
}
