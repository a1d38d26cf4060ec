// Whole games driven frame by frame: the scene's order, its pause and its end screens.
#include "harness.h"

#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include <SDL.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {
using Answers = std::vector<std::function<void()>>;

bool GUARD = false;
int READS = 0;
std::array<bool, 6> HELD = {};

// While on, a second read in one frame (a screen waiting) asks for a quit, so a screen that
// should not come fails the test instead of waiting for ever.
void guard_read() {
    if (!GUARD) return;
    if (++READS > 1) push_quit();
    on_read(guard_read);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A walled battlefield with nothing inside, and the wave script, in assets/ of a fresh directory.
std::string write_assets(const std::vector<SpawnCommand>& script) {
    std::string dir = temp_dir();
    std::filesystem::create_directory(dir + "/assets");
    std::vector<uint8_t> map(COLUMNS * ROWS, 0);
    for (int32_t i = 0; i < COLUMNS * ROWS; i++) {
        int32_t x = i % COLUMNS, y = i / COLUMNS;
        map[i] = x == 0 || y == 0 || x == COLUMNS - 1 || y == ROWS - 1;
    }
    write_file(dir + "/assets/map.dat", map);
    std::vector<uint8_t> bytes;
    auto put = [&](uint64_t value, int size) {
        for (int i = 0; i < size; i++) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(script.size(), 4);
    for (const SpawnCommand& c : script) {
        put(c.field, 1);
        put(c.kind, 4);
        put(c.delay, 8);
    }
    write_file(dir + "/assets/spawner.dat", bytes);
    return dir;
}

// One game on the test assets, from its start to its teardown, every frame guarded.
struct Match {
    Headless game;
    std::string dir;
    explicit Match(const std::vector<SpawnCommand>& script) : dir(write_assets(script)) {
        HELD = {};
        SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
        TIME.now = 500;
        start_play((dir + "/assets/map.dat").c_str(), (dir + "/assets/spawner.dat").c_str());
        GUARD = true;
        on_read(guard_read);
    }
    ~Match() {
        GUARD = false;
        end_play();
        std::filesystem::remove_all(dir);
    }
};

struct InDirectory {
    std::filesystem::path before = std::filesystem::current_path();
    explicit InDirectory(const std::string& dir) {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() {
        std::filesystem::current_path(before);
    }
};

void frame(uint64_t ms) {
    FAKE_TICKS += ms;
    READS = 0;
    play_frame();
}

// A frame that ends on a waiting screen; each answer runs at one read of the wait, in order.
void waiting_frame(uint64_t ms, const Answers& answers) {
    GUARD = false; // the guard now queued is spent on the frame's own read
    for (const auto& answer : answers) on_read(answer);
    frame(ms);
    EXPECT_EQ(pending_reads(), 0u) << "the wait took every answer";
    GUARD = true;
    on_read(guard_read);
}

// Answers to an end screen: it is read into `shot`, then clicked away.
Answers click_away(Frame& shot) {
    return {[&shot] {
                shot = read_frame();
                push_button(SDL_BUTTON_LEFT, true);
            },
            [] { push_button(SDL_BUTTON_LEFT, false); }};
}

void click() {
    push_button(SDL_BUTTON_LEFT, true);
    frame(1);
    push_button(SDL_BUTTON_LEFT, false);
}

void hold(uint8_t key, bool down) {
    if (HELD[key] != down) push_key(CONTROLS[key], down);
    HELD[key] = down;
}

// Steers the player with W, A, S and D to (x, y), a step per 90 ms frame, then lets go.
void walk_to(int32_t x, int32_t y) {
    for (int i = 0; i < 80 && (GAME.player.x != x || GAME.player.y != y); i++) {
        hold(KEY_LEFT, GAME.player.x > x);
        hold(KEY_RIGHT, GAME.player.x < x);
        hold(KEY_UP, GAME.player.y > y);
        hold(KEY_DOWN, GAME.player.y < y);
        frame(90);
    }
    for (uint8_t key : {KEY_UP, KEY_RIGHT, KEY_DOWN, KEY_LEFT}) hold(key, false);
    ASSERT_EQ(GAME.player.x, x);
    ASSERT_EQ(GAME.player.y, y);
}

// Frames of 100 ms through a spawn field's warning, up to its release.
void through_warning() {
    for (int i = 0; i < 12; i++) frame(100);
}

uint32_t fanfare_samples() {
    const SoundEffect& fx = SOUND_EFFECTS[FX_FANFARE];
    return static_cast<uint32_t>(fx.generator(fx.duration, fx.frequency).samples.size());
}
} // namespace

TEST(PlayGame, AGameStartsFreshOnAWhiteConsoleAndTheFirstClickStartsTheScriptWithAFanfare) {
    SCORE = 999;
    GAME.army.push_back(SHIPS[RED_RAM]);
    Match match({{.field = 0, .kind = BLUE_RAM, .delay = 100000},
                 {.field = 1, .kind = BLUE_RAM, .delay = 0}});
    EXPECT_EQ(SCORE, 0u);
    EXPECT_TRUE(GAME.army.empty());
    EXPECT_EQ(GAME.comet.integrity, -1);
    empty_mixer();
    frame(10);
    Frame first = read_frame();
    EXPECT_EQ(first.text(3, 1, 9), ">LEVEL: 1");
    EXPECT_EQ(first.text(4, 1, 9), ">SCORE: 0");
    EXPECT_EQ(first.text(34, 1, 24), ">Click anywhere to begin");
    EXPECT_TRUE(same_colour(first.at(1, 58), WHITE));
    EXPECT_TRUE(same_colour(first.at(34, 1), WHITE));
    EXPECT_EQ(first.at(18, 32).glyph, 132) << "the player, at its start, cannon on top";
    EXPECT_EQ(first.at(0, 0).glyph, 2) << "the map lies over the console";

    GAME.player.charge = 1;
    for (int i = 0; i < 10; i++) frame(1000);
    EXPECT_EQ(GAME.spawner->next_time, 0u);
    EXPECT_EQ(SPAWN_FIELDS[4].active, 0) << "not even a comet call for an empty laser";
    EXPECT_EQ(SPAWN_FIELDS[0].active, 0);
    EXPECT_EQ(MIXER.count.load(), 0u);

    GAME.player.charge = 50;
    click();
    EXPECT_EQ(MIXER.count.load(), fanfare_samples());
    EXPECT_EQ(SPAWN_FIELDS[0].active, 1);
    EXPECT_EQ(GAME.spawner->next, 1);
    frame(10);
    Frame busy = read_frame();
    EXPECT_TRUE(same_colour(busy.at(1, 1), DARK_GRAY)) << "a field is blinking";
    EXPECT_EQ(busy.text(34, 1, 24), ">Click anywhere to begin");
    EXPECT_EQ(CHANGE_STATE, 0);
}

TEST(PlayGame, ALowLaserCallsTheCometToTheFarCornerWhereItAppearsAfterTheWarning) {
    Match match({{.field = 0, .kind = BLUE_RAM, .delay = 100000},
                 {.field = 1, .kind = BLUE_RAM, .delay = 0}});
    GAME.player.charge = 24;
    click();
    EXPECT_EQ(SPAWN_FIELDS[4].active, 1);
    EXPECT_EQ(SPAWN_FIELDS[4].kind, COMET);
    EXPECT_EQ(GAME.spawner->pending, 2) << "the comet call, then the first command";
    through_warning();
    EXPECT_EQ(GAME.comet.integrity, 1);
    frame(1);
    Frame frame = read_frame();
    EXPECT_EQ(frame.at(34, 62).glyph, 24);
    EXPECT_TRUE(same_colour(frame.at(34, 62), PINK));
    EXPECT_EQ(GAME.spawner->pending, 0);
}

TEST(PlayGame, AnEarlyClearEarnsALevelAndTheLastWaveMustFallBeforeTheTriumph) {
    Match match({{.field = 7, .kind = BLUE_RAM, .delay = 30000},
                 {.field = 7, .kind = BLUE_RAM, .delay = 0}});
    walk_to(32, 1);
    hold(KEY_FIRE, true);
    click();
    through_warning();
    ASSERT_EQ(GAME.army.size(), 1u);
    frame(10);
    EXPECT_EQ(GAME.army[0].integrity, 0) << "shot along row 1";
    frame(200);
    EXPECT_TRUE(GAME.army.empty());
    EXPECT_EQ(SCORE, 100u);

    empty_mixer();
    frame(10);
    uint64_t bonus_time = TIME.now;
    EXPECT_EQ(MIXER.count.load(), fanfare_samples());
    EXPECT_EQ(SCORE, 600u);
    EXPECT_EQ(GAME.spawner->next_time, bonus_time + 6000);
    frame(10);
    Frame level_two = read_frame();
    EXPECT_EQ(level_two.text(3, 1, 10), ">LEVEL: 2 ");
    EXPECT_EQ(level_two.text(4, 1, 12), ">SCORE: 600 ");
    EXPECT_EQ(level_two.text(34, 2, 24), std::string(24, ' '));

    frame(bonus_time + 5999 - TIME.now);
    EXPECT_EQ(GAME.spawner->next, 1);
    EXPECT_EQ(GAME.spawner->level, 2) << "one bonus per clear";
    frame(1);
    EXPECT_EQ(GAME.spawner->next, 2);
    EXPECT_EQ(CHANGE_STATE, 0) << "its ships are still to come";
    hold(KEY_FIRE, false);
    frame(100);
    hold(KEY_FIRE, true);
    for (int i = 0; i < 11; i++) frame(100);
    ASSERT_EQ(GAME.army.size(), 1u);
    EXPECT_EQ(CHANGE_STATE, 0);
    frame(10);
    Frame triumph;
    waiting_frame(200, click_away(triumph));
    EXPECT_EQ(triumph.text(15, 27, 9), " TRIUNFO ");
    EXPECT_EQ(triumph.text(17, 26, 12), " Score: 700 ");
    EXPECT_EQ(triumph.text(19, 19, 26), "Click anywhere to continue");
    EXPECT_TRUE(same_colour(triumph.at(17, 27), WHITE));
    EXPECT_EQ(STATE, title);
    EXPECT_EQ(CHANGE_STATE, 1);
}

TEST(PlayGame, ARammedLastShipAndTheLastEnemyFallingInOneFrameShowDefeatThenTriumph) {
    Match match({{.field = 7, .kind = BLUE_RAM, .delay = 0}});
    walk_to(2, 1);
    GAME.player.integrity = 1;
    click();
    through_warning();
    ASSERT_EQ(GAME.army.size(), 1u);
    frame(10);
    EXPECT_EQ(GAME.army[0].integrity, 0) << "the ram struck";
    Frame defeat, triumph;
    Answers answers = click_away(defeat);
    for (const auto& answer : click_away(triumph)) answers.push_back(answer);
    waiting_frame(10, answers);
    EXPECT_EQ(defeat.text(15, 27, 10), "TE MORISTE");
    EXPECT_EQ(defeat.text(17, 21, 21), "Level: 1   Score: 100");
    EXPECT_EQ(triumph.text(15, 28, 7), "TRIUNFO");
    EXPECT_EQ(triumph.text(17, 27, 10), "Score: 100");
    EXPECT_EQ(STATE, title);
}

TEST(PlayGame, ALostShipEndsOnTheDefeatScreenWhichAHeldButtonDismissesOnItsRelease) {
    Match match({{.field = 0, .kind = BLUE_RAM, .delay = 100000},
                 {.field = 1, .kind = BLUE_RAM, .delay = 0}});
    frame(10);
    GAME.player.integrity = 0;
    push_button(SDL_BUTTON_LEFT, true);
    Frame defeat;
    waiting_frame(10, {[&] {
                      defeat = read_frame();
                      push_button(SDL_BUTTON_LEFT, false);
                  }});
    EXPECT_EQ(defeat.text(15, 26, 12), " TE MORISTE ");
    EXPECT_EQ(defeat.text(17, 21, 21), " Level: 1   Score: 0 ");
    EXPECT_EQ(defeat.text(19, 18, 28), " Click anywhere to continue ");
    EXPECT_TRUE(same_colour(defeat.at(15, 27), WHITE));
    EXPECT_TRUE(same_colour(defeat.at(17, 22), WHITE));
    EXPECT_EQ(defeat.at(3, 1).glyph, '>') << "the last frame shows through the veil";
    EXPECT_LT(defeat.at(3, 1).r, 128);
    EXPECT_EQ(STATE, title);
    EXPECT_EQ(CHANGE_STATE, 1);
}

TEST(PlayGame, EscapePausesUntilItIsPressedAgainAndThePauseCostsNoGameTime) {
    Match match({{.field = 0, .kind = BLUE_RAM, .delay = 100000},
                 {.field = 1, .kind = BLUE_RAM, .delay = 0}});
    push_key(SDLK_ESCAPE, true);
    push_key(SDLK_ESCAPE, false);
    frame(10);
    EXPECT_EQ(READS, 1) << "a press and release within one read leave no trace";

    push_key(SDLK_ESCAPE, true);
    Frame paused;
    waiting_frame(10, {[&] {
                           paused = read_frame();
                           FAKE_TICKS += 5000;
                           push_key(SDLK_ESCAPE, false);
                       },
                       [] { push_key(SDLK_ESCAPE, true); }, [] { push_key(SDLK_ESCAPE, false); }});
    EXPECT_EQ(paused.text(17, 17, 28), " Press ESC again to unpause ");
    EXPECT_TRUE(same_colour(paused.at(17, 18), WHITE));
    EXPECT_EQ(paused.at(3, 1).glyph, '>');
    EXPECT_LT(paused.at(3, 1).r, 128);
    uint64_t resumed = TIME.now;
    frame(10);
    EXPECT_EQ(TIME.now, resumed + 10);
    EXPECT_EQ(CHANGE_STATE, 0);
}

TEST(PlayGame, TheSceneRunsAnEmptyScriptToItsTriumphAndEndsAtOnceWithoutItsScript) {
    Headless game;
    std::string dir = write_assets({});
    InDirectory inside(dir);
    Frame triumph;
    uint64_t started = 1;
    on_read([] {});
    on_read([&] {
        triumph = read_frame();
        started = GAME.spawner->next_time;
        push_button(SDL_BUTTON_LEFT, true);
    });
    on_read([] { push_button(SDL_BUTTON_LEFT, false); });
    play();
    EXPECT_EQ(pending_reads(), 0u);
    EXPECT_EQ(triumph.text(15, 28, 7), "TRIUNFO");
    EXPECT_EQ(triumph.text(17, 28, 8), "Score: 0");
    EXPECT_EQ(started, 0u) << "before any click";
    EXPECT_FALSE(GAME.spawner);
    EXPECT_EQ(STATE, title);
    EXPECT_EQ(EXIT_STATUS, 0);

    std::filesystem::remove("assets/spawner.dat");
    CHANGE_STATE = 0;
    on_read([] {});
    testing::internal::CaptureStderr();
    play();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("assets/spawner.dat"), std::string::npos);
    EXPECT_EQ(pending_reads(), 1u) << "no frame ran";
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    EXPECT_EQ(EXIT_STATUS, 1);
    std::filesystem::remove_all(dir);
}
