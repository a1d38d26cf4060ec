// The built game in a real X window on Xvfb, played through XTest and read back from screenshots.
#include "display/glyphs.h"
#include "harness.h"
#include "process.h"
#include "scenes/title.h"
#include "shell/shell.h"

#include <SDL.h>
#include <gtest/gtest.h>
// Last, for the macros Xlib defines; its font handle must not meet the game's Font.
#define Font XFont
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#undef Font

namespace {
using namespace std::chrono_literals;
using Shot = std::vector<uint32_t>; // the picture's 0xRRGGBB pixels row by row, or empty
using Wanted = std::function<bool(const Shot&)>;
// Ample on two cores busy with other work, and spent in full only when a check fails.
constexpr auto PATIENCE = 30s;

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
bool shows(const Shot& shot, int row, int col, int glyph, const Colour& c, int over = GLYPH_NONE) {
    for (int y = 0; y < CELL; y++)
        for (int x = 0; x < CELL && !shot.empty(); x++) {
            uint32_t pixel = shot[(row * CELL + y) * WINDOW_WIDTH + col * CELL + x];
            bool coloured = pixel == uint32_t(c.r << 16 | c.g << 8 | c.b);
            if (!(over && ink(over, x, y)) && coloured != ink(glyph, x, y)) return false;
        }
    return !shot.empty();
}

Wanted text_at(int row, int col, std::string_view text, const Colour& c) {
    return [=](const Shot& shot) {
        for (size_t i = 0; i < text.size(); i++)
            if (!shows(shot, row, col + int(i), uint8_t(text[i]), c)) return false;
        return true;
    };
}

const Wanted TITLE = text_at(PLAY_ROW, PLAY_COL, PLAY_LABEL, WHITE);
const Wanted PAUSED = text_at(17, 18, "Press ESC again to unpause", WHITE);
} // namespace

// Xvfb on a display of its choosing, with room for the window at twice its size, and the game on
// it; all ended with the test.
class RealWindow : public testing::Test {
  protected:
    WorkDir work;
    std::string errors = work.dir + "/stderr";
    std::optional<Child> xvfb, game;
    Display* x = nullptr;
    Window window = 0;

