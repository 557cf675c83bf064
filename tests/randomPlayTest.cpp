// SPDX-License-Identifier: MIT
// Random play: thousands of generated input streams, sensible answers mixed
// with junk, each cut off at an arbitrary point, fed to the real game. Every
// run must end by itself, cleanly, and many must reach a win or a loss.
// QIR_RANDOM_PLAY_SEED=n replays the one run of seed n; QIR_RANDOM_PLAY_RUNS
// plays fewer runs (the sanitizers' build, four times slower, plays 500).
#include <cstdio>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "playDriver.h"

namespace {

constexpr std::uint32_t kRuns = 2000;
constexpr std::uint32_t kShards = 8;

PlayPolicy RandomPolicy(std::uint32_t seed)
{
    std::mt19937 random(seed);
    PlayPolicy policy;
    policy.seed = seed;
    policy.order = "12"[random() % 2];
    policy.maxPower = static_cast<char>('2' + random() % 8);
    policy.level = "dq"[random() % 2];
    policy.junkPercent = static_cast<int>(random() % 30);
    policy.answerLimit = static_cast<long>(random() % 1500);
    policy.clock = static_cast<std::time_t>(seed);
    // The game is the real one; only its clock is fixed, so a seed replays a run exactly.
    policy.environment = {std::string("LD_PRELOAD=") + QIR_CLOCK_LIBRARY,
                          "ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0"};
    return policy;
}

std::uint32_t RunsPerShard()
{
    const char* runs = std::getenv("QIR_RANDOM_PLAY_RUNS");
    return static_cast<std::uint32_t>(runs ? std::strtoul(runs, nullptr, 10) : kRuns) / kShards;
}

class RandomPlay : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(RandomPlay, EveryRunEndsCleanly)
{
    const std::uint32_t runs = RunsPerShard();
    std::uint32_t first = GetParam() * runs;
    std::uint32_t last = first + runs;
    if (const char* only = std::getenv("QIR_RANDOM_PLAY_SEED")) {
        first = static_cast<std::uint32_t>(std::strtoul(only, nullptr, 10));
        last = GetParam() == 0 ? first + 1 : first;
    }
    std::uint32_t results = 0;
    for (std::uint32_t seed = first; seed < last; ++seed) {
        const PlayedGame game = PlayGame(QIR_EXE, RandomPolicy(seed));
        ASSERT_TRUE(game.status == 0 && game.errors.empty())
            << "random play seed " << seed << ": " << game.report << "replay the run: QIR_RANDOM_PLAY_SEED=" << seed
            << ", or the game alone: QIR_TEST_CLOCK=" << seed << " LD_PRELOAD=" << QIR_CLOCK_LIBRARY << " " << QIR_EXE
            << " < that input";
        results += game.results > 0 ? 1 : 0;
    }
    std::printf("%u of %u runs reached a win or a loss\n", results, last - first);
    if (last - first == runs) {
        EXPECT_GE(results * 3, last - first) << "too few runs reached a win or a loss";
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomPlay, ::testing::Range<std::uint32_t>(0, kShards));

}  // namespace
