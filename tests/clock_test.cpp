// The game clock counts play time only, from 500 ms.
#include "harness.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, CountsOnlyTheTimeBetweenItsOwnUpdatesSinceARebase) {
    Headless game;
    TIME = {.last_ticks = 0, .now = 500};
    FAKE_TICKS = 7000; // seven seconds on the title screen
    set_clock();
    FAKE_TICKS = 7016;
    update_clock();
    EXPECT_EQ(TIME.now, 516u) << "the first frame sees about 500";
    FAKE_TICKS = 7316; // one slow frame
    update_clock();
    EXPECT_EQ(TIME.now, 816u);
    FAKE_TICKS = 60000; // a long pause, then its re-base
    set_clock();
    FAKE_TICKS = 60010;
    update_clock();
    EXPECT_EQ(TIME.now, 826u) << "a pause adds nothing";
}
