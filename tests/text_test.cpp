// Glyphs, strings and the veil, read back from real frames.
#include "harness.h"

#include "shell/shell.h"

#include <SDL.h>
#include <gtest/gtest.h>

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
    print_char(1, 6, 6, BLACK);
    print_char(130, 6, 6, WHITE);
    print_char(134, 6, 6, PINK);
    print_char(158, 7, 7, Colour{0, 255, 0, 75});
    Frame layered = read_frame();
    EXPECT_EQ(layered.at(6, 6).glyph, 134);
    EXPECT_TRUE(same_colour(layered.at(6, 6), PINK));
    EXPECT_EQ(layered.at(7, 7).glyph, 158);
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
