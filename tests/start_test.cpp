// Start-up as a player meets it, from the build and installed as a package installs it: the scene
// loop, what the program says when it cannot start, and where it looks for its files.
#include "harness.h"
#include "process.h"

#include "battlefield/map.h"
#include "scenes/title.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What stands at a path in place of the file a loader wants there, and the reason it gives.
struct Stand {
    void (*make)(const std::string& path);
    std::string reason = {};
};
using Path = const std::string&;
const Stand MISSING = {[](Path) {}, "No such file or directory"};
const Stand FIFO = {[](Path at) { mkfifo(at.c_str(), 0600); }, "not a regular file (a FIFO)"};
const Stand DIRECTORY = {[](Path at) { fs::create_directory(at); }, "Is a directory"};
const Stand SHIPPED = {[](Path at) { fs::create_symlink(QUELTIVAR_SOURCE_DIR "/" + at, at); }};
const Stand NO_PICTURE = {[](Path at) { write_file(at, "no picture"); },
                          "File is not a Windows BMP"};
const Stand DEVICE = {[](Path at) { fs::create_symlink("/dev/zero", at); },
                      "not a regular file (a character device)"};

struct Ended {
    std::string said; // standard error and output, then how it ended
    long peak_kb;     // resident memory at its highest
};

// `command`, settings first, run in `dir` on SDL's dummy drivers and with no display. With a
// `sound` file, its sound goes there, and once the title's music plays in it a Ctrl+C ends it.
Ended run(std::vector<std::string> command, const std::string& dir, const std::string& sound = "") {
    // A shell without job control starts its background jobs deaf to Ctrl+C; the game must hear it.
    command.insert(command.begin(),
                   {"env", "--default-signal=INT", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-C",
                    dir, "SDL_VIDEODRIVER=dummy",
                    sound.empty() ? "SDL_AUDIODRIVER=dummy" : "SDL_AUDIODRIVER=disk",
                    "SDL_DISKAUDIOFILE=" + sound});
    Child child(command, dir + ".said");
    rusage usage = {};
    const auto music = [&] { return slurp(sound).find_first_not_of('\0') != std::string::npos; };
    // Generous: a sanitized build on a loaded machine. A game that has ended plays nothing more.
    if (!sound.empty() && until(60s, [&] { return child.status(0ms, &usage) || music(); }) &&
        !child.ended)
        kill(child.pid, SIGINT);
    const std::optional<int> status = child.status(120s, &usage);
    Ended ended = {slurp(dir + ".said") + (status ? "exit " + std::to_string(*status) : "running"),
                   usage.ru_maxrss};
    fs::remove(dir + ".said");
    return ended;
}

} // namespace

// Scenes start with the change flag clear, the first on the title. Neither sound nor the icon,
// which only the window manager shows, is needed to play: without either the game says so once and
// runs on; no sound system at all is met like a device that will not open.
TEST(Shell, StartsOnTheTitleWarnedOfWhatItLacks) {
    // A scene that ends with the flag raised, run twice: the second must find it clear again.
    static std::vector<uint8_t> seen;
    STATE = [] {
        seen.push_back(CHANGE_STATE);
        CHANGE_STATE = 1;
        if (seen.size() == 2) STATE = nullptr;
    };
    run_scenes();
    // Fatal: with the flag left raised, the title below would return at once, over and over.
    ASSERT_EQ(seen, (std::vector<uint8_t>{0, 0})) << "every scene starts with the flag clear";
    WorkDir work;
    write_file("assets/title.txt", "art\n");
    SHIPPED.make("assets/font.bmp");
    const std::string icon = "assets/icon.bmp";
    for (const auto& [audio, stand] :
         {std::pair("none", SHIPPED), std::pair("dummy", FIFO), std::pair("dummy", NO_PICTURE)}) {
        // Until SDL_Quit, over what the environment names.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, audio, SDL_HINT_OVERRIDE);
        fs::remove_all(icon);
        stand.make(icon);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(start_game());
        const std::string said = testing::internal::GetCapturedStderr(),
                          about = stand.reason.empty() ? "no audio ("
                                                       : "cannot load " + work.dir + "/" + icon +
                                                             ": " + stand.reason;
        EXPECT_TRUE(said.starts_with("queltivar: warning: " + about)) << said;
        EXPECT_EQ(std::ranges::count(said, '\n'), 1) << said;
        EXPECT_EQ(STATE, title);
        push_quit();
        run_scenes();
        EXPECT_EQ(EXIT_STATUS, 0) << "a quit is no failure";
        shut_down();
    }
}

