// The wave script, its spawn fields, the status console and whole games, read off the screen.
#include "harness.h"

#include "battlefield/map.h"
#include "display/glyphs.h"
#include "input/input.h"
#include "scenes/console.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "platform/clock.h"
#include "shell/shell.h"
#include "sound/mixer.h"
#include "tool.h"
#include "waves/spawn_field.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {
std::vector<uint8_t> encode(const std::vector<SpawnCommand>& commands) {
    std::string bytes;
    put_le(bytes, commands.size(), 4);
    for (const SpawnCommand& c : commands) {
        put_le(bytes, c.field, 1);
        put_le(bytes, c.kind, 4);
        put_le(bytes, c.delay, 8);
    }
    return {bytes.begin(), bytes.end()};
}

// A second read in one frame is a screen waiting for input never given: quit, not hang.
int READS = 0;
void guard() {
    if (++READS > 1) push_quit();
    on_read(guard);
}

// One play frame `ms` later, read back; `answers` run in order at the reads of a screen.
Frame frame(uint64_t ms, const std::vector<std::function<void()>>& answers = {}) {
    for (const auto& answer : answers) on_read(answer);
    FAKE_TICKS += ms;
    READS = 0;
    play_frame();
    EXPECT_EQ(pending_reads(), 1u) << "a screen took all the answers, and only they";
    return read_frame();
}

// Ship k of the block just released stands at (x + step * (k % 2), y + step * (k / 2)), facing
// up (0) for step 1 and down (2) for -1: the front row first. All die before their first step.
struct Block {
    int32_t x, y, step;
    uint32_t kind;
};
void check_block(const Block& block) {
    auto [x, y, step, kind] = block;
    ASSERT_EQ(GAME.army.size(), 12u);
    for (int32_t k = 0; k < 12; k++) {
        Ship& ship = GAME.army[k];
        EXPECT_EQ(std::tuple(ship.x, ship.y, ship.dir, ship.kind),
                  std::tuple(x + step * (k % 2), y + step * (k / 2), 1u - step, kind));
        ship.integrity = 0;
    }
}

// A game on an open map running `commands`, waiting for the click that begins it.
void start_scripted_game(const std::vector<SpawnCommand>& commands) {
    write_file("assets/map.dat", "");
    std::vector<uint8_t> script = encode(commands);
    write_file("assets/spawner.dat", std::string(script.begin(), script.end()));
    start_play();
    on_read(guard);
}

// A status console line as drawn, padded to its right border.
std::string boxed(const std::string& line) {
    return line + std::string(61 - line.size(), ' ') + '<';
}

std::function<void()> escape(bool down) {
    return [down] { push_key(SDLK_ESCAPE, down); };
}

std::function<void()> button(bool down) {
    return [down] { push_button(MOUSE_LEFT, down); };
}
} // namespace

TEST(WavesSpawner, AScriptKeepsOnlyItsCompleteCommandsAndAtMost65535) {
    std::vector<uint8_t> cut = encode({{}, {}, {}});
    cut.resize(cut.size() - 14); // the second command lacks a byte, the third is missing
    EXPECT_EQ(parse_spawner(cut).count, 1);
    std::vector<uint8_t> short_header(SCRIPT_HEADER_BYTES - 1);
    short_header[0] = 5; // five commands promised
    EXPECT_EQ(parse_spawner(short_header).count, 0);
    EXPECT_EQ(parse_spawner(encode(std::vector<SpawnCommand>(65537))).count, 65535);
}

