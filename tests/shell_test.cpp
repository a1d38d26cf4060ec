// The scene loop, start-up and shutdown, and the failures the program reports.
#include "harness.h"

#include "scenes/title.h"
#include "shell/shell.h"

#include "battlefield/map.h"
#include "display/text.h"
#include "sound/sound.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {
std::vector<uint8_t> SEEN;
void second_scene() {
    SEEN.push_back(CHANGE_STATE);
    STATE = nullptr, CHANGE_STATE = 1;
}
void first_scene() {
    SEEN.push_back(CHANGE_STATE);
    STATE = second_scene, CHANGE_STATE = 1;
}

struct GameRun {
    int status;         // -1 when it did not exit by itself
    std::string output; // standard error and standard output
    long peak_kb;       // resident memory at its highest
};

// The built game, run in the working directory under the dummy drivers unless `environment`
// (NAME=value entries, and -NAME to remove one) says otherwise.
GameRun run_built_game(const std::vector<std::string>& environment = {}) {
    std::vector<std::string> args = {"env"};
    for (std::string entry : {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"}) {
        const std::string name = entry.substr(0, entry.find('='));
        for (const std::string& given : environment)
            if (given == "-" + name || given.starts_with(name + "=")) entry.clear();
        if (!entry.empty()) args.push_back(entry);
    }
    for (const std::string& entry : environment)
        if (entry.starts_with("-")) args.insert(args.begin() + 1, {"-u", entry.substr(1)});
    for (const std::string& entry : environment)
        if (!entry.starts_with("-")) args.push_back(entry);
    args.push_back(QUELTIVAR_GAME);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string log = "output";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const bool spawned = posix_spawnp(&pid, "env", &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage = {};
    if (!spawned || wait4(pid, &status, 0, &usage) != pid) return {-1, "not run", 0};
    std::ifstream text(log);
    std::string output{std::istreambuf_iterator<char>(text), {}};
    std::filesystem::remove(log);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output, usage.ru_maxrss};
}

size_t lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}
} // namespace

TEST(Shell, StartUpMakesTheCaptionedWindowAndTheTitleComesFirst) {
    Headless game;
    EXPECT_STREQ(SDL_GetWindowTitle(WINDOW), "Queltivar Nosperida Ku");
    int w = 0, h = 0;
    SDL_GetWindowSize(WINDOW, &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(1152, 648));
    SDL_RenderGetLogicalSize(RENDERER, &w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(1152, 648)) << "the grid fills a high-DPI drawable";
    EXPECT_EQ(STATE, title);
}

TEST(Shell, EverySceneStartsWithTheChangeFlagClearAndANullStateEndsTheLoop) {
    Headless game;
    SEEN.clear();
    STATE = first_scene;
    run_scenes();
    EXPECT_EQ(SEEN, (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(STATE, nullptr);
}

TEST(Shell, ClosingTheWindowOnTheTitleEndsTheProgramWithStatusZero) {
    Headless game;
    WorkDir work;
    write_file("assets/title.txt", "art\n");
    STATE = title;
    on_read(push_quit);
    run_scenes();
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(EXIT_STATUS, 0);
}

TEST(Shell, AFontSheetThatCannotBeLoadedIsNamedWithWhereAndWhyOnOneLineAndEndsWithStatusOne) {
    WorkDir work;
    const std::string sheet = work.dir + "/assets/font.bmp";
    // A header that claims 16384 x 16384 pixels in a 1 KB file, once a gigabyte of memory.
    std::string huge = "BM" + std::string(12, '\0') + "\x28" + std::string(3, '\0') +
                       std::string("\0\x40\0\0\0\x40\0\0\x01\0\x20\0", 12);
    huge.resize(1024, '\0');
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[] {}, "No such file or directory"}, // started from a directory without the assets
        {[&] { write_file(sheet, ""); }, "not a BMP image"},
        {[&] { write_file(sheet, "not a bitmap"); }, "not a BMP image"},
        {[&] { write_file(sheet, huge); }, "font sheet too large (16384 x 16384 pixels)"},
        {[&] {
             std::filesystem::remove(sheet);
             ASSERT_EQ(mkfifo(sheet.c_str(), 0600), 0);
         },
         "not a regular file (a FIFO)"},
        {[&] {
             std::filesystem::remove(sheet);
             std::filesystem::create_directory(sheet);
         },
         "Is a directory"},
    };
    for (const auto& [make, reason] : cases) {
        make();
        const GameRun run = run_built_game();
        EXPECT_EQ(run.status, 1) << reason;
        EXPECT_EQ(run.output, "queltivar: cannot load " + sheet + ": " + reason + "\n");
        // Sanitizers included (about 20 MB); the header's claim alone would be 1024 MB.
        EXPECT_LT(run.peak_kb, 100 * 1024) << reason;
    }
}

