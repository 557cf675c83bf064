// SPDX-License-Identifier: MIT
// Long play: one process plays fifty games in a row through the play-again
// question. It must free everything it takes (valgrind finds nothing lost and
// nothing still reachable at exit) and must not grow from game to game.
#include <gtest/gtest.h>

#include "playDriver.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

PlayPolicy FiftyGames()
{
    PlayPolicy policy;
    policy.games = 50;
    policy.level = 'q';
    policy.seed = 50;
    policy.timeoutSeconds = 300;
    return policy;
}

TEST(LongPlay, FiftyGamesUnderValgrindLeaveNothingBehind)
{
    if (kSanitized || std::system("valgrind --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs valgrind and a build without sanitizers";
    }
    const PlayedGame game = PlayGame({"valgrind", "-q", "--leak-check=full", "--show-leak-kinds=all",
                                      "--errors-for-leak-kinds=all", "--error-exitcode=3", QIR_EXE},
                                     FiftyGames());
    EXPECT_EQ(game.results, 50);
    EXPECT_EQ(game.status, 0) << game.report;
    EXPECT_EQ(game.errors, "");
}

TEST(LongPlay, FiftyGamesTakeNoMoreMemoryThanOne)
{
    // AddressSanitizer keeps freed memory aside to catch late uses, so more
    // games hold more of it: the peak would measure the sanitizer, not the game.
    if (kSanitized) {
        GTEST_SKIP() << "needs a build without sanitizers";
    }
    PlayPolicy one = FiftyGames();
    one.games = 1;
    const PlayedGame first = PlayGame(QIR_EXE, one);
    const PlayedGame fifty = PlayGame(QIR_EXE, FiftyGames());
    ASSERT_EQ(first.results, 1);
    ASSERT_EQ(fifty.results, 50);
    std::printf("peak memory: %ld KiB for one game, %ld KiB for fifty\n", first.peakKilobytes, fifty.peakKilobytes);
    EXPECT_LE(fifty.peakKilobytes * 10, first.peakKilobytes * 11);
}

}  // namespace
