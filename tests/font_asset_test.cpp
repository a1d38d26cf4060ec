// The glyph sheet: rebuilt from its source by make_font, loaded by SDL, and drawn where the game
// looks.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int CELL = 18;
constexpr int SHEET_SIZE = 288;
const std::string SOURCE_DIR = QUELTIVAR_SOURCE_DIR;
const std::string TOOL = std::string(QUELTIVAR_TOOL_DIR) + "/make_font";
const std::string FONT_SOURCE = SOURCE_DIR + "/assets/source/font.txt";
const std::string FONT_SHEET = SOURCE_DIR + "/assets/font.bmp";

using Glyph = std::array<std::array<bool, CELL>, CELL>;

struct Sheet {
    int width = 0;
    int height = 0;
    bool has_alpha_mask = false;
    int stray_pixels = 0; // neither opaque white nor fully transparent
    std::vector<SDL_Color> pixels;
    std::array<Glyph, 256> glyphs{};
};

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("queltivar_font_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::filesystem::remove_all(path);
    }
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Runs make_font and returns its exit status, or -1 when it did not exit normally.
int run_tool(const std::filesystem::path& source, const std::filesystem::path& output,
             const std::filesystem::path& messages) {
    std::string command = "'" + TOOL + "' '" + source.string() + "' '" + output.string() + "' 2>'" +
                          messages.string() + "'";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Sheet load_sheet(const std::string& path) {
    Sheet sheet;
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> surface(SDL_LoadBMP(path.c_str()),
                                                                     SDL_FreeSurface);
    if (!surface) return sheet;
    sheet.width = surface->w;
    sheet.height = surface->h;
    sheet.has_alpha_mask = surface->format->Amask != 0;
    if (surface->format->BytesPerPixel != 4 || sheet.width != SHEET_SIZE ||
        sheet.height != SHEET_SIZE)
        return sheet;
    SDL_LockSurface(surface.get());
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
            Uint32 pixel;
            std::memcpy(&pixel, row + 4 * x, sizeof pixel);
            Uint8 r, g, b, a;
            SDL_GetRGBA(pixel, surface->format, &r, &g, &b, &a);
            bool opaque_white = r == 255 && g == 255 && b == 255 && a == 255;
            if (!opaque_white && a != 0) ++sheet.stray_pixels;
            sheet.pixels.push_back({r, g, b, a});
            sheet.glyphs[(y / CELL) * 16 + x / CELL][y % CELL][x % CELL] = opaque_white;
        }
    }
    SDL_UnlockSurface(surface.get());
    return sheet;
}

int ink(const Glyph& glyph) {
    int count = 0;
    for (const auto& row : glyph)
        for (bool on : row) count += on;
    return count;
}

// The picture turned a quarter clockwise, the way a ship turns from up to right.
Glyph turned(const Glyph& glyph, int quarters) {
    Glyph out = glyph;
    for (int q = 0; q < quarters; ++q) {
        Glyph next{};
        for (int y = 0; y < CELL; ++y)
            for (int x = 0; x < CELL; ++x) next[y][x] = out[CELL - 1 - x][y];
        out = next;
    }
    return out;
}

std::set<int> codes_the_game_names() {
    std::set<int> codes{1, 2};
    auto add = [&](int first, int last) {
        for (int code = first; code <= last; ++code) codes.insert(code);
    };
    add(4, 7);
    add(20, 27);
    add(33, 126);
    add(128, 135);
    add(155, 159);
    add(160, 172);
    add(180, 191);
    return codes;
}

const Sheet& committed_sheet() {
    static const Sheet sheet = load_sheet(FONT_SHEET);
    return sheet;
}

