// The game's fast way of drawing against the plain way (every glyph modulated on the one sheet,
// every frame cleared whole): the same pixels, frame after frame, on every kind of screen.
#include "harness.h"
#include "scenario.h"

#include "display/text.h"
#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {
using Pixels = std::vector<uint32_t>;

Pixels pixels() {
    Pixels out(static_cast<size_t>(COLUMNS * CELL * ROWS * CELL));
    SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(),
                         COLUMNS * CELL * 4);
    return out;
}

// The pause shows on the press that begins it; this press and release end it.
void press_escape() {
    for (bool down : {true, false}) on_read([down] { push_key(SDLK_ESCAPE, down); });
}

void click() {
    on_read([] { push_button(SDL_BUTTON_LEFT, true); });
    on_read([] { push_button(SDL_BUTTON_LEFT, false); });
}

// Everything the screens show, in `font`: title frames with the slider moving, a crowded battle
// whose ships move, fire, flash and die, the pause, defeat and victory, and play after each.
std::vector<Pixels> screens(std::unique_ptr<Font>& font, const Snapshot& battle) {
    FONT.swap(font);
    std::vector<Pixels> shown;
    start_title();
    for (uint8_t volume : {10, 3, 19}) {
        VOLUME = volume;
        title_frame();
        shown.push_back(pixels());
    }
    empty_mixer();
    restore(battle);
    for (int32_t frame = 0; frame < 40; frame++) {
        STAGE_TICKS += 40;
        play_frame();
        shown.push_back(pixels());
    }
    for (void (*screen)() : {+[] { press_escape(), pause_game(); }, +[] { click(), game_over(4); },
                             +[] { click(), victory(); }}) {
        screen();
        shown.push_back(pixels());
        STAGE_TICKS += 40;
        play_frame();
        shown.push_back(pixels());
    }
    FONT.swap(font);
    return shown;
}
} // namespace

TEST(Drawing, TheFastWayShowsTheSamePixelsAsThePlainWayOnEveryScreen) {
    Headless game;
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(QUELTIVAR_SOURCE_DIR);
    auto fast = load_bmp_font("assets/font.bmp");
    auto plain = load_bmp_font("assets/font.bmp", Tint::PER_DRAW);
    ASSERT_TRUE(fast->sheet && !plain->sheet) << "the two ways must differ to be compared";
    const Snapshot battle = crowd(150);

    const std::vector<Pixels> want = screens(plain, battle), got = screens(fast, battle);
    std::filesystem::current_path(saved);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) EXPECT_TRUE(got[i] == want[i]) << "screen " << i;
    EXPECT_EQ(pending_reads(), 0u) << "every screen took its input";
    // The battle really changed from frame to frame, or the fast way's reuse went untested.
    EXPECT_NE(want[3], want[42]);
    end_play();
}
