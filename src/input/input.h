// Input state: held keys, held mouse buttons, the pointer; click rectangles and the slider.
#pragma once

#include <array>
#include <cstdint>

struct SDL_Rect;

// SDL keycodes of W, D, S, A, Return and Escape. Indices 0 to 3 are also directions.
constexpr std::array<int32_t, 6> CONTROLS = {119, 100, 115, 97, 13, 27};
enum : uint8_t { KEY_UP, KEY_RIGHT, KEY_DOWN, KEY_LEFT, KEY_FIRE, KEY_PAUSE };

struct Point {
    int32_t x, y; // pixels
};

extern std::array<uint8_t, 6> KEYS;  // 1 while the control is held
extern std::array<uint8_t, 6> MOUSE; // by SDL button number 1 to 5; 1 while held
constexpr uint8_t MOUSE_LEFT = 1;    // SDL's number of the left button
extern Point MOUSE_POS; // in the picture's pixels, whatever size the window is shown at
// 1 once the window system has asked for the window to be drawn again (shown, restored,
// exposed, resized); a screen that is drawn once and then waited on answers it and clears it.
extern uint8_t WINDOW_EXPOSED;

// Where read_input takes the pointer position, in window pixels; SDL's mouse state unless a
// test moves it, since SDL under the dummy video driver never moves its own pointer.
extern Point (*POINTER_SOURCE)();

// Takes the pointer and every pending event: keys, buttons, exposure; a closed window quits.
void read_input();
// Holds (1) or releases (0) the control bound to `keycode`; other keys are ignored.
void log_key(int32_t keycode, uint8_t value);

// Whether the left button is held with the pointer inside `rect`, in the picture's pixels.
bool rect_clicked(const SDL_Rect& rect);
// Draws the label and the 20-cell track from (row, col) and sets VOLUME to the cell held.
void volume_slider(int32_t row, int32_t col);
