// Start-up, the scene loop and shutdown, and the failures the program reports.
#include "harness.h"
#include "process.h"

#include "battlefield/map.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
namespace fs = std::filesystem;

// What stands at a path in place of the file a loader wants there, and the reason it gives.
struct Stand {
    void (*make)(const std::string& path);
    std::string reason = {};
};
const Stand MISSING = {.make = [](const std::string&) {}, .reason = "No such file or directory"};
const Stand FIFO = {.make = [](const std::string& path) { mkfifo(path.c_str(), 0600); },
                    .reason = "not a regular file (a FIFO)"};
const Stand DIRECTORY = {.make = [](const std::string& path) { fs::create_directory(path); },
                         .reason = "Is a directory"};
const Stand SHIPPED = {.make = [](const std::string& path) {
    fs::create_symlink(fs::path(QUELTIVAR_SOURCE_DIR) / path, path);
}};
const Stand NO_PICTURE = {.make = [](const std::string& path) { write_file(path, "no picture"); },
                          .reason = "File is not a Windows BMP"};
const Stand DEVICE = {
    .make = [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
    .reason = "not a regular file (a character device)"};
} // namespace

// Neither sound nor the icon, which only the window manager shows, is needed to play: without
// either the game says so once and runs on. No sound system at all is met like a device that will
// not open.
TEST(Shell, StartsOnTheTitleWarnedOfWhatItLacks) {
    WorkDir work;
    write_file("assets/title.txt", "art\n");
    SHIPPED.make("assets/font.bmp");
    const std::string icon = "assets/icon.bmp";
    for (const auto& [audio, stand] :
         {std::pair("none", SHIPPED), std::pair("dummy", FIFO), std::pair("dummy", DIRECTORY),
          std::pair("dummy", NO_PICTURE)}) {
        const Setting driver("SDL_AUDIODRIVER", audio);
        fs::remove_all(icon);
        stand.make(icon);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(start_game());
        const std::string said = testing::internal::GetCapturedStderr();
        const std::string about = audio == std::string("none") ? "no audio ("
                                                               : "cannot load " + work.dir + "/" +
                                                                     icon + ": " + stand.reason;
        SCOPED_TRACE(about);
        EXPECT_TRUE(said.starts_with("queltivar: warning: " + about)) << said;
        EXPECT_EQ(std::ranges::count(said, '\n'), 1) << said;
        EXPECT_STREQ(SDL_GetWindowTitle(WINDOW), "Queltivar Nosperida Ku");
        SDL_Point size, logical;
        SDL_GetWindowSize(WINDOW, &size.x, &size.y);
        SDL_RenderGetLogicalSize(RENDERER, &logical.x, &logical.y);
        EXPECT_EQ(std::tuple(size.x, size.y, logical.x, logical.y),
                  std::tuple(1152, 648, 1152, 648))
            << "the grid fills a high-DPI drawable too";
        EXPECT_EQ(STATE, title);
        push_quit();
        run_scenes();
        EXPECT_EQ(STATE, nullptr);
        EXPECT_EQ(EXIT_STATUS, 0);
        shut_down();
    }
    // A scene that ends with the flag raised, run twice: the second must find it clear again.
    static std::vector<uint8_t> seen;
    STATE = [] {
        seen.push_back(CHANGE_STATE);
        CHANGE_STATE = 1;
        if (seen.size() == 2) STATE = nullptr;
    };
    run_scenes();
    EXPECT_EQ(seen, (std::vector<uint8_t>{0, 0})) << "every scene starts with the flag clear";
}

// Each is one line naming what went wrong, and status 1. Without a display SDL falls back on a
// driver that shows nothing; named, it is wanted.
TEST(Shell, TheBuiltGameSaysWhyItCannotStart) {
    using namespace std::chrono_literals;
    WorkDir work;
    const std::string cannot_load = "cannot load " + work.dir + "/assets/font.bmp: ";
    // A header that claims 16384 x 16384 pixels in a 1 KB file, once a gigabyte of memory.
    std::string huge = "BM" + std::string(12, '\0') + "\x28" + std::string(3, '\0') +
                       std::string("\0\x40\0\0\0\x40\0\0\x01\0\x20\0", 12);
    huge.resize(1024, '\0');
    struct Start {
        std::string driver, sheet, says; // SDL's video driver, the font sheet, the line said
    };
    const Start starts[] = {
        {"", "", "no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)"},
        {"offscreen", "", cannot_load + "No such file or directory"},
        {"x11,offscreen", "", cannot_load + "No such file or directory"},
        {"dummy", "not a bitmap", cannot_load + "not a BMP image"},
        {"dummy", huge, cannot_load + "font sheet too large (16384 x 16384 pixels)"},
    };
    for (const Start& start : starts) {
        if (!start.sheet.empty()) write_file("assets/font.bmp", start.sheet);
        // The system's display libraries, tried and given up, leak at exit; not the game's code.
        // XDG_RUNTIME_DIR is where a Wayland display would be, else its library complains of it.
        Child game({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy",
                    "SDL_VIDEODRIVER=" + start.driver, "XDG_RUNTIME_DIR=" + work.dir,
                    "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                   "output", true);
        rusage usage = {};
        EXPECT_EQ(game.status(60s, &usage), 1) << start.says;
        EXPECT_EQ(slurp("output"), "queltivar: " + start.says + "\n");
        // Sanitizers included, about 20 MB without a display's libraries; the huge sheet's claim
        // alone would be 1024 MB.
        if (start.driver == "dummy") {
            EXPECT_LT(usage.ru_maxrss, 100 * 1024) << start.says;
        }
    }
}

// Every loader reads regular files only, a link to one included, and refuses at once whatever
// else stands at its path: the open itself must not wait for a writer.
TEST(Shell, EveryLoaderRefusesAllButARegularFile) {
    Headless game;
    WorkDir work;
    const std::pair<std::string, void (*)()> loaders[] = {
        {"map.dat", [] { load_map("assets/map.dat"); }},
        {"spawner.dat", [] { (void)load_spawner("assets/spawner.dat"); }},
        {"title.txt", [] { load_title_data("assets/title.txt"); }},
        {"font.bmp", [] { (void)load_bmp_font("assets/font.bmp"); }},
        {"title.wav", [] { (void)load_wav("assets/title.wav"); }},
    };
    // What the loader says, with STATE and EXIT_STATUS as it leaves them.
    const auto said = [](void (*load)()) {
        STATE = title;
        EXIT_STATUS = 0;
        testing::internal::CaptureStderr();
        load();
        return std::tuple(testing::internal::GetCapturedStderr(), STATE == nullptr,
                          int(EXIT_STATUS));
    };
    for (const auto& [file, load] : loaders) {
        const std::string path = "assets/" + file;
        const bool warns_only = file.ends_with(".wav");
        for (const Stand& stand : {MISSING, FIFO, DIRECTORY, DEVICE}) {
            fs::remove_all(path);
            stand.make(path);
            EXPECT_EQ(said(load), std::tuple(std::string("queltivar: ") +
                                                 (warns_only ? "warning: " : "") + "cannot load " +
                                                 work.dir + "/" + path + ": " + stand.reason + "\n",
                                             !warns_only, warns_only ? 0 : 1));
        }
        fs::remove_all(path);
        SHIPPED.make(path);
        EXPECT_EQ(said(load), std::tuple("", false, 0)) << path << " through a link";
    }
}
