// The playing bot: chooses keys from the battlefield each frame and checks the rules after it.
#include "bot.h"
#include "battlefield/army.h"
#include "battlefield/comet.h"
#include "battlefield/map.h"
#include "battlefield/sensing.h"
#include "headless.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "scenes/play.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace {
constexpr uint64_t FRAME_MS = 16;
constexpr int32_t FAR = 1 << 16;
constexpr int32_t LOW_LASER = 20;      // shots left below which the comet is worth a chase
constexpr int32_t SCREEN_READS = 1000; // reads of one screen that mean it was never answered

std::mt19937 RNG;
int32_t READS = 0; // read_input calls in this frame; past the first, an end screen waits
std::array<bool, 5> HELD = {};

// The pointer seam: answers each waiting end screen with a press and a release, and quits a
// screen that a click does not end.
Point answer_screens() {
    if (++READS > 1) READS < SCREEN_READS ? push_button(MOUSE_LEFT, READS % 2 == 0) : push_quit();
    return {WINDOW_WIDTH / 2, WINDOW_HEIGHT / 2};
}

void hold(uint8_t key, bool down) {
    if (HELD[key] != down) push_key(CONTROLS[key], down);
    HELD[key] = down;
}

bool open(int32_t x, int32_t y) {
    return cell_at(x, y) == SPACE_EMPTY || cell_at(x, y) == SPACE_PLAYER;
}

bool alive(const Ship& ship) {
    return ship.integrity > 0;
}

// Every open cell in a straight line from (x, y): where a ship there sees, and is seen.
template <typename Visit>
void along_lines(int32_t x, int32_t y, Visit visit) {
    for (const Vector& v : VECTORS)
        for (int32_t i = 1; open(x + i * v.dx, y + i * v.dy); i++)
            visit(x + i * v.dx, y + i * v.dy);
}

// In steps of the player: in the lines of gunners as they charge, and near rams.
Grid danger_map() {
    Grid danger{};
    for (const Ship& ship : GAME.army) {
        if (!alive(ship)) continue;
        if (ship.armed)
            along_lines(ship.x, ship.y, [&](int32_t x, int32_t y) {
                danger[y * COLUMNS + x] += 4 * (ship.charge - ship.max_charge);
            });
        else
            for (int32_t y = ship.y - 2; y <= ship.y + 2; y++)
                for (int32_t x = ship.x - 2; x <= ship.x + 2; x++)
                    if (open(x, y))
                        danger[y * COLUMNS + x] +=
                            8 * (3 - std::max(std::abs(x - ship.x), std::abs(y - ship.y)));
    }
    return danger;
}

// Steps to the nearest cell in line with a target: the comet when the laser runs low or the
// field is clear, else any living enemy.
Grid goal_distances() {
    Grid dist;
    dist.fill(FAR);
    std::deque<int32_t> queue;
    auto reach = [&](int32_t x, int32_t y) {
        if (dist[y * COLUMNS + x] == FAR) queue.push_back(y * COLUMNS + x);
        dist[y * COLUMNS + x] = 0;
    };
    const bool enemies = std::any_of(GAME.army.begin(), GAME.army.end(), alive);
    if (alive(GAME.comet) && (std::abs(GAME.player.charge) < LOW_LASER || !enemies))
        along_lines(GAME.comet.x, GAME.comet.y, reach);
    else
        for (const Ship& ship : GAME.army)
            if (alive(ship)) along_lines(ship.x, ship.y, reach);
    for (; !queue.empty(); queue.pop_front()) {
        const int32_t x = queue.front() % COLUMNS, y = queue.front() / COLUMNS;
        for (int32_t dy = -1; dy <= 1; dy++)
            for (int32_t dx = -1; dx <= 1; dx++) {
                const int32_t next = (y + dy) * COLUMNS + x + dx;
                if (!open(x + dx, y + dy) || dist[next] != FAR) continue;
                dist[next] = dist[queue.front()] + 1;
                queue.push_back(next);
            }
    }
    return dist;
}

