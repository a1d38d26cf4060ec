// Glyphs, strings and the veil, read back from real frames.
#include "harness.h"

#include "display/glyphs.h"
#include "shell/shell.h"

#include <SDL.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(Text, EveryGlyphIsCutFromItsOwnCellOfTheSheetWhateverItsWidth) {
    Headless game;
    for (int32_t width : {288, 576}) {
        WorkDir work;
        write_test_font("assets/font.bmp", width);
        FONT = load_bmp_font("assets/font.bmp");
        SDL_RenderClear(RENDERER);
        for (int g = 0; g < 256; g++) print_char(g, g / 64, g % 64, g % 2 ? PINK : CYAN);
        Frame frame = read_frame();
        for (int g = 0; g < 256; g++) {
            EXPECT_EQ(frame.at(g / 64, g % 64).glyph, g) << width;
            EXPECT_TRUE(g == 0 || same_colour(frame.at(g / 64, g % 64), g % 2 ? PINK : CYAN));
        }
    }
}

// A glyph below a short sheet would draw nothing, and its cell keep the last frame's glyph; a
// header may claim gigabytes. Both are refused before a frame is drawn.
TEST(Text, ASheetIsTakenOnlyWhenItHoldsGlyph255AndIsNoLargerThanAnyFontCouldNeed) {
    Headless game;
    WorkDir work;
    for (int32_t width : {256 * CELL, CELL}) { // every glyph in one row, in one column
        write_test_font("assets/font.bmp", width);
        FONT = load_bmp_font("assets/font.bmp");
        ASSERT_TRUE(FONT) << width;
        SDL_RenderClear(RENDERER);
        print_char(255, 3, 4, WHITE);
        print_char(1, 3, 5, WHITE);
        EXPECT_EQ(read_frame().text(3, 4, 2), "\xff\x01") << width;
    }
    // The oldest header's 16-bit fields claim 65535 x 65535 pixels in 30 bytes.
    const std::string claim = "BM" + std::string(12, '\0') + "\x0c" + std::string(3, '\0') +
                              std::string("\xff\xff\xff\xff\x01\0\x20\0", 8);
    // A later header's signed 32-bit fields, the height negative for rows top to bottom.
    const std::string top_down_17_by_4608 =
        "BM" + std::string(12, '\0') + "\x28" + std::string(3, '\0') +
        std::string("\x11\0\0\0\0\xee\xff\xff\x01\0\x20\0", 12) + std::string(24, '\0');
    const std::string full = work.dir + "/assets/font.bmp";
    for (const auto& [make, reason] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[] { write_test_font("assets/font.bmp", 288, 270); },
              "font sheet too short for glyph 255 (288 x 270 pixels)"},
             {[] { write_test_font("assets/font.bmp", 64 * CELL, 3 * CELL); },
              "font sheet too short for glyph 255 (1152 x 54 pixels)"},
             {[] { write_test_font("assets/font.bmp", 257 * CELL); },
              "font sheet too large (4626 x 18 pixels)"},
             {[] { write_test_font("assets/font.bmp", 288, 4608); },
              "font sheet too large (288 x 4608 pixels)"},
             {[&] { write_file("assets/font.bmp", claim); },
              "font sheet too large (65535 x 65535 pixels)"},
             {[&] { write_file("assets/font.bmp", top_down_17_by_4608); },
              "font sheet narrower than one glyph (17 x 4608 pixels)"},
         }) {
        make();
        EXIT_STATUS = 0;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(load_bmp_font("assets/font.bmp")) << reason;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "queltivar: cannot load " + full + ": " + reason + "\n");
        EXPECT_EQ(EXIT_STATUS, 1);
    }
}

TEST(Text, StringsRunAlongTheRowWithoutWrappingOrInterpretingBytes) {
    Headless game;
    print_msg("", 1, 1, WHITE);
    print_msg("AB\nC", 2, 3, YELLOW);
    print_msg("EDGE", 4, 62, WHITE);
    Frame frame = read_frame();
    EXPECT_EQ(frame.text(1, 0, 64), std::string(64, ' '));
    EXPECT_EQ(frame.text(2, 3, 4), "AB\nC");
    EXPECT_TRUE(same_colour(frame.at(2, 6), YELLOW));
    EXPECT_EQ(frame.text(4, 62, 2) + frame.text(5, 0, 2), "ED  ") << "nothing wraps";
}

TEST(Text, GlyphsLayerInACellAlphaBlendsAndTheVeilDimsOnlyWhatCameBefore) {
    Headless game;
    print_char(GLYPH_BLOCK, 6, 6, BLACK);
    print_char(GLYPH_PLAYER + 2, 6, 6, WHITE);
    print_char(GLYPH_CANNON + 2, 6, 6, PINK);
    print_char(GLYPH_GUNNER_BEAM, 7, 7, Colour{0, 255, 0, 75});
    Frame layered = read_frame();
    EXPECT_EQ(layered.at(6, 6).glyph, GLYPH_CANNON + 2);
    EXPECT_TRUE(same_colour(layered.at(6, 6), PINK));
    EXPECT_EQ(layered.at(7, 7).glyph, GLYPH_GUNNER_BEAM);
    EXPECT_TRUE(same_colour(layered.at(7, 7), Colour{0, 75, 0, 255}));

    darken_screen();
    print_char('Y', 1, 2, WHITE);
    Frame veiled = read_frame();
    EXPECT_NEAR(veiled.at(6, 6).r, 255 * 55 / 255, 1);
    EXPECT_TRUE(same_colour(veiled.at(1, 2), WHITE));
    darken_screen();
    EXPECT_NEAR(read_frame().at(6, 6).r, 55 * 55 / 255, 1) << "twice is darker still";
    SDL_RenderClear(RENDERER);
    EXPECT_EQ(read_frame().at(6, 6).r, 0) << "a clear after the veil is plain black";
}