TEST(FontSheet, RebuildingFromTheSourceGivesTheCommittedFileByteForByte) {
    TempDir dir;
    std::filesystem::path built = dir.path / "font.bmp";
    ASSERT_EQ(run_tool(FONT_SOURCE, built, dir.path / "messages.txt"), 0)
        << read_file(dir.path / "messages.txt");
    std::string committed = read_file(FONT_SHEET);
    ASSERT_FALSE(committed.empty()) << FONT_SHEET;
    EXPECT_TRUE(read_file(built) == committed)
        << "assets/font.bmp is stale: rebuild it with make_font from assets/source/font.txt";

    std::filesystem::path again = dir.path / "again.bmp";
    ASSERT_EQ(run_tool(FONT_SOURCE, again, dir.path / "messages.txt"), 0);
    EXPECT_TRUE(read_file(again) == read_file(built));
}

TEST(FontSheet, SdlLoadsItWithAlphaAsWhiteInkOnFullTransparency) {
    const Sheet& sheet = committed_sheet();
    ASSERT_EQ(sheet.width, SHEET_SIZE) << SDL_GetError();
    ASSERT_EQ(sheet.height, SHEET_SIZE);
    EXPECT_TRUE(sheet.has_alpha_mask);
    EXPECT_EQ(sheet.stray_pixels, 0);
    auto pixel = [&](int x, int y) { return sheet.pixels[y * SHEET_SIZE + x]; };
    SDL_Color blank = pixel(0, 0);
    SDL_Color solid = pixel(CELL + 5, 7);
    EXPECT_EQ(blank.a, 0) << "glyph 0 must be clear";
    EXPECT_EQ(solid.r & solid.g & solid.b & solid.a, 255) << "glyph 1 must be opaque white";
    EXPECT_GT(ink(sheet.glyphs['A']), 0);
}

TEST(FontSheet, EveryGlyphTheGameDrawsHasInkAndEveryOtherCellIsBlank) {
    const Sheet& sheet = committed_sheet();
    ASSERT_EQ(sheet.width, SHEET_SIZE);
    std::set<int> named = codes_the_game_names();
    for (int code = 0; code < 256; ++code) {
        if (named.count(code))
            EXPECT_GT(ink(sheet.glyphs[code]), 0) << "glyph " << code << " is blank";
        else
            EXPECT_EQ(ink(sheet.glyphs[code]), 0) << "glyph " << code << " should be blank";
    }
    EXPECT_EQ(ink(sheet.glyphs[10]), 0) << "title-art lines end in a line feed";
    EXPECT_EQ(ink(sheet.glyphs[1]), CELL * CELL) << "the block under a ship must hide the cell";
}

TEST(FontSheet, ShipsTurnTheirUpPictureToFaceEachWayAndNoTwoFacingsLookAlike) {
    const Sheet& sheet = committed_sheet();
    ASSERT_EQ(sheet.width, SHEET_SIZE);
    for (int base : {4, 20, 24, 128, 132}) {
        for (int dir = 0; dir < 4; ++dir) {
            EXPECT_TRUE(sheet.glyphs[base + dir] == turned(sheet.glyphs[base], dir))
                << "glyph " << base + dir << " is not glyph " << base << " turned " << dir
                << " quarters";
            for (int other = dir + 1; other < 4; ++other)
                EXPECT_FALSE(sheet.glyphs[base + dir] == sheet.glyphs[base + other])
                    << "glyphs " << base + dir << " and " << base + other << " look the same";
        }
    }
    for (int dir = 0; dir < 4; ++dir) {
        EXPECT_FALSE(sheet.glyphs[4 + dir] == sheet.glyphs[20 + dir]) << "rams look like gunners";
        EXPECT_FALSE(sheet.glyphs[128 + dir] == sheet.glyphs[4 + dir]) << "player looks like a ram";
    }
}

TEST(FontSheet, TheCannonIsAThinBarrelFromTheCentreToTheNoseOfThePlayer) {
    const Sheet& sheet = committed_sheet();
    ASSERT_EQ(sheet.width, SHEET_SIZE);
    const Glyph& cannon = sheet.glyphs[132];
    const Glyph& player = sheet.glyphs[128];
    EXPECT_LT(ink(cannon) * 4, ink(player)) << "the cannon must leave the ship visible";
    bool reaches_nose = false, reaches_centre = false;
    for (int x = 0; x < CELL; ++x) {
        reaches_nose = reaches_nose || cannon[0][x];
        reaches_centre = reaches_centre || cannon[CELL / 2 - 1][x];
    }
    EXPECT_TRUE(reaches_nose);
    EXPECT_TRUE(reaches_centre);
    for (int y = CELL / 2 + 1; y < CELL; ++y)
        for (int x = 0; x < CELL; ++x) EXPECT_FALSE(cannon[y][x]) << "ink behind the centre";
}

