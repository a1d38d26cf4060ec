// Wave scripts, fields, the console, input and whole games read off the screen; the bot's games.
#include "bot.h"
#include "game_parts.h"
#include "tool.h"

#include <gtest/gtest.h>

namespace {
constexpr uint8_t TOP_LEFT = 7;         // the comet's corner at (1, 1)
constexpr uint32_t NO_SHIP = COMET + 3; // a kind no field releases
constexpr uint64_t NEVER = UINT64_MAX;  // a delay no game outlasts
const SpawnCommand OPENING = {.field = 0, .kind = BLUE_RAM, .delay = 30000};
const SpawnCommand LAST = {.field = 2, .kind = NO_SHIP, .delay = NEVER};

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

// A status console line as drawn, padded to its right border.
std::string boxed(const std::string& line) {
    return line + std::string(61 - line.size(), ' ') + '<';
}

const auto escape = [](bool down) { return [down] { push_key(SDLK_ESCAPE, down); }; };
const auto button = [](bool down) { return [down] { push_button(MOUSE_LEFT, down); }; };

// KEYS or MOUSE with only `entries` held.
std::array<uint8_t, 6> held(std::initializer_list<uint8_t> entries) {
    std::array<uint8_t, 6> levels{};
    for (uint8_t entry : entries) levels[entry] = 1;
    return levels;
}

struct PlayGame : testing::Test {
    Headless game;
    WorkDir dir;
    ~PlayGame() override {
        end_play();
    }
    // A game on an open map running `commands`, waiting for the click that begins it.
    void start(const std::vector<SpawnCommand>& commands) {
        write_file("assets/map.dat", "");
        const std::vector<uint8_t> script = encode(commands);
        write_file("assets/spawner.dat", std::string(script.begin(), script.end()));
        start_play();
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
    // Ship k of the block just released stands at (x + step * (k % 2), y + step * (k / 2)),
    // facing up for step 1 and down for -1: the front row first. All die before their first step.
    struct Block {
        int32_t x, y, step;
        uint32_t kind;
    };
    void check_block(Block b) {
        ASSERT_EQ(GAME.army.size(), 12u);
        for (int32_t k = 0; k < 12; k++) {
            Ship& ship = GAME.army[k];
            EXPECT_EQ(
                std::tuple(ship.x, ship.y, ship.dir, ship.kind),
                std::tuple(b.x + b.step * (k % 2), b.y + b.step * (k / 2), 1u - b.step, b.kind));
            ship.integrity = 0;
        }
    }
};
} // namespace

TEST(WavesSpawner, ScriptKeepsWholeCommandsAtMost65535) {
    std::vector<uint8_t> cut = encode({{}, {}, {}});
    cut.resize(cut.size() - COMMAND_BYTES - 1); // the second lacks a byte, the third is gone
    EXPECT_EQ(parse_spawner(cut).count, 1);
    std::vector<uint8_t> short_header(SCRIPT_HEADER_BYTES - 1);
    short_header[0] = 5; // five commands promised
    EXPECT_EQ(parse_spawner(short_header).count, 0);
    EXPECT_EQ(parse_spawner(encode(std::vector<SpawnCommand>(65537))).count, 65535);
}

TEST(WavesSpawner, ConsoleDimsWhileAnythingStirsQuietEarnsBonus) {
    Headless game;
    TIME.now = 5000;
    // `ahead`: ms until the next command is due; `corner`: the comet's field called, or -1.
    struct Case {
        int32_t x = 32, y = 18, charge = 0, comet = -1, enemies = 0, pending = 0;
        int64_t ahead = 0, corner = -1, level = 1;
        bool dim = false, yellow = false;
    };
    for (const Case& c : std::vector<Case>{
             {.charge = 24, .ahead = 30000, .corner = 4},           // and the call blocks the bonus
             {.x = 33, .charge = -10, .corner = 5, .yellow = true}, // a held trigger negates
             {.y = 19, .charge = 11, .corner = 6},
             {.x = 33, .y = 19, .charge = 10, .corner = 7, .yellow = true},
             {.charge = -11, .comet = 0, .ahead = 30000}, // the comet is being collected
             {.charge = -7, .comet = 1, .ahead = 30000, .dim = true, .yellow = true},
             {.charge = 5, .pending = 1, .ahead = 30000, .dim = true, .yellow = true},
             {.charge = 50, .enemies = 1, .ahead = 30000, .dim = true},
             {.charge = 25, .ahead = 20000},
             {.charge = -25, .ahead = 20001, .level = 2}}) {
        SCOPED_TRACE(c.charge);
        SPAWN_FIELDS = SPAWN_FIELD_LAYOUT;
        Spawner spawner = parse_spawner({});
        std::tie(spawner.next_time, spawner.pending) = std::tuple(TIME.now + c.ahead, c.pending);
        Ship player = SHIPS[PLAYER], comet = SHIPS[COMET];
        std::tie(player.x, player.y, player.charge, comet.integrity) =
            std::tuple(c.x, c.y, c.charge, c.comet);
        const Army army(c.enemies, SHIPS[BLUE_RAM]);
        SDL_RenderClear(RENDERER);
        print_console(spawner, player, comet, army);
        const Frame shown = read_frame();
        EXPECT_EQ(shown.text(1, 9, 51).find_first_not_of('*'), std::abs(c.charge)) << "the bar";
        const Colour& text = c.dim ? DARK_GRAY : WHITE;
        for (const Cell& cell : shown.cells)
            ASSERT_TRUE(cell.glyph <= 0 ||
                        same_colour(cell, cell.glyph == '*' && c.yellow ? YELLOW : text));
        update_spawner(spawner, player, army, comet);
        const bool blinking = c.corner < 0 || SPAWN_FIELDS[c.corner].active;
        EXPECT_EQ(std::tuple(spawner.pending, blinking, spawner.level),
                  std::tuple(c.pending + (c.corner >= 0), true, c.level));
    }
}

TEST_F(PlayGame, ShipReleasedOntoPlayerRamsIt) {
    start({{.field = TOP_LEFT, .kind = BLUE_RAM, .delay = NEVER}, OPENING});
    std::tie(GAME.player.x, GAME.player.y) = std::pair(1, 1);
    push_button(MOUSE_LEFT, true);
    frame(10);
    push_button(MOUSE_LEFT, false);
    for (int i = 0; i < 20 && GAME.army.empty(); i++) frame(100);
    ASSERT_EQ(GAME.army.size(), 1u);
    const Ship& ram = GAME.army[0];
    EXPECT_EQ(std::tuple(ram.x, ram.y, ram.integrity), std::tuple(1, 1, 0)) << "rammed on arrival";
    EXPECT_EQ(cell_at(1, 1), -SPACE_PLAYER) << "the hit pending on the player";
    std::vector<std::pair<int32_t, size_t>> seen; // integrity and ships after each frame
    for (int i = 0; i < 8; i++) {
        frame(16);
        seen.emplace_back(GAME.player.integrity, GAME.army.size());
        EXPECT_EQ(cell_at(GAME.player.x, GAME.player.y), SPACE_PLAYER) << "never reads empty";
        if (i == 0) {
            EXPECT_EQ(SCORE, 100u) << "a ram's death, as any other";
        }
    }
    EXPECT_EQ(seen, decltype(seen)(8, {SHIPS[PLAYER].integrity - 1, 0})) << "rammed once";
}

TEST_F(PlayGame, ConsoleOpensFullAndPauseCostsNoGameTime) {
    start({OPENING});
    const Frame shown = frame(10);
    const std::string lines[] = {">LASER: " + std::string(50, '*'), ">SHIP INTEGRITY: |||||",
                                 ">LEVEL: 1", ">SCORE: 0"};
    for (int32_t row = 1; row <= 4; row++) EXPECT_EQ(shown.text(row, 1, 62), boxed(lines[row - 1]));
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">Click anywhere to begin"));
    push_key(SDLK_ESCAPE, true);
    const Frame paused =
        frame(10, {escape(false), [] { FAKE_TICKS += 5000; }, escape(true), escape(false)});
    EXPECT_EQ(paused.text(17, 17, 28), " Press ESC again to unpause ");
    const uint64_t resumed = TIME.now;
    push_button(MOUSE_LEFT, true);
    frame(100);
    EXPECT_EQ(TIME.now, resumed + 100);
    EXPECT_GT(MIXER.count.load(), 0u) << "the fanfare";
}

