// The repository's own files: its assets, rebuilt and fit for the game, and its layers.
#include "harness.h"
#include "process.h"

#include "display/glyphs.h"
#include "scenes/console.h"
#include "scenes/title.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "tool.h"
#include "waves/spawn_field.h"
#include "waves/spawner.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>

namespace {
const std::string ASSETS = QUELTIVAR_SOURCE_DIR "/assets/";
using Glyph = std::array<std::array<bool, CELL>, CELL>;
using Graph = std::map<std::string, std::set<std::string>>; // folder to folders

int run_tool(const std::string& tool, const std::vector<std::string>& arguments) {
    std::string command = "'" QUELTIVAR_TOOL_DIR "/make_" + tool + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    return std::system((command + " 2>/dev/null").c_str());
}

// Per line of two glyphs (rows, or columns when `down`), the pixels where keep(a, b) holds.
std::array<int, CELL> lines(const Glyph& a, const Glyph& b, bool down, auto keep) {
    std::array<int, CELL> n{};
    for (int l = 0; l < CELL; ++l)
        for (int p = 0; p < CELL; ++p)
            n[l] += down ? keep(a[p][l], b[p][l]) : keep(a[l][p], b[l][p]);
    return n;
}
const auto sum = [](const std::array<int, CELL>& n) { return std::reduce(n.begin(), n.end()); };

// Each folder to the folders it reaches through one include or more.
Graph reach(Graph graph) {
    for (bool grew = true; grew;) {
        grew = false;
        for (auto& [from, reached] : graph)
            for (const std::string& through : std::set(reached))
                if (graph.contains(through))
                    for (const std::string& to : graph.at(through))
                        grew |= reached.insert(to).second;
    }
    return graph;
}
} // namespace

TEST(Assets, ToolsRebuildEachAssetAndRefuseAFault) {
    const std::string faulty = "assets_test_source.txt", out = "assets_test_output";
    const struct {
        std::string tool, asset; // the source is source/TOOL.txt
        std::string from, fault; // the fault replaces the first `from`, or leads when it is ""
    } builds[] = {
        {.tool = "font", .asset = "font.bmp", .from = "glyph 1 ", .fault = "glyph 256 "},
        {.tool = "map", .asset = "map.dat", .from = "\n#.", .fault = "\n.."},
        {.tool = "spawner", .asset = "spawner.dat", .from = "", .fault = "8 1 1000\n"},
        {.tool = "music", .asset = "title.wav", .from = "", .fault = "song nowhere\n"},
    };
    for (const auto& [tool, asset, from, fault] : builds) {
        const std::string source = ASSETS + "source/" + tool + ".txt";
        ASSERT_EQ(run_tool(tool, {source, out}), 0) << tool;
        EXPECT_TRUE(slurp(out) == slurp(ASSETS + asset)) << asset << " is stale";
        std::filesystem::remove(out);
        std::string text = slurp(source);
        std::ofstream(faulty) << text.replace(text.find(from), from.size(), fault);
        EXPECT_NE(run_tool(tool, {faulty, out}), 0) << tool << " took " << fault;
        EXPECT_FALSE(std::filesystem::remove(out)) << tool << " wrote output anyway";
    }
    std::filesystem::remove(faulty);
}