TEST(WavesSpawner, TheConsoleDimsWhileAnythingStirsAndOnlyAQuietFieldEarnsTheBonusOrTheComet) {
    Headless game;
    TIME.now = 5000;
    // `ahead` is the ms until the next command falls due; `corner` is the field called, or -1.
    struct Case {
        int64_t x = 32, y = 18, charge = 0, comet_integrity = -1, enemies = 0, pending = 0;
        int64_t ahead = 0, corner = -1, level = 1;
        bool dim = false, yellow = false;
    };
    for (auto [x, y, charge, comet_integrity, enemies, pending, ahead, corner, level, dim, yellow] :
         std::vector<Case>{
             // and the call blocks the bonus
             {.charge = 24, .ahead = 30000, .corner = 4},
             // a trigger held negates the charge
             {.x = 33, .charge = -10, .corner = 5, .yellow = true},
             {.y = 19, .charge = 11, .corner = 6},
             {.x = 33, .y = 19, .charge = 10, .corner = 7, .yellow = true},
             // the comet is being collected
             {.charge = -11, .comet_integrity = 0, .ahead = 30000},
             {.charge = -7, .comet_integrity = 1, .ahead = 30000, .dim = true, .yellow = true},
             {.charge = 5, .pending = 1, .ahead = 30000, .dim = true, .yellow = true},
             {.charge = 50, .enemies = 1, .ahead = 30000, .dim = true},
             {.charge = 25, .ahead = 20000},
             {.charge = -25, .ahead = 20001, .level = 2}}) {
        SCOPED_TRACE(charge);
        SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
        Spawner spawner = parse_spawner({});
        std::tie(spawner.next_time, spawner.pending) = std::tuple(TIME.now + ahead, pending);
        Ship player = SHIPS[PLAYER], comet = SHIPS[COMET];
        std::tie(player.x, player.y, player.charge, comet.integrity) =
            std::tuple(x, y, charge, comet_integrity);
        Army army(enemies, SHIPS[BLUE_RAM]);
        SDL_RenderClear(RENDERER);
        print_console(spawner, player, comet, army);
        Frame shown = read_frame();
        EXPECT_EQ(shown.text(1, 9, 51).find_first_not_of('*'), std::abs(charge)) << "the bar";
        const Colour& colour = dim ? DARK_GRAY : WHITE;
        for (const Cell& cell : shown.cells)
            ASSERT_TRUE(cell.glyph <= 0 ||
                        same_colour(cell, cell.glyph == '*' && yellow ? YELLOW : colour));
        update_spawner(spawner, player, army, comet);
        EXPECT_EQ(spawner.pending, pending + (corner >= 0));
        EXPECT_TRUE(corner < 0 || SPAWN_FIELDS[corner].active);
        EXPECT_EQ(spawner.level, level);
    }
}

TEST(PlayGame, AShipReleasedOntoThePlayerRamsItAndThePlayersCellNeverReadsEmpty) {
    Headless game;
    WorkDir dir;
    write_file("assets/map.dat", "");
    // A ram in the top-left corner, where the player stands; the second command never comes.
    std::vector<uint8_t> script = encode({{.field = 7, .kind = BLUE_RAM, .delay = UINT64_MAX},
                                          {.field = 0, .kind = BLUE_RAM, .delay = 0}});
    write_file("assets/spawner.dat", std::string(script.begin(), script.end()));
    start_play();
    const int32_t corner = 1;
    GAME.player.x = corner;
    GAME.player.y = corner;
    on_read(guard);
    push_button(MOUSE_LEFT, true);
    frame(10);
    push_button(MOUSE_LEFT, false);
    for (int i = 0; i < 20 && GAME.army.empty(); i++) frame(100);
    ASSERT_EQ(GAME.army.size(), 1u);
    EXPECT_EQ(std::pair(GAME.army[0].x, GAME.army[0].y), std::pair(corner, corner));
    EXPECT_EQ(GAME.army[0].integrity, 0) << "it rammed as it came";
    EXPECT_EQ(cell_at(corner, corner), -SPACE_PLAYER) << "the hit pending on the player";
    std::vector<std::pair<int32_t, size_t>> seen; // integrity and ships after each frame
    for (int i = 0; i < 8; i++) {
        frame(16);
        seen.emplace_back(GAME.player.integrity, GAME.army.size());
        EXPECT_EQ(cell_at(GAME.player.x, GAME.player.y), SPACE_PLAYER) << "frame " << i;
        if (i == 0) {
            EXPECT_EQ(SCORE, 100u) << "a ram's death, as any other";
        }
    }
    const std::pair<int32_t, size_t> rammed_once(SHIPS[PLAYER].integrity - 1, 0);
    EXPECT_EQ(seen, decltype(seen)(8, rammed_once));
    end_play();
}

TEST(PlayGame, TheConsoleOpensOnLevelOneWithAFullLaser) {
    Headless game;
    WorkDir dir;
    start_scripted_game({{.field = 0, .kind = BLUE_RAM, .delay = 30000}});
    Frame shown = frame(10);
    EXPECT_EQ(shown.text(1, 1, 62), boxed(">LASER: " + std::string(50, '*')));
    EXPECT_EQ(shown.text(2, 1, 62), boxed(">SHIP INTEGRITY: |||||"));
    EXPECT_EQ(shown.text(3, 1, 62), boxed(">LEVEL: 1"));
    EXPECT_EQ(shown.text(4, 1, 62), boxed(">SCORE: 0"));
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">Click anywhere to begin"));
    end_play();
}

TEST(PlayGame, APauseCostsNoGameTime) {
    Headless game;
    WorkDir dir;
    start_scripted_game({{.field = 0, .kind = BLUE_RAM, .delay = 30000}});
    frame(10);
    push_key(SDLK_ESCAPE, true);
    Frame shown =
        frame(10, {escape(false), [] { FAKE_TICKS += 5000; }, escape(true), escape(false)});
    EXPECT_EQ(shown.text(17, 17, 28), " Press ESC again to unpause ");
    uint64_t resumed = TIME.now;
    push_button(MOUSE_LEFT, true);
    frame(100);
    EXPECT_EQ(TIME.now, resumed + 100) << "the pause cost no game time";
    EXPECT_GT(MIXER.count.load(), 0u) << "the fanfare";
    end_play();
}

