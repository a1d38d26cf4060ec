// Battlefield stories on small hand-made maps, the clock set by the test, frames read back.
#include "harness.h"

#include "battlefield/army.h"
#include "battlefield/comet.h"
#include "battlefield/laser.h"
#include "battlefield/map.h"
#include "battlefield/player.h"
#include "battlefield/sensing.h"
#include "display/glyphs.h"
#include "input/input.h"
#include "platform/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "waves/spawn_field.h"

#include "scenario.h"

#include <SDL.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace {
// A grid cell, written through set_cell like the game's own writes.
struct CellRef {
    int32_t x, y;
    const CellRef& operator=(int32_t code) const {
        set_cell(x, y, code);
        return *this;
    }
    const CellRef& operator=(const CellRef& other) const {
        return *this = static_cast<int32_t>(other);
    }
    operator int32_t() const {
        return cell_at(x, y);
    }
};

CellRef cell(int32_t x, int32_t y) {
    return {x, y};
}

Ship place(uint32_t kind, int32_t x, int32_t y, uint32_t dir = 0) {
    Ship ship = SHIPS[kind];
    std::tie(ship.x, ship.y, ship.dir) = std::tuple(x, y, dir);
    cell(x, y) = kind == PLAYER ? SPACE_PLAYER : SPACE_ENEMY;
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
    const std::string dir = temp_dir();
    std::ofstream(dir + "/map.dat", std::ios::binary) << bytes;
    load_map((dir + "/map.dat").c_str());
    std::filesystem::remove_all(dir);
}

struct Battlefield : testing::Test {
    Headless game;
    Ship player = SHIPS[PLAYER], comet = SHIPS[COMET];
    Army army;
    Battlefield() {
        set_map({}); // an open grid: its edge reads as wall
        TIME.now = 1000;
        SCORE = 0;
    }
    // One frame `wait` ms after the last, keys held: the updates and beams in the game's order.
    void play(uint64_t wait, std::initializer_list<uint8_t> keys = {}) {
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
};
} // namespace

TEST_F(Battlefield, ShipsSeeWhatTheirLinesMeetAndAimAtTheNearestTargetLeftAheadRightThenBehind) {
    Ship ram = place(BLUE_RAM, 10, 10);
    cell(10, 4) = -SPACE_ENEMY; // hit markers are seen as what they mark
    cell(13, 10) = -SPACE_WALL;
    cell(10, 12) = SPACE_PLAYER;
    scan(ram);
    for (auto [d, code, far] : {std::tuple{0u, 3u, 6}, {1u, 1u, 3}, {2u, 2u, 2}, {3u, 1u, 11}})
        EXPECT_EQ(std::pair(ram.sight[d].space, ram.sight[d].distance), std::pair(code, far));
    EXPECT_EQ(scan_for_target(ram, SPACE_PLAYER), 0) << "enemies never aim behind";

    // The player, facing up, shoots down the nearest enemy in turn: equal ones left first.
    player = place(PLAYER, 20, 20);
    cell(20, 17) = cell(20, 16) = cell(23, 20) = cell(20, 23) = cell(16, 20) = SPACE_ENEMY;
    for (auto [dir, distance] : {std::pair{0u, 3}, {1u, 3}, {2u, 3}, {3u, 4}, {0u, 4}}) {
        player.dir = 0;
        scan(player);
        EXPECT_EQ(scan_for_target(player, SPACE_ENEMY), distance);
        EXPECT_EQ(player.dir, dir);
        cell(20 + distance * VECTORS[dir].dx, 20 + distance * VECTORS[dir].dy) = SPACE_EMPTY;
    }
}

