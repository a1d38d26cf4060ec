// Input state, click rectangles and the volume slider, fed through SDL's real event queue.
#include "harness.h"

#include "display/glyphs.h"
#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <tuple>

TEST(Input, KeysAndButtonsAreHeldLevelsWhateverTheModifiersRepeatsOrQuickClicks) {
    Headless game;
    push_key(SDLK_w, true);
    push_key(SDLK_w, true); // auto-repeat
    push_key(SDLK_s, true);
    push_key(SDLK_d, true, KMOD_LSHIFT);
    push_key(SDLK_KP_ENTER, true);
    push_button(SDL_BUTTON_RIGHT, true);
    push_button(MOUSE_LEFT, true);
    push_button(MOUSE_LEFT, false);
    push_button(200, true); // no such entry: nothing is written
    read_input();
    EXPECT_EQ(KEYS, (std::array<uint8_t, 6>{1, 1, 1, 0, 0, 0})) << "W, D with Shift, S; no keypad";
    EXPECT_EQ(MOUSE, (std::array<uint8_t, 6>{0, 0, 0, 1, 0, 0})) << "a click within one read";
    push_key(SDLK_w, false);
    push_key(SDLK_RETURN, true);
    push_key(SDLK_ESCAPE, true);
    read_input();
    EXPECT_EQ(KEYS, (std::array<uint8_t, 6>{0, 1, 1, 0, 1, 1}));
    EXPECT_EQ(CHANGE_STATE, 0);
}

TEST(Input, AQuitEndsTheReadAndLeavesLaterEventsQueued) {
    Headless game;
    on_read([] { move_pointer(7, 9), push_quit(), push_key(SDLK_w, true); });
    read_input();
    EXPECT_EQ(MOUSE_POS.x, 7) << "the pointer is read before the events";
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    EXPECT_EQ(KEYS[KEY_UP], 0);
    read_input();
    EXPECT_EQ(KEYS[KEY_UP], 1) << "the key-down waited for the next read";
}

// The slider's track is a click rectangle: its edges are the rectangle's edges.
TEST(Input, TheVolumeSliderShowsTheKnobAndTakesTheTrackCellUnderTheHeldPointer) {
    Headless game;
    VOLUME = 10;
    volume_slider(30, 22);
    Frame frame = read_frame();
    EXPECT_EQ(frame.text(30, 28, 8), " VOLUME ");
    for (int i = -1; i <= 20; i++)
        EXPECT_EQ(frame.at(31, 22 + i).glyph, i == 10           ? '+'
                                              : i < 0 || i > 19 ? GLYPH_NONE
                                                                : GLYPH_SLIDER_TRACK)
            << i;
    EXPECT_TRUE(same_colour(frame.at(31, 30), WHITE));

    // Pressed above the track and slid onto it: the held level counts, not a fresh press.
    move_pointer(500, 540);
    push_button(MOUSE_LEFT, true);
    for (auto [x, y, volume] : {std::tuple{500, 540, 10},
                                {396, 558, 0},
                                {755, 575, 19},
                                {756, 560, 19},
                                {450, 576, 19},
                                {503, 560, 5}}) {
        move_pointer(x, y);
        read_input();
        volume_slider(30, 22);
        EXPECT_EQ(VOLUME, volume) << x << "," << y;
    }
    EXPECT_FALSE(rect_clicked({503, 560, 0, 18})) << "a rectangle of width 0 is never clicked";
    SDL_RenderClear(RENDERER);
    volume_slider(30, 22);
    EXPECT_EQ(read_frame().at(31, 27).glyph, '+') << "the knob follows a frame behind";
    push_button(MOUSE_LEFT, false);
    move_pointer(396, 560);
    read_input();
    volume_slider(30, 22);
    EXPECT_EQ(VOLUME, 5) << "without the button nothing changes";
}

// A window shown at another size still takes clicks where PLAY and the slider are drawn.
TEST(Input, ThePointerIsReadInThePicturesPixelsWhateverSizeTheWindowIsShownAt) {
    Headless game;
    WorkDir work;
    write_file("assets/title.txt", "art\n");
    start_title();
    // The window's size; the 1152 x 648 picture is scaled to fit, letterboxed when taller.
    for (auto [w, h, top] : {std::tuple{2304, 1296, 0}, {576, 324, 0}, {1152, 848, 100}}) {
        SDL_SetWindowSize(WINDOW, w, h);
        const double scale = w / 1152.0;
        auto point = [&](int32_t x, int32_t y) {
            move_pointer(static_cast<int32_t>(x * scale), static_cast<int32_t>(y * scale) + top);
        };
        point(1150, 646);
        read_input();
        EXPECT_EQ(std::pair(MOUSE_POS.x, MOUSE_POS.y), std::pair(1150, 646)) << w;

        push_button(MOUSE_LEFT, true);
        point(396 + 18 * 7 + 9, 567); // the eighth cell of the track
        read_input();
        volume_slider(30, 22);
        EXPECT_EQ(VOLUME, 7) << w;
        STATE = title, CHANGE_STATE = 0;
        point(PLAY_COL * CELL + CELL / 2, PLAY_ROW * CELL + CELL / 2); // PLAY's first cell
        title_frame();
        EXPECT_EQ(STATE, play) << w;
        push_button(MOUSE_LEFT, false);
        read_input();
        VOLUME = 10;
    }
}
