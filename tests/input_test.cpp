// Input state, click rectangles and the volume slider, fed through SDL's real event queue.
#include "harness.h"

#include "input/input.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {
void dummy_scene() {}
} // namespace

TEST(Input, HeldKeysAreLevelsWhateverTheModifiersOrRepeats) {
    Headless game;
    push_key(SDLK_w, true);
    push_key(SDLK_w, true); // auto-repeat
    push_key(SDLK_s, true);
    read_input();
    EXPECT_EQ(KEYS[KEY_UP], 1);
    EXPECT_EQ(KEYS[KEY_DOWN], 1);
    push_key(SDLK_w, false);
    push_key(SDLK_d, true, KMOD_LSHIFT);
    push_key(SDLK_KP_ENTER, true);
    push_key(SDLK_x, true);
    read_input();
    EXPECT_EQ(KEYS[KEY_UP], 0);
    EXPECT_EQ(KEYS[KEY_RIGHT], 1) << "Shift+D is D";
    EXPECT_EQ(KEYS[KEY_FIRE], 0) << "the keypad's Enter is not the fire key";
    push_key(SDLK_RETURN, true);
    push_key(SDLK_ESCAPE, true);
    read_input();
    EXPECT_EQ(KEYS[KEY_FIRE], 1);
    EXPECT_EQ(KEYS[KEY_PAUSE], 1);
}

TEST(Input, ButtonsAreHeldByNumberAndAClickWithinOneReadLeavesNoTrace) {
    Headless game;
    push_button(SDL_BUTTON_RIGHT, true);
    read_input();
    EXPECT_EQ(MOUSE[SDL_BUTTON_RIGHT], 1);
    EXPECT_EQ(MOUSE[SDL_BUTTON_LEFT], 0);
    push_button(SDL_BUTTON_LEFT, true);
    push_button(SDL_BUTTON_LEFT, false);
    push_button(200, true); // no such entry: ignored, and nothing is written out of bounds
    read_input();
    EXPECT_EQ(MOUSE[SDL_BUTTON_LEFT], 0);
    EXPECT_EQ(CHANGE_STATE, 0);
}

TEST(Input, AQuitEndsTheReadAndLeavesLaterEventsQueued) {
    Headless game;
    STATE = dummy_scene;
    push_quit();
    push_key(SDLK_w, true);
    read_input();
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    EXPECT_EQ(KEYS[KEY_UP], 0);
    read_input();
    EXPECT_EQ(KEYS[KEY_UP], 1) << "the key-down waited for the next read";
}

TEST(Input, ThePointerIsReadOncePerCallBeforeTheEvents) {
    Headless game;
    move_pointer(100, 200);
    read_input();
    EXPECT_EQ(MOUSE_POS.x, 100);
    EXPECT_EQ(MOUSE_POS.y, 200);
    on_read([] { move_pointer(7, 9); });
    read_input();
    EXPECT_EQ(MOUSE_POS.x, 7);
    EXPECT_EQ(pending_reads(), 0u);
}

TEST(Input, RectanglesReactToTheHeldLeftButtonInsideTheirPixels) {
    Headless game;
    SDL_Rect play = {540, 324, 72, 18};
    move_pointer(540, 324);
    read_input();
    EXPECT_FALSE(rect_clicked(play)) << "no button held";
    push_button(SDL_BUTTON_LEFT, true);
    read_input();
    EXPECT_TRUE(rect_clicked(play));
    for (auto [x, y] : {std::pair{611, 341}, {539, 330}, {612, 330}, {560, 323}, {560, 342}}) {
        move_pointer(x, y);
        read_input();
        EXPECT_EQ(rect_clicked(play), x == 611) << x << "," << y;
    }
    move_pointer(0, 0);
    read_input();
    EXPECT_FALSE(rect_clicked({0, 0, 0, 18})) << "a rectangle of width 0 is never clicked";
    EXPECT_FALSE(rect_clicked({0, 0, 18, 0}));
}

TEST(Input, TheVolumeSliderShowsTheKnobAndFollowsTheTrackCellUnderThePointer) {
    Headless game;
    VOLUME = 10;
    volume_slider(30, 22);
    Frame frame = read_frame();
    EXPECT_EQ(frame.text(30, 29, 6), "VOLUME");
    EXPECT_EQ(frame.at(30, 28).glyph, 0);
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(frame.at(31, 22 + i).glyph, i == 10 ? '+' : 159) << i;
        EXPECT_TRUE(same_colour(frame.at(31, 22 + i), WHITE));
    }
    EXPECT_EQ(frame.at(31, 42).glyph, 0);

    struct Case {
        int32_t x, y;
        uint8_t volume;
    };
    // Pressed above the track and slid onto it: the held level counts, not a fresh press.
    move_pointer(500, 540);
    push_button(SDL_BUTTON_LEFT, true);
    read_input();
    volume_slider(30, 22);
    EXPECT_EQ(VOLUME, 10);
    for (Case c : {Case{396, 558, 0},
                   {396 + 359, 575, 19},
                   {396 + 360, 560, 19},
                   {450, 576, 19},
                   {400, 557, 19},
                   {396 + 5 * 18 + 17, 560, 5}}) {
        move_pointer(c.x, c.y);
        read_input();
        volume_slider(30, 22);
        EXPECT_EQ(VOLUME, c.volume) << c.x << "," << c.y;
    }
    SDL_RenderClear(RENDERER);
    volume_slider(30, 22);
    EXPECT_EQ(read_frame().at(31, 27).glyph, '+') << "the knob shows the value of the last frame";

    push_button(SDL_BUTTON_LEFT, false);
    move_pointer(396, 560);
    read_input();
    volume_slider(30, 22);
    EXPECT_EQ(VOLUME, 5) << "without the button nothing changes";
}
