// Programs the tests start (the built game, Xvfb, tools) and the environment they pass on.
#pragma once

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "harness.h"

extern char** environ;

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Whether `done` comes true within `patience`; asked at least once.
inline bool until(std::chrono::milliseconds patience, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + patience;
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

// A program from PATH, its stderr and stdout written to `log`; killed if it runs on.
struct Child {
    pid_t pid = -1;
    std::optional<int> ended; // the exit status, or 128 + the ending signal
    Child(std::vector<std::string> args, const std::string& log) {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&files, 2, 1);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&files);
    }
    Child(const Child&) = delete;
    ~Child() {
        if (pid > 0 && !ended && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }
    // `ended`, waited for up to `patience`; once known it stays, so asking again costs nothing.
    std::optional<int> status(std::chrono::milliseconds patience, rusage* usage = nullptr) {
        int raw = 0;
        if (!ended &&
            until(patience, [&] { return pid > 0 && wait4(pid, &raw, WNOHANG, usage) == pid; }))
            ended = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return ended;
    }
};

// Xvfb on a display of its own choosing with a screen of `size` pixels, ended with the record;
// `name` (":N") is empty when it did not start within half a minute.
struct VirtualDisplay {
    std::string name;
    explicit VirtualDisplay(const std::string& size = "1280x800") : dir(temp_dir()) {
        // Xvfb writes there the number of the display it found free, once it serves it.
        const std::string written = dir + "/display";
        xvfb.emplace(std::vector<std::string>{"sh", "-c",
                                              "exec Xvfb -displayfd 3 -screen 0 " + size +
                                                  "x24 -nolisten tcp 3>" + written},
                     "/dev/null");
        std::string number;
        if (until(std::chrono::seconds(30),
                  [&] { return (number = slurp(written)).ends_with("\n"); }))
            name = ":" + number.substr(0, number.size() - 1);
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    ~VirtualDisplay() {
        xvfb.reset();
        std::filesystem::remove_all(dir);
    }

  private:
    std::string dir;
    std::optional<Child> xvfb;
};
