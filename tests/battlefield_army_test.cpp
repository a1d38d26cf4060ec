// Enemies ramming, charging up and firing, pausing when hit, exploding for 100 points.
#include "battlefield_test.h"

#include <vector>

namespace {
class BattlefieldArmy : public BattlefieldTest {
  protected:
    Army army;
};
} // namespace

TEST_F(BattlefieldArmy, ABlueRamBesideThePlayerRamsItAndIsRemovedAtItsNextUpdate) {
    update_enemy(army); // an empty army is no trouble
    Ship player = place(PLAYER, 9, 10, 0);
    spawn_enemy(BLUE_RAM, 10, 10, 0, army);
    update_enemy(army);
    ASSERT_EQ(army.size(), 1u);
    EXPECT_EQ(army[0].integrity, 0);
    EXPECT_EQ(cell(9, 10), -SPACE_PLAYER);
    // Faced the player on its left, then turned away left again, the more open side, and stepped.
    EXPECT_EQ(army[0].dir, 2u);
    EXPECT_EQ(army[0].y, 11);
    EXPECT_EQ(cell(10, 10), SPACE_EMPTY);
    EXPECT_EQ(SCORE, 0u);
    EXPECT_TRUE(mixer_empty());

    TIME.now += 10;
    update_player(player);
    EXPECT_EQ(player.integrity, 4);
    empty_mixer();
    update_enemy(army);
    EXPECT_TRUE(army.empty());
    EXPECT_EQ(SCORE, 100u);
    EXPECT_TRUE(queued_is(FX_EXPLOSION));
    EXPECT_EQ(cell(10, 11), SPACE_EMPTY);
}

TEST_F(BattlefieldArmy, AGunnerBesideThePlayerFiresAndRamsInOneStepForOnePoint) {
    Ship player = place(PLAYER, 10, 9, 0);
    spawn_enemy(GREEN_GUNNER, 10, 10, 0, army);
    army[0].charge = 1;
    update_enemy(army);
    EXPECT_EQ(army[0].last_shot, TIME.now);
    EXPECT_EQ(army[0].integrity, 0);
    EXPECT_TRUE(queued_is(FX_LASER));
    update_player(player);
    EXPECT_EQ(player.integrity, 4);
}

TEST_F(BattlefieldArmy, AGunnerFiresEveryThirdStepFromItsFourthAndLosingSightStartsTheCountAgain) {
    Ship player = place(PLAYER, 50, 10, 0);
    spawn_enemy(GREEN_GUNNER, 2, 10, 1, army);
    std::vector<int> shots;
    for (int step = 1; step <= 14; step++) {
        cell(30, 10) = step == 4 ? SPACE_WALL : SPACE_EMPTY;
        update_player(player);
        update_enemy(army);
        if (army[0].last_shot == TIME.now) shots.push_back(step);
        TIME.now += 180;
    }
    EXPECT_EQ(shots, (std::vector<int>{8, 11, 14}));
    EXPECT_EQ(player.integrity, 3) << "the third shot is still pending";
    EXPECT_EQ(army[0].x, 16);
}

TEST_F(BattlefieldArmy, ARedRamSurvivesOneHitAndPauses200Ms) {
    spawn_enemy(RED_RAM, 10, 10, 1, army);
    update_enemy(army);
    EXPECT_EQ(army[0].x, 11);
    mark_cell(11, 10);
    TIME.now = 1090;
    update_enemy(army);
    EXPECT_EQ(army[0].integrity, 1);
    EXPECT_EQ(army[0].x, 11);
    EXPECT_EQ(cell(11, 10), SPACE_EMPTY);
    EXPECT_EQ(read_frame().at(10, 11).glyph, 155);
    TIME.now = 1289;
    update_enemy(army);
    EXPECT_EQ(army[0].x, 11);
    EXPECT_EQ(cell(11, 10), SPACE_EMPTY);
    TIME.now = 1290;
    update_enemy(army);
    ASSERT_EQ(army.size(), 1u);
    EXPECT_EQ(army[0].x, 12);
    EXPECT_EQ(cell(12, 10), SPACE_ENEMY);
    EXPECT_EQ(army[0].integrity, 1);
}

TEST_F(BattlefieldArmy, EveryRemovalScores100OnceTheHitFlashIsOver) {
    spawn_enemy(CYAN_GUNNER, 10, 5, 1, army);
    for (int hit = 1; hit <= 4; hit++) {
        mark_cell(army[0].x, army[0].y);
        update_enemy(army);
        EXPECT_EQ(army[0].integrity, 4 - hit);
        TIME.now += 250; // past the pause and the next step, which marks its cell again
        update_enemy(army);
    }
    EXPECT_TRUE(army.empty());
    EXPECT_EQ(SCORE, 100u);

    spawn_enemy(BLUE_RAM, 20, 20, 1, army);
    mark_cell(20, 20);
    update_enemy(army);
    EXPECT_EQ(cell(20, 20), SPACE_EMPTY) << "the dying ship's cell is free during its flash";
    cell(20, 20) = SPACE_PLAYER;
    TIME.now += 199;
    update_enemy(army);
    EXPECT_EQ(army.size(), 1u);
    TIME.now += 1;
    update_enemy(army);
    EXPECT_TRUE(army.empty());
    EXPECT_EQ(SCORE, 200u);
    EXPECT_EQ(cell(20, 20), SPACE_EMPTY) << "cleared whatever stands there";
}

TEST_F(BattlefieldArmy, ShipsDyingInOneFrameLeaveTheRestWholeAndInOrder) {
    for (int32_t y = 5; y <= 13; y += 2) spawn_enemy(BLUE_RAM, 5, y, 1, army);
    spawn_enemy(RED_RAM, 0, 20, 1, army);
    EXPECT_EQ(cell(0, 20), SPACE_ENEMY) << "placed over a wall";
    army[0].integrity = 0;
    army[2].integrity = 0;
    army[5].integrity = 0;
    update_enemy(army);
    ASSERT_EQ(army.size(), 3u);
    EXPECT_EQ(army[0].y, 7);
    EXPECT_EQ(army[1].y, 11);
    EXPECT_EQ(army[2].y, 13);
    for (const Ship& ship : army) EXPECT_EQ(ship.x, 6) << "each stepped once, at its first update";
    EXPECT_EQ(SCORE, 300u);
    EXPECT_EQ(cell(5, 5), SPACE_EMPTY);
    EXPECT_EQ(cell(0, 20), SPACE_EMPTY);

    // The older ship moves first and takes the cell both wanted.
    free_army(army);
    spawn_enemy(BLUE_RAM, 20, 30, 1, army);
    spawn_enemy(BLUE_RAM, 22, 30, 3, army);
    update_enemy(army);
    EXPECT_EQ(army[0].x, 21);
    EXPECT_EQ(army[1].x, 22);
    EXPECT_NE(army[1].dir, 3u);
}
