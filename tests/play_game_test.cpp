// The wave script, its spawn fields, the status console and whole games, read off the screen.
#include "harness.h"

#include "battlefield/map.h"
#include "display/glyphs.h"
#include "input/input.h"
#include "scenes/console.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/clock.h"
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
void check_block(int32_t x, int32_t y, int32_t step, uint32_t kind) {
    ASSERT_EQ(GAME.army.size(), 12u);
    for (int32_t k = 0; k < 12; k++) {
        Ship& ship = GAME.army[k];
        EXPECT_EQ(std::tuple(ship.x, ship.y, ship.dir, ship.kind),
                  std::tuple(x + step * (k % 2), y + step * (k / 2), 1u - step, kind));
        ship.integrity = 0;
    }
}
} // namespace

TEST(WavesSpawner, AScriptKeepsOnlyItsCompleteCommandsAndAtMost65535) {
    std::vector<uint8_t> cut = encode({{}, {}, {}});
    cut.resize(cut.size() - 14); // the second command lacks a byte, the third is missing
    EXPECT_EQ(parse_spawner(cut).count, 1);
    EXPECT_EQ(parse_spawner({5, 0, 0}).count, 0);
    EXPECT_EQ(parse_spawner(encode(std::vector<SpawnCommand>(65537))).count, 65535);
}