// Whether the nearest ship in line, which the player's laser turns to, should be shot: not one
// already dying, and the comet, which refills the laser, only when the laser runs low.
bool worth_a_shot() {
    const Ship& player = GAME.player;
    int32_t nearest = FAR, x = 0, y = 0;
    for (const Vector& v : VECTORS) {
        int32_t i = 1;
        while (cell_at(player.x + i * v.dx, player.y + i * v.dy) == SPACE_EMPTY) i++;
        if (std::abs(cell_at(player.x + i * v.dx, player.y + i * v.dy)) == SPACE_ENEMY &&
            i < nearest)
            std::tie(nearest, x, y) = std::tuple(i, player.x + i * v.dx, player.y + i * v.dy);
    }
    if (alive(GAME.comet) && GAME.comet.x == x && GAME.comet.y == y)
        return std::abs(player.charge) < LOW_LASER;
    for (const Ship& ship : GAME.army)
        if (ship.x == x && ship.y == y) return alive(ship);
    return true;
}

// Fires when aiming, one press a shot; steps to the cheapest neighbour, ties broken at random,
// and with nothing to go for, stays where it is.
void play_well() {
    const Ship& player = GAME.player;
    hold(KEY_FIRE, player.beam == 1 && player.charge > 0 && !HELD[KEY_FIRE] && worth_a_shot());
    const Grid danger = danger_map(), dist = goal_distances();
    const bool idle = dist[player.y * COLUMNS + player.x] == FAR;
    int32_t best = INT32_MAX, best_dx = 0, best_dy = 0;
    for (int32_t dy = -1; dy <= 1; dy++)
        for (int32_t dx = -1; dx <= 1; dx++) {
            const int32_t x = player.x + dx, y = player.y + dy;
            if (!open(x, y)) continue;
            const auto chance = static_cast<int32_t>(RNG() % 5);
            const int32_t cost = 10 * (dist[y * COLUMNS + x] + danger[y * COLUMNS + x]) +
                                 (idle ? 5 * (dx != 0 || dy != 0) : chance);
            if (cost < best) std::tie(best, best_dx, best_dy) = std::tuple(cost, dx, dy);
        }
    // Each key whose direction the step goes along; a diagonal holds two.
    for (uint8_t dir = KEY_UP; dir <= KEY_LEFT; dir++)
        hold(dir, VECTORS[dir].dx * best_dx + VECTORS[dir].dy * best_dy > 0);
}

// Now and then flips one key.
void play_wild() {
    const auto key = static_cast<uint8_t>(RNG() % (HELD.size() * 8));
    if (key < HELD.size()) hold(key, !HELD[key]);
}

struct Before {
    uint32_t score;
    uint16_t level;
    size_t army;
    std::array<SpawnField, FIELD_COUNT> fields;
};

// The rules that hold after every frame; what broke, or empty. `queued` is what the mixer held
// when the frame had queued its sounds, before any played.
std::string check(const Before& before, size_t queued, uint32_t& kills) {
    for (int32_t code : MAP)
        if (std::abs(code) > SPACE_ENEMY) return "a cell holds " + std::to_string(code);
    auto outside = [](const Ship& s) { return !on_grid(s.x, s.y); };
    if (outside(GAME.player) || std::any_of(GAME.army.begin(), GAME.army.end(), outside) ||
        (GAME.comet.integrity >= 0 && outside(GAME.comet)))
        return "a ship outside the grid";
    const Spawner& spawner = *GAME.spawner;
    size_t released = 0, active = 0, army_bound = 0; // no more than the script's fields release
    for (const SpawnCommand& command : spawner.commands)
        if (command.field < FIELD_COUNT && command.kind != COMET)
            army_bound +=
                static_cast<size_t>(SPAWN_FIELDS[command.field].w * SPAWN_FIELDS[command.field].h);
    for (uint8_t i = 0; i < FIELD_COUNT; i++) {
        const SpawnField& field = SPAWN_FIELDS[i];
        active += field.active;
        if (before.fields[i].active && !field.active && field.kind != COMET)
            released += static_cast<size_t>(field.w * field.h);
    }
    // Ships leave the army only by exploding, each for 100; a level cleared early earns 500.
    const int64_t killed =
        static_cast<int64_t>(before.army + released) - static_cast<int64_t>(GAME.army.size());
    const int64_t levels = spawner.level - before.level;
    if (killed < 0 || levels < 0 || levels > 1 ||
        int64_t{SCORE} - before.score != 100 * killed + 500 * levels)
        return "score " + std::to_string(before.score) + " to " + std::to_string(SCORE);
    kills += static_cast<uint32_t>(killed);
    const Ship& player = GAME.player;
    if (player.integrity < 0 || player.integrity > player.max_integrity) return "integrity";
    if (std::abs(player.charge) > player.max_charge) return "charge";
    if (spawner.pending != active) return "pending " + std::to_string(spawner.pending);
    if (GAME.army.size() > army_bound) return "army of " + std::to_string(GAME.army.size());
    // Past the ring reserved at the first queue, the game thread would have grown it.
    return queued > MIXER_INITIAL_SAMPLES ? "mixer" : "";
}
} // namespace

