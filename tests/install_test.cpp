// The game installed under a prefix as a package installs it, and started from anywhere.
#include "harness.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// This build, installed under a fresh prefix that goes with the test.
struct Installed {
    std::string prefix = fs::canonical(temp_dir()).string();
    Installed() {
        const std::string install = "'" QUELTIVAR_CMAKE "' --install '" QUELTIVAR_BUILD_DIR
                                    "' --prefix '" +
                                    prefix + "' >'" + prefix + ".log' 2>&1";
        installed = std::system(install.c_str()) == 0;
        if (!installed) ADD_FAILURE() << slurp(prefix + ".log");
        fs::remove(prefix + ".log");
    }
    ~Installed() {
        fs::remove_all(prefix);
    }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
    std::string game() const {
        return prefix + "/games/queltivar";
    }
    std::string data() const {
        return prefix + "/share/games/queltivar/";
    }
    bool installed = false;
};

bool mentions(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Ended {
    int status; // the exit status, 128 + the signal, or -1 when it had to be killed
    std::string errors;
};

// Runs `game` in `dir` under the dummy drivers. With `interrupt`, its sound goes to a file, and
// once the title's music plays there (so the title has drawn twice) a Ctrl+C ends it.
Ended run(const std::string& game, const std::string& dir, bool interrupt) {
    const std::string errors = dir + "/../" + fs::path(dir).filename().string() + ".err";
    const std::string sound = dir + "/../" + fs::path(dir).filename().string() + ".raw";
    // A shell without job control starts its background jobs deaf to Ctrl+C; the game must hear it.
    std::vector<std::string> args = {"env",
                                     "--default-signal=INT",
                                     "-C",
                                     dir,
                                     "SDL_VIDEODRIVER=dummy",
                                     "SDL_RENDER_DRIVER=software",
                                     interrupt ? "SDL_AUDIODRIVER=disk" : "SDL_AUDIODRIVER=dummy",
                                     "SDL_DISKAUDIOFILE=" + sound,
                                     game};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const bool spawned = posix_spawnp(&pid, "env", &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return {-1, "could not start " + game};

    // Generous: a sanitized build on a loaded machine; a game that hangs is killed and fails.
    const auto end = std::chrono::steady_clock::now() + 60s;
    int status = 0;
    bool ended = false, music = !interrupt;
    for (size_t read = 0; !ended && std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (ended || music) continue;
        std::ifstream played(sound, std::ios::binary);
        played.seekg(std::streamoff(read));
        for (char byte; !music && played.get(byte); read++) music = byte != 0;
        if (music) kill(pid, SIGINT);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    Ended result = {!ended              ? -1
                    : WIFEXITED(status) ? WEXITSTATUS(status)
                                        : 128 + WTERMSIG(status),
                    ""};
    // SDL's disk driver announces itself; it is the test's device, not the game's voice.
    std::ifstream lines(errors);
    for (std::string line; std::getline(lines, line);)
        if (line != "CRITICAL: You are using the SDL disk i/o audio driver!" &&
            line != "CRITICAL:  Writing to file [" + sound + "].")
            result.errors += line + "\n";
    fs::remove(errors);
    fs::remove(sound);
    if (interrupt && !music) result.errors += "[the title's music never played]";
    return result;
}

} // namespace

TEST(Installed, TheGameIsLaidOutAsADebianGameAndStartsFromAnEmptyDirectoryEvenMovedElsewhere) {
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
    ASSERT_TRUE(package.installed);
    std::set<std::string> found;
    for (const auto& file : fs::recursive_directory_iterator(package.prefix))
        if (!file.is_directory()) found.insert(fs::relative(file.path(), package.prefix).string());
    EXPECT_EQ(found, wanted) << "nothing of the build or the tests, nothing missing";

    const std::string moved = package.prefix + "-moved";
    fs::rename(package.prefix, moved);
    package.prefix = moved;
    const std::string home = temp_dir();
    const Ended ended = run(package.game(), home, true);
    EXPECT_EQ(ended.status, 0) << ended.errors;
    EXPECT_EQ(ended.errors, "") << "a clean start and a clean Ctrl+C";
    EXPECT_TRUE(fs::is_empty(home)) << "the game writes nothing where it is started";
    fs::remove_all(home);
}

TEST(Installed, AMissingFileEndsTheGameWithStatusOneNamingEveryPlaceItWasLookedFor) {
    Installed package;
    ASSERT_TRUE(package.installed);
    const std::string home = fs::canonical(temp_dir()).string();

    // A working directory with its own assets/ is a tree of its own, however incomplete.
    fs::create_directory(home + "/assets");
    Ended ended = run(package.game(), home, false);
    EXPECT_EQ(ended.status, 1);
    EXPECT_TRUE(mentions(ended.errors, "assets/font.bmp")) << ended.errors;
    EXPECT_FALSE(mentions(ended.errors, package.data())) << ended.errors;
    fs::remove(home + "/assets");

    for (const std::string missing : {"title.txt", "font.bmp"}) {
        // The second time round the whole data directory is gone.
        if (missing == "title.txt")
            fs::remove(package.data() + missing);
        else
            fs::remove_all(package.data());
        ended = run(package.game(), home, false);
        EXPECT_EQ(ended.status, 1) << missing;
        EXPECT_TRUE(mentions(ended.errors, package.data() + missing)) << ended.errors;
        EXPECT_TRUE(mentions(ended.errors, home + "/assets/")) << ended.errors;
        EXPECT_EQ(std::count(ended.errors.begin(), ended.errors.end(), '\n'), 1) << ended.errors;
    }
    fs::remove_all(home);
}

TEST(Installed, TheMenuEntryIsValidAndStartsTheGameWhereItWasInstalled) {
    Installed package;
    ASSERT_TRUE(package.installed);
    const std::string entry = package.prefix + "/share/applications/queltivar.desktop";
    const std::string validate = "desktop-file-validate '" + entry + "' 2>&1";
    FILE* pipe = popen(validate.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(pclose(pipe), 0) << "desktop-file-validate: make test installs desktop-file-utils";
    EXPECT_EQ(output, "") << "neither errors nor hints";
    EXPECT_TRUE(mentions(slurp(entry), "\nExec=" + package.game() + "\n")) << slurp(entry);
}
