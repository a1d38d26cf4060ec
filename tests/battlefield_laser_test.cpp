// Firing, the beam state and its drawing, taking hits and ramming.
#include "battlefield_test.h"

namespace {
class BattlefieldLaser : public BattlefieldTest {};
} // namespace

TEST_F(BattlefieldLaser, ThePlayersShotMarksItsTargetLatchesTheTriggerAndSoundsLowNearEmpty) {
    Ship player = place(PLAYER, 20, 10, 3);
    cell(16, 10) = SPACE_ENEMY;
    struct Case {
        int32_t charge, after;
        uint8_t effect;
    };
    for (Case c :
         {Case{11, -10, FX_LASER_LOW}, Case{12, -11, FX_LASER}, Case{1, 0, FX_LASER_LOW}}) {
        empty_mixer();
        player.charge = c.charge;
        player.beam = 1;
        shoot(player, 4);
        EXPECT_EQ(player.charge, c.after);
        EXPECT_EQ(player.beam, 2u);
        EXPECT_EQ(cell(16, 10), -SPACE_ENEMY) << "marked once however often it is shot";
        EXPECT_TRUE(queued_is(c.effect)) << c.charge;
    }
    cell(16, 10) = SPACE_EMPTY;
    player.charge = 5;
    player.beam = 1;
    shoot(player, 4);
    EXPECT_EQ(cell(16, 10), SPACE_EMPTY) << "a shot into nothing hits nothing";

    empty_mixer();
    TIME.now = 2000;
    for (int32_t charge : {0, -7}) {
        player.charge = charge;
        player.beam = 1;
        shoot(player, 4);
        EXPECT_EQ(player.charge, charge);
        EXPECT_EQ(player.beam, 1u);
        EXPECT_EQ(player.last_shot, 1000u);
    }
    player.charge = 5;
    player.beam = 0;
    shoot(player, 4);
    EXPECT_EQ(player.charge, 5) << "no aim, no shot";
    EXPECT_TRUE(mixer_empty());

    Ship gunner = place(GREEN_GUNNER, 30, 20, 0);
    gunner.charge = 1;
    gunner.beam = 1;
    shoot(gunner, 3);
    EXPECT_EQ(gunner.charge, -2);
    EXPECT_EQ(cell(30, 17), SPACE_EMPTY);
    EXPECT_TRUE(queued_is(FX_LASER));
}

TEST_F(BattlefieldLaser, AFiredBeamStaysBrightFor70MsThenFollowsTheAim) {
    Ship gunner = SHIPS[GREEN_GUNNER];
    gunner.last_shot = 1000;
    gunner.beam = 2;
    TIME.now = 1069;
    reset_laser(gunner, 3);
    EXPECT_EQ(gunner.beam, 2u);
    TIME.now = 1070;
    reset_laser(gunner, 3);
    EXPECT_EQ(gunner.beam, 1u);
    reset_laser(gunner, 0);
    EXPECT_EQ(gunner.beam, 0u);

    Ship ram = SHIPS[RED_RAM];
    reset_laser(ram, 3);
    EXPECT_EQ(ram.beam, 0u) << "an unarmed ship never aims";
}

