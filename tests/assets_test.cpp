// The committed assets: rebuilt from their sources by their tools, and fit for the game.
#include "harness.h"

#include "battlefield/army.h"
#include "battlefield/ship.h"
#include "display/text.h"
#include "scenes/console.h"
#include "shell/shell.h"
#include "waves/spawner.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::string ASSETS = std::string(QUELTIVAR_SOURCE_DIR) + "/assets/";
using Glyph = std::array<std::array<bool, 18>, 18>;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void flood(const std::string& map, std::vector<bool>& reached, int cell) {
    if (cell < 0 || cell >= int(map.size()) || map[cell] != 0 || reached[cell]) return;
    reached[cell] = true;
    for (int next : {cell - 64, cell + 1, cell + 64, cell - 1}) flood(map, reached, next);
}

} // namespace

TEST(Assets, EachToolRebuildsItsCommittedFileAndRefusesItsSourceWithOneFault) {
    const std::string in = "assets_test_source.txt", out = "assets_test_output";
    // The fault replaces the first `from` in the source, or goes in front of it when `from` is "".
    for (const auto& [tool, source, asset, from, fault] : std::vector<std::array<std::string, 5>>{
             {"make_font", "source/font.txt", "font.bmp", "glyph 1 ", "glyph 256 "},
             {"make_map", "source/map.txt", "map.dat", "\n#.", "\n.."},
             {"make_spawner", "source/spawner.txt", "spawner.dat", "", "8 1 1000\n"},
             {"make_music", "source/music.txt", "title.wav", "", "song nowhere\n"}}) {
        const std::string run = "'" QUELTIVAR_TOOL_DIR "/" + tool + "' '", path = ASSETS + source;
        ASSERT_EQ(std::system((run + path + "' " + out).c_str()), 0) << tool;
        EXPECT_TRUE(slurp(out) == slurp(ASSETS + asset)) << asset << " is stale";
        std::filesystem::remove(out);
        std::string text = slurp(path);
        std::ofstream(in) << text.replace(text.find(from), from.size(), fault);
        EXPECT_NE(std::system((run + in + "' " + out).c_str()), 0) << tool << " took " << fault;
        EXPECT_FALSE(std::filesystem::remove(out)) << tool << " wrote output anyway";
    }
    std::filesystem::remove(in);
}

TEST(Assets, TheFontSheetKeepsItsAlphaAndDrawsEveryGlyphTheGameNames) {
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> sheet(
        SDL_LoadBMP((ASSETS + "font.bmp").c_str()), SDL_FreeSurface);
    ASSERT_TRUE(sheet && sheet->w == 288 && sheet->h == 288) << SDL_GetError();
    ASSERT_EQ(sheet->format->format, SDL_PIXELFORMAT_ARGB8888) << "32 bits with alpha";
    std::array<Glyph, 256> g{};
    for (int y = 0; y < 288; ++y)
        for (int x = 0; x < 288; ++x) {
            const Uint32 pixel = static_cast<Uint32*>(sheet->pixels)[y * sheet->pitch / 4 + x];
            const int code = y / 18 * 16 + x / 18;
            // Opaque white ink or full transparency; glyph 1, the block under a ship, all ink.
            EXPECT_TRUE(pixel == 0xFFFFFFFF || (pixel >> 24 == 0 && code != 1)) << x << "," << y;
            g[code][y % 18][x % 18] = pixel == 0xFFFFFFFF;
        }
    // Codes the game never names, 10 in particular (it ends each title-art line), stay empty.
    std::array<bool, 256> named{};
    for (auto [first, last] :
         {std::pair{1, 2}, {4, 7}, {20, 27}, {33, 126}, {128, 135}, {155, 172}, {180, 191}})
        std::fill(&named[first], &named[last] + 1, true);
    for (int code = 0; code < 256; ++code) EXPECT_EQ(g[code] != Glyph{}, named[code]) << code;
    for (int base : {4, 20, 24, 128, 132}) // ram, gunner, comet, player, cannon: four facings
        for (int dir = 0; dir < 4; ++dir)
            for (int other = dir + 1; other < 4; ++other)
                EXPECT_FALSE(g[base + dir] == g[base + other]) << "glyph " << base + other;
    EXPECT_FALSE(g[156] == g[158] || g[157] == g[159]) << "the player's beams are the gunners'";
}

