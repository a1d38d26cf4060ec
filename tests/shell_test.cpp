// The scene loop, start-up and shutdown, and the failures the program reports.
#include "harness.h"

#include "scenes/title.h"
#include "shell/shell.h"

#include <SDL.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {
std::vector<uint8_t> SEEN_CHANGE_STATE;
void second_scene();
void first_scene() {
    SEEN_CHANGE_STATE.push_back(CHANGE_STATE);
    STATE = second_scene;
    CHANGE_STATE = 1;
}
void second_scene() {
    SEEN_CHANGE_STATE.push_back(CHANGE_STATE);
    STATE = nullptr;
    CHANGE_STATE = 1;
}

struct GameRun {
    int status;
    std::string output;
};

// Runs the built game in `dir` under the dummy drivers, capturing standard error.
GameRun run_game_in(const std::string& dir) {
    std::string command = "cd '" + dir +
                          "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "
                          "'" QUELTIVAR_GAME "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
} // namespace

TEST(Shell, StartUpMakesTheCaptionedWindowAndTheTitleComesFirst) {
    Headless game;
    EXPECT_STREQ(SDL_GetWindowTitle(WINDOW), "Queltivar Nosperida Ku");
    int w = 0, h = 0;
    SDL_GetWindowSize(WINDOW, &w, &h);
    EXPECT_EQ(w, 1152);
    EXPECT_EQ(h, 648);
    SDL_RenderGetLogicalSize(RENDERER, &w, &h);
    EXPECT_EQ(w, 1152) << "the grid fills a high-DPI drawable too";
    EXPECT_EQ(STATE, title);
}

TEST(Shell, EverySceneStartsWithTheChangeFlagClearAndANullStateEndsTheLoop) {
    Headless game;
    SEEN_CHANGE_STATE.clear();
    STATE = first_scene;
    run_scenes();
    EXPECT_EQ(SEEN_CHANGE_STATE, (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(STATE, nullptr);
}

TEST(Shell, ClosingTheWindowOnTheTitleEndsTheProgram) {
    Headless game;
    std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(QUELTIVAR_SOURCE_DIR); // the shipped assets
    STATE = title;
    on_read([] { push_quit(); });
    run_scenes();
    std::filesystem::current_path(saved);
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(EXIT_STATUS, 0);
}

TEST(Shell, AMissingFontSheetIsReportedByNameAndEndsWithStatusOne) {
    std::string dir = temp_dir();
    GameRun run = run_game_in(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("assets/font.bmp"), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;

    // A file that is no BMP at all fails the same way.
    std::filesystem::create_directory(dir + "/assets");
    FILE* junk = fopen((dir + "/assets/font.bmp").c_str(), "wb");
    fputs("not a bitmap", junk);
    fclose(junk);
    run = run_game_in(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("assets/font.bmp"), std::string::npos) << run.output;
    std::filesystem::remove_all(dir);
}
