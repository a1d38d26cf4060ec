// Battlefield stories on small hand-made maps, the clock set by the test, frames read back.
#include "bot.h"
#include "game_parts.h"
#include "scenario.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {
enum : uint32_t { UP, RIGHT, DOWN, LEFT };

struct At {
    int32_t x, y;
};
void put(int32_t code, std::initializer_list<At> cells) {
    for (At at : cells) set_cell(at.x, at.y, code);
}

Ship place(uint32_t kind, int32_t x, int32_t y, uint32_t dir = UP) {
    Ship ship = SHIPS[kind];
    std::tie(ship.x, ship.y, ship.dir) = std::tuple(x, y, dir);
    set_cell(x, y, kind == PLAYER ? SPACE_PLAYER : SPACE_ENEMY);
    return ship;
}

std::tuple<int32_t, int32_t, uint32_t, int32_t> pose(const Ship& ship) {
    return {ship.x, ship.y, ship.dir, ship.integrity};
}

// Whether the mixer holds exactly one play of the effect; it is emptied.
bool heard(uint8_t effect) {
    const SoundEffect& fx = SOUND_EFFECTS[effect];
    const std::vector<int16_t> got = queued_samples();
    empty_mixer();
    return got == fx.generator(fx.duration, fx.frequency).samples;
}

void load_bytes(const std::string& bytes) {
    write_file("map.dat", bytes);
    load_map("map.dat");
}

struct Battlefield : testing::Test {
    Headless game;
    Ship player = SHIPS[PLAYER], comet = SHIPS[COMET];
    Army army;
    Battlefield() {
        set_map({}); // an open grid: its edge reads as wall
        std::tie(TIME.now, SCORE) = std::tuple(1000, 0);
    }
    // `frames` frames `wait` ms apart, keys held: the updates and beams in the game's order.
    void play(uint64_t wait, std::initializer_list<uint8_t> keys = {}, int frames = 1) {
        for (int i = 0; i < frames; i++) {
            KEYS = {};
            for (uint8_t key : keys) KEYS[key] = 1;
            TIME.now += wait;
            SDL_RenderClear(RENDERER);
            update_player(player);
            update_enemy(army);
            update_comet(comet, player);
            laser(player);
            laser(army);
        }
    }
};
} // namespace

// Among equally near targets: left, ahead, right, behind; enemies never look behind. Then every
// look on a random field against a cell-by-cell walk.
TEST_F(Battlefield, AimsAtTheNearestInTurnAndSeesWhatAWalkMeets) {
    Ship ram = place(BLUE_RAM, 10, 10);
    put(SPACE_PLAYER, {{10, 12}});
    scan(ram);
    EXPECT_EQ(scan_for_target(ram, SPACE_PLAYER), 0);
    player = place(PLAYER, 20, 20);
    put(SPACE_ENEMY, {{20, 17}, {20, 16}, {23, 20}, {20, 23}, {16, 20}});
    std::string aims; // direction and distance, target by target as each is shot down
    for (int shot = 0; shot < 5; shot++) {
        player.dir = UP;
        scan(player);
        const int32_t far = scan_for_target(player, SPACE_ENEMY);
        aims += "URDL"[player.dir] + std::to_string(far) + " ";
        const Vector& v = VECTORS[player.dir];
        set_cell(20 + far * v.dx, 20 + far * v.dy, SPACE_EMPTY);
    }
    EXPECT_EQ(aims, "U3 R3 D3 L4 U4 ");

    std::mt19937 random(7);
    Grid cells{};
    for (int32_t& code : cells) code = random() % 6 ? 0 : static_cast<int32_t>(random() % 7) - 3;
    set_map(cells);
    for (int32_t i = 0; i < 500; i++) {
        const int32_t x = int32_t(random() % COLUMNS), y = int32_t(random() % ROWS);
        i % 3 ? set_cell(x, y, i % 3 == 1 ? SPACE_EMPTY : SPACE_ENEMY) : mark_cell(x, y);
    }
    for (int32_t i = 0; i < ROWS * COLUMNS * 4; i++) { // from every cell, each way
        const int32_t x = i / 4 % COLUMNS, y = i / 4 / COLUMNS, dir = i % 4;
        const Vector& v = VECTORS[dir];
        Ship ship{.x = x, .y = y};
        scan(ship);
        int32_t far = 1;
        while (cell_at(x + far * v.dx, y + far * v.dy) == SPACE_EMPTY) far++;
        const auto met = uint32_t(std::abs(cell_at(x + far * v.dx, y + far * v.dy)));
        const Sight seen = look(ship, dir), kept = ship.sight[dir];
        ASSERT_EQ(std::tuple(seen.space, seen.distance, kept.space, kept.distance),
                  std::tuple(met, far, met, far))
            << x << "," << y << " looking " << dir;
    }
}

