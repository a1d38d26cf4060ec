// The game installed under a prefix as a package installs it, and started from anywhere.
#include "harness.h"
#include "process.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// This build, installed under a fresh prefix that goes with the test.
struct Installed {
    std::string prefix = fs::canonical(temp_dir()).string();
    std::string game = prefix + "/games/queltivar", data = prefix + "/share/games/queltivar/";
    Installed() {
        Child install({QUELTIVAR_CMAKE, "--install", QUELTIVAR_BUILD_DIR, "--prefix", prefix},
                      prefix + ".log", true);
        EXPECT_EQ(install.status(120s), 0) << slurp(prefix + ".log");
        fs::remove(prefix + ".log");
    }
    ~Installed() {
        fs::remove_all(prefix);
    }
};

struct Ended {
    std::optional<int> status;
    std::string errors;
};

// The game run in `dir` on the dummy drivers. With `sound`, its sound goes to `sound`, and once
// the title's music plays there a Ctrl+C ends it.
Ended run(const std::string& game, const std::string& dir, const std::string& sound = "") {
    // A shell without job control starts its background jobs deaf to Ctrl+C; the game must hear it.
    Child child({"env", "--default-signal=INT", "-C", dir, "SDL_VIDEODRIVER=dummy",
                 "SDL_AUDIODRIVER=" + std::string(sound.empty() ? "dummy" : "disk"),
                 "SDL_DISKAUDIOFILE=" + sound, game},
                dir + ".err");
    // Generous: a sanitized build on a loaded machine.
    if (!sound.empty() &&
        until(60s, [&] { return slurp(sound).find_first_not_of('\0') != std::string::npos; }))
        kill(child.pid, SIGINT);
    Ended ended = {child.status(60s), slurp(dir + ".err")};
    fs::remove(dir + ".err");
    return ended;
}
} // namespace

TEST(Installed, LaidOutAsADebianGameWithAValidMenuEntry) {
    std::set<std::string> wanted = {
        "games/queltivar", "share/applications/queltivar.desktop", "share/man/man6/queltivar.6.gz",
        "share/doc/queltivar/copyright", "share/doc/queltivar/changelog.gz"};
    const fs::path assets = fs::path(QUELTIVAR_SOURCE_DIR) / "assets";
    for (const auto& file : fs::directory_iterator(assets))
        if (file.is_regular_file())
            wanted.insert("share/games/queltivar/" + file.path().filename().string());
    for (const auto& icon : fs::directory_iterator(assets / "icons"))
        wanted.insert("share/icons/hicolor/" + icon.path().stem().string() + "/apps/queltivar.png");
    Installed package;
    std::set<std::string> found;
    for (const auto& file : fs::recursive_directory_iterator(package.prefix))
        if (!file.is_directory()) found.insert(fs::relative(file.path(), package.prefix).string());
    EXPECT_EQ(found, wanted) << "nothing of the build or the tests, nothing missing";

    const std::string entry = package.prefix + "/share/applications/queltivar.desktop";
    Child validate({"desktop-file-validate", entry}, package.prefix + ".said", true);
    EXPECT_EQ(validate.status(60s), 0) << "make test installs desktop-file-utils";
    EXPECT_EQ(slurp(package.prefix + ".said"), "") << "neither errors nor hints";
    fs::remove(package.prefix + ".said");
    EXPECT_NE(slurp(entry).find("\nExec=" + package.game + "\n"), std::string::npos)
        << slurp(entry);
}

TEST(Installed, StartsMovedAndNamesBothPlacesOfMissingData) {
    Installed package;
    const std::string home = fs::canonical(temp_dir()).string(), moved = package.prefix + "-moved";
    fs::rename(package.prefix, moved);
    const Ended interrupted = run(moved + "/games/queltivar", home, home + ".raw");
    EXPECT_EQ(interrupted.status, 0) << "a clean Ctrl+C once the music plays";
    // SDL's disk driver announces itself; it is the test's device, not the game's voice.
    EXPECT_EQ(interrupted.errors, "CRITICAL: You are using the SDL disk i/o audio driver!\n"
                                  "CRITICAL:  Writing to file [" +
                                      home + ".raw].\n");
    EXPECT_TRUE(fs::is_empty(home)) << "the game writes nothing where it is started";
    fs::remove(home + ".raw");
    fs::rename(moved, package.prefix);

    // A working directory with its own assets/ is a tree of its own, however incomplete.
    fs::create_directory(home + "/assets");
    const Ended local = run(package.game, home);
    EXPECT_EQ(local.status, 1);
    EXPECT_NE(local.errors.find("assets/font.bmp"), std::string::npos) << local.errors;
    EXPECT_EQ(local.errors.find(package.data), std::string::npos) << local.errors;
    fs::remove(home + "/assets");
    // The second time round the whole data directory is gone.
    for (const std::string missing : {"title.txt", "font.bmp"}) {
        fs::remove_all(missing == "title.txt" ? package.data + missing : package.data);
        const Ended ended = run(package.game, home);
        EXPECT_EQ(ended.status, 1) << missing;
        EXPECT_NE(ended.errors.find(package.data + missing), std::string::npos) << ended.errors;
        EXPECT_NE(ended.errors.find(home + "/assets/"), std::string::npos) << ended.errors;
        EXPECT_EQ(std::ranges::count(ended.errors, '\n'), 1) << ended.errors;
    }
    fs::remove_all(home);
}
