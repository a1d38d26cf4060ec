// The game's fast way of drawing against the plain way (every glyph modulated on the one sheet
// and copied as it comes, every frame cleared whole): the same pixels, frame after frame, on
// every kind of screen, on the software renderer and on OpenGL in a real X window.
#include "harness.h"
#include "scenario.h"

#include "display/text.h"
#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
// Last, for the macros Xlib defines; its font handle must not meet the game's Font.
#define Font XFont
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Font

namespace {
using Pixels = std::vector<uint32_t>;

// What the renderer holds after the present: the software renderer keeps its picture.
Pixels renderer_pixels() {
    Pixels out(static_cast<size_t>(COLUMNS * CELL * ROWS * CELL));
    SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(),
                         COLUMNS * CELL * 4);
    return out;
}

// What the X window shows, as a player sees it: OpenGL's back buffer is undefined once presented.
// Asked on SDL's own connection, so the request comes after the present's picture.
Pixels window_pixels() {
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    Pixels out;
    if (!SDL_GetWindowWMInfo(WINDOW, &wm) || wm.subsystem != SDL_SYSWM_X11) return out;
    XImage* image = XGetImage(wm.info.x11.display, wm.info.x11.window, 0, 0, COLUMNS * CELL,
                              ROWS * CELL, AllPlanes, ZPixmap);
    // Depth 24 comes as 32 bits a pixel.
    for (int32_t y = 0; image && y < ROWS * CELL; y++) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(image->data + y * image->bytes_per_line);
        for (int32_t x = 0; x < COLUMNS * CELL; x++) out.push_back(row[x] & 0xffffff);
    }
    if (image) XDestroyImage(image);
    return out;
}

// The pause shows on the press that begins it; this press and release end it.
void press_escape() {
    for (bool down : {true, false}) on_read([down] { push_key(SDLK_ESCAPE, down); });
}

void click() {
    on_read([] { push_button(MOUSE_LEFT, true); });
    on_read([] { push_button(MOUSE_LEFT, false); });
}

// Everything the screens show, in `font`: title frames with the slider moving, a crowded battle
// whose ships move, fire, flash and die, the pause, defeat and victory, and play after each.
std::vector<Pixels> screens(std::unique_ptr<Font>& font, const Snapshot& battle,
                            Pixels (*pixels)()) {
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
        FAKE_TICKS += 40;
        play_frame();
        shown.push_back(pixels());
    }
    for (void (*screen)() : {+[] { press_escape(), pause_game(); }, +[] { click(), game_over(4); },
                             +[] { click(), victory(); }}) {
        screen();
        shown.push_back(pixels());
        FAKE_TICKS += 40;
        play_frame();
        shown.push_back(pixels());
    }
    FONT.swap(font);
    return shown;
}

// Both ways through every screen on the renderer up now, read back by `pixels`.
void compare_ways(Way fast_way, Pixels (*pixels)()) {
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(QUELTIVAR_SOURCE_DIR);
    auto fast = load_bmp_font("assets/font.bmp");
    auto plain = load_bmp_font("assets/font.bmp", Tint::PER_DRAW);
    ASSERT_EQ(drawing_way(*fast), fast_way) << "the two ways must differ to be compared";
    ASSERT_EQ(drawing_way(*plain), Way::PLAIN);
    const Snapshot battle = crowd(150);

    const std::vector<Pixels> want = screens(plain, battle, pixels),
                              got = screens(fast, battle, pixels);
    std::filesystem::current_path(saved);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        ASSERT_EQ(want[i].size(), static_cast<size_t>(COLUMNS * CELL * ROWS * CELL)) << i;
        EXPECT_TRUE(got[i] == want[i]) << "screen " << i;
    }
    EXPECT_EQ(pending_reads(), 0u) << "every screen took its input";
    // The battle really changed from frame to frame, or the fast way's reuse went untested.
    EXPECT_NE(want[3], want[42]);
    end_play();
}

// Sets an environment variable for the life of the record, then puts back what was there.
struct Setting {
    const char* name;
    std::optional<std::string> saved;
    Setting(const char* variable, const std::string& value) : name(variable) {
        if (const char* was = std::getenv(name)) saved = was;
        setenv(name, value.c_str(), 1);
    }
    ~Setting() {
        if (saved)
            setenv(name, saved->c_str(), 1);
        else
            unsetenv(name);
    }
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;
};

// SDL on X keeps blocks of the system's D-Bus library, and Mesa's threads keep some of their own,
// to the end of the process; the game's own code is held to no leaks by the headless tests.
struct SystemLeaksIgnored {
#if defined(__SANITIZE_ADDRESS__)
    SystemLeaksIgnored() {
        __lsan_disable();
    }
    ~SystemLeaksIgnored() {
        __lsan_enable();
    }
#endif
};
} // namespace

TEST(Drawing, OnTheSoftwareRendererTheTintedSheetsShowThePlainWaysPixelsOnEveryScreen) {
    Headless game;
    compare_ways(Way::TINTED_SHEETS, renderer_pixels);
}

TEST(Drawing, OnOpenGLInARealWindowTheBatchShowsThePlainWaysPixelsOnEveryScreen) {
    VirtualDisplay xvfb;
    ASSERT_FALSE(xvfb.name.empty()) << "Xvfb did not start; make test installs it (package xvfb)";
    // SDL's first choice on an X display, named so that the harness keeps it.
    const Setting display("DISPLAY", xvfb.name), video("SDL_VIDEODRIVER", "x11"),
        renderer("SDL_RENDER_DRIVER", "opengl");
    const SystemLeaksIgnored system;
    Headless game;
    SDL_RendererInfo info;
    ASSERT_EQ(SDL_GetRendererInfo(RENDERER, &info), 0);
    ASSERT_STREQ(info.name, "opengl");
    compare_ways(Way::BATCH, window_pixels);
}
