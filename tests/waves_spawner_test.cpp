// The wave script: reading it, issuing its commands, calling the comet, the early-clear bonus.
#include "harness.h"

#include "input/input.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {
std::vector<uint8_t> encode(uint32_t count, const std::vector<SpawnCommand>& commands) {
    std::vector<uint8_t> bytes;
    auto put = [&](uint64_t value, int size) {
        for (int i = 0; i < size; i++) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(count, 4);
    for (const SpawnCommand& c : commands) {
        put(c.field, 1);
        put(c.kind, 4);
        put(c.delay, 8);
    }
    return bytes;
}

Spawner script(const std::vector<SpawnCommand>& commands) {
    return parse_spawner(encode(static_cast<uint32_t>(commands.size()), commands));
}

// A fresh game at game time 1000 with the player at its start and no comet.
struct Round {
    Ship player = SHIPS[PLAYER];
    Ship comet = SHIPS[COMET];
    Army army;
    Round() {
        SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
        MOUSE = {};
        TIME.now = 1000;
        SCORE = 0;
        empty_mixer();
    }
    void update(Spawner& spawner, uint64_t now) {
        TIME.now = now;
        update_spawner(spawner, player, army, comet);
    }
};

void other_scene() {}

// The index of the one active field, -1 for none, -2 for several.
int active_field() {
    int found = -1;
    for (int i = 0; i < FIELD_COUNT; i++)
        if (SPAWN_FIELDS[i].active) found = found == -1 ? i : -2;
    return found;
}

uint32_t fanfare_samples() {
    const SoundEffect& fx = SOUND_EFFECTS[FX_FANFARE];
    return static_cast<uint32_t>(fx.generator(fx.duration, fx.frequency).samples.size());
}
} // namespace

