// The four world assets: rebuilt from their sources by their tools, and fit for the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int COLUMNS = 64;
constexpr int ROWS = 36;
constexpr int RECORD_BYTES = 13;

struct Rect {
    int x, y, w, h;
};
// The wave fields, the cell row their blocks march into first, and the comet corners.
constexpr std::array<Rect, 4> WAVE_FIELDS = {
    {{20, 10, 2, 6}, {42, 20, 2, 6}, {10, 25, 2, 4}, {52, 7, 2, 4}}};
constexpr std::array<int, 4> FRONT_ROWS = {9, 26, 29, 6};
constexpr std::array<int, 4> FIELD_SHIPS = {12, 12, 8, 8};
constexpr std::array<std::array<int, 2>, 4> COMET_CORNERS = {{{62, 34}, {1, 34}, {62, 1}, {1, 1}}};
constexpr int START_X = 32;
constexpr int START_Y = 18;
constexpr std::array<std::array<int, 2>, 4> NEIGHBOURS = {{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}};
constexpr std::array<int, 6> HITS_TO_KILL = {0, 1, 1, 0, 2, 4}; // by kind; 3 is the comet

std::string source(const std::string& relative) {
    return std::string(QUELTIVAR_SOURCE_DIR) + "/" + relative;
}

std::string tool(const std::string& name) {
    return std::string(QUELTIVAR_TOOL_DIR) + "/" + name;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t little_endian(const std::vector<uint8_t>& bytes, size_t at, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
    return value;
}

struct ToolRun {
    int status;
    std::string output;
};

// Runs a tool and keeps what it printed, so a failure shows the tool's own message.
ToolRun run_tool(const std::string& name, const std::string& input, const std::string& output) {
    const std::string command = "'" + tool(name) + "' '" + input + "' '" + output + "' 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 256> chunk{};
    while (fgets(chunk.data(), chunk.size(), pipe)) run.output += chunk.data();
    run.status = pclose(pipe);
    return run;
}

class WorldAssets : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "world-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string dir;
};

struct Command {
    int field;
    uint32_t kind;
    uint64_t delay;
};

std::vector<Command> read_script(const std::vector<uint8_t>& bytes) {
    std::vector<Command> commands;
    for (size_t at = 4; at + RECORD_BYTES <= bytes.size(); at += RECORD_BYTES)
        commands.push_back({bytes[at], static_cast<uint32_t>(little_endian(bytes, at + 1, 4)),
                            little_endian(bytes, at + 5, 8)});
    return commands;
}

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace

TEST_F(WorldAssets, EveryAssetIsRebuiltByteForByteFromItsSource) {
    const std::array<std::array<std::string, 3>, 3> BUILDS = {{
        {"make_map", "assets/source/map.txt", "assets/map.dat"},
        {"make_spawner", "assets/source/spawner.txt", "assets/spawner.dat"},
        {"make_music", "assets/source/music.txt", "assets/title.wav"},
    }};
    for (const auto& [name, input, committed] : BUILDS) {
        const std::string rebuilt = dir + "/" + name + ".out";
        const ToolRun run = run_tool(name, source(input), rebuilt);
        ASSERT_EQ(run.status, 0) << name << ": " << run.output;
        const std::vector<uint8_t> fresh = read_bytes(rebuilt);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == read_bytes(source(committed)))
            << committed << " is stale: rebuild it with " << name;
    }
}

TEST_F(WorldAssets, TheMapIsClosedAndEveryFreeCellCanBeReachedFromTheStart) {
    const std::vector<uint8_t> map = read_bytes(source("assets/map.dat"));
    ASSERT_EQ(map.size(), size_t(COLUMNS * ROWS));
    auto at = [&](int x, int y) { return map[y * COLUMNS + x]; };
    int interior_walls = 0;
    for (int y = 0; y < ROWS; ++y)
        for (int x = 0; x < COLUMNS; ++x) {
            ASSERT_LE(at(x, y), 1) << "cell " << x << "," << y << " is neither wall nor empty";
            const bool ring = x == 0 || y == 0 || x == COLUMNS - 1 || y == ROWS - 1;
            if (ring) {
                EXPECT_EQ(at(x, y), 1) << "gap in the outer wall at " << x << "," << y;
            }
            if (!ring && at(x, y) == 1) ++interior_walls;
        }
    // Enough cover to hide behind (5 percent of the field), not so much that rams cannot get
    // through (a quarter).
    const int interior = (COLUMNS - 2) * (ROWS - 2);
    EXPECT_GE(interior_walls * 20, interior);
    EXPECT_LE(interior_walls * 4, interior);

    ASSERT_EQ(at(START_X, START_Y), 0);
    std::vector<bool> reached(map.size(), false);
    std::vector<std::array<int, 2>> frontier = {{START_X, START_Y}};
    reached[START_Y * COLUMNS + START_X] = true;
    while (!frontier.empty()) {
        const auto [x, y] = frontier.back();
        frontier.pop_back();
        for (const auto [dx, dy] : NEIGHBOURS) {
            const int index = (y + dy) * COLUMNS + (x + dx);
            if (map[index] == 0 && !reached[index]) {
                reached[index] = true;
                frontier.push_back({x + dx, y + dy});
            }
        }
    }
    for (int y = 0; y < ROWS; ++y)
        for (int x = 0; x < COLUMNS; ++x)
            if (at(x, y) == 0) {
                EXPECT_TRUE(reached[y * COLUMNS + x])
                    << "free cell " << x << "," << y << " is cut off from the start";
            }
}