TEST(Sensing, EveryLookFindsWhatACellByCellWalkFindsOnAGridAfterAnyWrites) {
    std::mt19937 random(7);
    Grid cells{};
    for (int32_t& code : cells)
        code = random() % 6 == 0 ? static_cast<int32_t>(random() % 7) - 3 : 0;
    set_map(cells);
    for (int32_t i = 0; i < 500; i++) {
        const auto x = static_cast<int32_t>(random() % COLUMNS),
                   y = static_cast<int32_t>(random() % ROWS);
        if (i % 3 == 0)
            mark_cell(x, y);
        else
            set_cell(x, y, i % 3 == 1 ? SPACE_EMPTY : SPACE_ENEMY);
    }
    for (int32_t y = 0; y < ROWS; y++) {
        for (int32_t x = 0; x < COLUMNS; x++) {
            Ship ship;
            std::tie(ship.x, ship.y) = std::pair(x, y);
            scan(ship);
            for (uint32_t dir = 0; dir < 4; dir++) {
                const Vector& step = VECTORS[dir];
                int32_t far = 1;
                while (cell_at(x + far * step.dx, y + far * step.dy) == SPACE_EMPTY) far++;
                const auto met =
                    static_cast<uint32_t>(std::abs(cell_at(x + far * step.dx, y + far * step.dy)));
                const Sight sight = look(ship, dir);
                ASSERT_EQ(std::tuple(sight.space, sight.distance, ship.sight[dir].space,
                                     ship.sight[dir].distance),
                          std::tuple(met, far, met, far))
                    << x << "," << y << " looking " << dir;
            }
        }
    }
    set_map({});
}

TEST_F(Battlefield, ThePlayerStepsDiagonallyPastCornersIntoNothingAndFiresOncePerPress) {
    cell(32, 17) = cell(33, 18) = SPACE_WALL; // a corner to slip past
    play(100, {KEY_UP, KEY_RIGHT});
    EXPECT_EQ(std::pair(player.x, player.y), std::pair(33, 17));
    cell(34, 17) = -SPACE_PLAYER; // a pending hit blocks too
    play(100, {KEY_RIGHT});
    EXPECT_EQ(std::pair(player.x, player.last_move), std::pair(33, TIME.now)) << "a turn taken";
    player.charge = 12;
    cell(33, 10) = SPACE_ENEMY;
    play(100, {KEY_FIRE});
    EXPECT_TRUE(heard(FX_LASER)) << "12 shots before it";
    const Frame shot = read_frame();
    EXPECT_EQ(std::pair(shot.at(17, 33).glyph, shot.at(10, 33).glyph),
              std::pair(int{GLYPH_CANNON}, int{GLYPH_NONE}));
    EXPECT_TRUE(shot.at(11, 33).glyph == GLYPH_PLAYER_BEAM && same_colour(shot.at(11, 33), PINK))
        << "bright";
    play(100, {KEY_FIRE});
    EXPECT_EQ(player.charge, -11) << "held: one shot, the trigger latched";
    EXPECT_EQ(read_frame().at(11, 33).r, 75) << "aiming again: faint, alpha 75";
    play(100);
    play(100, {KEY_FIRE});
    EXPECT_TRUE(heard(FX_LASER_LOW)) << "10 left";
}

TEST_F(Battlefield, ShipsBesideThePlayerRamItForOnePointTurnAwayAndGoAtTheirNextUpdate) {
    // A blue ram with the player on its left, as much room below as above; a charged gunner.
    player = place(PLAYER, 9, 10);
    spawn_enemy(BLUE_RAM, 10, 10, 0, army);
    spawn_enemy(BLUE_RAM, 10, 21, 1, army);
    spawn_enemy(GREEN_GUNNER, 9, 11, 0, army);
    army[2].charge = 1;
    play(0);
    EXPECT_EQ(pose(army[0]), std::tuple(10, 11, 2u, 0)) << "faced it, rammed, turned left";
    EXPECT_EQ(pose(army.back()), std::tuple(8, 11, 3u, 0)) << "fired, rammed, turned from the ram";
    EXPECT_TRUE(heard(FX_LASER)) << "a gunner's shot is never low; rams are silent";
    mark_cell(10, 11); // a late shot at a wreck changes nothing
    play(180);
    EXPECT_EQ(player.integrity, 4) << "three marks, one point";
    EXPECT_EQ(pose(army[0]), std::tuple(12, 21, 1u, 1)) << "the survivor stepped twice";
    EXPECT_EQ(std::tuple(army.size(), SCORE, cell_at(10, 11)), std::tuple(1u, 200u, 0));
}

