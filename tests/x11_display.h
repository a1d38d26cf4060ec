// The built game in a real window on a virtual X display; Xlib's names stay in the .cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using Shot = std::vector<uint32_t>; // 0x??RRGGBB pixels row by row; empty when there is no window
using Wanted = std::function<bool(const Shot&)>;

// Xvfb on a display it picks, a connection to it, the game and its window: all ended with it.
struct XSession {
    void* display = nullptr; // null when Xvfb did not start
    int xvfb = -1, game = -1;
    unsigned long window = 0;
    XSession();
    ~XSession();
};

// Starts the game in `dir` with its stderr in `err`; whether its window shows before it ends.
bool launch(XSession& x, const std::string& dir, const std::string& err);
// Whether a screenshot within `seconds` is what is wanted.
bool await(XSession& x, const Wanted& wanted, int seconds = 10);
void point_at(XSession& x, int px, int py); // window pixels
// `control` is a keysym name, or "" for the left button.
bool hold(XSession& x, const std::string& control, const Wanted& wanted);
// Pressed and released, for an effect that shows only after the release.
bool click(XSession& x, const std::string& control, const Wanted& wanted);
// As a window manager does when the user closes the window.
void close_window(XSession& x);
// Waits up to 10 s for the game to end.
std::optional<int> exit_status(XSession& x);