TEST_F(WorldAssets, TheMapLeavesRoomForShipsAndKeepsTheConsoleReadable) {
    const std::vector<uint8_t> map = read_bytes(source("assets/map.dat"));
    ASSERT_EQ(map.size(), size_t(COLUMNS * ROWS));
    auto at = [&](int x, int y) { return map[y * COLUMNS + x]; };
    EXPECT_EQ(at(START_X, START_Y), 0) << "the player's start";
    for (size_t f = 0; f < WAVE_FIELDS.size(); ++f) {
        const Rect r = WAVE_FIELDS[f];
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                EXPECT_EQ(at(x, y), 0) << "field " << f << " cell " << x << "," << y;
        for (int x = r.x; x < r.x + r.w; ++x)
            EXPECT_EQ(at(x, FRONT_ROWS[f]), 0)
                << "field " << f << " cannot march out at " << x << "," << FRONT_ROWS[f];
    }
    for (const auto [x, y] : COMET_CORNERS)
        EXPECT_EQ(at(x, y), 0) << "comet corner " << x << "," << y;
    // Header rows 1-5 and footer rows 29-34 hold texts, bars and rules; columns 1 and 62 the
    // side borders.
    for (int y = 1; y < ROWS - 1; ++y)
        for (int x = 1; x < COLUMNS - 1; ++x) {
            const bool console = y <= 5 || y >= 29 || x == 1 || x == COLUMNS - 2;
            if (console) {
                EXPECT_EQ(at(x, y), 0) << "wall over the console at " << x << "," << y;
            }
        }
}

TEST_F(WorldAssets, TheWaveScriptIsACampaignOfLevelsThatGrowHarder) {
    const std::vector<uint8_t> bytes = read_bytes(source("assets/spawner.dat"));
    ASSERT_GE(bytes.size(), 4u);
    const uint64_t count = little_endian(bytes, 0, 4);
    ASSERT_EQ(bytes.size(), 4 + RECORD_BYTES * count);
    const std::vector<Command> script = read_script(bytes);
    ASSERT_EQ(script.size(), count);

    std::array<bool, 6> kinds_seen{};
    std::vector<int> hits_per_level = {0};
    uint64_t scripted_ms = 0;
    std::vector<uint64_t> issued_at;
    for (size_t i = 0; i < script.size(); ++i) {
        const Command& c = script[i];
        ASSERT_LE(c.field, 7) << "command " << i;
        ASSERT_GE(c.kind, 1u) << "command " << i;
        ASSERT_LE(c.kind, 5u) << "command " << i;
        kinds_seen[c.kind] = true;
        if (c.field < 4) hits_per_level.back() += FIELD_SHIPS[c.field] * HITS_TO_KILL[c.kind];
        issued_at.push_back(scripted_ms);
        scripted_ms += c.delay;
        if (c.delay > 20000 && i + 1 < script.size()) hits_per_level.push_back(0);
    }
    for (const uint32_t kind : {1u, 2u, 4u, 5u}) EXPECT_TRUE(kinds_seen[kind]) << "kind " << kind;
    EXPECT_GT(script.back().delay, 20000u) << "the last level should end like the others";
    ASSERT_GE(hits_per_level.size(), 5u) << "levels, each ending in a wait over 20 s";
    for (size_t level = 1; level < hits_per_level.size(); ++level)
        EXPECT_GE(hits_per_level[level], hits_per_level[level - 1])
            << "level " << level + 1 << " is easier than the one before";
    EXPECT_GT(hits_per_level.back(), 2 * hits_per_level.front());
    // Without a single early clear the whole script runs 4 to 12 minutes.
    EXPECT_GE(scripted_ms, 4u * 60 * 1000);
    EXPECT_LE(scripted_ms, 12u * 60 * 1000);
    // A field commanded again before it has released (1.2 s of blinking) would lose a block.
    for (size_t i = 0; i < script.size(); ++i)
        for (size_t j = i + 1; j < script.size(); ++j)
            if (script[j].field == script[i].field) {
                EXPECT_GE(issued_at[j] - issued_at[i], 2000u) << "commands " << i << ", " << j;
            }
}

