// Input as held levels: parts that want a single press wait for the release themselves.
#include "input/input.h"

#include "display/glyphs.h"
#include "display/text.h"
#include "platform/platform.h"
#include "sound/mixer.h"

#include <SDL.h>
#include <cmath>

namespace {
bool asks_for_drawing(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: return true;
    default: return false;
    }
}

Point sdl_pointer() {
    Point p;
    SDL_GetMouseState(&p.x, &p.y);
    return p;
}

// The renderer scales the picture to whatever size the window is shown at; clicks are judged
// where things are drawn, in the picture's own 1152 x 648.
Point on_picture(Point window) {
    if (!RENDERER) return window;
    float x = 0, y = 0;
    SDL_RenderWindowToLogical(RENDERER, window.x, window.y, &x, &y);
    return {static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y))};
}
} // namespace

std::array<uint8_t, 6> KEYS = {};
std::array<uint8_t, 6> MOUSE = {};
static_assert(MOUSE_LEFT == SDL_BUTTON_LEFT);
Point MOUSE_POS = {0, 0};
uint8_t WINDOW_EXPOSED = 0;
Point (*POINTER_SOURCE)() = sdl_pointer;

void log_key(int32_t keycode, uint8_t value) {
    for (size_t i = 0; i < CONTROLS.size(); i++)
        if (CONTROLS[i] == keycode) KEYS[i] = value;
}

void read_input() {
    // A click is judged where the pointer is now, not where its button event says.
    MOUSE_POS = on_picture(POINTER_SOURCE());
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            STATE = nullptr;
            CHANGE_STATE = 1;
            return; // later events wait for the next call
        case SDL_KEYDOWN: log_key(event.key.keysym.sym, 1); break;
        case SDL_KEYUP: log_key(event.key.keysym.sym, 0); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button < MOUSE.size())
                MOUSE[event.button.button] = event.type == SDL_MOUSEBUTTONDOWN;
            break;
        case SDL_WINDOWEVENT:
            if (asks_for_drawing(event.window)) WINDOW_EXPOSED = 1;
            break;
        default: break;
        }
    }
}

bool rect_clicked(const SDL_Rect& rect) {
    return MOUSE[MOUSE_LEFT] != 0 && MOUSE_POS.x >= rect.x && MOUSE_POS.x < rect.x + rect.w &&
           MOUSE_POS.y >= rect.y && MOUSE_POS.y < rect.y + rect.h;
}

void volume_slider(int32_t row, int32_t col) {
    print_msg("VOLUME", row, col + 7, WHITE);
    for (int32_t i = 0; i < 20; i++)
        print_char(i == VOLUME ? '+' : GLYPH_SLIDER_TRACK, row + 1, col + i, WHITE);
    // Drawn before the new value is taken: the knob follows one frame behind.
    SDL_Rect track = {col * CELL, (row + 1) * CELL, 20 * CELL, CELL};
    if (rect_clicked(track)) VOLUME = static_cast<uint8_t>((MOUSE_POS.x - col * CELL) / CELL);
}
