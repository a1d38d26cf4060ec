// A map without its outer wall, with stray bytes, cut short: nothing leaves the grid.
#include "battlefield_test.h"

#include <filesystem>
#include <fstream>

namespace {
class BattlefieldBrokenMap : public BattlefieldTest {};
} // namespace

TEST_F(BattlefieldBrokenMap, TheGridsEdgeReadsAsWallAndTakesNoWrites) {
    MAP.fill(SPACE_EMPTY);
    for (auto [x, y] : {std::pair{-1, 5}, {64, 5}, {5, -1}, {5, 36}, {-100, 900}})
        EXPECT_EQ(cell_at(x, y), SPACE_WALL) << x << "," << y;
    set_cell(-1, 0, SPACE_ENEMY);
    set_cell(64, 0, SPACE_ENEMY);
    set_cell(0, 36, SPACE_ENEMY);
    mark_cell(-1, -1);
    EXPECT_EQ(std::count(MAP.begin(), MAP.end(), SPACE_EMPTY), 2304);

    cell(5, 5) = SPACE_ENEMY;
    mark_cell(5, 5);
    mark_cell(5, 5);
    EXPECT_EQ(cell(5, 5), -SPACE_ENEMY);
    mark_cell(6, 5);
    EXPECT_EQ(cell(6, 5), SPACE_EMPTY);
}

TEST_F(BattlefieldBrokenMap, ShipsOnAnOpenShortMapNeverLookStepOrShootOutsideTheGrid) {
    // Forty stray bytes above 3 become walls in row 0; the rest of the grid is open to its edge.
    const std::string dir = temp_dir();
    std::ofstream(dir + "/map.dat", std::ios::binary) << std::string(40, '\x09');
    load_map((dir + "/map.dat").c_str());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(cell(39, 0), SPACE_WALL);
    EXPECT_EQ(cell(40, 0), SPACE_EMPTY);

    Ship player = SHIPS[PLAYER];
    player.x = 63;
    player.y = 35;
    Ship comet = SHIPS[COMET];
    spawn_comet(comet, 0, 35);
    Army army;
    spawn_enemy(BLUE_RAM, 63, 20, 1, army);
    spawn_enemy(GREEN_GUNNER, 63, 5, 0, army);
    spawn_enemy(CYAN_GUNNER, 0, 35, 2, army);
    spawn_enemy(RED_RAM, 50, 35, 2, army);
    const auto before = MAP;
    spawn_enemy(BLUE_RAM, -3, 50, 0, army);
    EXPECT_EQ(MAP, before) << "a ship off the grid writes nothing";
    EXPECT_EQ(look(army.back(), 0).distance, 1);

    for (int frame = 0; frame < 400; frame++) {
        TIME.now += 45;
        for (uint8_t key = 0; key < 5; key++) KEYS[key] = (frame >> key) & 1;
        print_map();
        update_player(player);
        update_enemy(army);
        update_comet(comet, player);
        if (comet.integrity < 0 && frame % 50 == 0) spawn_comet(comet, 40, 0);
        laser(player);
        laser(army);
        for (const Ship& ship : {player, comet}) {
            EXPECT_TRUE(ship.x >= 0 && ship.x < 64 && ship.y >= 0 && ship.y < 36);
            for (const Sight& sight : ship.sight) EXPECT_LE(sight.distance, 64);
        }
    }
    for (const Ship& ship : army) {
        if (ship.x == -3) continue;
        EXPECT_TRUE(ship.x >= 0 && ship.x < 64 && ship.y >= 0 && ship.y < 36);
    }
}
