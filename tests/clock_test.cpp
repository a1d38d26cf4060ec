// The game clock counts play time only, from 500 ms.
#include "harness.h"

#include "shell/clock.h"

#include <gtest/gtest.h>

TEST(Clock, CountsOnlyTheTimeBetweenItsOwnUpdatesFromARebase) {
    uint64_t (*saved)() = TICK_SOURCE;
    static uint64_t ticks;
    TICK_SOURCE = [] { return ticks; };
    TIME = {.last_ticks = 0, .now = 500};

    ticks = 7000; // the title screen took seven seconds
    set_clock();
    EXPECT_EQ(TIME.now, 500u);
    ticks = 7016;
    update_clock();
    EXPECT_EQ(TIME.now, 516u) << "the first frame sees about 500, not the title's time";

    ticks = 7316; // one slow frame
    update_clock();
    EXPECT_EQ(TIME.now, 816u);

    ticks = 60000; // a long pause, then its re-base
    set_clock();
    ticks = 60010;
    update_clock();
    EXPECT_EQ(TIME.now, 826u) << "a pause adds nothing";
    EXPECT_EQ(TIME.last_ticks, 60010u);

    TICK_SOURCE = saved;
}