TEST_F(PlayGame, CometCalledAsLaserRunsLowEarlyClearPays) {
    start({OPENING, LAST});
    frame(10);
    GAME.player.charge = 24;
    push_button(MOUSE_LEFT, true);
    Frame shown = frame(100);
    // Per frame: '!' when red marks cover fields 0 and 4 and nothing else, '.' when none show.
    std::string blinks;
    for (int i = 0; i < 12; i++) {
        std::string fields = shown.text(34, 62, 1);
        for (int32_t row = 10; row < 16; row++) fields += shown.text(row, 20, 2);
        const long red = std::count_if(shown.cells.begin(), shown.cells.end(), [](const Cell& c) {
            return c.glyph == '!' && same_colour(c, RED);
        });
        blinks += red == 0 ? '.' : red == 13 && fields == std::string(13, '!') ? '!' : '?';
        shown = frame(100);
    }
    EXPECT_EQ(blinks, ".!!..!!..!!.");
    check_block({.x = 20, .y = 10, .step = 1, .kind = BLUE_RAM});
    GAME.comet.integrity = 0; // collected in the frame, though still drawn
    EXPECT_EQ(frame(100).at(34, 62).glyph, GLYPH_COMET);
    frame(100);
    shown = frame(6000);
    EXPECT_EQ(shown.text(3, 1, 10) + shown.text(4, 1, 13), ">LEVEL: 2 >SCORE: 1700 ");
    EXPECT_EQ(shown.text(34, 1, 62), boxed(">")) << "the start line is level 1's";
}

