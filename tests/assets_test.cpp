// The committed assets: rebuilt from their sources by their tools, and fit for the game.
#include "harness.h"

#include "battlefield/army.h"
#include "battlefield/ship.h"
#include "display/glyphs.h"
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
#include <map>
#include <memory>
#include <set>
#include <sstream>
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

// The shipped sheet, each glyph's ink.
std::array<Glyph, 256> font_glyphs() {
    std::array<Glyph, 256> g{};
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> loaded(
        SDL_LoadBMP((ASSETS + "font.bmp").c_str()), SDL_FreeSurface);
    if (!loaded) return g;
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> sheet(
        SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0), SDL_FreeSurface);
    for (int code = 0; code < 256; ++code)
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 18; ++x) {
                const int px = code % 16 * 18 + x, py = code / 16 * 18 + y;
                const auto* row = static_cast<const uint8_t*>(sheet->pixels) + py * sheet->pitch;
                g[code][y][x] = reinterpret_cast<const uint32_t*>(row)[px] >> 24 != 0;
            }
    return g;
}

int lit(const Glyph& glyph) {
    int count = 0;
    for (const auto& row : glyph) count += int(std::count(row.begin(), row.end(), true));
    return count;
}

Glyph transposed(const Glyph& glyph) {
    Glyph t{};
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 18; ++x) t[x][y] = glyph[y][x];
    return t;
}

// The most rows in a row that are ink from edge to edge.
int solid_rows(const Glyph& glyph) {
    int best = 0, run = 0;
    for (const auto& row : glyph) {
        run = std::count(row.begin(), row.end(), true) == 18 ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
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
            // Opaque white ink or full transparency; the block under a ship all ink.
            EXPECT_TRUE(pixel == 0xFFFFFFFF || (pixel >> 24 == 0 && code != GLYPH_BLOCK))
                << x << "," << y;
            g[code][y % 18][x % 18] = pixel == 0xFFFFFFFF;
        }
    // Codes the game never names, 10 in particular (it ends each title-art line), stay empty.
    std::array<bool, 256> named{};
    for (auto [first, count] : std::initializer_list<std::pair<int, int>>{{GLYPH_BLOCK, 1},
                                                                          {GLYPH_WALL, 1},
                                                                          {GLYPH_RAM, 4},
                                                                          {GLYPH_GUNNER, 4},
                                                                          {GLYPH_COMET, 4},
                                                                          {'!', '~' - '!' + 1},
                                                                          {GLYPH_PLAYER, 4},
                                                                          {GLYPH_CANNON, 4},
                                                                          {GLYPH_HIT_FLASH, 1},
                                                                          {GLYPH_PLAYER_BEAM, 2},
                                                                          {GLYPH_GUNNER_BEAM, 2}})
        std::fill_n(&named[first], count, true);
    for (const GlyphRun& run : CAPTION_RUNS) std::fill_n(&named[run.first], run.count, true);
    for (int code = 0; code < 256; ++code) EXPECT_EQ(g[code] != Glyph{}, named[code]) << code;
    for (int base : {GLYPH_RAM, GLYPH_GUNNER, GLYPH_COMET, GLYPH_PLAYER, GLYPH_CANNON})
        for (int dir = 0; dir < 4; ++dir)
            for (int other = dir + 1; other < 4; ++other)
                EXPECT_FALSE(g[base + dir] == g[base + other]) << "glyph " << base + other;
    EXPECT_FALSE(g[GLYPH_PLAYER_BEAM] == g[GLYPH_GUNNER_BEAM] ||
                 g[GLYPH_PLAYER_BEAM + 1] == g[GLYPH_GUNNER_BEAM + 1])
        << "the player's beams are the gunners'";
}

