// The game's own start-up with nothing shown or heard, and what the tests, the fuzz targets and
// the benchmarks drive it with: a clock only they move, and fonts made from sheets they draw.
#pragma once

#include "display/text.h"

#include <cstdint>
#include <memory>

struct SDL_Surface;
union SDL_Event;

// SDL's dummy video and audio drivers and its software renderer: over whatever the environment
// names when `replace`, otherwise only where it names none.
void use_dummy_drivers(bool replace);

// start_up on the dummy drivers, then the audio device closed again: the caller plays the audio
// thread's part by calling the callback itself. False when start_up failed.
bool start_headless(bool replace);

// SDL events as a player's keyboard, mouse or window manager would queue them; a queue that
// takes no more throws.
void push_event(SDL_Event& event);
void push_key(int32_t keycode, bool down, uint16_t modifiers = 0);
void push_button(uint8_t button, bool down);
void push_quit();

// Real milliseconds as the game clock reads them once drive_clock has run.
extern uint64_t FAKE_TICKS;
void drive_clock();

// The sheet loaded as the game loads a font file; null, with the failure reported, as there.
std::unique_ptr<Font> font_from_sheet(SDL_Surface* sheet, Tint tint);

// Without a font every glyph is skipped: the game with nothing drawn, while the record lives.
struct NoFont {
    std::unique_ptr<Font> saved;
    NoFont();
    ~NoFont();
    NoFont(const NoFont&) = delete;
    NoFont& operator=(const NoFont&) = delete;
};
