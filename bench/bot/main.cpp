// The table of `make bot` (seeded games of the shipped campaign) and `make soak` (games until
// an hour or more of game time), one row a game; built twice, once for each.
#include "bot.h"
#include "headless.h"
#include "shell/shell.h"
#include "sound/mixer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {
long resident_kb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Taken down at every way out, so that the soak's leak check sees only what the game lost.
struct Session {
    ~Session() {
        empty_mixer();
        shut_down();
    }
};
} // namespace

// The table's first argument is the number of games, the soak's its minutes of game time; the
// second is the first seed. `record SECONDS SEED` instead plays one game in real time, its
// sound through SDL's audio device.
int main(int argc, char** argv) {
    // Nothing drawn: the bot reads the battlefield, not the screen.
    if (!start_headless(false)) return 1;
    const Session session;
    drive_clock();
    if (argc > 1 && std::string(argv[1]) == "record") {
        const uint64_t seconds = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 60;
        const auto seed = static_cast<uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1);
        const Outcome out = play_game(seed, seconds * 1000, "assets", false, true);
        std::printf("seed %u: %.1f s of play, %u kills, level %u\n", seed, out.game_ms / 1000.0,
                    out.kills, out.level);
        return 0;
    }
    const uint64_t limit = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : SOAK ? 60 : 20;
    const uint64_t first_seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : SOAK ? 1000 : 1;
    const auto wall = std::chrono::steady_clock::now();
    uint64_t game_ms = 0, frames = 0, won = 0, games = 0, console_frames = 0;
    long first_kb = 0, last_kb = 0;
    std::printf("seed player level  score result     minutes kills console  RSS kB\n");
    while (SOAK ? game_ms < limit * 60000 : games < limit) {
        const bool wild = SOAK && games % 3 == 2; // random keys on frames of random length
        const auto seed = static_cast<uint32_t>(first_seed + games++);
        const Outcome out = play_game(seed, 30 * 60000, "assets", wild);
        std::tie(game_ms, frames, won, last_kb) = std::tuple(
            game_ms + out.game_ms, frames + out.frames, won + (out.result == "won"), resident_kb());
        first_kb = games == 1 ? last_kb : first_kb;
        console_frames += out.console_frames;
        std::printf("%4u %-6s %5u %6u %-10s %7.2f %5u %6.1f%% %7ld\n", seed,
                    wild ? "random" : "bot", out.level, out.score, out.result.c_str(),
                    out.game_ms / 60000.0, out.kills,
                    100.0 * out.console_frames / std::max<uint64_t>(out.frames, 1), last_kb);
        std::fflush(stdout);
        if (out.result == "quit") break; // SDL turns an interrupt into a quit
        if (!out.broken.empty()) {
            std::fprintf(stderr, "broken: %s\n", out.broken.c_str());
            return 1;
        }
    }
    std::printf("%lu games, %lu won; %.1f game minutes, %lu frames, a ship or the comet on the "
                "console's rows in %.1f%% of them; %.0f s wall; RSS after the first game %ld kB, "
                "after the last %ld kB\n",
                games, won, game_ms / 60000.0, frames,
                100.0 * console_frames / std::max<uint64_t>(frames, 1),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(),
                first_kb, last_kb);
    return 0;
}
