// Ships drawn with their facing, the player's cannon and the hit flash.
#include "battlefield_test.h"

namespace {
class BattlefieldShip : public BattlefieldTest {};

Cell drawn(const Ship& ship) {
    clear_screen();
    print_ship(ship);
    return read_frame().at(ship.y, ship.x);
}

Ship at(uint32_t kind, uint32_t dir) {
    Ship ship = SHIPS[kind];
    ship.x = 7;
    ship.y = 3;
    ship.dir = dir;
    return ship;
}
} // namespace

TEST_F(BattlefieldShip, EveryKindShowsItsFacingAndThePlayerItsCannonWhileItHasShots) {
    Ship player = at(PLAYER, 3);
    player.charge = 20;
    EXPECT_EQ(drawn(player).glyph, 135);
    EXPECT_TRUE(same_colour(drawn(player), PINK));
    player.charge = -7;
    EXPECT_EQ(drawn(player).glyph, 135) << "a latched trigger still has shots";
    player.charge = 0;
    EXPECT_EQ(drawn(player).glyph, 131);
    EXPECT_TRUE(same_colour(drawn(player), WHITE));

    struct Case {
        uint32_t kind, dir;
        int glyph;
        Colour colour;
    };
    for (Case c :
         {Case{GREEN_GUNNER, 2, 22, GREEN}, Case{CYAN_GUNNER, 1, 21, CYAN},
          Case{BLUE_RAM, 0, 4, BLUE}, Case{RED_RAM, 3, 7, RED}, Case{COMET, 2, 26, PINK}}) {
        Cell shown = drawn(at(c.kind, c.dir));
        EXPECT_EQ(shown.glyph, c.glyph) << c.kind;
        EXPECT_TRUE(same_colour(shown, c.colour)) << c.kind;
    }
}

TEST_F(BattlefieldShip, AHitShipFlashesYellowFor200Ms) {
    Ship ram = at(RED_RAM, 1);
    TIME.now = 500;
    EXPECT_EQ(drawn(ram).glyph, 5) << "a fresh ship shows no flash";
    ram.last_hit = 1000;
    TIME.now = 1199;
    EXPECT_EQ(drawn(ram).glyph, 155);
    EXPECT_TRUE(same_colour(drawn(ram), YELLOW));
    TIME.now = 1200;
    EXPECT_EQ(drawn(ram).glyph, 5);

    Ship player = at(PLAYER, 0);
    player.last_hit = 1100;
    EXPECT_EQ(drawn(player).glyph, 132) << "the cannon lies on top of the flash";
    player.charge = 0;
    EXPECT_EQ(drawn(player).glyph, 155);
}
