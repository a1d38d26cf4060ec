// Start-up, the scene loop and shutdown.
#include "shell/shell.h"

#include "display/text.h"
#include "scenes/title.h"
#include "sound/mixer.h"
#include "sound/sound.h"

#include <SDL.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

Scene STATE = nullptr;
uint8_t CHANGE_STATE = 0;
SDL_Window* WINDOW = nullptr;
SDL_Renderer* RENDERER = nullptr;
uint32_t AUDIO_DEVICE_ID = 0;
int EXIT_STATUS = 0;

namespace {
constexpr const char* LOCAL_ASSETS = "assets/";

// Found from the executable, so that an installed tree still works once moved to another
// prefix; empty when SDL cannot tell where the executable is.
const std::string& installed_assets() {
    static const std::string dir = [] {
        char* base = SDL_GetBasePath();
        std::string path;
        if (base)
            path = (std::filesystem::path(base) / QUELTIVAR_DATA_FROM_GAME "/").lexically_normal();
        SDL_free(base);
        return path;
    }();
    return dir;
}

bool has_local_assets() {
    std::error_code ignored;
    return std::filesystem::is_directory(LOCAL_ASSETS, ignored);
}

// A file missing from the installed data directory was first looked for in the working directory.
std::string also_looked(const char* path) {
    const std::string& installed = installed_assets();
    if (installed.empty() || std::string_view(path).rfind(installed, 0) != 0) return "";
    std::error_code ignored;
    const auto local = std::filesystem::current_path(ignored) / LOCAL_ASSETS;
    return " (looked first for a folder " + local.string() + ", then in " + installed + ")";
}
} // namespace

std::string asset_path(const char* name) {
    if (has_local_assets() || installed_assets().empty()) return LOCAL_ASSETS + std::string(name);
    return installed_assets() + name;
}

void asset_failure(const char* path, const char* reason) {
    std::fprintf(stderr, "queltivar: cannot load %s: %s%s\n", path, reason,
                 also_looked(path).c_str());
    EXIT_STATUS = 1;
    STATE = nullptr;
}

std::optional<std::vector<uint8_t>> read_asset(const char* path, size_t limit) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        asset_failure(path, std::strerror(errno));
        CHANGE_STATE = 1;
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(limit);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

namespace {
bool sdl_failure(const char* what) {
    std::fprintf(stderr, "queltivar: %s failed: %s\n", what, SDL_GetError());
    EXIT_STATUS = 1;
    STATE = nullptr;
    return false;
}

// Only the window manager shows it: the game plays the same without, so it runs on, warned.
void set_window_icon(const char* path) {
    SDL_Surface* icon = SDL_LoadBMP(path);
    if (!icon) {
        std::fprintf(stderr, "queltivar: warning: no window icon: %s: %s\n", path, SDL_GetError());
        return;
    }
    SDL_SetWindowIcon(WINDOW, icon);
    SDL_FreeSurface(icon);
}
} // namespace

bool start_up() {
    // Only what the game uses; joysticks, controllers, haptics and sensors cost start-up time
    // (device scans, library loads) for input the game never reads.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        sdl_failure("SDL_Init");
        SDL_Quit();
        return false;
    }
    // Before the font loads, so that a font failure, which clears STATE, is not overwritten.
    STATE = title;
    seed_noise(static_cast<uint32_t>(SDL_GetTicks64()));

    AUDIO_DEVICE_ID = SDL_OpenAudioDevice(nullptr, 0, &AUDIO_SPEC, nullptr, 0);
    if (AUDIO_DEVICE_ID == 0)
        std::fprintf(stderr, "queltivar: warning: no audio device (%s); playing silent\n",
                     SDL_GetError());
    else
        SDL_PauseAudioDevice(AUDIO_DEVICE_ID, 0);

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

int run_game() {
    if (!start_up()) return EXIT_STATUS;
    FONT = load_bmp_font(asset_path("font.bmp").c_str());
    if (FONT) set_window_icon(asset_path("icon.bmp").c_str());
    run_scenes();
    shut_down();
    return EXIT_STATUS;
}
