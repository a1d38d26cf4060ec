// The playing bot in short: a seeded game repeats itself, keeps every rule and fights.
#include "bot.h"
#include "harness.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(BotPlays, ASeededGameRepeatsItselfKeepsEveryRuleAndKillsAndRandomKeysBreakNothing) {
    Headless game;
    const std::string assets = QUELTIVAR_SOURCE_DIR "/assets";
    auto figures = [](const Outcome& o) {
        return std::tuple(o.level, o.score, o.result, o.game_ms, o.frames, o.kills, o.issued);
    };
    const Outcome first = play_game(7, 30000, assets), again = play_game(7, 30000, assets);
    EXPECT_EQ(first.broken, "");
    EXPECT_EQ(figures(first), figures(again));
    EXPECT_GT(first.issued, 0) << "the click started the waves";
    EXPECT_GT(first.kills, 0u);
    EXPECT_EQ(first.score, 100 * first.kills + 500 * (first.level - 1u));
    const Outcome wild = play_game(8, 15000, assets, true);
    EXPECT_EQ(wild.broken, "");
    EXPECT_GT(wild.frames, 0u);
}
