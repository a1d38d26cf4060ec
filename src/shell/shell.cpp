// Start-up, the scene loop and shutdown.
#include "shell/shell.h"

#include "display/text.h"
#include "platform/assets.h"
#include "scenes/title.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
bool start_failure(const std::string& line) {
    std::fprintf(stderr, "queltivar: %s\n", line.c_str());
    EXIT_STATUS = 1;
    STATE = nullptr;
    return false;
}

bool sdl_failure(const char* what) {
    return start_failure(std::string(what) + " failed: " + SDL_GetError());
}

void warn_silent(const char* why) {
    std::fprintf(stderr, "queltivar: warning: %s (%s); playing silent\n", why, SDL_GetError());
}

// Whether SDL_VIDEODRIVER, a comma-separated list, names `driver`.
bool asked_for(const char* driver) {
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    for (const char* name = asked; name && *name;) {
        const char* end = std::strchr(name, ',');
        const size_t length = end ? static_cast<size_t>(end - name) : std::strlen(name);
        if (length == std::strlen(driver) && SDL_strncasecmp(name, driver, length) == 0)
            return true;
        name = end ? end + 1 : name + length;
    }
    return false;
}

// SDL falls back on a driver that shows nothing when no display can be opened; a game nobody
// can see would run until it is killed. Asked for by name (as the tests do), it is wanted.
bool no_display() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool shows_nothing =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    return shows_nothing && !asked_for(driver);
}

// Only the window manager shows it: the game plays the same without, so it runs on, warned.
void set_window_icon(const char* path) {
    const AssetFile file = open_asset(path);
    SDL_Surface* icon =
        file.file ? SDL_LoadBMP_RW(SDL_RWFromFP(file.file.get(), SDL_FALSE), 1) : nullptr;
    if (!icon) {
        std::fprintf(stderr, "queltivar: warning: cannot load %s: %s\n",
                     absolute_path(path).c_str(), file.file ? SDL_GetError() : file.reason);
        return;
    }
    SDL_SetWindowIcon(WINDOW, icon);
    SDL_FreeSurface(icon);
}
} // namespace

bool start_up() {
    // Only what the game uses; joysticks, controllers, haptics and sensors cost start-up time
    // (device scans, library loads) for input the game never reads. Audio comes apart, below.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        sdl_failure("SDL_Init");
        SDL_Quit();
        return false;
    }
    if (no_display()) {
        start_failure("no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)");
        SDL_Quit();
        return false;
    }
    // Before the font loads, so that a font failure, which clears STATE, is not overwritten.
    STATE = title;
    seed_noise(static_cast<uint32_t>(SDL_GetTicks64()));

    // No sound system at all is met like a device that will not open: a silent game.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        warn_silent("no audio");
    } else {
        AUDIO_DEVICE_ID = SDL_OpenAudioDevice(nullptr, 0, &AUDIO_SPEC, nullptr, 0);
        if (AUDIO_DEVICE_ID == 0)
            warn_silent("no audio device");
        else
            SDL_PauseAudioDevice(AUDIO_DEVICE_ID, 0);
    }

    WINDOW = SDL_CreateWindow(WINDOW_CAPTION, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              WINDOW_WIDTH, WINDOW_HEIGHT, SDL_WINDOW_ALLOW_HIGHDPI);
    if (!WINDOW) {
        sdl_failure("SDL_CreateWindow");
        shut_down();
        return false;
    }
    RENDERER = SDL_CreateRenderer(WINDOW, -1, 0);
    if (!RENDERER) {
        sdl_failure("SDL_CreateRenderer");
        shut_down();
        return false;
    }
    // On a high-DPI display the drawable is larger than the window; the grid must still fill it.
    SDL_RenderSetLogicalSize(RENDERER, WINDOW_WIDTH, WINDOW_HEIGHT);
    return true;
}

void run_scenes() {
    while (STATE) {
        CHANGE_STATE = 0;
        STATE();
    }
}

void shut_down() {
    FONT.reset();
    if (RENDERER) SDL_DestroyRenderer(RENDERER);
    if (WINDOW) SDL_DestroyWindow(WINDOW);
    RENDERER = nullptr;
    WINDOW = nullptr;
    SDL_Quit(); // also closes the audio device and stops its thread
    AUDIO_DEVICE_ID = 0;
}

bool start_game() {
    if (!start_up()) return false;
    FONT = load_bmp_font(asset_path("font.bmp").c_str());
    if (FONT) set_window_icon(asset_path("icon.bmp").c_str());
    return true;
}

int run_game() {
    if (!start_game()) return EXIT_STATUS;
    run_scenes();
    shut_down();
    return EXIT_STATUS;
}
