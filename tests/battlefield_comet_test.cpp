// The comet: fleeing the player, picked up by a touch or a shot, absent in between.
#include "battlefield_test.h"

namespace {
class BattlefieldComet : public BattlefieldTest {
  protected:
    Ship comet = SHIPS[COMET];
};
} // namespace

TEST_F(BattlefieldComet, ACometTouchedFromAnySideIsPickedUpInThatUpdate) {
    for (const Vector& side : VECTORS) {
        open_box(1, 1, 62, 34);
        empty_mixer();
        Ship player = place(PLAYER, 20 + side.dx, 20 + side.dy, 0);
        player.charge = -7;
        spawn_comet(comet, 20, 20);
        EXPECT_EQ(cell(20, 20), SPACE_ENEMY);
        update_comet(comet, player);
        EXPECT_EQ(comet.integrity, -1);
        EXPECT_EQ(player.charge, 50);
        EXPECT_EQ(cell(20, 20), SPACE_EMPTY);
        EXPECT_TRUE(queued_is(FX_PICKUP));
    }
    open_box(1, 1, 62, 34);
    empty_mixer();
    Ship player = place(PLAYER, 21, 21, 0);
    player.charge = 7;
    cell(20, 22) = SPACE_PLAYER; // as if two cells below, too
    spawn_comet(comet, 20, 20);
    update_comet(comet, player);
    EXPECT_EQ(comet.integrity, 1) << "neither a diagonal neighbour nor one two cells off touches";
    EXPECT_EQ(player.charge, 7);
    EXPECT_TRUE(mixer_empty());
}

TEST_F(BattlefieldComet, AShotCometFreezesFor200MsThenRefillsALatchedTriggerWhereverThePlayerIs) {
    Ship player = place(PLAYER, 20, 20, 0);
    comet.dir = 1;
    spawn_comet(comet, 20, 15);
    KEYS[KEY_FIRE] = 1;
    update_player(player);
    update_comet(comet, player);
    EXPECT_EQ(player.charge, -49);
    EXPECT_EQ(comet.integrity, 0);
    EXPECT_EQ(cell(20, 15), SPACE_EMPTY);
    Frame frame = read_frame();
    EXPECT_EQ(frame.at(15, 20).glyph, 155);
    EXPECT_TRUE(same_colour(frame.at(15, 20), YELLOW));

    KEYS[KEY_LEFT] = 1;
    for (uint64_t now : {1100u, 1199u}) {
        TIME.now = now;
        update_player(player);
        update_comet(comet, player);
        EXPECT_EQ(comet.integrity, 0);
        EXPECT_EQ(comet.x, 20);
    }
    EXPECT_EQ(player.x, 18);
    empty_mixer();
    TIME.now = 1200;
    update_comet(comet, player);
    EXPECT_EQ(comet.integrity, -1);
    EXPECT_EQ(player.charge, 50) << "Enter is still held, yet the trigger is free";
    EXPECT_TRUE(queued_is(FX_PICKUP));
}

TEST_F(BattlefieldComet, ACometTurnsAwayFromThePlayerAheadAndRetriesWhenBoxedIn) {
    Ship player = place(PLAYER, 20, 10, 0);
    comet.dir = 1;
    spawn_comet(comet, 10, 10);
    update_comet(comet, player);
    EXPECT_EQ(comet.dir, 2u) << "the right, below, is more open";
    EXPECT_EQ(comet.y, 11);

    cell(20, 10) = SPACE_ENEMY;
    cell(10, 11) = SPACE_EMPTY;
    comet.dir = 1;
    spawn_comet(comet, 10, 10);
    TIME.now += 65;
    update_comet(comet, player);
    EXPECT_EQ(comet.dir, 1u) << "anything else ahead at a distance is no reason to turn";
    EXPECT_EQ(comet.x, 11);

    open_box(10, 10, 11, 10);
    comet.dir = 1;
    comet.x = 11;
    cell(11, 10) = SPACE_ENEMY;
    cell(12, 10) = SPACE_WALL;
    TIME.now += 65;
    update_comet(comet, player);
    EXPECT_EQ(comet.dir, 0u) << "boxed in: it turns left";
    EXPECT_EQ(comet.x, 11);
    EXPECT_EQ(cell(11, 10), SPACE_ENEMY);
    TIME.now += 64;
    update_comet(comet, player);
    EXPECT_EQ(comet.dir, 0u);
    TIME.now += 1;
    update_comet(comet, player);
    EXPECT_EQ(comet.dir, 3u);
    EXPECT_EQ(comet.x, 10);
}

TEST_F(BattlefieldComet, AnAbsentCometIsNotDrawnAndIgnoresAHitOnItsOldCell) {
    Ship player = place(PLAYER, 30, 30, 0);
    comet.x = 5;
    comet.y = 5;
    cell(5, 5) = -SPACE_ENEMY;
    update_comet(comet, player);
    EXPECT_EQ(comet.integrity, -1);
    EXPECT_EQ(cell(5, 5), -SPACE_ENEMY);
    EXPECT_EQ(read_frame().at(5, 5).glyph, 0);
    EXPECT_TRUE(mixer_empty());
}