// Blocking on a FIFO nobody writes would hold the game before its first frame, for good.
TEST(Shell, TitleArtThatIsNoRegularFileEndsTheGameAtOnceWithStatusOne) {
    WorkDir work;
    std::filesystem::copy_file(QUELTIVAR_SOURCE_DIR "/assets/font.bmp", "assets/font.bmp");
    ASSERT_EQ(mkfifo("assets/title.txt", 0600), 0);
    const GameRun run = run_built_game();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot load " + work.dir +
                              "/assets/title.txt: not a regular file (a FIFO)\n"),
              std::string::npos)
        << run.output;
}

// Every loader reads regular files only, a link to one included, and refuses at once whatever
// else stands at its path: the open itself must not wait for a writer.
TEST(Shell, EveryLoaderRefusesWhatIsNoRegularFileAndNamesWhatItIs) {
    Headless game;
    WorkDir work;
    namespace fs = std::filesystem;
    const fs::path shipped = QUELTIVAR_SOURCE_DIR "/assets";
    struct Loader {
        const char* file;
        std::function<bool()> loads; // whether the loader took the file, as far as it tells
    };
    const std::vector<Loader> loaders = {
        {"map.dat", [] { return load_map("assets/map.dat"), STATE != nullptr; }},
        {"spawner.dat", [] { return load_spawner("assets/spawner.dat").has_value(); }},
        {"title.txt", [] { return load_title_data("assets/title.txt"), STATE != nullptr; }},
        {"font.bmp", [] { return load_bmp_font("assets/font.bmp") != nullptr; }},
        {"title.wav", [] { return !load_wav("assets/title.wav").samples.empty(); }},
    };
    const std::vector<std::pair<std::function<void(const std::string&)>, std::string>> kinds = {
        {[](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
         "not a regular file (a FIFO)"},
        {[](const std::string& path) { fs::create_directory(path); }, "Is a directory"},
        {[](const std::string& path) { fs::create_symlink("/dev/zero", path); },
         "not a regular file (a character device)"},
    };
    for (const Loader& loader : loaders) {
        const std::string path = "assets/" + std::string(loader.file);
        const bool warns_only = path.ends_with(".wav");
        for (const auto& [make, reason] : kinds) {
            SCOPED_TRACE(path + ": " + reason);
            fs::remove_all(path);
            make(path);
            STATE = title, CHANGE_STATE = 0, EXIT_STATUS = 0;
            testing::internal::CaptureStderr();
            EXPECT_FALSE(loader.loads());
            EXPECT_EQ(testing::internal::GetCapturedStderr(),
                      std::string("queltivar: ") + (warns_only ? "warning: " : "") +
                          "cannot load " + work.dir + "/" + path + ": " + reason + "\n");
            EXPECT_EQ(EXIT_STATUS, warns_only ? 0 : 1);
            EXPECT_EQ(STATE == nullptr, !warns_only);
        }
        fs::remove_all(path);
        fs::create_symlink(shipped / loader.file, path);
        STATE = title, EXIT_STATUS = 0;
        EXPECT_TRUE(loader.loads()) << path << " through a link";
        EXPECT_EQ(EXIT_STATUS, 0);
    }
}

// Only the window manager shows the icon: whatever stands at its path, the game warns and runs.
TEST(Shell, AWindowIconThatIsNoRegularFileIsNamedAndTheGameRunsOn) {
    WorkDir work;
    namespace fs = std::filesystem;
    fs::create_symlink(QUELTIVAR_SOURCE_DIR "/assets/font.bmp", "assets/font.bmp");
    const std::vector<std::pair<std::function<void()>, std::string>> kinds = {
        {[] { ASSERT_EQ(mkfifo("assets/icon.bmp", 0600), 0); }, "not a regular file (a FIFO)"},
        {[] { fs::create_directory("assets/icon.bmp"); }, "Is a directory"},
        {[] { std::ofstream("assets/icon.bmp") << "not a picture"; }, "File is not a Windows BMP"},
    };
    for (const auto& [make, reason] : kinds) {
        SCOPED_TRACE(reason);
        fs::remove_all("assets/icon.bmp");
        make();
        EXIT_STATUS = 0;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(start_game());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(said.starts_with("queltivar: warning: cannot load " + work.dir +
                                     "/assets/icon.bmp: " + reason))
            << said;
        EXPECT_EQ(lines(said), 1u) << said;
        EXPECT_TRUE(FONT) << "the game runs on";
        EXPECT_EQ(EXIT_STATUS, 0);
        shut_down();
    }
    STATE = nullptr;
}

// Sound is not needed to play: no sound system at all is met like a device that will not open.
TEST(Shell, WithoutASoundSystemTheGameWarnsOnceAndPlaysSilent) {
    WorkDir work;
    const GameRun run = run_built_game({"SDL_AUDIODRIVER=none"});
    EXPECT_EQ(run.status, 1) << "for the missing font, not for the sound";
    EXPECT_EQ(lines(run.output), 2u) << run.output;
    EXPECT_TRUE(run.output.starts_with("queltivar: warning: no audio (")) << run.output;
    EXPECT_NE(run.output.find("; playing silent\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("cannot load " + work.dir + "/assets/font.bmp"), std::string::npos);

    const char* saved = std::getenv("SDL_AUDIODRIVER");
    const std::string restore = saved ? saved : "";
    setenv("SDL_AUDIODRIVER", "none", 1);
    {
        Headless game;
        EXPECT_EQ(AUDIO_DEVICE_ID, 0u);
        EXPECT_EQ(STATE, title);
        write_file("assets/title.txt", "art\n");
        on_read(push_quit);
        run_scenes();
        EXPECT_EQ(EXIT_STATUS, 0);
    }
    setenv("SDL_AUDIODRIVER", restore.c_str(), 1);
}

// Without a display SDL falls back on a driver that shows nothing; named, it is wanted.
TEST(Shell, WithNoDisplayToOpenTheGameSaysSoAndEndsWithStatusOne) {
    WorkDir work;
    // The system's display libraries, tried and given up, leak at exit; not the game's code.
    const std::string no_leak_check = "ASAN_OPTIONS=detect_leaks=0";
    const GameRun run =
        run_built_game({"-SDL_VIDEODRIVER", "-DISPLAY", "-WAYLAND_DISPLAY", no_leak_check,
                        // where a Wayland display would be, else its library complains of it
                        "XDG_RUNTIME_DIR=" + work.dir});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.output.starts_with("queltivar: no display could be opened")) << run.output;
    EXPECT_EQ(lines(run.output), 1u) << run.output;

    for (const char* named : {"SDL_VIDEODRIVER=offscreen", "SDL_VIDEODRIVER=x11,offscreen"}) {
        const GameRun asked =
            run_built_game({"-DISPLAY", "-WAYLAND_DISPLAY", named, no_leak_check});
        EXPECT_EQ(asked.output, "queltivar: cannot load " + work.dir +
                                    "/assets/font.bmp: No such file or directory\n")
            << named;
    }
}
