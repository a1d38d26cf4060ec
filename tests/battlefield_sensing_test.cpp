// Sights along the four lines, the aiming turn, the obstacle turn and the one-cell march.
#include "battlefield_test.h"

namespace {
class BattlefieldSensing : public BattlefieldTest {};

int32_t aim(Ship& ship, uint32_t target) {
    scan(ship);
    return scan_for_target(ship, target);
}
} // namespace

TEST_F(BattlefieldSensing, SightsReportTheFirstOccupiedCellAndHowFarItIs) {
    Ship ship = place(BLUE_RAM, 10, 10, 0);
    cell(10, 4) = SPACE_PLAYER;
    cell(13, 10) = -SPACE_WALL;
    cell(10, 12) = -SPACE_ENEMY;
    scan(ship);
    EXPECT_EQ(ship.sight[0].space, SPACE_PLAYER);
    EXPECT_EQ(ship.sight[0].distance, 6);
    EXPECT_EQ(ship.sight[1].space, SPACE_WALL) << "a marked wall is seen as a wall";
    EXPECT_EQ(ship.sight[1].distance, 3);
    EXPECT_EQ(ship.sight[2].space, SPACE_ENEMY);
    EXPECT_EQ(ship.sight[2].distance, 2);
    EXPECT_EQ(ship.sight[3].space, SPACE_WALL);
    EXPECT_EQ(ship.sight[3].distance, 10);

    Ship top = place(BLUE_RAM, 20, 1, 0);
    EXPECT_EQ(look(top, 0).space, SPACE_WALL);
    EXPECT_EQ(look(top, 0).distance, 1);
}

TEST_F(BattlefieldSensing, AimingTurnsToTheNearestTargetAndTiesGoLeftAheadRightBehind) {
    Ship player = place(PLAYER, 10, 10, 0);
    place(COMET, 5, 10, 0);
    place(BLUE_RAM, 10, 5, 0);
    EXPECT_EQ(aim(player, SPACE_ENEMY), 5);
    EXPECT_EQ(player.dir, 3u) << "left beats ahead at the same distance";

    open_box(1, 1, 62, 34);
    player = place(PLAYER, 10, 10, 0);
    place(BLUE_RAM, 10, 6, 0);
    place(BLUE_RAM, 12, 10, 0);
    EXPECT_EQ(aim(player, SPACE_ENEMY), 2);
    EXPECT_EQ(player.dir, 1u) << "the nearer one wins";

    open_box(1, 1, 62, 34);
    player = place(PLAYER, 10, 10, 0);
    place(BLUE_RAM, 10, 6, 0);
    place(BLUE_RAM, 14, 10, 0);
    place(BLUE_RAM, 10, 14, 0);
    EXPECT_EQ(aim(player, SPACE_ENEMY), 4);
    EXPECT_EQ(player.dir, 0u) << "ahead beats right";
    cell(10, 6) = SPACE_EMPTY;
    EXPECT_EQ(aim(player, SPACE_ENEMY), 4);
    EXPECT_EQ(player.dir, 1u) << "right beats behind";
    cell(14, 10) = SPACE_EMPTY;
    player.dir = 0;
    EXPECT_EQ(aim(player, SPACE_ENEMY), 4);
    EXPECT_EQ(player.dir, 2u) << "the player also aims behind";

    open_box(1, 1, 62, 34);
    Ship enemy = place(GREEN_GUNNER, 10, 10, 0);
    cell(10, 15) = SPACE_PLAYER;
    EXPECT_EQ(aim(enemy, SPACE_PLAYER), 0);
    EXPECT_EQ(enemy.dir, 0u) << "an enemy never aims behind";
    enemy.dir = 1;
    cell(10, 7) = SPACE_PLAYER;
    EXPECT_EQ(aim(enemy, SPACE_PLAYER), 3);
    EXPECT_EQ(enemy.dir, 0u);
    EXPECT_EQ(aim(enemy, SPACE_ENEMY), 0) << "walls and the player are no enemy";
    EXPECT_EQ(enemy.dir, 0u);
}

TEST_F(BattlefieldSensing, AnObstacleAheadTurnsAShipLeftUnlessItsRightIsStrictlyMoreOpen) {
    Ship ship = SHIPS[BLUE_RAM];
    auto turn = [&](uint32_t dir, int32_t ahead, int32_t left, int32_t right) {
        ship.dir = dir;
        ship.sight[dir].distance = ahead;
        ship.sight[(dir + 3) % 4].distance = left;
        ship.sight[(dir + 1) % 4].distance = right;
        redirect(ship);
        return ship.dir;
    };
    EXPECT_EQ(turn(0, 1, 1, 1), 3u);
    EXPECT_EQ(turn(0, 1, 3, 4), 1u);
    EXPECT_EQ(turn(0, 1, 4, 4), 3u);
    EXPECT_EQ(turn(0, 2, 1, 9), 0u) << "room ahead: no turn";
    EXPECT_EQ(turn(3, 1, 5, 2), 2u);
    EXPECT_EQ(turn(3, 1, 2, 5), 0u);
}

TEST_F(BattlefieldSensing, AMarchEntersOnlyAnEmptyCellAndAlwaysMarksItsOwn) {
    Ship ship = place(BLUE_RAM, 10, 10, 1);
    march(ship);
    EXPECT_EQ(ship.x, 11);
    EXPECT_EQ(cell(10, 10), SPACE_EMPTY);
    EXPECT_EQ(cell(11, 10), SPACE_ENEMY);
    for (int32_t blocker : {1, 2, 3, -1, -2, -3}) {
        ship.x = 10;
        cell(10, 10) = SPACE_EMPTY; // as a hit leaves it
        cell(11, 10) = blocker;
        march(ship);
        EXPECT_EQ(ship.x, 10) << blocker;
        EXPECT_EQ(cell(10, 10), SPACE_ENEMY) << blocker;
        EXPECT_EQ(cell(11, 10), blocker);
    }
}