TEST(WavesSpawner, TheConsoleDimsWhileAnythingStirsAndOnlyAQuietFieldEarnsTheBonusOrTheComet) {
    Headless game;
    TIME.now = 5000;
    // `ahead` is the ms until the next command falls due; `corner` is the field called, or -1.
    for (auto [x, y, charge, comet_integrity, enemies, pending, ahead, corner, level, dim, yellow] :
         std::vector<std::array<int64_t, 11>>{
             {32, 18, 24, -1, 0, 0, 30000, 4, 1, 0, 0}, // and the call blocks the bonus
             {33, 18, -10, -1, 0, 0, 0, 5, 1, 0, 1},    // a trigger held negates the charge
             {32, 19, 11, -1, 0, 0, 0, 6, 1, 0, 0},
             {33, 19, 10, -1, 0, 0, 0, 7, 1, 0, 1},
             {32, 18, -11, 0, 0, 0, 30000, -1, 1, 0, 0}, // the comet is being collected
             {32, 18, -7, 1, 0, 0, 30000, -1, 1, 1, 1},
             {32, 18, 5, -1, 0, 1, 30000, -1, 1, 1, 1},
             {32, 18, 50, -1, 1, 0, 30000, -1, 1, 1, 0},
             {32, 18, 25, -1, 0, 0, 20000, -1, 1, 0, 0},
             {32, 18, -25, -1, 0, 0, 20001, -1, 2, 0, 0}}) {
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
    std::tie(GAME.player.x, GAME.player.y) = std::pair(1, 1);
    on_read(guard);
    push_button(MOUSE_LEFT, true);
    frame(10);
    push_button(MOUSE_LEFT, false);
    for (int i = 0; i < 20 && GAME.army.empty(); i++) frame(100);
    ASSERT_EQ(GAME.army.size(), 1u);
    EXPECT_EQ(std::tuple(GAME.army[0].x, GAME.army[0].y, GAME.army[0].integrity),
              std::tuple(1, 1, 0))
        << "it rammed as it came";
    EXPECT_EQ(cell_at(1, 1), -SPACE_PLAYER) << "the hit pending on the player";
    std::vector<std::pair<int32_t, size_t>> seen; // integrity and ships after each frame
    for (int i = 0; i < 8; i++) {
        frame(16);
        seen.emplace_back(GAME.player.integrity, GAME.army.size());
        EXPECT_EQ(cell_at(GAME.player.x, GAME.player.y), SPACE_PLAYER) << "frame " << i;
        if (i == 0) {
            EXPECT_EQ(SCORE, 100u) << "a ram's death, as any other";
        }
    }
    EXPECT_EQ(seen, decltype(seen)(8, {4, 0}));
    end_play();
}

TEST(PlayGame, APausedGameCallsTheCometAndWinsTwoWavesAndABonusThenTheNextIsLostNotWon) {
    Headless game;
    WorkDir dir;
    write_file("assets/map.dat", "");
    std::vector<uint8_t> script =
        encode({{.field = 0, .kind = BLUE_RAM, .delay = 30000},
                {.field = 1, .kind = GREEN_GUNNER, .delay = 0},
                {.field = 1, .kind = RED_RAM, .delay = 500},  // to a field still blinking
                {.field = 8, .kind = BLUE_RAM, .delay = 400}, // passed over, as are the next two
                {.field = 0, .kind = PLAYER, .delay = 0},
                {.field = 2, .kind = 6, .delay = UINT64_MAX}});
    write_file("assets/spawner.dat", std::string(script.begin(), script.end()));
    start_play();
    on_read(guard);
    Frame shown = frame(10);
    auto boxed = [](std::string line) { return line + std::string(61 - line.size(), ' ') + '<'; };
    EXPECT_EQ(shown.text(1, 1, 62), boxed(">LASER: " + std::string(50, '*')));
    EXPECT_EQ(shown.text(2, 1, 62), boxed(">SHIP INTEGRITY: |||||"));
    EXPECT_EQ(shown.text(3, 1, 62), boxed(">LEVEL: 1"));
    EXPECT_EQ(shown.text(4, 1, 62), boxed(">SCORE: 0"));
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">Click anywhere to begin"));

    GAME.player.charge = 24;
    auto escape = [](bool down) { return [down] { push_key(SDLK_ESCAPE, down); }; };
    auto button = [](bool down) { return [down] { push_button(MOUSE_LEFT, down); }; };
    push_key(SDLK_ESCAPE, true);
    shown = frame(10, {escape(false), [] { FAKE_TICKS += 5000; }, escape(true), escape(false)});
    EXPECT_EQ(shown.text(17, 17, 28), " Press ESC again to unpause ");
    uint64_t resumed = TIME.now;

    push_button(MOUSE_LEFT, true); // and held to the end of the game
    shown = frame(100);
    EXPECT_EQ(TIME.now, resumed + 100) << "the pause cost no game time";
    EXPECT_GT(MIXER.count.load(), 0u) << "the fanfare";
    // Per frame: '!' when red marks cover fields 0 and 4 and nothing else, '.' when none show.
    std::string blinks;
    for (int i = 0; i < 12; i++, shown = frame(100)) {
        std::string fields = shown.text(34, 62, 1);
        for (int32_t row = 10; row < 16; row++) fields += shown.text(row, 20, 2);
        long red = std::count_if(shown.cells.begin(), shown.cells.end(), [](const Cell& cell) {
            return cell.glyph == '!' && same_colour(cell, RED);
        });
        blinks += red == 0 ? '.' : red == 13 && fields == std::string(13, '!') ? '!' : '?';
    }
    EXPECT_EQ(blinks, ".!!..!!..!!.");
    check_block(20, 10, 1, BLUE_RAM);
    GAME.comet.integrity = 0; // collected in the frame, though still drawn
    EXPECT_EQ(frame(100).at(34, 62).glyph, GLYPH_COMET) << "the comet";
    frame(100);
    shown = frame(6000);
    EXPECT_EQ(shown.text(3, 1, 10), ">LEVEL: 2 ");
    EXPECT_EQ(shown.text(4, 1, 13), ">SCORE: 1700 ");
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">")) << "the start line is level 1's";
    std::string issued;
    for (int i = 0; i < 12; i++) {
        frame(100);
        issued += std::to_string(GAME.spawner->next);
    }
    EXPECT_EQ(issued, "333334444566") << "each delay counts from the frame of its command";
    EXPECT_EQ(GAME.spawner->next_time, UINT64_MAX);
    check_block(43, 25, -1, RED_RAM);
    shown = frame(100, {button(false)}); // a button held is released
    EXPECT_EQ(shown.text(15, 27, 9), " TRIUNFO ");
    EXPECT_EQ(shown.text(17, 25, 13), " Score: 2900 ");
    EXPECT_EQ(STATE, title);

    // The next game has no commands, so it would be won in its first frame, but the player is
    // lost in it: the defeat is all it shows. The one after has no script at all, so it ends
    // before its first frame.
    write_file("assets/spawner.dat", std::string(4, '\0'));
    start_play();
    GAME.player.integrity = 0;
    shown = frame(10, {button(true), button(false)});
    EXPECT_EQ(shown.text(15, 26, 12), " TE MORISTE ");
    EXPECT_EQ(shown.text(17, 21, 21), " Level: 1   Score: 0 ");
    EXPECT_EQ(shown.text(19, 18, 28), " Click anywhere to continue ");
    EXPECT_EQ(STATE, title) << "no victory screen waits for a click after the defeat";
    CHANGE_STATE = 0;
    start_play(asset_path(MAP_FILE).c_str(), "assets/missing.dat");
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    frame(10);
    EXPECT_EQ(READS, 0) << "no frame runs";
    end_play();
}
