// The player's keyboard steps, its self-aiming trigger and the hits it takes.
#include "battlefield_test.h"

namespace {
class BattlefieldPlayer : public BattlefieldTest {
  protected:
    // One frame's update, 100 ms after the last: always a movement tick.
    void frame() {
        TIME.now += 100;
        update_player(player);
    }
    void hold(std::initializer_list<uint8_t> keys) {
        KEYS = {};
        for (uint8_t key : keys) KEYS[key] = 1;
    }
    Ship player = SHIPS[PLAYER];
};
} // namespace

TEST_F(BattlefieldPlayer, ThePlayerStepsOncePer90MsDiagonallyPastCornersButNeverIntoAnything) {
    cell(32, 18) = SPACE_PLAYER;
    cell(32, 17) = SPACE_WALL;
    cell(33, 18) = SPACE_WALL;
    hold({KEY_UP, KEY_RIGHT});
    frame();
    EXPECT_EQ(player.x, 33);
    EXPECT_EQ(player.y, 17) << "only the destination is tested";
    EXPECT_EQ(cell(32, 18), SPACE_EMPTY);
    EXPECT_EQ(cell(33, 17), SPACE_PLAYER);
    EXPECT_EQ(player.dir, 0u) << "keys never turn the ship";
    TIME.now += 89;
    update_player(player);
    EXPECT_EQ(player.x, 33);
    TIME.now += 1;
    update_player(player);
    EXPECT_EQ(player.x, 34);

    hold({KEY_UP, KEY_DOWN});
    frame();
    EXPECT_EQ(player.y, 16);
    hold({KEY_UP, KEY_DOWN, KEY_RIGHT});
    frame();
    EXPECT_EQ(player.x, 35);
    EXPECT_EQ(player.y, 16);
    hold({KEY_UP, KEY_DOWN, KEY_RIGHT, KEY_LEFT});
    frame();
    EXPECT_EQ(player.x, 35);

    hold({KEY_RIGHT});
    for (int32_t blocker : {1, 3, -3, -1}) {
        cell(36, 16) = blocker;
        frame();
        EXPECT_EQ(player.x, 35) << blocker;
        EXPECT_EQ(player.last_move, TIME.now) << "a refused step still takes its turn";
        EXPECT_EQ(cell(35, 16), SPACE_PLAYER);
    }
}

TEST_F(BattlefieldPlayer, EnterFiresOncePerPressAndOnlyAtSomethingInSight) {
    cell(32, 18) = SPACE_PLAYER;
    hold({KEY_FIRE});
    frame();
    EXPECT_EQ(player.charge, 50) << "nothing in sight";
    EXPECT_EQ(player.beam, 0u);
    EXPECT_TRUE(mixer_empty());

    cell(25, 18) = SPACE_ENEMY;
    frame();
    EXPECT_EQ(player.dir, 3u);
    EXPECT_EQ(player.charge, -49);
    EXPECT_EQ(cell(25, 18), -SPACE_ENEMY);
    EXPECT_TRUE(queued_is(FX_LASER));
    cell(25, 18) = SPACE_ENEMY;
    for (int i = 0; i < 3; i++) frame();
    EXPECT_EQ(player.charge, -49) << "held down: one shot";
    EXPECT_EQ(cell(25, 18), SPACE_ENEMY);
    hold({});
    frame();
    EXPECT_EQ(player.charge, 49);
    EXPECT_EQ(player.beam, 1u);
    hold({KEY_FIRE});
    frame();
    EXPECT_EQ(player.charge, -48);
}

TEST_F(BattlefieldPlayer, AShotFiredWhileSteppingIsMeasuredFromTheNewCell) {
    cell(32, 18) = SPACE_PLAYER;
    cell(32, 13) = SPACE_ENEMY;
    hold({KEY_LEFT, KEY_FIRE});
    frame();
    EXPECT_EQ(player.x, 31);
    EXPECT_EQ(player.dir, 0u);
    EXPECT_EQ(player.charge, -49);
    EXPECT_EQ(cell(31, 13), SPACE_EMPTY) << "the old distance from the new cell misses";
    EXPECT_EQ(cell(32, 13), SPACE_ENEMY);
}

TEST_F(BattlefieldPlayer, APendingHitIsTakenFirstAndTheCellIsMarkedAgain) {
    cell(32, 18) = -SPACE_PLAYER;
    frame();
    EXPECT_EQ(player.integrity, 4);
    EXPECT_EQ(player.last_hit, TIME.now);
    EXPECT_TRUE(queued_is(FX_HURT));
    EXPECT_EQ(cell(32, 18), SPACE_PLAYER);
    empty_mixer();
    frame();
    EXPECT_EQ(player.integrity, 4);
    EXPECT_TRUE(mixer_empty());
}