TEST_F(Battlefield, PlayerSlipsPastCornersAndFiresOncePerPress) {
    put(SPACE_WALL, {{32, 17}, {33, 18}});
    play(100, {KEY_UP, KEY_RIGHT});
    EXPECT_EQ(std::pair(player.x, player.y), std::pair(33, 17));
    put(-SPACE_PLAYER, {{34, 17}}); // a pending hit blocks too
    play(100, {KEY_RIGHT});
    EXPECT_EQ(std::pair(player.x, player.last_move), std::pair(33, TIME.now)) << "a turn taken";
    player.charge = 12;
    put(SPACE_ENEMY, {{33, 10}});
    play(100, {KEY_FIRE});
    EXPECT_TRUE(heard(FX_LASER)) << "12 shots before it";
    const Frame shot = read_frame();
    EXPECT_TRUE(shot.at(11, 33).glyph == GLYPH_PLAYER_BEAM && same_colour(shot.at(11, 33), PINK));
    EXPECT_EQ(shot.at(10, 33).glyph, GLYPH_NONE) << "the beam stops short of its target";
    play(100, {KEY_FIRE});
    EXPECT_EQ(player.charge, -11) << "held: one shot, the trigger latched";
    EXPECT_EQ(read_frame().at(11, 33).r, 75) << "aiming again: faint, alpha 75";
    play(100);
    play(100, {KEY_FIRE});
    EXPECT_TRUE(heard(FX_LASER_LOW)) << "10 left";
}

TEST_F(Battlefield, ShipsBesideThePlayerRamItAndTurnAway) {
    // A blue ram with the player on its left, as much room below as above; a charged gunner.
    player = place(PLAYER, 9, 10);
    spawn_enemy(BLUE_RAM, 10, 10, UP, army);
    spawn_enemy(BLUE_RAM, 10, 21, RIGHT, army);
    spawn_enemy(GREEN_GUNNER, 9, 11, UP, army);
    army[2].charge = 1;
    play(0);
    EXPECT_EQ(pose(army[0]), std::tuple(10, 11, DOWN, 0)) << "faced it, rammed, turned left";
    EXPECT_EQ(pose(army[2]), std::tuple(8, 11, LEFT, 0)) << "fired, rammed, turned away";
    EXPECT_TRUE(heard(FX_LASER)) << "a gunner's shot is never low; rams are silent";
    mark_cell(10, 11); // a late shot at a wreck changes nothing
    play(180);
    EXPECT_EQ(player.integrity, 4) << "three marks, one point";
    EXPECT_EQ(pose(army[0]), std::tuple(12, 21, RIGHT, 1)) << "the survivor stepped twice";
    EXPECT_EQ(std::tuple(army.size(), SCORE, cell_at(10, 11)), std::tuple(1u, 200u, 0));
}

// It fires on the fourth step in sight, then every third; losing sight starts the count again.
TEST_F(Battlefield, GunnerFiresOnFourthStepInSight) {
    player = place(PLAYER, 50, 10);
    spawn_enemy(GREEN_GUNNER, 2, 10, RIGHT, army);
    std::vector<int> shots;
    for (int step = 1; step <= 14; step++) {
        put(step == 4 ? SPACE_WALL : SPACE_EMPTY, {{30, 10}});
        play(180);
        if (army[0].last_shot == TIME.now) shots.push_back(step);
    }
    EXPECT_EQ(shots, (std::vector<int>{8, 11, 14}));
    EXPECT_EQ(player.integrity, 3) << "the third shot is still pending";
}