TEST_F(PlayGame, EachDelayCountsFromItsCommandsFrame) {
    start({{.field = 1, .kind = GREEN_GUNNER, .delay = 0},
           {.field = 1, .kind = RED_RAM, .delay = 500},  // to a field still blinking
           {.field = 8, .kind = BLUE_RAM, .delay = 400}, // passed over, as are the next two
           {.field = 0, .kind = PLAYER, .delay = 0},
           LAST});
    push_button(MOUSE_LEFT, true); // and held to the end of the game
    frame(10);
    std::string issued;
    for (int i = 0; i < 12; i++) {
        frame(100);
        issued += std::to_string(GAME.spawner->next);
    }
    EXPECT_EQ(std::tuple(issued, GAME.spawner->next_time), std::tuple("222223333455", NEVER));
    check_block({.x = 43, .y = 25, .step = -1, .kind = RED_RAM});
    const Frame shown = frame(100, {button(false)}); // a button held is released
    EXPECT_EQ(shown.text(15, 27, 9) + shown.text(17, 25, 13), " TRIUNFO  Score: 1200 ");
    EXPECT_EQ(STATE, title);
}

// With no commands it would be won in its first frame, but the player is lost in it.
TEST_F(PlayGame, GameLostInTheFrameItIsWonIsLost) {
    start({});
    GAME.player.integrity = 0;
    const Frame shown = frame(10, {button(true), button(false)});
    EXPECT_EQ(shown.text(15, 26, 12) + shown.text(17, 21, 21) + shown.text(19, 18, 28),
              " TE MORISTE  Level: 1   Score: 0  Click anywhere to continue ");
    EXPECT_EQ(STATE, title) << "no victory screen waits for a click after the defeat";
}

TEST_F(PlayGame, MissingScriptEndsPlayBeforeFirstFrame) {
    write_file("assets/map.dat", "");
    CHANGE_STATE = 0;
    start_play(asset_path(MAP_FILE).c_str(), "assets/missing.dat");
    EXPECT_EQ(std::tuple(STATE == nullptr, CHANGE_STATE), std::tuple(true, 1));
    on_read(guard);
    frame(10);
    EXPECT_EQ(READS, 0) << "no frame runs";
}

TEST(BotPlays, SeededGameRepeatsKeepsRulesAndKills) {
    Headless game;
    const std::string assets = QUELTIVAR_SOURCE_DIR "/assets";
    auto figures = [](const Outcome& o) {
        return std::tuple(o.level, o.score, o.result, o.game_ms, o.frames, o.kills, o.issued);
    };
    const Outcome first = play_game(7, 30000, assets);
    EXPECT_EQ(first.broken, "");
    EXPECT_EQ(figures(first), figures(play_game(7, 30000, assets)));
    EXPECT_GT(first.issued, 0) << "the click started the waves";
    EXPECT_GT(first.kills, 0u);
    EXPECT_EQ(first.score, 100 * first.kills + 500 * (first.level - 1u));
    const Outcome wild = play_game(8, 15000, assets, true);
    EXPECT_EQ(wild.broken, "");
    EXPECT_GT(wild.frames, 0u);
}