// Each is one line naming what went wrong, and status 1. Without a display SDL falls back on a
// driver that shows nothing; named, it is wanted.
TEST(Shell, TheBuiltGameSaysWhyItCannotStart) {
    WorkDir work;
    const std::string cannot_load = "cannot load " + work.dir + "/assets/font.bmp: ";
    for (const auto& [driver, says] : std::vector<std::pair<std::string, std::string>>{
             {"", "no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)"},
             {"offscreen", cannot_load + "No such file or directory"},
             {"x11,offscreen", cannot_load + "No such file or directory"},
             {"dummy", cannot_load + "font sheet too large (16384 x 16384 pixels)"}}) {
        // A header that claims 16384 x 16384 pixels in a 1 KB file, once a gigabyte of memory.
        std::string huge = "BM" + std::string(12, '\0') + "\x28" + std::string(3, '\0') +
                           std::string("\0\x40\0\0\0\x40\0\0\x01\0\x20\0", 12);
        if (driver == "dummy") write_file("assets/font.bmp", huge.append(1024 - huge.size(), 0));
        // Display libraries tried and given up leak; Wayland's complains without XDG_RUNTIME_DIR.
        const Ended ended = run({"SDL_VIDEODRIVER=" + driver, "XDG_RUNTIME_DIR=" + work.dir,
                                 "ASAN_OPTIONS=detect_leaks=0", QUELTIVAR_GAME},
                                work.dir);
        EXPECT_EQ(ended.said, "queltivar: " + says + "\nexit 1");
        // About 20 MB with sanitizers; the huge sheet's claim alone would be 1024 MB.
        EXPECT_TRUE(driver != "dummy" || ended.peak_kb < 100 * 1024) << ended.peak_kb << " KB";
    }
}

// Every loader reads regular files only, a link to one included, and refuses at once whatever
// else stands at its path: the open itself must not wait for a writer.
TEST(Shell, EveryLoaderRefusesAllButARegularFile) {
    Headless game;
    WorkDir work;
    const std::pair<std::string, void (*)()> loaders[] = {
        {"assets/map.dat", [] { load_map("assets/map.dat"); }},
        {"assets/spawner.dat", [] { (void)load_spawner("assets/spawner.dat"); }},
        {"assets/title.txt", [] { load_title_data("assets/title.txt"); }},
        {"assets/font.bmp", [] { (void)load_bmp_font("assets/font.bmp"); }},
        {"assets/title.wav", [] { (void)load_wav("assets/title.wav"); }},
    };
    for (const auto& [path, load] : loaders) {
        const bool warns_only = path.ends_with(".wav");
        for (const Stand& stand : {MISSING, FIFO, DIRECTORY, DEVICE, SHIPPED}) {
            fs::remove_all(path);
            stand.make(path);
            STATE = title;
            EXIT_STATUS = 0;
            testing::internal::CaptureStderr();
            load();
            const std::string said = testing::internal::GetCapturedStderr();
            const bool refused = !stand.reason.empty(), ends = refused && !warns_only;
            EXPECT_EQ(std::tuple(said, STATE == nullptr, int(EXIT_STATUS)),
                      std::tuple(refused ? std::string("queltivar: ") +
                                               (warns_only ? "warning: " : "") + "cannot load " +
                                               work.dir + "/" + path + ": " + stand.reason + "\n"
                                         : "",
                                 ends, int(ends)));
        }
    }
}

TEST(Installed, LaidOutMovableAndNamingBothPlaces) {
    std::set<std::string> wanted = {
        "games/queltivar", "share/applications/queltivar.desktop", "share/man/man6/queltivar.6.gz",
        "share/doc/queltivar/copyright", "share/doc/queltivar/changelog.gz"};
    const fs::path assets = fs::path(QUELTIVAR_SOURCE_DIR) / "assets";
    for (const auto& file : fs::directory_iterator(assets))
        if (file.is_regular_file())
            wanted.insert("share/games/queltivar/" + file.path().filename().string());
    for (const auto& icon : fs::directory_iterator(assets / "icons"))
        wanted.insert("share/icons/hicolor/" + icon.path().stem().string() + "/apps/queltivar.png");
    // This build installed as a package installs it; the prefix's empty assets/ holds no file.
    const WorkDir work;
    const std::string prefix = fs::canonical(work.dir).string(), game = prefix + "/games/queltivar",
                      data = prefix + "/share/games/queltivar/",
                      entry = prefix + "/share/applications/queltivar.desktop",
                      home = fs::canonical(temp_dir()).string();
    const Ended install =
        run({QUELTIVAR_CMAKE, "--install", QUELTIVAR_BUILD_DIR, "--prefix", prefix}, home);
    ASSERT_TRUE(install.said.ends_with("exit 0")) << install.said;
    std::set<std::string> found;
    for (const auto& file : fs::recursive_directory_iterator(prefix))
        if (!file.is_directory()) found.insert(fs::relative(file.path(), prefix).string());
    EXPECT_EQ(found, wanted) << "nothing of the build or the tests, nothing missing";
    EXPECT_EQ(run({"desktop-file-validate", entry}, home).said, "exit 0") << "no errors, no hints";
    EXPECT_NE(slurp(entry).find("\nExec=" + game + "\n"), std::string::npos) << slurp(entry);

    fs::rename(prefix, prefix + "-moved");
    // A clean Ctrl+C once the music plays; the disk driver's notes are SDL's, not the game's.
    EXPECT_EQ(run({prefix + "-moved/games/queltivar"}, home, home + ".raw").said,
              "CRITICAL: You are using the SDL disk i/o audio driver!\n"
              "CRITICAL:  Writing to file [" +
                  home + ".raw].\nexit 0");
    EXPECT_TRUE(fs::is_empty(home)) << "the game writes nothing where it is started";
    fs::remove(home + ".raw");
    fs::rename(prefix + "-moved", prefix);

    fs::remove_all(data);
    EXPECT_EQ(run({game}, home).said,
              "queltivar: cannot load " + data +
                  "font.bmp: No such file or directory (looked first for a folder " + home +
                  "/assets/, then in " + data + ")\nexit 1");
    fs::remove_all(home);
}