TEST(WavesSpawner, AScriptIsReadLittleEndianAndOnlyItsCompleteCommandsCount) {
    Spawner full = script({{.field = 3, .kind = CYAN_GUNNER, .delay = 0x0102030405060708}});
    ASSERT_EQ(full.count, 1);
    EXPECT_EQ(full.commands[0].field, 3);
    EXPECT_EQ(full.commands[0].kind, CYAN_GUNNER);
    EXPECT_EQ(full.commands[0].delay, 0x0102030405060708u);
    EXPECT_EQ(full.level, 1);
    EXPECT_EQ(full.next_time, 0u);

    std::vector<uint8_t> short_one = encode(3, {{.field = 1, .kind = 1, .delay = 5}, {}});
    short_one.resize(short_one.size() - 1);
    Spawner cut = parse_spawner(short_one);
    EXPECT_EQ(cut.count, 1) << "a command missing its last byte is not played";
    EXPECT_EQ(cut.commands.size(), 1u);
    EXPECT_EQ(parse_spawner({5, 0, 0}).count, 0) << "no count can be read";
    EXPECT_EQ(parse_spawner({}).level, 1);

    std::vector<SpawnCommand> many(65537, {.field = 0, .kind = BLUE_RAM, .delay = 1});
    Spawner capped = parse_spawner(encode(65537, many));
    EXPECT_EQ(capped.count, 65535);
    EXPECT_EQ(capped.commands.size(), 65535u);

    std::string dir = temp_dir();
    std::vector<uint8_t> bytes = encode(1, {{.field = 7, .kind = COMET, .delay = 250}});
    std::ofstream(dir + "/spawner.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::optional<Spawner> loaded = load_spawner((dir + "/spawner.dat").c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->count, 1);
    EXPECT_EQ(loaded->commands[0].delay, 250u);
    EXPECT_EQ(CHANGE_STATE, 0);

    Scene before = STATE;
    STATE = other_scene;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load_spawner((dir + "/missing.dat").c_str()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("missing.dat"), std::string::npos);
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    EXPECT_EQ(EXIT_STATUS, 1);
    STATE = before;
    CHANGE_STATE = 0;
    EXIT_STATUS = 0;
    std::filesystem::remove_all(dir);
}

TEST(WavesSpawner, TheFirstCommandComesWithTheClickAndEachLaterOneWaitsForTheDelayBeforeIt) {
    Round round;
    Spawner spawner = script({{.field = 2, .kind = BLUE_RAM, .delay = 3000},
                              {.field = 3, .kind = GREEN_GUNNER, .delay = 0},
                              {.field = 5, .kind = RED_RAM, .delay = 30000},
                              {.field = 6, .kind = BLUE_RAM, .delay = 0}});
    round.update(spawner, 60000);
    EXPECT_EQ(active_field(), -1);
    MOUSE[1] = 1;
    round.update(spawner, 70000);
    EXPECT_EQ(MIXER.count.load(), fanfare_samples());
    EXPECT_EQ(active_field(), 2) << "the first command comes with the click";
    EXPECT_EQ(SPAWN_FIELDS[2].kind, BLUE_RAM);
    EXPECT_EQ(spawner.next, 1);
    EXPECT_EQ(spawner.pending, 1);

    MOUSE[1] = 0;
    round.update(spawner, 72999);
    EXPECT_EQ(spawner.next, 1);
    round.update(spawner, 73000);
    EXPECT_EQ(SPAWN_FIELDS[3].active, 1);
    EXPECT_EQ(SPAWN_FIELDS[3].kind, GREEN_GUNNER);
    round.update(spawner, 73001);
    EXPECT_EQ(SPAWN_FIELDS[5].active, 1) << "a delay of 0 lets the next command come next frame";
    EXPECT_EQ(spawner.next_time, 103001u);
    round.update(spawner, 73002);
    EXPECT_EQ(spawner.next, 3);
    EXPECT_EQ(spawner.pending, 3);
    EXPECT_EQ(spawner.level, 1);
}

TEST(WavesSpawner, UnplayableCommandsArePassedOverButTheirDelaysStillCount) {
    Round round;
    Spawner spawner = script({{.field = 8, .kind = BLUE_RAM, .delay = 1000},
                              {.field = 0, .kind = PLAYER, .delay = 1000},
                              {.field = 1, .kind = 6, .delay = 1000},
                              {.field = 255, .kind = COMET, .delay = 1000},
                              {.field = 4, .kind = COMET, .delay = UINT64_MAX}});
    MOUSE[1] = 1;
    for (uint64_t t = 2000; t <= 5000; t += 1000) {
        round.update(spawner, t);
        EXPECT_EQ(spawner.next_time, t + 1000);
        EXPECT_EQ(active_field(), -1);
        EXPECT_EQ(spawner.pending, 0);
    }
    EXPECT_EQ(spawner.next, 4);
    round.update(spawner, 6000);
    EXPECT_EQ(active_field(), 4);
    EXPECT_EQ(SPAWN_FIELDS[4].kind, COMET);
    EXPECT_EQ(spawner.pending, 1);
    EXPECT_EQ(spawner.next_time, UINT64_MAX) << "a delay too long to add waits for ever";
}

TEST(WavesSpawner, ACommandForABlinkingFieldChangesItsKindAndCometCallsKeepComing) {
    Headless game;
    Round round;
    Spawner spawner = script({{.field = 0, .kind = BLUE_RAM, .delay = 0},
                              {.field = 0, .kind = RED_RAM, .delay = 100000},
                              {.field = 1, .kind = BLUE_RAM, .delay = 0}});
    MOUSE[1] = 1;
    round.update(spawner, 1000);
    round.update(spawner, 1001);
    EXPECT_EQ(SPAWN_FIELDS[0].kind, RED_RAM);
    EXPECT_EQ(spawner.pending, 1) << "one field blinking, one release to come";

    for (uint64_t t = 1000; SPAWN_FIELDS[0].active && t < 3000; t += 50) {
        TIME.now = t;
        update_spawn_field(0, spawner, round.army, round.comet);
    }
    ASSERT_EQ(round.army.size(), 12u);
    EXPECT_EQ(round.army.front().kind, RED_RAM);
    EXPECT_EQ(spawner.pending, 0);

    round.player.charge = 24;
    round.update(spawner, 5000);
    EXPECT_EQ(SPAWN_FIELDS[4].active, 1);
    EXPECT_EQ(SPAWN_FIELDS[4].kind, COMET);
}

TEST(WavesSpawner, ALowLaserCallsTheCometToTheCornerOppositeThePlayer) {
    Round round;
    // The field called for the player at (x, y) with `charge`: a started script with no
    // commands, so that nothing else activates a field.
    auto called = [&](int32_t x, int32_t y, int32_t charge) {
        SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
        Spawner spawner = script({});
        spawner.next_time = 1;
        round.player.x = x;
        round.player.y = y;
        round.player.charge = charge;
        round.update(spawner, 5000);
        EXPECT_EQ(spawner.pending, active_field() >= 0 ? 1 : 0);
        return active_field();
    };
    EXPECT_EQ(called(32, 18, 25), -1);
    EXPECT_EQ(called(32, 18, -25), -1);
    EXPECT_EQ(called(32, 18, 24), 4);
    EXPECT_EQ(SPAWN_FIELDS[4].kind, COMET);
    EXPECT_EQ(called(32, 18, -24), 4) << "a latched trigger keeps the charge negated";
    EXPECT_EQ(called(33, 18, 0), 5);
    EXPECT_EQ(called(32, 19, 0), 6);
    EXPECT_EQ(called(33, 19, 0), 7);
    round.comet.integrity = 1;
    EXPECT_EQ(called(1, 1, 0), -1) << "the comet is on the field";
    round.comet.integrity = 0;
    EXPECT_EQ(called(1, 1, 0), -1) << "the comet is being collected";
}

TEST(WavesSpawner, NoEarlyClearBonusWhileAnythingStirsOrTheNextCommandIsWithin20Seconds) {
    Round round;
    Spawner spawner = script({{.field = 2, .kind = BLUE_RAM, .delay = 30000},
                              {.field = 3, .kind = BLUE_RAM, .delay = 0}});
    MOUSE[1] = 1;
    round.update(spawner, 1000);
    EXPECT_EQ(spawner.next_time, 31000u);
    round.update(spawner, 2000);
    EXPECT_EQ(spawner.level, 1) << "a field is still blinking";
    SPAWN_FIELDS[2].active = 0;
    spawner.pending = 0;
    round.army.push_back(SHIPS[BLUE_RAM]);
    round.update(spawner, 3000);
    round.army.clear();
    round.comet.integrity = 1;
    round.update(spawner, 4000);
    round.comet.integrity = -1;
    round.update(spawner, 11000);
    EXPECT_EQ(spawner.level, 1) << "20 s exactly is not more than 20 s";
    EXPECT_EQ(SCORE, 0u);
    EXPECT_EQ(spawner.next_time, 31000u);
}