// The code's names for glyphs against what the font source says it draws at each code.
TEST(Assets, EveryGlyphTheGameNamesIsThePictureTheFontSourceDrawsThere) {
    std::map<int, std::string> drawn;
    std::string strip;
    std::istringstream source(slurp(ASSETS + "source/font.txt"));
    for (std::string line; std::getline(source, line);) {
        std::istringstream words(line);
        std::string keyword;
        int code = -1;
        if (words >> keyword && keyword == "glyph" && words >> code)
            std::getline(words >> std::ws, drawn[code]);
        if (keyword == "strip") std::getline(words >> std::ws, strip);
    }
    const std::array<std::string, 4> facings = {"up", "right", "down", "left"};
    for (int dir = 0; dir < 4; ++dir) {
        const std::string facing = facings[dir];
        EXPECT_EQ(drawn[GLYPH_RAM + dir], "ram ship facing " + facing);
        EXPECT_EQ(drawn[GLYPH_GUNNER + dir], "gunner ship facing " + facing);
        EXPECT_EQ(drawn[GLYPH_COMET + dir], "comet heading " + facing);
        EXPECT_EQ(drawn[GLYPH_PLAYER + dir], "player ship facing " + facing);
        EXPECT_EQ(drawn[GLYPH_CANNON + dir],
                  "player's cannon facing " + facing + ", with corner marks");
    }
    EXPECT_EQ(drawn[GLYPH_BLOCK], "solid block, drawn black under every ship");
    EXPECT_EQ(drawn[GLYPH_WALL], "wall block");
    EXPECT_EQ(drawn[GLYPH_HIT_FLASH], "hit flash");
    EXPECT_EQ(drawn[GLYPH_PLAYER_BEAM], "player's beam, vertical");
    EXPECT_EQ(drawn[GLYPH_PLAYER_BEAM + 1], "player's beam, horizontal");
    EXPECT_EQ(drawn[GLYPH_GUNNER_BEAM], "gunners' beam, vertical");
    EXPECT_EQ(drawn[GLYPH_SLIDER_TRACK],
              "gunners' beam, horizontal; also the volume slider's track");
    EXPECT_EQ(drawn.count(GLYPH_NONE), 0u);
    std::string runs;
    for (const GlyphRun& run : CAPTION_RUNS)
        runs += (runs.empty() ? "" : " ") + std::to_string(run.first) + "-" +
                std::to_string(run.first + run.count - 1);
    EXPECT_EQ(strip, runs) << "the title caption";
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

TEST(Assets, TheIconIsThePlayersShipOnItsBlockRebuiltAtEverySizeAndSharpAtWholeScales) {
    const std::string run = "'" QUELTIVAR_TOOL_DIR "/make_icon' ", out = "assets_test_icon";
    auto make = [&](const std::string& source, const std::string& font, int size,
                    const std::string& output) {
        return std::system((run + "'" + source + "' '" + font + "' " + std::to_string(size) + " " +
                            output + " 2>/dev/null")
                               .c_str());
    };
    std::vector<std::pair<std::string, int>> icons = {{"icon.bmp", 64}};
    for (const auto& file : std::filesystem::directory_iterator(ASSETS + "icons"))
        icons.emplace_back("icons/" + file.path().filename().string(),
                           std::stoi(file.path().stem().string()));
    std::set<int> sizes;
    for (const auto& [icon, size] : icons) {
        sizes.insert(size);
        const std::string built = out + icon.substr(icon.size() - 4);
        ASSERT_EQ(make(ASSETS + "source/icon.txt", ASSETS + "font.bmp", size, built), 0) << icon;
        const std::string bytes = slurp(built);
        EXPECT_TRUE(bytes == slurp(ASSETS + icon)) << icon << " is stale";
        if (icon.ends_with(".png")) {
            const std::string side{0, 0, char(size >> 8), char(size & 0xff)};
            EXPECT_EQ(bytes.substr(16, 8), side + side)
                << icon << " is not the size its name gives";
        }
        std::filesystem::remove(built);
    }
    const std::set<int> usual = {16, 32, 48, 64, 128, 256};
    EXPECT_TRUE(std::includes(sizes.begin(), sizes.end(), usual.begin(), usual.end()))
        << "the icon theme's usual sizes";

    // At 64 the 18-pixel glyphs fit three times over, with 5 pixels of clear margin around.
    auto load = [](const std::string& path) {
        SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(loaded);
        return std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>(argb, SDL_FreeSurface);
    };
    const auto icon = load(ASSETS + "icon.bmp"), font = load(ASSETS + "font.bmp");
    ASSERT_TRUE(icon && font && icon->w == 64 && icon->h == 64) << SDL_GetError();
    auto pixel = [](const SDL_Surface& s, int x, int y) {
        return static_cast<const Uint32*>(s.pixels)[y * s.pitch / 4 + x];
    };
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 5 && x < 59 && y >= 5 && y < 59;
            const int gx = (x - 5) / 3, gy = (y - 5) / 3; // glyph 128 is at column 0, row 8
            const bool ship = inside && pixel(*font, gx, 8 * 18 + gy) >> 24 != 0;
            EXPECT_EQ(pixel(*icon, x, y), !inside ? 0u
                                          : ship  ? 0xFFFFFFFFu
                                                  : 0xFF000000u)
                << x << "," << y;
        }

    for (const std::string fault : {"glyph 256 ffffff\n", "glyph 128 white\n", "\n"}) {
        std::ofstream("assets_test_icon.txt") << fault;
        EXPECT_NE(make("assets_test_icon.txt", ASSETS + "font.bmp", 16, out + ".png"), 0) << fault;
        EXPECT_FALSE(std::filesystem::remove(out + ".png")) << fault << " wrote output anyway";
    }
    EXPECT_NE(make(ASSETS + "source/icon.txt", ASSETS + "map.dat", 16, out + ".png"), 0);
    EXPECT_FALSE(std::filesystem::remove(out + ".png")) << "drew from a map as a font";
    std::filesystem::remove("assets_test_icon.txt");
}

