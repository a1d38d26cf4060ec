// Xvfb, the game as a child process, its window found by caption, screenshots and XTest input.
#include "x11_display.h"

#include "shell/shell.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

Display* dpy(const XSession& x) {
    return static_cast<Display*>(x.display);
}

int spawn(std::vector<std::string> args, const std::string& err) {
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

bool running(int pid) {
    siginfo_t info = {};
    return waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

void press(XSession& x, const std::string& control, bool down) {
    if (control.empty())
        XTestFakeButtonEvent(dpy(x), Button1, down, CurrentTime);
    else
        XTestFakeKeyEvent(dpy(x), XKeysymToKeycode(dpy(x), XStringToKeysym(control.c_str())), down,
                          CurrentTime);
    XSync(dpy(x), False);
}
} // namespace

XSession::XSession() {
    int fds[2];
    if (pipe(fds) != 0) return;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    // Xvfb writes the number of a display it found free: no fixed display.
    xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24",
                  "-nolisten", "tcp"},
                 "/dev/null");
    close(fds[1]);
    std::string number;
    pollfd ready = {.fd = fds[0], .events = POLLIN, .revents = 0};
    for (char c = 0; poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n';)
        number += c;
    close(fds[0]);
    if (number.empty() || !(display = XOpenDisplay((":" + number).c_str()))) return;
    // A window gone mid-request must fail that request, not end the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // Off the centre of the screen, where a centred window has PLAY under the pointer.
    XTestFakeMotionEvent(dpy(*this), -1, 0, 0, CurrentTime);
}

XSession::~XSession() {
    if (display) XCloseDisplay(dpy(*this));
    for (int pid : {game, xvfb})
        if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
}

bool launch(XSession& x, const std::string& dir, const std::string& err) {
    x.window = 0;
    x.game = spawn({"env", "-C", dir, std::string("DISPLAY=") + DisplayString(dpy(x)),
                    "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                    // The system's X and D-Bus libraries leak at exit; the game's own
                    // leaks are caught by the in-process tests.
                    "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                   err);
    for (auto end = Clock::now() + 10s; !x.window && running(x.game) && Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        Window root, parent, *windows = nullptr;
        unsigned count = 0;
        XQueryTree(dpy(x), DefaultRootWindow(dpy(x)), &root, &parent, &windows, &count);
        for (unsigned i = 0; i < count; i++) {
            char* name = nullptr;
            if (XFetchName(dpy(x), windows[i], &name) && std::string(name) == WINDOW_CAPTION)
                x.window = windows[i];
            XFree(name);
        }
        XFree(windows);
    }
    // As a window manager does for the window it activates.
    if (x.window) XSetInputFocus(dpy(x), x.window, RevertToPointerRoot, CurrentTime);
    return x.window != 0;
}

bool await(XSession& x, const Wanted& wanted, int seconds) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (; Clock::now() < end; std::this_thread::sleep_for(5ms)) {
        Shot shot;
        XImage* image =
            XGetImage(dpy(x), x.window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, AllPlanes, ZPixmap);
        // Depth 24 comes as 32 bits a pixel, the top byte unused.
        for (int y = 0; image && y < WINDOW_HEIGHT; y++) {
            const auto* row = reinterpret_cast<uint32_t*>(image->data + y * image->bytes_per_line);
            shot.insert(shot.end(), row, row + WINDOW_WIDTH);
        }
        if (image) XDestroyImage(image);
        if (wanted(shot)) return true;
    }
    return false;
}

void point_at(XSession& x, int px, int py) {
    Window child;
    XTranslateCoordinates(dpy(x), x.window, DefaultRootWindow(dpy(x)), px, py, &px, &py, &child);
    XTestFakeMotionEvent(dpy(x), -1, px, py, CurrentTime);
    XSync(dpy(x), False);
}

bool hold(XSession& x, const std::string& control, const Wanted& wanted) {
    press(x, control, true);
    bool seen = await(x, wanted);
    press(x, control, false);
    return seen;
}

bool click(XSession& x, const std::string& control, const Wanted& wanted) {
    // The game reads held levels: a press released before its next frame goes unseen.
    for (auto held = 40ms; held < 3s; held *= 2) {
        press(x, control, true);
        std::this_thread::sleep_for(held);
        press(x, control, false);
        if (await(x, wanted, 3)) return true;
    }
    return false;
}

void close_window(XSession& x) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = x.window;
    event.xclient.message_type = XInternAtom(dpy(x), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(dpy(x), "WM_DELETE_WINDOW", False));
    XSendEvent(dpy(x), x.window, False, NoEventMask, &event);
    XSync(dpy(x), False);
}

std::optional<int> exit_status(XSession& x) {
    for (auto end = Clock::now() + 10s; x.game > 0 && Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        int status = 0;
        if (waitpid(x.game, &status, WNOHANG) != x.game) continue;
        x.game = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return std::nullopt;
}