// The font source's words for each glyph the game names; the sheet inks those and no other, and
// measured, so that a redraw cannot quietly thin out what a player must see at once.
TEST(Assets, FontDrawsEachNamedGlyphLegibly) {
    std::map<int, std::string> names = {
        {GLYPH_BLOCK, "solid block, drawn black under every ship"},
        {GLYPH_WALL, "wall block"},
        {GLYPH_HIT_FLASH, "hit flash"},
        {GLYPH_PLAYER_BEAM, "player's beam, vertical"},
        {GLYPH_PLAYER_BEAM + 1, "player's beam, horizontal"},
        {GLYPH_GUNNER_BEAM, "gunners' beam, vertical"},
        {GLYPH_SLIDER_TRACK, "gunners' beam, horizontal; also the volume slider's track"}};
    const std::string way[] = {"up", "right", "down", "left"};
    for (int dir = 0; dir < 4; ++dir) {
        names[GLYPH_RAM + dir] = "ram ship facing " + way[dir];
        names[GLYPH_GUNNER + dir] = "gunner ship facing " + way[dir];
        names[GLYPH_COMET + dir] = "comet heading " + way[dir];
        names[GLYPH_PLAYER + dir] = "player ship facing " + way[dir];
        names[GLYPH_CANNON + dir] = "player's cannon facing " + way[dir] + ", with corner marks";
    }
    for (char c = '!'; c <= '~'; ++c)
        names[c] = c == '\'' ? "apostrophe" : std::string{'\'', c, '\''};
    std::vector<int> caption, strip;
    for (int i = 0; i < CAPTION_CELLS; ++i) caption.push_back(caption_glyph(i));
    std::map<int, std::string> drawn;
    std::istringstream source(slurp(ASSETS + "source/font.txt"));
    for (std::string line, keyword; std::getline(source, line);) {
        std::istringstream words(line);
        if (int code = -1; words >> keyword && keyword == "glyph" && words >> code)
            std::getline(words >> std::ws, drawn[code]);
        for (int first, last; keyword == "strip" && words >> first && words.ignore() >> last;)
            for (int code = first; code <= last; ++code) strip.push_back(code);
    }
    EXPECT_EQ(strip, caption) << "the title caption";
    const Picture sheet = decode_bmp(slurp(ASSETS + "font.bmp")).value_or(Picture{});
    ASSERT_EQ(sheet.argb.size(), size_t(16 * CELL * 16 * CELL));
    std::array<Glyph, 256> g{};
    for (size_t i = 0; i < sheet.argb.size(); ++i) {
        const size_t x = i % sheet.width, y = i / sheet.width, alpha = sheet.argb[i] >> 24;
        ASSERT_TRUE(alpha == 0 || sheet.argb[i] == 0xFFFFFFFF) << "neither white ink nor clear";
        g[y / CELL * 16 + x / CELL][y % CELL][x % CELL] = alpha;
    }
    for (int code = 0; code < 256; ++code) // its words, and whether it is inked
        EXPECT_EQ(std::pair(drawn[code], g[code] != Glyph{}),
                  std::pair(names[code], !names[code].empty() || std::ranges::count(caption, code)))
            << "glyph " << code;
    const auto ink = [](bool a, bool) { return a; };
    EXPECT_EQ(sum(lines(g[GLYPH_BLOCK], {}, false, ink)), CELL * CELL) << "solid";
    for (const bool down : {true, false}) { // vertical beam and rule, then horizontal
        const std::array<int, CELL> beam = lines(g[GLYPH_GUNNER_BEAM + !down], {}, down, ink);
        EXPECT_GE(std::ranges::count(beam, CELL), 3) << "a fired beam is solid, 3 pixels or more";
        EXPECT_GE(sum(beam), 72) << "an aim, drawn at 75/255, shows on black";
        EXPECT_TRUE(std::ranges::count(lines(g[down ? '|' : '-'], {}, down, ink), CELL));
    }
    for (const int width : lines(g['!'], {}, false, ink)) EXPECT_TRUE(width == 0 || width >= 4);
    for (const int dir : {0, 1}) { // turned about, a gunner changes half its outline or more
        const Glyph &a = g[GLYPH_GUNNER + dir], &b = g[GLYPH_GUNNER + dir + 2];
        EXPECT_GE(2 * sum(lines(a, b, false, std::not_equal_to{})),
                  sum(lines(a, b, false, std::logical_or{})));
    }
    const auto outside = [](bool a, bool b) { return a && !b; };
    for (int dir = 0; dir < 4; ++dir) // else a hit player looks like a hit enemy
        EXPECT_GE(sum(lines(g[GLYPH_CANNON + dir], g[GLYPH_HIT_FLASH], false, outside)), 24) << dir;
}