TEST(Input, KeysAndButtonsAreHeldLevelsQuitEndsTheRead) {
    Headless game;
    push_key(SDLK_w, true);
    push_key(SDLK_w, true); // auto-repeat
    push_key(SDLK_s, true);
    push_key(SDLK_d, true, KMOD_LSHIFT);
    push_key(SDLK_KP_ENTER, true); // not Return
    push_button(SDL_BUTTON_RIGHT, true);
    push_button(MOUSE_LEFT, true);
    push_button(MOUSE_LEFT, false); // a click within one read
    push_button(200, true);         // no such entry: nothing is written
    read_input();
    EXPECT_EQ(KEYS, held({KEY_UP, KEY_RIGHT, KEY_DOWN}));
    EXPECT_EQ(MOUSE, held({SDL_BUTTON_RIGHT}));
    push_key(SDLK_w, false);
    push_key(SDLK_RETURN, true);
    push_key(SDLK_ESCAPE, true);
    read_input();
    EXPECT_EQ(KEYS, held({KEY_RIGHT, KEY_DOWN, KEY_FIRE, KEY_PAUSE}));
    EXPECT_EQ(CHANGE_STATE, 0);
    // A quit ends the read, later events waiting for the next.
    on_read([] {
        move_pointer(7, 9);
        push_quit();
        push_key(SDLK_w, true);
    });
    read_input();
    EXPECT_EQ(MOUSE_POS.x, 7) << "the pointer is read before the events";
    EXPECT_EQ(std::tuple(STATE == nullptr, CHANGE_STATE, KEYS[KEY_UP]), std::tuple(true, 1, 0));
    read_input();
    EXPECT_EQ(KEYS[KEY_UP], 1) << "the key-down waited for the next read";
}

// The slider's track is a click rectangle: its edges are the rectangle's edges. The pointer is
// read in picture pixels at any window size.
TEST(Input, SliderTakesTrackCellUnderHeldPointerAtAnyWindowSize) {
    Headless game;
    VOLUME = 10;
    volume_slider(30, 22);
    const std::string track(20, static_cast<char>(GLYPH_SLIDER_TRACK));
    EXPECT_EQ(read_frame().text(31, 21, 22),
              ' ' + track.substr(0, 10) + '+' + track.substr(11) + ' ');

    // Pressed above the track and slid onto it: the held level counts, not a fresh press.
    move_pointer(500, 540);
    push_button(MOUSE_LEFT, true);
    struct Slide {
        int32_t x, y, volume;
    };
    for (Slide s : {Slide{.x = 500, .y = 540, .volume = 10},
                    {.x = 396, .y = 558, .volume = 0},
                    {.x = 755, .y = 575, .volume = 19},
                    {.x = 756, .y = 560, .volume = 19},
                    {.x = 450, .y = 576, .volume = 19},
                    {.x = 503, .y = 560, .volume = 5}}) {
        move_pointer(s.x, s.y);
        read_input();
        volume_slider(30, 22);
        EXPECT_EQ(VOLUME, s.volume) << s.x << "," << s.y;
    }
    EXPECT_FALSE(rect_clicked({503, 560, 0, 18})) << "a rectangle of width 0 is never clicked";
    push_button(MOUSE_LEFT, false);
    move_pointer(396, 560);
    read_input();
    volume_slider(30, 22);
    EXPECT_EQ(VOLUME, 5) << "without the button nothing changes";

    // Shown at half size in a taller window the picture is letterboxed 50 pixels down.
    SDL_SetWindowSize(WINDOW, 576, 424);
    auto point = [](int32_t x, int32_t y) { move_pointer(x / 2, y / 2 + 50); };
    point(1150, 646);
    read_input();
    EXPECT_EQ(std::pair(MOUSE_POS.x, MOUSE_POS.y), std::pair(1150, 646));
    push_button(MOUSE_LEFT, true);
    point(396 + 18 * 7 + 9, 567); // the eighth cell of the track
    read_input();
    volume_slider(30, 22);
    EXPECT_EQ(VOLUME, 7);
}