TEST_F(Battlefield, AGunnerFiresAtTheFourthStepInSightThenEveryThirdAndLosingSightRestarts) {
    player = place(PLAYER, 50, 10);
    spawn_enemy(GREEN_GUNNER, 2, 10, 1, army);
    std::vector<int> shots;
    for (int step = 1; step <= 14; step++) {
        cell(30, 10) = step == 4 ? SPACE_WALL : SPACE_EMPTY;
        play(180);
        if (army[0].last_shot == TIME.now) shots.push_back(step);
    }
    EXPECT_EQ(shots, (std::vector<int>{8, 11, 14}));
    EXPECT_EQ(player.integrity, 3) << "the third shot is still pending";
}

TEST_F(Battlefield, AHitEnemyStandsStill200MsARedRamSurvivesOneHitAndTheDeadScore100) {
    spawn_enemy(RED_RAM, 10, 10, 1, army);
    std::vector<std::pair<int32_t, int32_t>> seen; // column and integrity after each frame
    for (uint64_t wait : {0, 90, 199, 1, 90, 199, 1}) {
        if (wait == 90) mark_cell(army[0].x, army[0].y); // a hit, just as its step falls due
        play(wait);
        if (wait == 90) {
            EXPECT_TRUE(queued_samples().empty()) << "an enemy's hit is silent";
        }
        seen.push_back(army.empty() ? std::pair(0, 0) : std::pair(army[0].x, army[0].integrity));
    }
    EXPECT_EQ(seen, (decltype(seen){{11, 2}, {11, 1}, {11, 1}, {12, 1}, {12, 0}, {12, 0}, {0, 0}}));
    EXPECT_EQ(SCORE, 100u);

    empty_mixer();
    player = place(PLAYER, 20, 20);
    mark_cell(20, 20);
    detect_hit(player);
    EXPECT_TRUE(heard(FX_HURT)) << "the player's hit is heard";
}

TEST_F(Battlefield, AShipOrCometLeavingACellThePlayerSteppedIntoLeavesThePlayerThere) {
    // A blue ram shot dead two cells above the player; the player steps into its emptied cell
    // during the 200 ms flash, and the removal leaves it there.
    player = place(PLAYER, 10, 12);
    spawn_enemy(BLUE_RAM, 10, 10, 1, army);
    play(0, {KEY_FIRE});
    play(90, {KEY_UP});
    play(90, {KEY_UP});
    EXPECT_EQ(std::tuple(player.x, player.y, army.size()), std::tuple(10, 10, 1u));
    play(20);
    EXPECT_EQ(std::tuple(army.size(), SCORE, cell_at(10, 10)), std::tuple(0u, 100u, SPACE_PLAYER));

    // A red ram hit once pauses with its cell empty; the player steps in, and the ram, stepping
    // off when its pause is over, leaves the player's code behind it.
    spawn_enemy(RED_RAM, 10, 8, 1, army);
    play(100, {KEY_FIRE});
    play(90, {KEY_UP});
    play(90, {KEY_UP});
    EXPECT_EQ(std::tuple(player.x, player.y, cell_at(10, 8)), std::tuple(10, 8, SPACE_PLAYER));
    play(20);
    EXPECT_EQ(pose(army[0]), std::tuple(11, 8, 1u, 1)) << "resumed, and stepped";
    EXPECT_EQ(std::tuple(cell_at(10, 8), cell_at(11, 8), player.integrity),
              std::tuple(+SPACE_PLAYER, +SPACE_ENEMY, 5));

    // A comet shot two cells above the player, and picked up 200 ms later with the player in
    // its cell.
    set_map({});
    army.clear();
    player = place(PLAYER, 30, 20);
    spawn_comet(comet, 30, 18);
    play(100, {KEY_FIRE});
    play(90, {KEY_UP});
    play(90, {KEY_UP});
    play(20);
    EXPECT_EQ(std::tuple(comet.integrity, player.y, cell_at(30, 18)), std::tuple(-1, 18, 2));
}