TEST_F(BattlefieldLaser, BeamsAreFaintWhileAimingBrightOnceFiredAndEndBeforeWhatWasSeen) {
    Ship player = SHIPS[PLAYER];
    player.x = 10;
    player.y = 10;
    player.dir = 1;
    player.sight[1] = {.space = SPACE_ENEMY, .distance = 5};
    player.beam = 2;
    laser(player);
    Frame frame = read_frame();
    for (int32_t col = 11; col <= 14; col++) {
        EXPECT_EQ(frame.at(10, col).glyph, 157);
        EXPECT_TRUE(same_colour(frame.at(10, col), PINK));
    }
    EXPECT_EQ(frame.at(10, 15).glyph, 0) << "the hit cell is not drawn";
    EXPECT_EQ(frame.at(10, 10).glyph, 0);

    clear_screen();
    player.beam = 1;
    laser(player);
    frame = read_frame();
    EXPECT_EQ(frame.at(10, 12).glyph, 157);
    EXPECT_EQ(frame.at(10, 12).r, 255 * 75 / 255);
    EXPECT_NEAR(frame.at(10, 12).b, 220 * 75 / 255, 1);
    EXPECT_EQ(player.beam_colour->a, 255);

    clear_screen();
    player.sight[1].distance = 1;
    laser(player);
    EXPECT_EQ(read_frame().at(10, 11).glyph, 0);

    // Two beams cross at (column 10, row 20): the newest ship's lies on top.
    Army army;
    spawn_enemy(GREEN_GUNNER, 5, 20, 1, army);
    spawn_enemy(CYAN_GUNNER, 10, 17, 2, army);
    spawn_enemy(GREEN_GUNNER, 40, 5, 2, army);
    army[0].sight[1].distance = 10;
    army[0].beam = 2;
    army[1].sight[2].distance = 6;
    army[1].beam = 2;
    army[2].sight[2].distance = 6;
    laser(army);
    frame = read_frame();
    EXPECT_EQ(frame.at(20, 6).glyph, 159);
    EXPECT_TRUE(same_colour(frame.at(20, 6), GREEN));
    EXPECT_EQ(frame.at(18, 10).glyph, 158);
    EXPECT_EQ(frame.at(20, 10).glyph, 158);
    EXPECT_TRUE(same_colour(frame.at(20, 10), CYAN));
    EXPECT_EQ(frame.at(6, 40).glyph, 0) << "no beam state, no beam";
}

TEST_F(BattlefieldLaser, AHitCostsOnePointOnceHoweverOftenTheCellWasMarked) {
    Ship player = place(PLAYER, 5, 5, 0);
    player.integrity = 3;
    mark_cell(5, 5);
    mark_cell(5, 5);
    detect_hit(player);
    detect_hit(player);
    EXPECT_EQ(player.integrity, 2);
    EXPECT_EQ(cell(5, 5), SPACE_EMPTY);
    EXPECT_EQ(player.last_hit, 1000u);
    EXPECT_TRUE(queued_is(FX_HURT));

    empty_mixer();
    Ship enemy = place(BLUE_RAM, 8, 8, 0);
    mark_cell(8, 8);
    detect_hit(enemy);
    EXPECT_EQ(enemy.integrity, 0);
    EXPECT_EQ(cell(8, 8), SPACE_EMPTY);
    EXPECT_TRUE(mixer_empty()) << "only the player cries out";

    Ship wreck = place(BLUE_RAM, 9, 9, 0);
    wreck.integrity = 0;
    mark_cell(9, 9);
    detect_hit(wreck);
    EXPECT_EQ(wreck.integrity, 0);
    EXPECT_EQ(wreck.last_hit, 0u);
    EXPECT_EQ(cell(9, 9), -SPACE_ENEMY) << "a wreck leaves the marker where it is";
}

TEST_F(BattlefieldLaser, ARamStrikesOnlyWhatStandsNextToItStraightAhead) {
    Ship ram = place(BLUE_RAM, 10, 10, 0);
    cell(10, 8) = SPACE_PLAYER;
    scan(ram);
    strike(ram, SPACE_PLAYER);
    EXPECT_EQ(ram.integrity, 1) << "two cells away";
    cell(10, 8) = SPACE_EMPTY;
    cell(10, 9) = SPACE_WALL;
    scan(ram);
    strike(ram, SPACE_PLAYER);
    EXPECT_EQ(ram.integrity, 1) << "a wall is no target";
    EXPECT_EQ(cell(10, 9), SPACE_WALL);

    cell(10, 9) = SPACE_PLAYER;
    scan(ram);
    strike(ram, SPACE_PLAYER);
    EXPECT_EQ(ram.integrity, 0);
    EXPECT_EQ(cell(10, 9), -SPACE_PLAYER);
    EXPECT_EQ(ram.last_hit, 0u);
    EXPECT_TRUE(mixer_empty());
}
