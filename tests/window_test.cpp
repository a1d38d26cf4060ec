// The built game in a real X window on Xvfb, played through XTest and read back from screenshots.
#include "display/glyphs.h"
#include "harness.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "waves/spawn_field.h"

#include <SDL.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
// Last, for the macros Xlib defines; its font handle must not meet the game's Font.
#define Font XFont
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#undef Font

extern char** environ;

namespace {
using namespace std::chrono_literals;
using Shot = std::vector<uint32_t>; // 0x..RRGGBB pixels row by row; empty without a window
using Wanted = std::function<bool(const Shot&)>;
// How long a wait for what should happen may last: ample on two cores busy with other work, and
// spent in full only when a check fails.
constexpr auto PATIENCE = 30s;

bool until(std::chrono::milliseconds patience, const std::function<bool()>& done) {
    for (auto end = std::chrono::steady_clock::now() + patience;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms))
        if (done()) return true;
    return false;
}

pid_t spawn(std::vector<std::string> args, const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

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
bool shows(const Shot& shot, int row, int col, int glyph, const Colour& c, int over = 0) {
    for (int y = 0; y < CELL; y++)
        for (int x = 0; x < CELL && !shot.empty(); x++) {
            uint32_t pixel = shot[(row * CELL + y) * WINDOW_WIDTH + col * CELL + x] & 0xffffff;
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

// In any of its four headings, the cannon drawn over it in the beam's colour.
Wanted player_at(int row, int col) {
    return [=](const Shot& shot) {
        for (int dir = 0; dir < 4; dir++)
            if (shows(shot, row, col, GLYPH_PLAYER + dir, WHITE, GLYPH_CANNON + dir)) return true;
        return false;
    };
}

bool marks_over_a_spawn_field(const Shot& shot) {
    for (const SpawnField& f : SPAWN_FIELD_LAYOUT) {
        bool marked = true;
        for (int i = 0; i < f.w * f.h; i++)
            marked = marked && shows(shot, f.y + i / f.w, f.x + i % f.w, '!', RED);
        if (marked) return true;
    }
    return false;
}
} // namespace

// Xvfb on a display of its choosing, the game on it and its window; all ended with the test.
class RealWindow : public testing::Test {
  protected:
    pid_t xvfb = -1, game = -1;
    Display* x = nullptr;
    Window window = 0;
    WorkDir work;
    std::string errors = work.dir + "/stderr";
    std::string screen = "1280x800x24";

    void SetUp() override {
        int fds[2] = {-1, -1};
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        // Xvfb writes the number of a display it found free.
        xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                      "-nolisten", "tcp"},
                     "/dev/null");
        close(fds[1]);
        std::string display = ":";
        pollfd ready = {.fd = fds[0], .events = POLLIN, .revents = 0};
        for (char c = 0; poll(&ready, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n';)
            display += c;
        close(fds[0]);
        x = display.size() > 1 ? XOpenDisplay(display.c_str()) : nullptr;
        ASSERT_TRUE(x) << "Xvfb did not start; make test installs it (package xvfb)";
        // A window gone mid-request must fail that request, not end the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        // Off the centre of the screen, where a centred window has PLAY under the pointer.
        XTestFakeMotionEvent(x, -1, 0, 0, CurrentTime);
        XSync(x, False);
    }
    ~RealWindow() override {
        if (x) XCloseDisplay(x);
        for (pid_t pid : {game, xvfb})
            if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }

    // Runs the game in `dir`, on SDL's default renderer unless one is named; whether its window
    // shows before it ends.
    bool launch(const std::string& dir, const std::string& renderer = "") {
        game =
            spawn({"env", "-C", dir, std::string("DISPLAY=") + DisplayString(x),
                   "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "SDL_RENDER_DRIVER=" + renderer,
                   // Libraries that SDL loads for a real window leak at exit, some from
                   // modules gone by then that no suppression can name; leaks of the game's
                   // own code are for the in-process tests to catch.
                   "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                  errors);
        siginfo_t ended = {};
        until(PATIENCE, [&] {
            waitid(P_PID, game, &ended, WEXITED | WNOHANG | WNOWAIT);
            return find_window() || ended.si_pid == game;
        });
        return window;
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
    // The window's pixels as it is shown now, row by row; empty when it cannot be read.
    Shot grab(int& width, int& height) {
        XWindowAttributes a;
        XImage* image = nullptr;
        for (int tries = 0; tries < 2 && !image; tries++)
            if ((tries == 0 || find_window()) && XGetWindowAttributes(x, window, &a))
                image = XGetImage(x, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        Shot shot;
        width = image ? a.width : 0, height = image ? a.height : 0;
        // Depth 24 comes as 32 bits a pixel.
        for (int y = 0; y < height; y++) {
            auto* row = reinterpret_cast<uint32_t*>(image->data + y * image->bytes_per_line);
            shot.insert(shot.end(), row, row + width);
        }
        if (image) XDestroyImage(image);
        return shot;
    }
    // Checked on the picture's own 1152 x 648 pixels, each read from the middle of where the
    // window shows it: exact at the picture's size and at twice it.
    bool await(const Wanted& wanted, std::chrono::milliseconds patience = PATIENCE) {
        return until(patience, [&] {
            int width = 0, height = 0;
            const Shot window_shot = grab(width, height);
            Shot shot;
            for (int y = 0; y < WINDOW_HEIGHT && width > 0; y++)
                for (int x = 0; x < WINDOW_WIDTH; x++)
                    shot.push_back(window_shot[(2 * y + 1) * height / (2 * WINDOW_HEIGHT) * width +
                                               (2 * x + 1) * width / (2 * WINDOW_WIDTH)] &
                                   0xffffff);
            return wanted(shot);
        });
    }
    void point_at(int row, int col) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(x, window, &a)) return;
        int px = 0, py = 0;
        Window child;
        XTranslateCoordinates(x, window, DefaultRootWindow(x),
                              (col * CELL + CELL / 2) * a.width / WINDOW_WIDTH,
                              (row * CELL + CELL / 2) * a.height / WINDOW_HEIGHT, &px, &py, &child);
        XTestFakeMotionEvent(x, -1, px, py, CurrentTime);
        XSync(x, False);
    }
    // `control` names a key, or is empty for the left button.
    void press(const std::string& control, bool down) {
        if (control.empty()) XTestFakeButtonEvent(x, Button1, down, CurrentTime);
        KeyCode key = XKeysymToKeycode(x, XStringToKeysym(control.c_str()));
        if (!control.empty()) XTestFakeKeyEvent(x, key, down, CurrentTime);
        XSync(x, False);
    }
    bool hold(const std::string& control, const Wanted& wanted,
              std::chrono::milliseconds patience = 10s) {
        press(control, true);
        bool seen = await(wanted, patience);
        press(control, false);
        return seen;
    }
    // For an effect that shows only after the release. The game reads held levels, so a press
    // released before its next frame goes unseen: each try holds longer.
    bool click(const std::string& control, const Wanted& wanted) {
        for (auto held = 200ms; held < 4s; held *= 2) {
            press(control, true);
            std::this_thread::sleep_for(held);
            press(control, false);
            if (await(wanted, 5s)) return true;
        }
        return false;
    }
    void close_window() {
        XEvent event = {};
        event.xclient = {
            ClientMessage, 0, True, x, window, XInternAtom(x, "WM_PROTOCOLS", False), 32, {}};
        event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        XSendEvent(x, window, False, NoEventMask, &event);
        XSync(x, False);
    }
    std::optional<int> exit_status() {
        int status = 0;
        if (!until(PATIENCE, [&] { return game > 0 && waitpid(game, &status, WNOHANG) == game; }))
            return {};
        game = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string stderr_text() {
        std::ifstream text(errors);
        return {std::istreambuf_iterator<char>(text), {}};
    }
};

TEST_F(RealWindow, APlayerSetsTheVolumeStartsAWaveMovesFiresPausesAndClosesTheWindow) {
    ASSERT_TRUE(launch(QUELTIVAR_SOURCE_DIR)) << stderr_text();
    EXPECT_TRUE(await([](const Shot& shot) {
        bool caption = true;
        for (int i = 0; i < CAPTION_CELLS; i++)
            caption = caption && shows(shot, 35, 1 + i, caption_glyph(i), DARK_GRAY);
        return caption && text_at(5, 21, "QUELTIVAR NOSPERIDA KU", WHITE)(shot) &&
               text_at(PLAY_ROW, PLAY_COL, PLAY_LABEL, WHITE)(shot) &&
               shows(shot, 31, 32, '+', WHITE);
    })) << "the title screen";

    point_at(31, 32);
    EXPECT_TRUE(hold("", [&](const Shot& shot) {
        point_at(31, 37); // dragged, with the button held
        return shows(shot, 31, 37, '+', WHITE) && shows(shot, 31, 32, GLYPH_SLIDER_TRACK, WHITE);
    })) << "the knob follows the pointer dragged along the volume track";

    point_at(PLAY_ROW, PLAY_COL + 1);
    ASSERT_TRUE(click("", [](const Shot& shot) {
        return player_at(18, 32)(shot) && text_at(1, 1, ">LASER: ", WHITE)(shot);
    })) << "PLAY leads to the play screen";
    // The console greys while waves are busy; its last line shows until level 1 is over.
    ASSERT_TRUE(hold("", text_at(34, 1, ">Click anywhere to begin", DARK_GRAY)))
        << "a click starts the waves";
    EXPECT_TRUE(await(marks_over_a_spawn_field)) << "red marks blink over a spawn field";

    // Walls end both moves, so where the ship stops does not hang on how long a key is held.
    ASSERT_TRUE(hold("s", player_at(25, 32))) << "S moves the ship down";
    ASSERT_TRUE(hold("a", player_at(25, 24))) << "A moves the ship left";
    // Rams of the first two blocks climb to the row under the top rule and turn along it, across
    // the open column above the ship; the second block comes 10 s after the first. The backing
    // block is full: the cell is empty, not covered.
    EXPECT_TRUE(hold(
        "Return",
        [](const Shot& shot) {
            return shows(shot, 1, 57, '*', DARK_GRAY) && shows(shot, 1, 58, GLYPH_BLOCK, BLACK);
        },
        30s))
        << "a shot at a ram takes the last of 50 marks off the laser bar";

    const Wanted paused = text_at(17, 18, "Press ESC again to unpause", WHITE);
    EXPECT_TRUE(hold("Escape", paused)) << "Escape pauses";
    EXPECT_TRUE(click("Escape", [&](const Shot& shot) {
        return !paused(shot) && text_at(1, 1, ">LASER: ", DARK_GRAY)(shot);
    })) << "Escape again unpauses";

    close_window();
    EXPECT_EQ(exit_status(), 0) << stderr_text();
}

TEST_F(RealWindow, AMissingAssetFileIsNamedOnStandardErrorAndEndsTheGameWithStatusOne) {
    namespace fs = std::filesystem;
    for (const std::string missing : {"assets/font.bmp", "assets/map.dat"}) {
        SCOPED_TRACE(missing);
        fs::copy(fs::path(QUELTIVAR_SOURCE_DIR) / "assets", work.dir + "/assets",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::remove(work.dir + "/" + missing);
        launch(work.dir);
        // The map is read when a game starts.
        if (missing.ends_with("map.dat")) {
            ASSERT_TRUE(await(text_at(PLAY_ROW, PLAY_COL, PLAY_LABEL, WHITE))) << stderr_text();
            point_at(PLAY_ROW, PLAY_COL + 1);
            EXPECT_TRUE(click("", [](const Shot& shot) { return shot.empty(); }));
        }
        ASSERT_EQ(exit_status(), 1);
        EXPECT_NE(stderr_text().find(missing), std::string::npos) << stderr_text();
    }
}

// Room on the screen for the window at twice its size.
class ScaledWindow : public RealWindow {
  protected:
    ScaledWindow() {
        screen = "2400x1400x24";
    }
    // The window shown at `scale` times the picture's size, as a window manager or a desktop's
    // scaling would show it.
    void show_at(double scale) {
        // At the screen's corner: a window partly off the screen cannot be read back.
        XMoveResizeWindow(x, window, 0, 0, unsigned(WINDOW_WIDTH * scale),
                          unsigned(WINDOW_HEIGHT * scale));
        XSync(x, False);
    }
    // The title drawn to fit the window at `scale`: the white name where it falls at that scale.
    // Drawn at any other, that part of the window holds only grey art or nothing.
    bool title_drawn_at(double scale) {
        return until(PATIENCE, [&] {
            int width = 0, height = 0, white = 0;
            const Shot shot = grab(width, height);
            for (int y = int(5 * CELL * scale); y < int(6 * CELL * scale) && y < height; y++)
                for (int x = int(21 * CELL * scale); x < int(43 * CELL * scale) && x < width; x++)
                    white += (shot[y * width + x] & 0xffffff) == 0xffffff;
            return white > 50;
        });
    }
    // A click on the title at `scale`, held longer each try, until its effect shows. At half the
    // size a glyph's strokes are lost, so the effect is read with the window at full size.
    bool click_at(double scale, int row, int col, const Wanted& wanted) {
        for (auto held = 200ms; held < 4s; held *= 2) {
            show_at(scale);
            if (!title_drawn_at(scale)) return false;
            point_at(row, col);
            press("", true);
            std::this_thread::sleep_for(held);
            press("", false);
            if (scale < 1) show_at(1);
            if (await(wanted, 3s)) return true;
        }
        return false;
    }
};

TEST_F(ScaledWindow, AWindowShownAtHalfOrTwiceItsSizeTakesClicksWhereThePictureIsDrawn) {
    for (double scale : {0.5, 2.0}) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(launch(QUELTIVAR_SOURCE_DIR)) << stderr_text();
        ASSERT_TRUE(await(text_at(PLAY_ROW, PLAY_COL, PLAY_LABEL, WHITE)));
        EXPECT_TRUE(click_at(scale, 31, 37, [](const Shot& shot) {
            return shows(shot, 31, 37, '+', WHITE) &&
                   shows(shot, 31, 32, GLYPH_SLIDER_TRACK, WHITE);
        })) << "the knob goes to the track cell clicked";
        ASSERT_TRUE(click_at(scale, PLAY_ROW, PLAY_COL + 1, [](const Shot& shot) {
            return player_at(18, 32)(shot) && text_at(1, 1, ">LASER: ", WHITE)(shot);
        })) << "PLAY leads to the play screen";
        if (scale > 1) {
            EXPECT_TRUE(hold("", text_at(34, 1, ">Click anywhere to begin", DARK_GRAY)))
                << "a click starts the waves";
        }
        close_window();
        EXPECT_EQ(exit_status(), 0) << stderr_text();
    }
}

TEST_F(RealWindow, APauseCoveredOrUnmappedComesBackOnTheDefaultAndTheSoftwareRenderer) {
    for (const std::string renderer : {"", "software"}) {
        SCOPED_TRACE("renderer '" + renderer + "'");
        ASSERT_TRUE(launch(QUELTIVAR_SOURCE_DIR, renderer)) << stderr_text();
        ASSERT_TRUE(await(text_at(PLAY_ROW, PLAY_COL, PLAY_LABEL, WHITE)));
        point_at(PLAY_ROW, PLAY_COL + 1);
        ASSERT_TRUE(click("", text_at(1, 1, ">LASER: ", WHITE)));
        Shot paused;
        ASSERT_TRUE(hold("Escape", [&](const Shot& shot) {
            paused = shot;
            return text_at(17, 18, "Press ESC again to unpause", WHITE)(shot);
        }));
        auto as_paused = [&](const Shot& shot) { return shot == paused; };

        XWindowAttributes at;
        XGetWindowAttributes(x, window, &at);
        const Window cover = XCreateSimpleWindow(x, DefaultRootWindow(x), at.x, at.y, at.width,
                                                 at.height, 0, 0, 0x808080);
        XMapRaised(x, cover);
        XSync(x, False);
        XDestroyWindow(x, cover);
        XSync(x, False);
        EXPECT_TRUE(await(as_paused)) << "uncovered";

        const Window shown = window;
        XUnmapWindow(x, shown);
        XSync(x, False);
        EXPECT_TRUE(until(PATIENCE, [&] { return !find_window(); })) << "unmapped";
        XMapWindow(x, shown);
        XSync(x, False);
        EXPECT_TRUE(await(as_paused)) << "mapped again";

        close_window();
        EXPECT_EQ(exit_status(), 0) << stderr_text();
    }
}
