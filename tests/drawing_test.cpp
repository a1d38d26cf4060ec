// The game's fast way of drawing against the plain way (every glyph modulated on the one sheet
// and copied as it comes, every frame cleared whole): the same pixels, frame after frame, on
// every kind of screen, on the software renderer and on OpenGL in a real X window. The pause and
// the end screens are drawn once, and come back when a window system that lost them asks.
#include "harness.h"
#include "process.h"
#include "scenario.h"

#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <set>
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
    Pixels out(WINDOW_WIDTH * WINDOW_HEIGHT);
    SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(), WINDOW_WIDTH * 4);
    return out;
}

// What the X window shows, as a player sees it: OpenGL's back buffer is undefined once presented.
// Asked on SDL's own connection, so the request comes after the present's picture.
Pixels window_pixels() {
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    Pixels out;
    XImage* image = SDL_GetWindowWMInfo(WINDOW, &wm) && wm.subsystem == SDL_SYSWM_X11
                        ? XGetImage(wm.info.x11.display, wm.info.x11.window, 0, 0, WINDOW_WIDTH,
                                    WINDOW_HEIGHT, AllPlanes, ZPixmap)
                        : nullptr;
    for (int32_t y = 0; image && y < WINDOW_HEIGHT; y++)
        for (int32_t x = 0; x < WINDOW_WIDTH; x++) out.push_back(XGetPixel(image, x, y) & 0xffffff);
    if (image) XDestroyImage(image);
    return out;
}

// The events with which a window system asks for a picture it lost.
const std::set<uint8_t> ASKING = {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_SHOWN,
                                  SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_SIZE_CHANGED,
                                  SDL_WINDOWEVENT_RESIZED};

// Shows what a window system leaves of a lost picture, a dark blue here, and sends the event.
void lose_picture_then(uint8_t window_event) {
    SDL_Colour was;
    SDL_GetRenderDrawColor(RENDERER, &was.r, &was.g, &was.b, &was.a);
    SDL_SetRenderDrawColor(RENDERER, 0, 0, 90, 255);
    SDL_RenderClear(RENDERER);
    SDL_RenderPresent(RENDERER);
    SDL_SetRenderDrawColor(RENDERER, was.r, was.g, was.b, was.a);
    SDL_Event event = {};
    event.window.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(WINDOW);
    event.window.event = window_event;
    SDL_PushEvent(&event);
}

// On the reads of a waiting screen: keeps what it shows, then for each event loses the picture
// and sends the event; the next read finds the screen back if the event asked for it, else lost.
void hide_and_show(Pixels (*pixels)(), const std::vector<uint8_t>& events) {
    auto kept = std::make_shared<Pixels>();
    on_read([=] { *kept = pixels(); });
    for (size_t i = 0; i <= events.size(); i++)
        on_read([=] {
            if (i > 0) {
                EXPECT_EQ(pixels() == *kept, ASKING.contains(events[i - 1]))
                    << "after window event " << int(events[i - 1]);
            }
            if (i < events.size()) lose_picture_then(events[i]);
        });
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
    const auto play_frames = [&](int count) {
        for (int frame = 0; frame < count; frame++) {
            STAGE_TICKS += 40;
            play_frame();
            shown.push_back(pixels());
        }
    };
    play_frames(40);
    // The pause shows on the press that begins it; the queued press and release end it.
    hide_and_show(pixels, {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_FOCUS_GAINED,
                           SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_MOVED, SDL_WINDOWEVENT_RESTORED,
                           SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_SIZE_CHANGED,
                           SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESIZED});
    for (bool down : {true, false}) on_read([down] { push_key(SDLK_ESCAPE, down); });
    pause_game();
    shown.push_back(pixels());
    play_frames(1);
    // An end screen is lost while the button is up, and again while it is held.
    for (auto end_screen : {+[] { game_over(4); }, +[] { victory(); }}) {
        hide_and_show(pixels, {SDL_WINDOWEVENT_EXPOSED});
        on_read([] { push_button(MOUSE_LEFT, true); });
        hide_and_show(pixels, {SDL_WINDOWEVENT_RESTORED});
        on_read([] { push_button(MOUSE_LEFT, false); });
        end_screen();
        shown.push_back(pixels());
        play_frames(1);
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
    const std::vector<Pixels> want = screens(plain, battle, pixels);
    const std::vector<Pixels> got = screens(fast, battle, pixels);
    std::filesystem::current_path(saved);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        ASSERT_EQ(want[i].size(), size_t(WINDOW_WIDTH * WINDOW_HEIGHT)) << i;
        EXPECT_TRUE(got[i] == want[i]) << "screen " << i;
    }
    EXPECT_EQ(pending_reads(), 0u) << "every screen took its input";
    EXPECT_NE(want[3], want[42]) << "the battle changes, or the fast way's reuse goes untested";
    end_play();
}
} // namespace

TEST(Drawing, TintedSheetsOnSoftwareMatchAndComeBack) {
    Headless game;
    compare_ways(Way::TINTED_SHEETS, renderer_pixels);
}

TEST(Drawing, BatchOnOpenGLMatchesAndComesBack) {
    VirtualDisplay xvfb;
    ASSERT_FALSE(xvfb.name.empty()) << "Xvfb did not start; make test installs it (package xvfb)";
    // SDL's first choice on an X display, named so that the harness keeps it.
    const Setting display("DISPLAY", xvfb.name), video("SDL_VIDEODRIVER", "x11"),
        renderer("SDL_RENDER_DRIVER", "opengl");
#if defined(__SANITIZE_ADDRESS__)
    // SDL on X keeps blocks of the system's D-Bus library, and Mesa's threads some of their own,
    // to the end of the process; the headless tests hold the game's own code to no leaks.
    __lsan::ScopedDisabler system_leaks;
#endif
    Headless game;
    SDL_RendererInfo info;
    ASSERT_EQ(SDL_GetRendererInfo(RENDERER, &info), 0);
    ASSERT_STREQ(info.name, "opengl");
    compare_ways(Way::BATCH, window_pixels);
}
