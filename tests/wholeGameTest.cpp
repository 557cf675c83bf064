// SPDX-License-Identifier: MIT
// Whole games, played to a win or a loss by the scripted player at both
// levels and in both player orders. The test build of the game checks its
// records after every step and stops at the first broken rule.
#include <gtest/gtest.h>

#include "playDriver.h"

namespace {

TEST(WholeGames, EveryLevelAndOrderPlaysThroughEveryStepToTheEnd)
{
    std::string all;
    for (const char order : {'1', '2'}) {
        for (const char level : {'d', 'q'}) {
            for (std::uint32_t seed = 1; seed <= 20; ++seed) {
                PlayPolicy policy;
                policy.order = order;
                policy.level = level;
                policy.seed = seed;
                policy.maxPower = "23456789"[seed % 8];
                const PlayedGame game = PlayGame(QIR_FIXED_CLOCK_EXE, policy);
                SCOPED_TRACE(std::string("player ") + order + " against " + level + ", seed " + std::to_string(seed));
                ASSERT_EQ(game.errors, "") << game.report;
                ASSERT_EQ(game.status, 0) << game.report;
                ASSERT_EQ(game.results, 1);
                all += game.transcript;
            }
        }
    }
    // Between them the games went through every kind of move.
    for (const char* move : {"is set to defend against", "has refocused its attack", "has been reinforced",
                             "has been Powered-up", "has advanced to attack", "has completed his reinforcement",
                             "Attack Focus phase is complete", "lost 2 Bases!", "You win!", "You lose!"}) {
        EXPECT_NE(all.find(move), std::string::npos) << move;
    }
}

}  // namespace
