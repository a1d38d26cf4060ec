// The map file filling the grid, its drawing, and a file that is not there.
#include "battlefield_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
class BattlefieldMap : public BattlefieldTest {
  protected:
    void TearDown() override {
        std::filesystem::remove_all(dir);
        BattlefieldTest::TearDown();
    }
    std::string write(const std::string& bytes) {
        std::string path = dir + "/map.dat";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string dir = temp_dir();
};

int count_drawn(const Frame& frame) {
    return static_cast<int>(std::count_if(frame.cells.begin(), frame.cells.end(),
                                          [](const Cell& c) { return c.glyph != 0; }));
}
} // namespace

TEST_F(BattlefieldMap, AMapFileFillsEveryCellAndOnlyItsWallsAreDrawn) {
    std::string bytes(2304, '\0');
    bytes[322] = 1; // (2, 5)
    bytes[7 * 64 + 3] = 2;
    bytes[7 * 64 + 4] = 3;
    bytes[8 * 64 + 10] = 7;      // beyond the codes: a wall
    bytes[8 * 64 + 11] = '\xff'; // likewise
    bytes[9 * 64 + 12] = 1;
    MAP.fill(-3); // an earlier game's leftovers
    load_map(write(bytes).c_str());
    EXPECT_EQ(cell(2, 5), SPACE_WALL);
    EXPECT_EQ(cell(3, 7), SPACE_PLAYER);
    EXPECT_EQ(cell(4, 7), SPACE_ENEMY);
    EXPECT_EQ(cell(10, 8), SPACE_WALL);
    EXPECT_EQ(cell(11, 8), SPACE_WALL);
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_EMPTY), 2304 - 6);

    print_map();
    Frame frame = read_frame();
    EXPECT_EQ(frame.at(5, 2).glyph, 2);
    EXPECT_TRUE(same_colour(frame.at(5, 2), GRAY));
    EXPECT_EQ(frame.at(8, 11).glyph, 2);
    EXPECT_EQ(count_drawn(frame), 4) << "only the walls; ship codes are hidden";

    clear_screen();
    cell(20, 20) = -1;
    cell(21, 20) = -2;
    cell(22, 20) = -3;
    print_map();
    frame = read_frame();
    EXPECT_EQ(frame.at(20, 20).glyph, 2) << "a marked wall is still a wall";
    EXPECT_EQ(frame.at(20, 21).glyph, 0);
    EXPECT_EQ(frame.at(20, 22).glyph, 0);
}

TEST_F(BattlefieldMap, AShortFileLeavesTheRestEmptyAndALongOneIsCut) {
    MAP.fill(SPACE_ENEMY);
    load_map(write(std::string(100, '\x01')).c_str());
    EXPECT_EQ(std::count(MAP.begin(), MAP.begin() + 100, SPACE_WALL), 100);
    EXPECT_EQ(std::count(MAP.begin() + 100, MAP.end(), SPACE_EMPTY), 2304 - 100);

    std::string bytes = std::string(2303, '\0') + '\x01' + std::string(696, '\x01');
    load_map(write(bytes).c_str());
    EXPECT_EQ(cell(63, 35), SPACE_WALL);
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_EMPTY), 2303);
}

TEST_F(BattlefieldMap, AMissingMapFileEndsTheProgramAndLeavesTheGridAlone) {
    STATE = +[] {};
    CHANGE_STATE = 0;
    cell(7, 7) = -2;
    const auto before = MAP;
    const std::string path = dir + "/none.dat";
    testing::internal::CaptureStderr();
    load_map(path.c_str());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_EQ(STATE, nullptr);
    EXPECT_EQ(CHANGE_STATE, 1);
    EXPECT_EQ(EXIT_STATUS, 1);
    EXPECT_EQ(MAP, before);
}