TEST_F(Battlefield, HitEnemyPausesRedRamTakesTwoKillScores) {
    spawn_enemy(RED_RAM, 10, 10, RIGHT, army);
    std::string seen; // column:integrity after each frame
    // ms between frames: at once, a step, all but the last ms of a hit's pause, that last ms
    const uint64_t now = 0, step = SHIPS[RED_RAM].move_interval, pause = HIT_TIME - 1, last = 1;
    for (uint64_t wait : {now, step, pause, last, step, pause, last}) {
        if (wait == step) mark_cell(army[0].x, army[0].y); // a hit, just as its step falls due
        play(wait);
        EXPECT_TRUE(wait != step || queued_samples().empty()) << "an enemy's hit is silent";
        seen += army.empty()
                    ? "-"
                    : std::to_string(army[0].x) + ":" + std::to_string(army[0].integrity) + " ";
    }
    EXPECT_EQ(std::tuple(seen, SCORE), std::tuple("11:2 11:1 11:1 12:1 12:0 12:0 -", 100u));
    empty_mixer(); // the explosion
    player = place(PLAYER, 20, 20);
    mark_cell(20, 20);
    detect_hit(player);
    EXPECT_TRUE(heard(FX_HURT)) << "the player's hit is heard";
}

// Shot two cells above the player, which steps into the cell it empties while hit.
TEST_F(Battlefield, WhatLeavesACellLeavesThePlayerInIt) {
    player = place(PLAYER, 10, 12);
    spawn_enemy(BLUE_RAM, 10, 10, RIGHT, army);
    play(0, {KEY_FIRE});
    play(90, {KEY_UP}, 2);
    EXPECT_EQ(std::tuple(player.y, army.size()), std::tuple(10, 1u)) << "still flashing";
    play(20);
    EXPECT_EQ(std::tuple(army.size(), SCORE, cell_at(10, 10)), std::tuple(0u, 100u, SPACE_PLAYER));

    spawn_enemy(RED_RAM, 10, 8, RIGHT, army); // survives, pausing with its cell empty
    play(100, {KEY_FIRE});
    play(90, {KEY_UP}, 2);
    play(20);
    EXPECT_EQ(pose(army[0]), std::tuple(11, 8, RIGHT, 1)) << "resumed, and stepped";
    EXPECT_EQ(std::tuple(cell_at(10, 8), cell_at(11, 8), player.integrity),
              std::tuple(+SPACE_PLAYER, +SPACE_ENEMY, 5));

    put(SPACE_EMPTY, {{11, 8}});
    army.clear();
    spawn_comet(comet, 10, 6);
    play(100, {KEY_FIRE});
    play(90, {KEY_UP}, 2);
    play(20);
    EXPECT_EQ(std::tuple(comet.integrity, player.y, cell_at(10, 6)),
              std::tuple(-1, 6, +SPACE_PLAYER));
}

TEST_F(Battlefield, CometTakenOnTouchOrShotAndTurnsFromPlayer) {
    for (const Vector& side : VECTORS) {
        player = place(PLAYER, 20 + side.dx, 20 + side.dy);
        spawn_comet(comet, 20, 20);
        play(0);
        EXPECT_EQ(std::pair(comet.integrity, cell_at(20, 20)), std::pair(-1, 0)) << "taken at once";
        put(SPACE_EMPTY, {{player.x, player.y}});
    }
    player = place(PLAYER, 20, 25);
    spawn_comet(comet, 20, 20);
    play(0, {KEY_FIRE});
    play(199, {KEY_FIRE});
    EXPECT_EQ(pose(comet), std::tuple(20, 20, UP, 0)) << "shot, it stands still";
    play(1, {KEY_FIRE});
    EXPECT_EQ(std::pair(comet.integrity, player.charge), std::pair(-1, 50)) << "Enter still held";

    player = place(PLAYER, 20, 10);
    put(SPACE_PLAYER, {{11, 9}, {8, 10}}); // a diagonal neighbour, and one two cells off
    comet.dir = RIGHT;
    spawn_comet(comet, 10, 10);
    play(65);
    EXPECT_EQ(pose(comet), std::tuple(10, 11, DOWN, 1)) << "untouched; it turns, to the open right";
}

