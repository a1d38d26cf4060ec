// The scene loop, start-up and shutdown, and the failures the program reports.
#include "harness.h"

#include "scenes/title.h"
#include "shell/shell.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
std::vector<uint8_t> SEEN;
void second_scene() {
    SEEN.push_back(CHANGE_STATE);
    STATE = nullptr, CHANGE_STATE = 1;
}
void first_scene() {
    SEEN.push_back(CHANGE_STATE);
    STATE = second_scene, CHANGE_STATE = 1;
}

// The built game, run in the working directory under the dummy drivers: status and stderr.
std::pair<int, std::string> run_built_game() {
    FILE* pipe =
        popen("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy '" QUELTIVAR_GAME "' 2>&1", "r");
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
} // namespace

TEST(Shell, StartUpMakesTheCaptionedWindowAndTheTitleComesFirst) {
    Headless game;
    EXPECT_STREQ(SDL_GetWindowTitle(WINDOW), "Queltivar Nosperida Ku");
    int w = 0, h = 0;
    SDL_GetWindowSize(WINDOW, &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(1152, 648));
    SDL_RenderGetLogicalSize(RENDERER, &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(1152, 648)) << "the grid fills a high-DPI drawable";
    EXPECT_EQ(STATE, title);
}

TEST(Shell, EverySceneStartsWithTheChangeFlagClearAndANullStateEndsTheLoop) {
    Headless game;
    SEEN.clear();
    STATE = first_scene;
    run_scenes();
    EXPECT_EQ(SEEN, (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(STATE, nullptr);
}

TEST(Shell, ClosingTheWindowOnTheTitleEndsTheProgramWithStatusZero) {
    Headless game;
    WorkDir work;
    write_file("assets/title.txt", "art\n");
    STATE = title;
    on_read(push_quit);
    run_scenes();
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(EXIT_STATUS, 0);
}

TEST(Shell, AFontSheetThatCannotBeLoadedIsNamedOnOneLineAndEndsWithStatusOne) {
    WorkDir work;
    for (const char* junk : {"", "not a bitmap"}) {
        if (*junk) write_file("assets/font.bmp", junk);
        auto [status, output] = run_built_game();
        EXPECT_EQ(status, 1);
        EXPECT_NE(output.find("assets/font.bmp"), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}