TEST_F(Battlefield, ACometIsTakenByATouchAtOnceOrAShot200MsLaterAndTurnsFromThePlayerAhead) {
    for (const Vector& side : VECTORS) {
        player = place(PLAYER, 20 + side.dx, 20 + side.dy);
        spawn_comet(comet, 20, 20);
        play(0);
        EXPECT_EQ(std::pair(comet.integrity, cell_at(20, 20)), std::pair(-1, 0)) << "taken at once";
        cell(player.x, player.y) = SPACE_EMPTY;
    }
    player = place(PLAYER, 20, 25);
    spawn_comet(comet, 20, 20);
    play(0, {KEY_FIRE});
    play(199, {KEY_FIRE});
    EXPECT_EQ(pose(comet), std::tuple(20, 20, 0u, 0)) << "shot, it stands still";
    play(1, {KEY_FIRE});
    EXPECT_EQ(std::pair(comet.integrity, player.charge), std::pair(-1, 50)) << "Enter still held";

    player = place(PLAYER, 20, 10);
    cell(11, 9) = cell(8, 10) = SPACE_PLAYER; // a diagonal neighbour, and one two cells off
    comet.dir = 1;
    spawn_comet(comet, 10, 10);
    play(65);
    EXPECT_EQ(pose(comet), std::tuple(10, 11, 2u, 1)) << "untouched; it turns, to the open right";
}

TEST_F(Battlefield, AShipHidesWhatIsBeneathAndShowsItsFacingTheCannonAndTheHitFlash) {
    auto drawn = [](uint32_t kind, uint32_t dir, int32_t charge, uint64_t last_hit) {
        Ship ship = place(kind, 7, 3, dir);
        std::tie(ship.charge, ship.last_hit) = std::tuple(charge, last_hit);
        print_char(GLYPH_BLOCK, 3, 7,
                   WHITE); // something beneath, for the black backing block to hide
        print_ship(ship);
        const Cell shown = read_frame().at(3, 7);
        return std::tuple(shown.glyph, shown.r, shown.g, shown.b);
    };
    auto shows = [](int glyph, const Colour& c) { return std::tuple(glyph, c.r, c.g, c.b); };
    EXPECT_EQ(drawn(PLAYER, 0, -7, 801), shows(GLYPH_CANNON, PINK))
        << "latched, still a cannon on top";
    EXPECT_EQ(drawn(PLAYER, 3, 0, 0), shows(GLYPH_PLAYER + 3, WHITE)) << "no shots, no cannon";
    EXPECT_EQ(drawn(GREEN_GUNNER, 2, -2, 801), shows(GLYPH_HIT_FLASH, YELLOW)) << "hit 199 ms ago";
    EXPECT_EQ(drawn(GREEN_GUNNER, 2, -2, 800), shows(GLYPH_GUNNER + 2, GREEN)) << "hit 200 ms ago";
}