TEST_F(WorldAssets, TheTitleArtFitsItsFrameAndLeavesTheFixedTextsClear) {
    const std::string path = source("assets/title.txt");
    const std::vector<uint8_t> raw = read_bytes(path);
    ASSERT_FALSE(raw.empty());
    for (const uint8_t byte : raw)
        ASSERT_TRUE(byte == '\n' || (byte >= 32 && byte < 127)) << "byte " << int(byte);
    const std::vector<std::string> lines = read_lines(path);
    ASSERT_LE(lines.size(), 35u);
    int drawn = 0;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 62u) << line;
        for (const char c : line) drawn += c != ' ';
    }
    EXPECT_GT(drawn, 200) << "hardly any art";
    // Screen cells that must stay blank: each fixed text with a column of margin either side.
    struct Clear {
        int row, first, last;
    };
    const std::array<Clear, 4> CLEAR = {{{5, 20, 43}, {18, 29, 34}, {30, 28, 35}, {31, 21, 42}}};
    for (const Clear& area : CLEAR) {
        if (area.row >= int(lines.size())) continue;
        const std::string& line = lines[area.row];
        for (int column = area.first; column <= area.last; ++column) {
            const size_t index = size_t(column - 1); // art column 0 is screen column 1
            if (index < line.size()) {
                EXPECT_EQ(line[index], ' ') << "row " << area.row << ", screen column " << column;
            }
        }
    }
}

TEST_F(WorldAssets, TheTitleMusicIsAPlainPcmLoopThatIsHeardAndNeverClips) {
    const std::vector<uint8_t> wav = read_bytes(source("assets/title.wav"));
    ASSERT_GE(wav.size(), 44u);
    ASSERT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    ASSERT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
    EXPECT_EQ(little_endian(wav, 4, 4), wav.size() - 8);
    size_t at = 12;
    size_t data = 0;
    size_t data_bytes = 0;
    bool format_seen = false;
    while (at + 8 <= wav.size()) {
        const std::string id(wav.begin() + at, wav.begin() + at + 4);
        const size_t size = little_endian(wav, at + 4, 4);
        if (id == "fmt ") {
            format_seen = true;
            EXPECT_EQ(little_endian(wav, at + 8, 2), 1u) << "PCM";
            EXPECT_EQ(little_endian(wav, at + 10, 2), 1u) << "mono";
            EXPECT_EQ(little_endian(wav, at + 12, 4), 44100u);
            EXPECT_EQ(little_endian(wav, at + 16, 4), 88200u) << "bytes per second";
            EXPECT_EQ(little_endian(wav, at + 20, 2), 2u) << "block align";
            EXPECT_EQ(little_endian(wav, at + 22, 2), 16u) << "bits";
        }
        if (id == "data") {
            data = at + 8;
            data_bytes = size;
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_TRUE(format_seen);
    ASSERT_GT(data, 0u);
    ASSERT_LE(data + data_bytes, wav.size());
    const size_t samples = data_bytes / 2;
    EXPECT_GE(samples, 20u * 44100);
    EXPECT_LE(samples, 40u * 44100);

    int peak = 0;
    std::vector<double> second_power(samples / 44100 + 1, 0.0);
    for (size_t i = 0; i < samples; ++i) {
        const int v = static_cast<int16_t>(little_endian(wav, data + 2 * i, 2));
        peak = std::max(peak, std::abs(v));
        second_power[i / 44100] += double(v) * v;
    }
    EXPECT_LE(peak, 23197) << "louder than -3 dBFS";
    EXPECT_GE(peak, 8000) << "too quiet to be heard over the effects";
    // Music all the way through: no second of the loop is silent.
    for (size_t s = 0; s + 1 < second_power.size(); ++s)
        EXPECT_GT(second_power[s] / 44100, 300.0 * 300.0) << "second " << s << " is near silent";
}

TEST_F(WorldAssets, EachToolRejectsAMalformedSourceAndNamesTheLine) {
    struct Bad {
        std::string tool, text;
    };
    const std::array<Bad, 9> BAD = {{
        {"make_map", "; a comment\n" + std::string(63, '#') + "\n"},
        {"make_map", "; a comment\n." + std::string(63, '#') + "\n"},
        {"make_map", "; a comment\n#" + std::string(61, '.') + "x#\n"},
        {"make_spawner", "# a comment\n8 1 1000\n"},
        {"make_spawner", "# a comment\n0 6 1000\n"},
        {"make_spawner", "# a comment\n0 1 soon\n"},
        {"make_music", "section a\n  lead H4:4\nend\nsong a\ntempo 150\n"},
        {"make_music", "section a\nend\nsong a\ntempo 150\n"},
        {"make_music", "tempo 150\nsong missing\n"},
    }};
    for (const Bad& bad : BAD) {
        const std::string output = dir + "/out";
        std::filesystem::remove(output);
        const ToolRun run = run_tool(bad.tool, write("bad.txt", bad.text), output);
        EXPECT_NE(run.status, 0) << bad.tool << " accepted:\n" << bad.text;
        EXPECT_NE(run.output.find("bad.txt:2:"), std::string::npos)
            << bad.tool << " did not name line 2: " << run.output;
        EXPECT_FALSE(std::filesystem::exists(output)) << bad.tool << " wrote output anyway";
    }
}