TEST(PlayGame, TheCometIsCalledWhenTheLaserRunsLow) {
    Headless game;
    WorkDir dir;
    start_scripted_game({{.field = 0, .kind = BLUE_RAM, .delay = 30000},
                         {.field = 2, .kind = 6, .delay = UINT64_MAX}});
    frame(10);
    GAME.player.charge = 24;
    push_button(MOUSE_LEFT, true);
    Frame shown = frame(100);
    // Per frame: '!' when red marks cover fields 0 and 4 and nothing else, '.' when none show.
    std::string blinks;
    for (int i = 0; i < 12; i++) {
        std::string fields = shown.text(34, 62, 1);
        for (int32_t row = 10; row < 16; row++) fields += shown.text(row, 20, 2);
        long red = std::count_if(shown.cells.begin(), shown.cells.end(), [](const Cell& cell) {
            return cell.glyph == '!' && same_colour(cell, RED);
        });
        blinks += red == 0 ? '.' : red == 13 && fields == std::string(13, '!') ? '!' : '?';
        shown = frame(100);
    }
    EXPECT_EQ(blinks, ".!!..!!..!!.");
    check_block({.x = 20, .y = 10, .step = 1, .kind = BLUE_RAM});
    GAME.comet.integrity = 0; // collected in the frame, though still drawn
    EXPECT_EQ(frame(100).at(34, 62).glyph, GLYPH_COMET) << "the comet";
    end_play();
}

TEST(PlayGame, AWaveClearedEarlyEarnsTheBonusAndTheLevel) {
    Headless game;
    WorkDir dir;
    start_scripted_game({{.field = 0, .kind = BLUE_RAM, .delay = 30000},
                         {.field = 2, .kind = 6, .delay = UINT64_MAX}});
    frame(10);
    push_button(MOUSE_LEFT, true);
    for (int i = 0; i < 20 && GAME.army.empty(); i++) frame(100);
    check_block({.x = 20, .y = 10, .step = 1, .kind = BLUE_RAM});
    frame(100);
    frame(100);
    Frame shown = frame(6000);
    EXPECT_EQ(shown.text(3, 1, 10), ">LEVEL: 2 ");
    EXPECT_EQ(shown.text(4, 1, 13), ">SCORE: 1700 ");
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">")) << "the start line is level 1's";
    end_play();
}

TEST(PlayGame, EachDelayCountsFromTheFrameOfItsCommand) {
    Headless game;
    WorkDir dir;
    start_scripted_game(
        {{.field = 1, .kind = GREEN_GUNNER, .delay = 0},
         {.field = 1, .kind = RED_RAM, .delay = 500},  // to a field still blinking
         {.field = 8, .kind = BLUE_RAM, .delay = 400}, // passed over, as are the next two
         {.field = 0, .kind = PLAYER, .delay = 0},
         {.field = 2, .kind = 6, .delay = UINT64_MAX}});
    push_button(MOUSE_LEFT, true); // and held to the end of the game
    frame(10);
    std::string issued;
    for (int i = 0; i < 12; i++) {
        frame(100);
        issued += std::to_string(GAME.spawner->next);
    }
    EXPECT_EQ(issued, "222223333455");
    EXPECT_EQ(GAME.spawner->next_time, UINT64_MAX);
    check_block({.x = 43, .y = 25, .step = -1, .kind = RED_RAM});
    Frame shown = frame(100, {button(false)}); // a button held is released
    EXPECT_EQ(shown.text(15, 27, 9), " TRIUNFO ");
    EXPECT_EQ(shown.text(17, 25, 13), " Score: 1200 ");
    EXPECT_EQ(STATE, title);
    end_play();
}

// With no commands it would be won in its first frame, but the player is lost in it.
TEST(PlayGame, AGameLostInTheFrameItIsWonIsLost) {
    Headless game;
    WorkDir dir;
    start_scripted_game({});
    GAME.player.integrity = 0;
    Frame shown = frame(10, {button(true), button(false)});
    EXPECT_EQ(shown.text(15, 26, 12), " TE MORISTE ");
    EXPECT_EQ(shown.text(17, 21, 21), " Level: 1   Score: 0 ");
    EXPECT_EQ(shown.text(19, 18, 28), " Click anywhere to continue ");
    EXPECT_EQ(STATE, title) << "no victory screen waits for a click after the defeat";
    end_play();
}

TEST(PlayGame, AMissingScriptEndsPlayBeforeItsFirstFrame) {
    Headless game;
    WorkDir dir;
    write_file("assets/map.dat", "");
    CHANGE_STATE = 0;
    start_play(asset_path(MAP_FILE).c_str(), "assets/missing.dat");
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    on_read(guard);
    frame(10);
    EXPECT_EQ(READS, 0) << "no frame runs";
    end_play();
}