TEST_F(Battlefield, MapFilesFillTheGridEvenBrokenOnesWhereNothingLeavesItAndOnlyWallsAreDrawn) {
    load_bytes(std::string(322, '\0') + "\x01\x02\x03\xff"); // cells 2 to 5 of row 5, no more
    EXPECT_EQ(std::vector<int32_t>(MAP.begin() + 5 * COLUMNS + 2, MAP.begin() + 5 * COLUMNS + 6),
              (std::vector<int32_t>{1, 2, 3, 1}));
    cell(20, 20) = -SPACE_WALL;
    print_map();
    EXPECT_EQ(read_frame().text(5, 2, 4) + read_frame().text(20, 20, 1),
              (std::string{GLYPH_WALL, ' ', ' ', GLYPH_WALL, GLYPH_WALL}));
    EXPECT_TRUE(same_colour(read_frame().at(5, 2), GRAY));

    STATE = +[] {};
    const auto before = MAP;
    testing::internal::CaptureStderr();
    load_map("no/such/map.dat");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no/such/map.dat"), std::string::npos);
    EXPECT_EQ(std::tuple(STATE == nullptr, CHANGE_STATE, MAP == before), std::tuple(true, 1, true));

    load_bytes(std::string(2303, '\0') + std::string(697, '\x01'));
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_EMPTY), 2303) << "only 2304 bytes count";
    load_bytes(std::string(40, '\x09'));
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_WALL), 40) << "stray bytes are walls";
    player = place(PLAYER, 63, 35);
    for (uint32_t kind : {BLUE_RAM, GREEN_GUNNER, RED_RAM, CYAN_GUNNER})
        spawn_enemy(kind, kind % 2 ? 63 : 0, 7 * kind, kind, army); // at both edges
    for (int frame = 0; frame < 400; frame++)
        play(45, {uint8_t(frame % 5), uint8_t(frame / 5 % 5)}); // every pair of keys in turn
    EXPECT_TRUE(player.x >= 0 && player.x < 64 && player.y >= 0 && player.y < 36);
}

TEST_F(Battlefield, TheCometLeavesTheConsoleAtOnceFromEveryCornerAndComesInLineWithThePlayer) {
    load_map(QUELTIVAR_SOURCE_DIR "/assets/map.dat");
    const Grid shipped = MAP;
    auto on_console = [](int32_t y) { return (y >= 1 && y <= 5) || (y >= 29 && y <= 34); };
    // A spread of the cells a player can stand on, all over the field.
    std::vector<std::pair<int32_t, int32_t>> stands;
    for (int32_t y = 6; y <= 28; y += 2)
        for (int32_t x = 1 + y % 4; x <= 62; x += 4)
            if (shipped[y * COLUMNS + x] == SPACE_EMPTY) stands.emplace_back(x, y);
    ASSERT_GT(stands.size(), 150u);
    NoFont no_font;
    uint64_t slowest = 0;
    for (uint8_t field = FIRST_COMET_FIELD; field < FIELD_COUNT; field++)
        for (uint32_t facing = 0; facing < 4; facing++)
            for (const auto& [x, y] : stands) {
                SCOPED_TRACE(testing::Message() << "corner " << +field << ", facing " << facing
                                                << ", player at " << x << "," << y);
                set_map(shipped);
                player = place(PLAYER, x, y);
                comet = SHIPS[COMET];
                comet.dir = facing; // a comet starts facing where its last life ended
                spawn_comet(comet, SPAWN_FIELD_LAYOUT[field].x, SPAWN_FIELD_LAYOUT[field].y);
                const uint64_t released = TIME.now;
                uint64_t left_console = 0;
                auto in_line = [&] {
                    for (uint32_t dir = 0; dir < 4; dir++) {
                        const Sight sight = look(player, dir);
                        const Vector& v = VECTORS[dir];
                        if (sight.space == SPACE_ENEMY &&
                            player.x + sight.distance * v.dx == comet.x &&
                            player.y + sight.distance * v.dy == comet.y)
                            return true;
                    }
                    return false;
                };
                while (!in_line() && comet.integrity > 0 && TIME.now - released < 30000) {
                    TIME.now += comet.move_interval;
                    update_comet(comet, player);
                    if (!left_console && !on_console(comet.y)) left_console = TIME.now - released;
                    ASSERT_TRUE(!left_console || !on_console(comet.y)) << "back on the console";
                }
                ASSERT_TRUE(in_line() || comet.integrity <= 0) << "never in line";
                ASSERT_LE(left_console, 1000u) << "on the console for " << left_console << " ms";
                slowest = std::max(slowest, TIME.now - released);
            }
    RecordProperty("slowest_ms", std::to_string(slowest));
}
