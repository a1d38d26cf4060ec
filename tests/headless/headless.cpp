// The game's own start-up with nothing shown or heard, a driven clock and made fonts.
#include "headless.h"

#include "platform/clock.h"
#include "shell/shell.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

uint64_t FAKE_TICKS = 0;

void use_dummy_drivers(bool replace) {
    setenv("SDL_VIDEODRIVER", "dummy", replace);
    setenv("SDL_AUDIODRIVER", "dummy", replace);
    setenv("SDL_RENDER_DRIVER", "software", replace);
}

bool start_headless(bool replace) {
    use_dummy_drivers(replace);
    if (!start_up()) return false;
    if (AUDIO_DEVICE_ID) SDL_CloseAudioDevice(AUDIO_DEVICE_ID);
    AUDIO_DEVICE_ID = 0;
    return true;
}

void push_event(SDL_Event& event) {
    if (SDL_PushEvent(&event) != 1) throw std::runtime_error(SDL_GetError());
}

void push_key(int32_t keycode, bool down, uint16_t modifiers) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = keycode;
    event.key.keysym.mod = modifiers;
    push_event(event);
}

// The game reads the pointer where it is when it reads input, not from the event.
void push_button(uint8_t button, bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    push_event(event);
}

void push_quit() {
    SDL_Event event = {};
    event.type = SDL_QUIT;
    push_event(event);
}

void drive_clock() {
    TICK_SOURCE = [] { return FAKE_TICKS; };
}

std::unique_ptr<Font> font_from_sheet(SDL_Surface* sheet, Tint tint) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("queltivar-sheet-" + std::to_string(getpid()) + ".bmp"))
                                 .string();
    std::unique_ptr<Font> font;
    if (SDL_SaveBMP(sheet, path.c_str()) == 0) font = load_bmp_font(path.c_str(), tint);
    std::remove(path.c_str());
    return font;
}

NoFont::NoFont() : saved(std::move(FONT)) {}

NoFont::~NoFont() {
    FONT = std::move(saved);
}
