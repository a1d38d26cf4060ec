// The program's spine: start-up, the scene loop and its contract, shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;

using Scene = void (*)();

// The scene to run next; null asks for the end of the program.
extern Scene STATE;
// 1 asks the running scene to return at the top of its next frame.
extern uint8_t CHANGE_STATE;

extern SDL_Window* WINDOW;
extern SDL_Renderer* RENDERER;
extern uint32_t AUDIO_DEVICE_ID; // 0 when no device could be opened: the game runs silent

// What the program returns: 1 once anything it cannot run without has failed.
extern int EXIT_STATUS;

constexpr const char* WINDOW_CAPTION = "Queltivar Nosperida Ku";
constexpr int32_t WINDOW_WIDTH = 1152;
constexpr int32_t WINDOW_HEIGHT = 648;

// Where the game's file `name` is: in assets/ of the working directory whenever there is such a
// folder (a source tree), otherwise in the data directory installed beside the executable.
std::string asset_path(const char* name);

// The one way a loader reports a file it cannot use: a line on standard error naming the
// file by its absolute path and the reason, exit status 1, and no further scene (STATE null).
// Loaders that run inside a scene also raise CHANGE_STATE themselves, as the scene contract asks.
void asset_failure(const char* path, const char* reason);

// `path` as the working directory makes it: what a user started elsewhere needs to see.
std::string absolute_path(const char* path);

struct FileCloser {
    void operator()(std::FILE* file) const;
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct AssetFile {
    File file;          // open for reading; null when the path is no file the game can read
    const char* reason; // then why, as a user should read it
};

// Only a regular file, or a link to one, is opened, and never in a way that waits: a FIFO
// without a writer would hold the game in its open for good.
AssetFile open_asset(const char* path);

// At most `limit` bytes of a file, raw; reported as above, with CHANGE_STATE raised, and empty
// when the file cannot be opened. A read error counts as the end of the file.
std::optional<std::vector<uint8_t>> read_asset(const char* path, size_t limit);

// SDL, the audio device, the window and the renderer; false, reported, when one fails.
bool start_up();
// Runs scenes from STATE until one asks for the end.
void run_scenes();
// Takes down the font and whatever start_up made.
void shut_down();
// Start-up, the font, the scene loop from `title`, shutdown; returns the exit status.
int run_game();