// On a black block that hides what is beneath: the flash while hit, the cannon while charged.
TEST_F(Battlefield, ShipDrawnWithFacingCannonAndFlash) {
    const uint64_t flashing = HIT_TIME - 1, steady = HIT_TIME; // ms since the hit
    auto drawn = [](uint32_t kind, uint32_t dir, int32_t charge, uint64_t hit_ago) {
        Ship ship = place(kind, 7, 3, dir);
        std::tie(ship.charge, ship.last_hit) = std::tuple(charge, TIME.now - hit_ago);
        print_char(GLYPH_BLOCK, 3, 7, WHITE);
        print_ship(ship);
        const Cell shown = read_frame().at(3, 7);
        return std::tuple(shown.glyph, shown.r, shown.g, shown.b);
    };
    auto shows = [](int glyph, const Colour& c) { return std::tuple(glyph, c.r, c.g, c.b); };
    EXPECT_EQ(drawn(PLAYER, UP, -7, flashing), shows(GLYPH_CANNON, PINK)) << "latched: a cannon";
    EXPECT_EQ(drawn(PLAYER, LEFT, 0, steady), shows(GLYPH_PLAYER + LEFT, WHITE)) << "no shots";
    EXPECT_EQ(drawn(GREEN_GUNNER, DOWN, -2, flashing), shows(GLYPH_HIT_FLASH, YELLOW));
    EXPECT_EQ(drawn(GREEN_GUNNER, DOWN, -2, steady), shows(GLYPH_GUNNER + DOWN, GREEN));
}

TEST_F(Battlefield, MapFilesFillTheGridWhateverTheirBytes) {
    WorkDir work;
    load_bytes(std::string(322, '\0') + "\x01\x02\x03\xff"); // cells 2 to 5 of row 5, no more
    EXPECT_EQ(std::vector<int32_t>(MAP.begin() + 5 * COLUMNS + 2, MAP.begin() + 5 * COLUMNS + 6),
              (std::vector<int32_t>{SPACE_WALL, SPACE_PLAYER, SPACE_ENEMY, SPACE_WALL}));
    put(-SPACE_WALL, {{20, 20}});
    print_map();
    const Frame shown = read_frame();
    EXPECT_EQ(shown.text(5, 2, 4) + shown.text(20, 20, 1),
              (std::string{GLYPH_WALL, ' ', ' ', GLYPH_WALL, GLYPH_WALL}))
        << "walls only";
    EXPECT_TRUE(same_colour(shown.at(5, 2), GRAY));
    load_bytes(std::string(2303, '\0') + std::string(697, '\x01'));
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_EMPTY), 2303) << "only 2304 bytes count";
    load_bytes(std::string(40, '\x09'));
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_WALL), 40) << "stray bytes are walls";
}

// From every corner, whatever its facing and wherever the player stands on the shipped map.
TEST_F(Battlefield, CometLeavesConsoleAtOnceAndComesInLine) {
    load_map(QUELTIVAR_SOURCE_DIR "/assets/map.dat");
    const Grid shipped = MAP;
    std::vector<At> stands; // a spread of the player's cells, all over the field
    for (int32_t y = 6; y <= 28; y += 2)
        for (int32_t x = 1 + y % 4; x <= 62; x += 4)
            if (shipped[y * COLUMNS + x] == SPACE_EMPTY) stands.push_back({x, y});
    ASSERT_GT(stands.size(), 150u);
    ASSERT_EQ(std::count(shipped.begin(), shipped.end(), SPACE_ENEMY), 0);
    auto in_line = [&] { // the comet is the only enemy to be seen
        scan(player);
        return std::ranges::any_of(player.sight, [](Sight s) { return s.space == SPACE_ENEMY; });
    };
    NoFont no_font;
    for (uint8_t field = FIRST_COMET_FIELD; field < FIELD_COUNT; field++)
        for (uint32_t facing = UP; facing <= LEFT; facing++) // where its last life ended
            for (At at : stands) {
                SCOPED_TRACE(testing::Message() << "corner " << +field << ", facing " << facing
                                                << ", player at " << at.x << "," << at.y);
                set_map(shipped);
                player = place(PLAYER, at.x, at.y);
                comet = SHIPS[COMET];
                comet.dir = facing;
                spawn_comet(comet, SPAWN_FIELD_LAYOUT[field].x, SPAWN_FIELD_LAYOUT[field].y);
                const uint64_t released = TIME.now;
                uint64_t left = 0; // ms from the release to its first step off the console
                while (!in_line() && comet.integrity > 0 && TIME.now - released < 30000) {
                    TIME.now += comet.move_interval;
                    update_comet(comet, player);
                    if (!left && !on_console(comet)) left = TIME.now - released;
                    ASSERT_TRUE(!left || !on_console(comet)) << "back on the console";
                }
                ASSERT_TRUE(in_line() || comet.integrity <= 0) << "never in line";
                ASSERT_LE(left, 1000u) << "on the console for " << left << " ms";
            }
}