TEST(FontSheet, BeamsRunEdgeToEdgeAndThePlayersDifferFromTheGunners) {
    const Sheet& sheet = committed_sheet();
    ASSERT_EQ(sheet.width, SHEET_SIZE);
    for (int vertical : {156, 158}) {
        const Glyph& beam = sheet.glyphs[vertical];
        EXPECT_TRUE(beam[0] == beam[CELL - 1])
            << "glyph " << vertical << " must join its neighbours";
        EXPECT_TRUE(std::count(beam[0].begin(), beam[0].end(), true) > 0)
            << "glyph " << vertical << " stops short of the edge";
        EXPECT_TRUE(sheet.glyphs[vertical + 1] == turned(beam, 1))
            << "glyph " << vertical + 1 << " is not the horizontal of " << vertical;
    }
    EXPECT_FALSE(sheet.glyphs[156] == sheet.glyphs[158]);
    EXPECT_FALSE(sheet.glyphs[157] == sheet.glyphs[159]);
    EXPECT_GT(ink(sheet.glyphs[156]), ink(sheet.glyphs[158])) << "the player's beam is the heavier";
}

TEST(FontTool, RefusesMalformedGlyphsWithAMessageAndWritesNothing) {
    TempDir dir;
    const std::string row(CELL, '.');
    auto glyph = [&](int code, int rows, const std::string& first_row) {
        std::ostringstream out;
        out << "glyph " << code << " test\n" << first_row << "\n";
        for (int r = 1; r < rows; ++r) out << row << "\n";
        return out.str();
    };
    const std::string good = "; a comment\n" + glyph(65, CELL, std::string(CELL, '#')) + "\n";

    struct Case {
        std::string name;
        std::string text;
        std::string says;
    };
    const std::vector<Case> cases{
        {"short_row", glyph(65, CELL, std::string(CELL - 1, '.')), "wide"},
        {"long_row", glyph(65, CELL, std::string(CELL + 1, '#')), "wide"},
        {"too_few_rows", glyph(65, CELL - 1, row) + "\n", "rows"},
        {"too_many_rows", glyph(65, CELL + 1, row), "rows"},
        {"duplicate", good + glyph(65, CELL, row), "twice"},
        {"bad_character", glyph(65, CELL, std::string(CELL - 1, '.') + "x"), "bad character"},
        {"code_out_of_range", glyph(256, CELL, row), "255"},
        {"stray_text", good + "hello\n", "expected"},
    };

    std::filesystem::path good_source = dir.path / "good.txt";
    write_file(good_source, good);
    ASSERT_EQ(run_tool(good_source, dir.path / "good.bmp", dir.path / "good.log"), 0)
        << read_file(dir.path / "good.log");
    Sheet tiny = load_sheet((dir.path / "good.bmp").string());
    EXPECT_EQ(ink(tiny.glyphs['A']), CELL);
    EXPECT_EQ(ink(tiny.glyphs['B']), 0);

    for (const Case& c : cases) {
        std::filesystem::path source = dir.path / (c.name + ".txt");
        std::filesystem::path output = dir.path / (c.name + ".bmp");
        std::filesystem::path messages = dir.path / (c.name + ".log");
        write_file(source, c.text);
        EXPECT_NE(run_tool(source, output, messages), 0) << c.name << " was accepted";
        EXPECT_NE(read_file(messages).find(c.says), std::string::npos)
            << c.name << ": message '" << read_file(messages) << "' does not say " << c.says;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.name << " still wrote a sheet";
    }
}

} // namespace
