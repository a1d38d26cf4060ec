// The built game in a real X window, played through XTest and read back from screenshots.
#include "harness.h"
#include "shell/shell.h"
#include "waves/spawn_field.h"
#include "x11_display.h"

#include <SDL.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {
bool ink(int glyph, int x, int y) {
    static SDL_Surface* sheet = [] {
        SDL_Surface* loaded = SDL_LoadBMP(QUELTIVAR_SOURCE_DIR "/assets/font.bmp");
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(loaded);
        return argb;
    }();
    const auto* row =
        static_cast<uint8_t*>(sheet->pixels) + (CELL * (glyph / 16) + y) * sheet->pitch;
    return reinterpret_cast<const uint32_t*>(row)[CELL * (glyph % 16) + x] >> 24 != 0;
}

// All the glyph's ink in the colour and no other pixel so; pixels under `over`'s ink are skipped.
bool shows(const Shot& shot, int row, int col, int glyph, const Colour& c, int over = 0) {
    for (int y = 0; y < CELL; y++)
        for (int x = 0; x < CELL && !shot.empty(); x++) {
            uint32_t pixel = shot[(row * CELL + y) * WINDOW_WIDTH + col * CELL + x];
            bool coloured = (pixel & 0xffffff) == uint32_t(c.r << 16 | c.g << 8 | c.b);
            if (!(over && ink(over, x, y)) && coloured != ink(glyph, x, y)) return false;
        }
    return !shot.empty();
}

bool shows_text(const Shot& shot, int row, int col, std::string_view text, const Colour& c) {
    for (size_t i = 0; i < text.size(); i++)
        if (!shows(shot, row, col + int(i), uint8_t(text[i]), c)) return false;
    return true;
}

// In any of its four headings, the cannon drawn over it in the beam's colour.
Wanted player_at(int row, int col) {
    return [=](const Shot& shot) {
        for (int dir = 0; dir < 4; dir++)
            if (shows(shot, row, col, 128 + dir, WHITE, 132 + dir)) return true;
        return false;
    };
}

Wanted text_at(int row, int col, std::string_view text, const Colour& c) {
    return [=](const Shot& shot) { return shows_text(shot, row, col, text, c); };
}

bool marks_over_a_spawn_field(const Shot& shot) {
    for (const SpawnField& f : SPAWN_FIELD_LAYOUT) {
        bool marked = true;
        for (int i = 0; i < f.w * f.h; i++)
            marked = marked && shows(shot, f.y + i / f.w, f.x + i % f.w, '!', RED);
        if (marked) return true;
    }
    return false;
}
} // namespace

class RealWindow : public testing::Test {
  protected:
    XSession x;
    WorkDir work;
    std::string errors = work.dir + "/stderr";

    void SetUp() override {
        ASSERT_TRUE(x.display) << "Xvfb did not start; make test installs it (package xvfb)";
    }
    void point_at_cell(int row, int col) {
        point_at(x, col * CELL + CELL / 2, row * CELL + CELL / 2);
    }
    std::string stderr_text() {
        std::ostringstream text;
        text << std::ifstream(errors).rdbuf();
        return text.str();
    }
};

TEST_F(RealWindow, APlayerSetsTheVolumeStartsAWaveMovesFiresPausesAndClosesTheWindow) {
    ASSERT_TRUE(launch(x, QUELTIVAR_SOURCE_DIR, errors)) << stderr_text();
    EXPECT_TRUE(await(x, [](const Shot& shot) {
        bool caption = true;
        for (int i = 0; i < 25; i++)
            caption = caption && shows(shot, 35, 1 + i, i < 13 ? 160 + i : 167 + i, DARK_GRAY);
        return caption && shows_text(shot, 5, 21, "QUELTIVAR NOSPERIDA KU", WHITE) &&
               shows_text(shot, 18, 30, "PLAY", WHITE) && shows(shot, 31, 32, '+', WHITE);
    })) << "the title screen";

    point_at_cell(31, 32);
    EXPECT_TRUE(hold(x, "", [&](const Shot& shot) {
        point_at_cell(31, 37); // dragged, with the button held
        return shows(shot, 31, 37, '+', WHITE) && shows(shot, 31, 32, 159, WHITE);
    })) << "the knob follows the pointer dragged along the volume track";

    point_at_cell(18, 31);
    ASSERT_TRUE(click(x, "", [](const Shot& shot) {
        return player_at(18, 32)(shot) && shows_text(shot, 1, 1, ">LASER: ", WHITE);
    })) << "PLAY leads to the play screen";
    // The console greys while waves are busy; its last line shows until level 1 is over.
    ASSERT_TRUE(hold(x, "", text_at(34, 1, ">Click anywhere to begin", DARK_GRAY)))
        << "a click starts the waves";
    EXPECT_TRUE(await(x, marks_over_a_spawn_field, 3)) << "red marks blink over a spawn field";

    // Walls end both moves, so where the ship stops does not hang on how long a key is held.
    ASSERT_TRUE(hold(x, "d", player_at(18, 44))) << "D moves the ship right";
    ASSERT_TRUE(hold(x, "w", player_at(1, 44))) << "W moves the ship up";
    // The first rams climb to the top row and turn along it, in line with the ship.
    EXPECT_TRUE(hold(x, "Return", [](const Shot& shot) {
        return shows(shot, 1, 57, '*', DARK_GRAY) && !shows(shot, 1, 58, '*', DARK_GRAY);
    })) << "a shot at a ram takes the last of 50 marks off the laser bar";

    const Wanted paused = text_at(17, 18, "Press ESC again to unpause", WHITE);
    EXPECT_TRUE(hold(x, "Escape", paused)) << "Escape pauses";
    EXPECT_TRUE(click(x, "Escape", [&](const Shot& shot) {
        return !paused(shot) && shows_text(shot, 1, 1, ">LASER: ", DARK_GRAY);
    })) << "Escape again unpauses";

    close_window(x);
    EXPECT_EQ(exit_status(x), 0) << stderr_text();
}

TEST_F(RealWindow, AMissingAssetFileIsNamedOnStandardErrorAndEndsTheGameWithStatusOne) {
    namespace fs = std::filesystem;
    for (const std::string missing : {"assets/font.bmp", "assets/map.dat"}) {
        SCOPED_TRACE(missing);
        fs::copy(fs::path(QUELTIVAR_SOURCE_DIR) / "assets", work.dir + "/assets",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::remove(work.dir + "/" + missing);
        const bool shown = launch(x, work.dir, errors);
        // The map is read when a game starts.
        if (missing.ends_with("map.dat")) {
            ASSERT_TRUE(shown) << stderr_text();
            point_at_cell(18, 31);
            EXPECT_TRUE(click(x, "", [](const Shot& shot) { return shot.empty(); }));
        }
        ASSERT_EQ(exit_status(x), 1);
        EXPECT_NE(stderr_text().find(missing), std::string::npos) << stderr_text();
    }
}