TEST(Assets, IconIsRebuiltAtEverySize) {
    std::map<std::string, int> icons = {{"icon.bmp", 64}}; // and the icon theme's usual sizes
    for (const std::string size : {"16", "32", "48", "64", "128", "256"})
        icons["icons/" + size + "x" + size + ".png"] = std::stoi(size);
    for (const auto& file : std::filesystem::directory_iterator(ASSETS + "icons"))
        icons["icons/" + file.path().filename().string()] = std::stoi(file.path().stem());
    const std::string source = ASSETS + "source/icon.txt", font = ASSETS + "font.bmp";
    const std::string png = "assets_test_icon.png";
    for (const auto& [icon, size] : icons) {
        const std::string out = "assets_test_icon" + icon.substr(icon.size() - 4);
        ASSERT_EQ(run_tool("icon", {source, font, std::to_string(size), out}), 0) << icon;
        const std::string built = slurp(out), big_endian{0, 0, char(size >> 8), char(size)};
        EXPECT_TRUE(built == slurp(ASSETS + icon)) << icon << " is stale";
        EXPECT_TRUE(out != png || built.substr(16, 8) == big_endian + big_endian) << icon;
        std::filesystem::remove(out);
    }
    std::ofstream("assets_test_icon.txt") << "glyph " << int{GLYPH_PLAYER} << " white\n";
    EXPECT_NE(run_tool("icon", {"assets_test_icon.txt", font, "16", png}), 0) << "a named colour";
    EXPECT_NE(run_tool("icon", {source, ASSETS + "map.dat", "16", png}), 0) << "a map as font";
    EXPECT_FALSE(std::filesystem::remove(png)) << "a refused icon written anyway";
    std::filesystem::remove("assets_test_icon.txt");
}

TEST(Assets, MapIsClosedReachableAndClearOnFieldsAndConsole) {
    const std::string map = slurp(ASSETS + "map.dat");
    const int start = ROWS / 2 * COLUMNS + COLUMNS / 2;
    ASSERT_TRUE(map.size() == ROWS * COLUMNS && map[start] == 0) << "a wall on the start";
    std::vector<bool> reached(map.size());
    for (std::vector<int> next = {start}; !next.empty();) {
        const int cell = next.back();
        next.pop_back();
        if (cell < 0 || cell >= int(map.size()) || map[cell] != 0 || reached[cell]) continue;
        reached[cell] = true;
        next.insert(next.end(), {cell - COLUMNS, cell + 1, cell + COLUMNS, cell - 1});
    }
    // The console at its fullest: bars full, level 1's last line under level 10, a long score.
    Headless game;
    SCORE = 999999;
    for (Spawner spawner = parse_spawner({}); spawner.level <= 10; spawner.level += 9)
        print_console(spawner, SHIPS[PLAYER], SHIPS[COMET], {});
    const Frame console = read_frame();
    SCORE = 0;
    for (int i = 0; i < int(map.size()); ++i) {
        const int x = i % COLUMNS, y = i / COLUMNS, glyph = console.cells[i].glyph;
        const bool ring = x == 0 || x == COLUMNS - 1 || y == 0 || y == ROWS - 1;
        // Walls may stand on the console's borders, rules and spaces, never on what it says.
        const bool says =
            glyph != GLYPH_NONE && !std::ranges::count(std::string_view(" <>-"), glyph);
        EXPECT_EQ(map[i], ring ? 1 : says ? 0 : map[i] & 1) << "cell " << x << "," << y;
        EXPECT_TRUE(map[i] != 0 || reached[i]) << x << "," << y << " is cut off";
    }
    // Fields and the row ships first march into are clear; field 2's ships turn at the rule.
    for (size_t i = 0; i < FIELD_COUNT; ++i) {
        const SpawnField& f = SPAWN_FIELD_LAYOUT[i];
        const bool marches = i < FIRST_COMET_FIELD && i != 2;
        const int top = f.y - (marches && f.dir == 0), bottom = f.y + f.h + (marches && f.dir == 2);
        for (int y = top; y < bottom; ++y)
            for (int x = f.x; x < f.x + f.w; ++x)
                EXPECT_EQ(map[y * COLUMNS + x], 0) << x << "," << y;
    }
}

