// What reaches the screen: the built game in a real X window played through XTest; the fast way of
// drawing against the plain way (every glyph modulated as it comes, every frame cleared whole) on
// both renderers. The pause and the end screens come back when a window system that lost them asks.
#include "harness.h"
#include "process.h"
#include "scenario.h"

#include "input/input.h"
#include "platform/platform.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <gtest/gtest.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
// Last, for the macros Xlib defines; its font handle must not meet the game's Font.
#define Font XFont
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#undef Font

using Pixels = std::vector<uint32_t>; // row by row at the picture's own size; empty if unread

namespace {
using namespace std::chrono_literals;
using Wanted = std::function<bool(const Pixels&)>;
constexpr auto PATIENCE = 30s; // ample on two busy cores, spent in full only on a failure

bool ink(int glyph, int x, int y) {
    static SDL_Surface* sheet = [] {
        std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> loaded(
            SDL_LoadBMP(QUELTIVAR_SOURCE_DIR "/assets/font.bmp"), SDL_FreeSurface);
        return SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0);
    }();
    const auto* argb = static_cast<const uint32_t*>(sheet->pixels);
    return argb[(CELL * (glyph / 16) + y) * sheet->pitch / 4 + CELL * (glyph % 16) + x] >> 24;
}

// All the text's ink in the colour and no other pixel of its cells so.
Wanted text_at(int row, int col, std::string_view text, const Colour& c) {
    return [=](const Pixels& shot) {
        for (int x = 0; x < CELL * int(text.size()) && !shot.empty(); x++)
            for (int y = 0; y < CELL; y++)
                if ((shot[(row * CELL + y) * WINDOW_WIDTH + col * CELL + x] ==
                     uint32_t(c.r << 16 | c.g << 8 | c.b)) !=
                    ink(uint8_t(text[x / CELL]), x % CELL, y))
                    return false;
        return !shot.empty();
    };
}

// The picture's own pixels, each read from the middle of where `w` shows it: exact at its size and
// at twice it. Empty when the window cannot be read.
Pixels read_window(Display* x, Window w) {
    XWindowAttributes a;
    XImage* image = XGetWindowAttributes(x, w, &a)
                        ? XGetImage(x, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap)
                        : nullptr;
    Pixels shot;
    for (int y = 0; image && y < WINDOW_HEIGHT; y++)
        for (int col = 0; col < WINDOW_WIDTH; col++)
            shot.push_back(0xffffff & XGetPixel(image, (2 * col + 1) * a.width / (2 * WINDOW_WIDTH),
                                                (2 * y + 1) * a.height / (2 * WINDOW_HEIGHT)));
    if (image) XDestroyImage(image);
    return shot;
}

// What the X window shows, as a player sees it: OpenGL's back buffer is undefined once presented.
// Asked on SDL's own connection, so the request comes after the present's picture.
Pixels window_pixels() {
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    return SDL_GetWindowWMInfo(WINDOW, &wm) && wm.subsystem == SDL_SYSWM_X11
               ? read_window(wm.info.x11.display, wm.info.x11.window)
               : Pixels{};
}

// The events with which a window system asks for a picture it lost.
const std::vector<uint8_t> ASKING = {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_SHOWN,
                                     SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_SIZE_CHANGED,
                                     SDL_WINDOWEVENT_RESIZED};

// On a waiting screen's reads: keeps what it shows, then for each event loses the picture (to a
// dark blue) and sends the event; the next read finds the screen back if the event asks, else lost.
void hide_and_show(Pixels (*pixels)(), const std::vector<uint8_t>& events) {
    auto kept = std::make_shared<Pixels>();
    on_read([=] { *kept = pixels(); });
    for (uint8_t event : events) {
        on_read([=] {
            SDL_SetRenderDrawColor(RENDERER, 0, 0, 90, SDL_ALPHA_OPAQUE);
            SDL_RenderClear(RENDERER);
            SDL_RenderPresent(RENDERER);
            SDL_SetRenderDrawColor(RENDERER, 0, 0, 0, SDL_ALPHA_OPAQUE); // as the game draws
            SDL_Event asked = {};
            asked.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(WINDOW), event, 0, 0, 0, 0, 0};
            SDL_PushEvent(&asked);
        });
        on_read([=] {
            EXPECT_EQ(pixels() == *kept, std::ranges::count(ASKING, event) == 1)
                << "window event " << int(event);
        });
    }
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
            FAKE_TICKS += 40;
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
    const std::vector<Pixels> want = screens(plain, battle, pixels),
                              got = screens(fast, battle, pixels);
    std::filesystem::current_path(saved);
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_TRUE(!want[i].empty() && got.at(i) == want[i])
            << "screen " << i << " read and equal";
    EXPECT_EQ(pending_reads(), 0u) << "every screen took its input";
    EXPECT_NE(want[3], want[42]) << "the battle changes, or the fast way's reuse goes untested";
    end_play();
}
} // namespace

// Xvfb on a display of its choosing, with room for the window at twice its size, and the game on
// it; all ended with the test.
class RealWindow : public testing::Test {
  protected:
    WorkDir work;
    VirtualDisplay xvfb{"2400x1400"};
    Display* x = nullptr;
    Window window = 0;

    void SetUp() override {
        if (!xvfb.name.empty()) x = XOpenDisplay(xvfb.name.c_str());
        ASSERT_TRUE(x) << "Xvfb did not start; make test installs it (package xvfb)";
        // A window gone mid-request must fail that request, not end the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        // Off the centre of the screen, where a centred window has PLAY under the pointer.
        XTestFakeMotionEvent(x, -1, 0, 0, CurrentTime);
        XSync(x, False);
    }
    ~RealWindow() override {
        if (x) XCloseDisplay(x);
    }