TEST(Assets, TheMapIsClosedReachableAndClearWhereShipsAppearAndTheConsoleWrites) {
    const std::string map = slurp(ASSETS + "map.dat");
    ASSERT_TRUE(map.size() == 64 * 36 && map[18 * 64 + 32] == 0) << "a wall on the start";
    std::vector<bool> reached(map.size());
    flood(map, reached, 18 * 64 + 32);
    // The console at its fullest: both bars full, the first level's last line, then a level
    // and a score as long as a game can make them.
    Headless game;
    std::vector<bool> written(map.size());
    SCORE = 999999;
    for (uint16_t level : {1, 10}) {
        Spawner spawner = parse_spawner({});
        spawner.level = level;
        SDL_RenderClear(RENDERER);
        print_console(spawner, SHIPS[PLAYER], SHIPS[COMET], {});
        const Frame shown = read_frame();
        for (int i = 0; i < int(map.size()); ++i) {
            const int glyph = shown.cells[i].glyph;
            written[i] = written[i] || (glyph > 0 && std::string_view(" <>-").find(char(glyph)) ==
                                                         std::string_view::npos);
        }
    }
    SCORE = 0;
    for (int i = 0; i < int(map.size()); ++i) {
        const int x = i % 64, y = i / 64;
        const bool ring = x == 0 || x == 63 || y == 0 || y == 35;
        // Walls may stand on the console's borders, rules and spaces, never on what it says.
        const int want = ring ? 1 : written[i] ? 0 : map[i] & 1;
        EXPECT_EQ(map[i], want) << "cell " << x << "," << y;
        EXPECT_TRUE(map[i] != 0 || reached[i]) << x << "," << y << " is cut off";
    }
    // Each wave field with the row its ships first march into, then the comet corners; field 2
    // faces the bottom rule, so its ships turn aside at once.
    const int FIELDS[8][4] = {{20, 9, 2, 7},  {42, 20, 2, 7}, {10, 25, 2, 4}, {52, 6, 2, 5},
                              {62, 34, 1, 1}, {1, 34, 1, 1},  {62, 1, 1, 1},  {1, 1, 1, 1}};
    for (const auto& [left, top, w, h] : FIELDS)
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x) EXPECT_EQ(map[y * 64 + x], 0) << x << "," << y;
}

TEST(Assets, TheWaveScriptSendsEveryEnemyKindOverFiveLevels) {
    const std::string bytes = slurp(ASSETS + "spawner.dat");
    auto number = [&](size_t at, int size) {
        uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | uint8_t(bytes.at(at + i));
        return value;
    };
    ASSERT_EQ(bytes.size(), 4 + 13 * number(0, 4));
    std::array<bool, 6> kinds{};
    std::array<int64_t, 8> issued = {-2000, -2000, -2000, -2000, -2000, -2000, -2000, -2000};
    int64_t now = 0, long_waits = 0;
    for (size_t at = 4; at < bytes.size(); at += 13) {
        const uint8_t field = bytes[at];
        const uint64_t kind = number(at + 1, 4), delay = number(at + 5, 8);
        ASSERT_TRUE(field <= 7 && kind >= 1 && kind <= 5) << "command at " << at;
        kinds[kind] = true;
        long_waits += delay > 20000;
        // Commanded again while blinking (1.2 s), a field releases once and stalls the spawner.
        EXPECT_GE(now - issued[field], 2000) << "command at " << at;
        issued[field] = now;
        now += delay;
    }
    EXPECT_TRUE(kinds[1] && kinds[2] && kinds[4] && kinds[5]) << "an enemy kind never comes";
    EXPECT_GE(long_waits, 5) << "levels end in a wait over 20 s";
}

TEST(Assets, TheTitleArtFitsItsFrameAndLeavesTheFixedTextsClear) {
    std::ifstream in(ASSETS + "title.txt", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_LE(lines.size(), 35u);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 62u) << line;
    lines.resize(35); // rows the file leaves out show nothing
    // Name, PLAY, volume label and track, with a column of margin; art column 0 is screen column 1.
    for (const auto [row, first, last] : std::array<std::array<size_t, 3>, 4>{
             {{5, 20, 43}, {18, 29, 34}, {30, 28, 35}, {31, 21, 42}}})
        EXPECT_GE(lines[row].find_first_not_of(' ', first - 1), last) << row;
}

TEST(Assets, TheTitleMusicIsAudibleUnclippedMonoPcmOfHalfAMinute) {
    SDL_AudioSpec wav{};
    Uint8* data = nullptr;
    Uint32 size = 0;
    ASSERT_TRUE(SDL_LoadWAV((ASSETS + "title.wav").c_str(), &wav, &data, &size)) << SDL_GetError();
    const std::vector<int16_t> pcm(reinterpret_cast<int16_t*>(data),
                                   reinterpret_cast<int16_t*>(data + size));
    SDL_FreeWAV(data);
    ASSERT_TRUE(wav.freq == 44100 && wav.channels == 1 && wav.format == AUDIO_S16LSB);
    ASSERT_TRUE(pcm.size() >= 20 * 44100 && pcm.size() <= 40 * 44100) << pcm.size() << " samples";
    const auto [low, high] = std::minmax_element(pcm.begin(), pcm.end());
    EXPECT_TRUE(*high >= 8000 && *high <= 23197 && *low >= -23197) << "too quiet, or above -3 dBFS";
}