    void SetUp() override {
        // Xvfb writes the number of a display it found free.
        const std::string written = work.dir + "/display";
        const std::string xvfb_command =
            "exec Xvfb -displayfd 3 -screen 0 2400x1400x24 -nolisten tcp 3>" + written;
        xvfb.emplace(std::vector<std::string>{"sh", "-c", xvfb_command}, "/dev/null");
        std::string display;
        if (until(PATIENCE, [&] { return (display = slurp(written)).ends_with("\n"); }))
            x = XOpenDisplay((":" + display.substr(0, display.size() - 1)).c_str());
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

    // The game on SDL's default renderer unless one is named; whether its window shows.
    bool launch(const std::string& renderer = "") {
        game.emplace(std::vector<std::string>{"env", "-C", QUELTIVAR_SOURCE_DIR,
                                              std::string("DISPLAY=") + DisplayString(x),
                                              "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                              "SDL_RENDER_DRIVER=" + renderer,
                                              // Libraries that SDL loads for a real window
                                              // leak at exit, some from modules gone by then
                                              // that no suppression can name; the in-process
                                              // tests hold the game's own code to no leaks.
                                              "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                     errors);
        return until(PATIENCE, [&] { return find_window() || game->status(0ms); }) && window;
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
    // The picture's own 1152 x 648 pixels, each read from the middle of where the window shows it:
    // exact at the picture's size and at twice it.
    Shot picture() {
        XWindowAttributes a;
        XImage* image = nullptr;
        for (int tries = 0; tries < 2 && !image; tries++)
            if ((tries == 0 || find_window()) && XGetWindowAttributes(x, window, &a))
                image = XGetImage(x, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        Shot shot;
        for (int y = 0; image && y < WINDOW_HEIGHT; y++)
            for (int x = 0; x < WINDOW_WIDTH; x++)
                shot.push_back(XGetPixel(image, (2 * x + 1) * a.width / (2 * WINDOW_WIDTH),
                                         (2 * y + 1) * a.height / (2 * WINDOW_HEIGHT)) &
                               0xffffff);
        if (image) XDestroyImage(image);
        return shot;
    }
    bool await(const Wanted& wanted, std::chrono::milliseconds patience = PATIENCE) {
        return until(patience, [&] { return wanted(picture()); });
    }
    void point_at(int row, int col) {
        XWindowAttributes a;
        int px = 0, py = 0;
        Window child;
        if (!XGetWindowAttributes(x, window, &a)) return;
        XTranslateCoordinates(x, window, DefaultRootWindow(x),
                              (col * CELL + CELL / 2) * a.width / WINDOW_WIDTH,
                              (row * CELL + CELL / 2) * a.height / WINDOW_HEIGHT, &px, &py, &child);
        XTestFakeMotionEvent(x, -1, px, py, CurrentTime);
        XSync(x, False);
    }
    // For an effect that shows only after the release: `key` names a key, or is empty for the left
    // button. The game reads held levels, so a press released before its next frame goes unseen:
    // each try holds longer.
    bool click(const std::string& key, const Wanted& wanted) {
        const KeyCode code = XKeysymToKeycode(x, XStringToKeysym(key.c_str()));
        for (auto held = 200ms; held < 4s; held *= 2) {
            for (bool down : {true, false}) {
                if (key.empty())
                    XTestFakeButtonEvent(x, Button1, down, CurrentTime);
                else
                    XTestFakeKeyEvent(x, code, down, CurrentTime);
                XSync(x, False);
                if (down) std::this_thread::sleep_for(held);
            }
            if (await(wanted, 5s)) return true;
        }
        return false;
    }
    // Closed as a window manager closes it; the game's exit status.
    std::optional<int> close_window() {
        XEvent event = {};
        event.xclient = {
            ClientMessage, 0, True, x, window, XInternAtom(x, "WM_PROTOCOLS", False), 32, {}};
        event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        XSendEvent(x, window, False, NoEventMask, &event);
        XSync(x, False);
        return game->status(PATIENCE);
    }
};

TEST_F(RealWindow, PlayedAtTwiceTheSizeOnEachRenderer) {
    for (const std::string renderer : {"", "software"}) {
        SCOPED_TRACE("renderer '" + renderer + "'");
        ASSERT_TRUE(launch(renderer)) << slurp(errors);
        ASSERT_TRUE(await([](const Shot& shot) {
            return TITLE(shot) && text_at(5, 21, "QUELTIVAR NOSPERIDA KU", WHITE)(shot);
        })) << "the title screen";
        // As a window manager or a desktop's scaling would show it; at the screen's corner, as a
        // window partly off the screen cannot be read back.
        XMoveResizeWindow(x, window, 0, 0, 2 * WINDOW_WIDTH, 2 * WINDOW_HEIGHT);
        XSync(x, False);
        ASSERT_TRUE(await(TITLE)) << "the title drawn at twice the size";
        point_at(PLAY_ROW, PLAY_COL + 1);
        ASSERT_TRUE(click("", text_at(1, 1, ">LASER: ", WHITE))) << "PLAY leads to the play screen";
        // The console greys while waves are busy; its last line shows until level 1 is over.
        ASSERT_TRUE(click("", text_at(34, 1, ">Click anywhere to begin", DARK_GRAY)))
            << "a click starts the waves";

        Shot paused;
        ASSERT_TRUE(click("Escape", [&](const Shot& shot) {
            paused = shot;
            return PAUSED(shot);
        })) << "Escape pauses";
        const Wanted as_paused = [&](const Shot& shot) { return shot == paused; };
        XWindowAttributes at;
        XGetWindowAttributes(x, window, &at);
        const Window cover = XCreateSimpleWindow(x, DefaultRootWindow(x), at.x, at.y, at.width,
                                                 at.height, 0, 0, 0x808080);
        XMapRaised(x, cover);
        XSync(x, False);
        XDestroyWindow(x, cover);
        XSync(x, False);
        EXPECT_TRUE(await(as_paused)) << "the pause comes back uncovered";
        const Window shown = window;
        XUnmapWindow(x, shown);
        XSync(x, False);
        EXPECT_TRUE(until(PATIENCE, [&] { return !find_window(); })) << "unmapped";
        XMapWindow(x, shown);
        XSync(x, False);
        EXPECT_TRUE(await(as_paused)) << "the pause comes back mapped again";
        EXPECT_TRUE(click("Escape", [&](const Shot& shot) {
            return !PAUSED(shot) && text_at(1, 1, ">LASER: ", DARK_GRAY)(shot);
        })) << "Escape again unpauses";
        EXPECT_EQ(close_window(), 0) << slurp(errors);
    }
}