// Measured on the sheet, so that a redraw cannot quietly thin out what a player must see at once.
TEST(Assets, BeamsRulesWarningsGunnerFacingsAndThePlayersFlashReadAtAGlance) {
    const std::array<Glyph, 256> g = font_glyphs();
    // A gunner's aim is drawn at 75/255: it needs ink to show; a fired beam is solid.
    for (const Glyph& beam : {transposed(g[GLYPH_GUNNER_BEAM]), g[GLYPH_GUNNER_BEAM + 1]}) {
        EXPECT_GE(solid_rows(beam), 3) << "a fired beam is solid, 3 pixels or more";
        EXPECT_GE(lit(beam), 72) << "an aiming beam shows on black";
    }
    EXPECT_GE(solid_rows(g['-']), 1) << "'-' runs from cell edge to cell edge";
    EXPECT_GE(solid_rows(transposed(g['|'])), 1) << "'|' runs from cell edge to cell edge";
    for (int y = 0; y < 18; ++y) EXPECT_EQ(g['-'][y][0], g['-'][y][17]) << "'-' meets the next";
    EXPECT_EQ(g['|'][0], g['|'][17]) << "'|' meets the next";

    int narrowest = 18;
    for (const auto& row : g['!'])
        if (int width = int(std::count(row.begin(), row.end(), true)))
            narrowest = std::min(narrowest, width);
    EXPECT_GE(narrowest, 4) << "the spawn warning's '!' is bold";

    // Turned about, a gunner changes at least half of its outline.
    for (int dir : {0, 1}) {
        int changed = 0, either = 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 18; ++x) {
                const bool a = g[GLYPH_GUNNER + dir][y][x], b = g[GLYPH_GUNNER + 2 + dir][y][x];
                changed += a != b;
                either += a || b;
            }
        EXPECT_GE(2 * changed, either) << "gunner facings " << dir << " and " << 2 + dir;
    }

    // Over the hit flash the player's overlay must change the flash's outline, not only recolour
    // the flash's own strokes, or a hit player looks like a hit enemy.
    for (int dir = 0; dir < 4; ++dir) {
        int outside = 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 18; ++x)
                outside += g[GLYPH_CANNON + dir][y][x] && !g[GLYPH_HIT_FLASH][y][x];
        EXPECT_GE(outside, 24) << "overlay facing " << dir;
    }
}