bool on_console(const Ship& ship) {
    return (ship.y >= 1 && ship.y <= 5) || (ship.y >= 29 && ship.y <= 34);
}

Outcome play_game(uint32_t seed, uint64_t max_ms, const std::string& assets, bool wild,
                  bool real_time) {
    RNG.seed(seed);
    seed_noise(seed);
    Outcome out;
    Point (*const saved_pointer)() = POINTER_SOURCE;
    POINTER_SOURCE = answer_screens;
    STATE = play;
    CHANGE_STATE = 0;
    start_play((assets + "/map.dat").c_str(), (assets + "/spawner.dat").c_str());
    if (!GAME.spawner) out.broken = "the assets did not load";
    const uint64_t start = TIME.now;
    if (real_time) {
        AUDIO_DEVICE_ID = SDL_OpenAudioDevice(nullptr, 0, &AUDIO_SPEC, nullptr, 0);
        SDL_PauseAudioDevice(AUDIO_DEVICE_ID, 0);
    }
    const auto wall_start = std::chrono::steady_clock::now();
    push_button(MOUSE_LEFT, true); // starts the waves in the first frame
    while (GAME.spawner && !CHANGE_STATE && TIME.now - start < max_ms) {
        if (out.frames == 1) push_button(MOUSE_LEFT, false);
        const uint64_t step = wild ? 1 + RNG() % 40 : FRAME_MS;
        wild ? play_wild() : play_well();
        const Before before = {SCORE, GAME.spawner->level, GAME.army.size(), SPAWN_FIELDS};
        FAKE_TICKS += step;
        READS = 0;
        play_frame();
        const size_t queued = queued_samples().size();
        if (real_time) {
            std::this_thread::sleep_until(wall_start + std::chrono::milliseconds(TIME.now - start));
        } else { // the audio thread's part: as many samples as the frame lasted
            std::vector<uint8_t> stream(2 * (step * AUDIO_RATE / 1000));
            send_audio(nullptr, stream.data(), static_cast<int>(stream.size()));
        }
        out.frames++;
        out.console_frames += on_console(GAME.player) ||
                              (GAME.comet.integrity >= 0 && on_console(GAME.comet)) ||
                              std::any_of(GAME.army.begin(), GAME.army.end(), on_console);
        if (out.broken.empty()) out.broken = check(before, queued, out.kills);
    }
    if (real_time) SDL_CloseAudioDevice(std::exchange(AUDIO_DEVICE_ID, 0));
    push_button(MOUSE_LEFT, false);
    if (READS >= SCREEN_READS) out.broken = "a screen waited for more than a click";
    if (GAME.spawner)
        std::tie(out.level, out.issued) = std::tuple(GAME.spawner->level, GAME.spawner->next);
    std::tie(out.score, out.game_ms) = std::tuple(SCORE, TIME.now - start);
    if (CHANGE_STATE) out.result = !STATE ? "quit" : GAME.player.integrity < 1 ? "lost" : "won";
    for (uint8_t key = 0; key < HELD.size(); key++) hold(key, false);
    end_play();
    POINTER_SOURCE = saved_pointer;
    return out;
}