    // SDL may replace the window it first shows, so the one found may go and another come.
    bool find_window() {
        Window root, parent, *windows = nullptr;
        unsigned count = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &windows, &count);
        window = 0;
        for (unsigned i = 0; i < count; i++) {
            char* name = nullptr;
            XWindowAttributes a;
            if (XFetchName(x, windows[i], &name) && std::string(name) == WINDOW_CAPTION &&
                XGetWindowAttributes(x, windows[i], &a) && a.map_state == IsViewable)
                window = windows[i];
            XFree(name);
        }
        XFree(windows);
        // As a window manager does for the window it activates.
        if (window) XSetInputFocus(x, window, RevertToPointerRoot, CurrentTime);
        return window;
    }
    bool await(const Wanted& wanted, std::chrono::milliseconds patience = PATIENCE) {
        return until(patience, [&] {
            Pixels shot = read_window(x, window);
            return wanted(shot.empty() && find_window() ? read_window(x, window) : shot);
        });
    }
    // For an effect that shows only after the release of `key`, or of the left button when none.
    // The game reads held levels and may miss a short press: each try holds longer.
    bool click(KeySym key, const Wanted& wanted) {
        for (auto held = 200ms; held < 4s; held *= 2) {
            for (bool down : {true, false}) {
                key ? XTestFakeKeyEvent(x, XKeysymToKeycode(x, key), down, CurrentTime)
                    : XTestFakeButtonEvent(x, Button1, down, CurrentTime);
                XSync(x, False);
                if (down) std::this_thread::sleep_for(held);
            }
            if (await(wanted, 5s)) return true;
        }
        return false;
    }
};

TEST_F(RealWindow, PlayedAtTwiceTheSizeOnEachRenderer) {
    const std::string errors = work.dir + "/stderr";
    std::optional<Child> game;
    for (const std::string renderer : {"", "software"}) {
        SCOPED_TRACE("renderer '" + renderer + "'");
        // In place of the game before, on SDL's default renderer unless one is named. Leaks are not
        // looked for: libraries SDL loads for a real window leak at exit.
        if (window) XKillClient(x, window);
        game.emplace(std::vector<std::string>{"env", "-C", QUELTIVAR_SOURCE_DIR,
                                              std::string("DISPLAY=") + DisplayString(x),
                                              "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                              "SDL_RENDER_DRIVER=" + renderer,
                                              "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                     errors);
        ASSERT_TRUE(until(PATIENCE, [&] { return find_window() || game->status(0ms); }) && window)
            << slurp(errors);
        // Scaled as a desktop might; at the corner, as a window partly off screen cannot be read.
        XMoveResizeWindow(x, window, 0, 0, 2 * WINDOW_WIDTH, 2 * WINDOW_HEIGHT);
        ASSERT_TRUE(await(text_at(5, 21, "QUELTIVAR NOSPERIDA KU", WHITE))) << "the title, scaled";
        // On PLAY where the window shows it; judged there unscaled, the click would miss.
        XWarpPointer(x, None, window, 0, 0, 0, 0, (2 * PLAY_COL + 3) * CELL,
                     (2 * PLAY_ROW + 1) * CELL);
        ASSERT_TRUE(click(NoSymbol, text_at(1, 1, ">LASER: ", WHITE))) << "PLAY starts a game";
        // The console greys while waves are busy; its last line shows until level 1 is over.
        ASSERT_TRUE(click(NoSymbol, text_at(34, 1, ">Click anywhere to begin", DARK_GRAY)))
            << "a click starts the waves";

        Pixels paused;
        ASSERT_TRUE(click(XK_Escape, [&](const Pixels& shot) {
            paused = shot;
            return text_at(17, 18, "Press ESC again to unpause", WHITE)(shot);
        })) << "Escape pauses";
        const Wanted as_paused = [&](const Pixels& shot) { return shot == paused; };
        // Without backing store the server keeps nothing of a window covered or unmapped.
        const Window cover = XCreateSimpleWindow(x, window, 0, 0, 99, 99, 0, 0, 0x808080);
        XMapRaised(x, cover);
        XDestroyWindow(x, cover);
        EXPECT_TRUE(await(as_paused)) << "the pause comes back uncovered";
        XUnmapWindow(x, window);
        XMapWindow(x, window);
        EXPECT_TRUE(await(as_paused)) << "the pause comes back mapped again";
        // Dimmed further under the veil.
        EXPECT_TRUE(click(XK_Escape, text_at(1, 1, ">LASER: ", DARK_GRAY))) << "Escape unpauses";
    }
}

TEST(Drawing, FastWayMatchesThePlainOnEachRendererAndComesBack) {
    VirtualDisplay xvfb;
    ASSERT_FALSE(xvfb.name.empty()) << "Xvfb did not start; make test installs it (package xvfb)";
    // No other test looks for a display in the environment.
    setenv("DISPLAY", xvfb.name.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    // SDL on X keeps blocks of D-Bus and Mesa to the end; the game's own code is held to no leaks.
    __lsan::ScopedDisabler system_leaks;
#endif
    for (const auto& [renderer, fast_way] :
         {std::pair("software", Way::TINTED_SHEETS), std::pair("opengl", Way::BATCH)}) {
        SCOPED_TRACE(renderer);
        // Over the dummy drivers the environment names, until SDL_Quit.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, renderer, SDL_HINT_OVERRIDE);
        Headless game;
        compare_ways(fast_way, window_pixels);
    }
}
