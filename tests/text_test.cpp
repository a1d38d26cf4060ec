// Glyphs, strings and the veil, read back from real frames.
#include "harness.h"

#include "shell/shell.h"

#include <SDL.h>
#include <gtest/gtest.h>

TEST(Text, EveryGlyphIsCutFromItsOwnCellOfTheSheetInItsColour) {
    Headless game;
    for (int g = 1; g < 256; g++) print_char(g, g / COLUMNS, g % COLUMNS, g % 2 ? PINK : CYAN);
    Frame frame = read_frame();
    for (int g = 1; g < 256; g++) {
        const Cell& cell = frame.at(g / COLUMNS, g % COLUMNS);
        EXPECT_EQ(cell.glyph, g);
        EXPECT_TRUE(same_colour(cell, g % 2 ? PINK : CYAN)) << "glyph " << g;
    }
    EXPECT_EQ(frame.at(0, 0).glyph, 0) << "glyph 0 draws nothing";
}

TEST(Text, ASheetOfAnotherWidthIsCutByItsWidth) {
    Headless game;
    std::string dir = temp_dir();
    write_test_font(dir + "/wide.bmp", 576);
    FONT = load_bmp_font((dir + "/wide.bmp").c_str());
    ASSERT_TRUE(FONT);
    EXPECT_EQ(FONT->width, 576);
    print_char(255, 3, 4, WHITE);
    print_char(31, 3, 5, WHITE);
    print_char(32, 3, 6, WHITE);
    Frame frame = read_frame();
    EXPECT_EQ(frame.at(3, 4).glyph, 255);
    EXPECT_EQ(frame.at(3, 5).glyph, 31);
    EXPECT_EQ(frame.at(3, 6).glyph, 32);
}

TEST(Text, StringsRunAlongTheRowWithoutWrappingOrInterpretingBytes) {
    Headless game;
    print_msg("", 1, 1, WHITE);
    print_msg("AB\nC", 2, 3, YELLOW);
    print_msg("EDGE", 4, 62, WHITE);
    Frame frame = read_frame();
    EXPECT_EQ(frame.text(1, 0, 64), std::string(64, ' '));
    EXPECT_EQ(frame.at(2, 3).glyph, 'A');
    EXPECT_EQ(frame.at(2, 4).glyph, 'B');
    EXPECT_EQ(frame.at(2, 5).glyph, 10);
    EXPECT_EQ(frame.at(2, 6).glyph, 'C');
    EXPECT_TRUE(same_colour(frame.at(2, 6), YELLOW));
    EXPECT_EQ(frame.text(4, 62, 2), "ED");
    EXPECT_EQ(frame.text(5, 0, 2), "  ") << "nothing wraps onto the next row";
}

TEST(Text, GlyphsLayerInOneCellAndAlphaBlendsOverWhatIsBeneath) {
    Headless game;
    print_char(1, 6, 6, BLACK);
    print_char(130, 6, 6, WHITE);
    print_char(134, 6, 6, PINK);
    Colour faint = GREEN;
    faint.a = 75;
    print_char(158, 7, 7, faint);
    Frame frame = read_frame();
    EXPECT_EQ(frame.at(6, 6).glyph, 134);
    EXPECT_TRUE(same_colour(frame.at(6, 6), PINK));
    EXPECT_EQ(frame.at(7, 7).glyph, 158);
    EXPECT_EQ(frame.at(7, 7).g, 255 * 75 / 255);
    EXPECT_EQ(frame.at(7, 7).r, 0);
}

TEST(Text, TheVeilDimsWhatWasDrawnBeforeItAndNothingAfter) {
    Headless game;
    print_char('X', 1, 1, WHITE);
    darken_screen();
    print_char('Y', 1, 2, WHITE);
    Frame once = read_frame();
    EXPECT_EQ(once.at(1, 1).glyph, 'X');
    EXPECT_NEAR(once.at(1, 1).r, 55, 1);
    EXPECT_TRUE(same_colour(once.at(1, 2), WHITE));

    darken_screen();
    Frame twice = read_frame();
    EXPECT_NEAR(twice.at(1, 1).r, 55 * 55 / 255, 1);
    EXPECT_NEAR(twice.at(1, 2).r, 55, 1);

    // The veil leaves black as the draw colour: the next clear is still plain black.
    SDL_RenderClear(RENDERER);
    Frame cleared = read_frame();
    EXPECT_EQ(cleared.at(1, 1).glyph, 0);
    EXPECT_EQ(cleared.at(1, 1).r, 0);
}