TEST(Assets, WaveScriptSendsEveryEnemyKind) {
    const std::string bytes = slurp(ASSETS + "spawner.dat");
    const Spawner script = parse_spawner({bytes.begin(), bytes.end()});
    ASSERT_EQ(bytes.size(), SCRIPT_HEADER_BYTES + COMMAND_BYTES * script.commands.size());
    std::set<uint32_t> kinds;
    std::map<uint8_t, int64_t> last; // ms of each field's last command
    int64_t now = 0, levels = 0;
    for (const auto& [field, kind, delay] : script.commands) {
        // Commanded again while blinking (1.2 s), a field releases once and stalls the spawner.
        EXPECT_TRUE(field < FIELD_COUNT && (!last.contains(field) || now - last[field] >= 2000))
            << "a command at " << now << " ms";
        kinds.insert(kind);
        levels += delay > 20000; // a level ends in a long wait
        last[field] = now;
        now += delay;
    }
    kinds.erase(COMET);
    EXPECT_EQ(kinds, (std::set<uint32_t>{BLUE_RAM, GREEN_GUNNER, RED_RAM, CYAN_GUNNER}));
    EXPECT_GE(levels, 5);
}

TEST(Assets, TitleArtLeavesTheTextsClearAndMusicFits) {
    std::istringstream art(slurp(ASSETS + "title.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(art, line);) lines.push_back(line);
    ASSERT_LE(lines.size(), size_t(TITLE_ROWS));
    for (const std::string& line : lines) EXPECT_LE(line.size(), 62u) << line;
    lines.resize(TITLE_ROWS); // rows the file leaves out show nothing
    // Texts with a cell's margin: art by PLAY would look like the button. Art column 0 is screen 1.
    const struct {
        size_t row, first, last; // screen columns
    } texts[] = {
        {.row = 5, .first = 20, .last = 43},
        {.row = PLAY_ROW - 1, .first = PLAY_COL - 1, .last = PLAY_COL + PLAY_CELLS},
        {.row = PLAY_ROW, .first = PLAY_COL - 1, .last = PLAY_COL + PLAY_CELLS},
        {.row = PLAY_ROW + 1, .first = PLAY_COL - 1, .last = PLAY_COL + PLAY_CELLS},
        {.row = 30, .first = 28, .last = 35},
        {.row = 31, .first = 21, .last = 42},
    };
    for (const auto& [row, first, last] : texts)
        EXPECT_GE(lines[row].find_first_not_of(' ', first - 1), last) << row;
    const std::vector<int16_t> pcm = load_wav((ASSETS + "title.wav").c_str()).samples;
    ASSERT_TRUE(pcm.size() >= 20 * AUDIO_RATE && pcm.size() <= 40 * AUDIO_RATE) << pcm.size();
    const auto [low, high] = std::ranges::minmax(pcm);
    EXPECT_TRUE(high >= 8000 && high <= 23197 && low >= -23197) << "too quiet, or above -3 dBFS";
}

TEST(Layers, NoFolderIncludesItsWayBackToItself) {
    ASSERT_TRUE(reach({{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}}).at("c").contains("c"));
    // A folder's own files may name each other (title and play start one another).
    const std::regex include_line(R"(^\s*#\s*include\s*"([^/"]+)/)");
    Graph includes;
    for (const auto& file :
         std::filesystem::recursive_directory_iterator(QUELTIVAR_SOURCE_DIR "/src")) {
        const std::string folder = file.path().parent_path().filename();
        std::ifstream in(file.path());
        std::smatch match;
        for (std::string line; std::getline(in, line);)
            if (std::regex_search(line, match, include_line) && match[1] != folder)
                includes[folder].insert(match[1]);
    }
    ASSERT_TRUE(includes["shell"].contains("scenes")) << "the includes are read";
    for (const auto& [folder, reached] : reach(includes))
        EXPECT_FALSE(reached.contains(folder)) << folder << " includes its way back to itself";
}
