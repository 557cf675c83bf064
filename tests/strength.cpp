// SPDX-License-Identifier: MIT
// How strong the two opponents are, measured rather than claimed: the tests'
// scripted player, who picks random sensible moves, plays GAMES games against
// Dravik and against Quelby at maximum Power 2, 5 and 9, going first and
// second, every cell from a seed of its own (--seed), and the player's win
// rate is printed with its 95% Wilson interval, as a Markdown table; then how
// long the games ran, in rounds and answers.
//
//   qir_strength QIR [GAMES]     (GAMES: games a cell, 1000 unless given)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "playDriver.h"

namespace {

struct Cell {
    char level;
    char maxPower;
    char order;
    int games = 0;  // games that reached a win or a loss
    int wins = 0;
    long answers = 0;
    std::vector<int> rounds;  // the length of each game
};

// The 95% Wilson score interval of `wins` in `games`, in percent: unlike the
// normal approximation it stays within 0 to 100 near either end.
void Wilson(int wins, int games, double& low, double& high)
{
    const double z = 1.959964;
    const double n = games;
    const double p = n > 0 ? wins / n : 0;
    const double centre = (p + z * z / (2 * n)) / (1 + z * z / n);
    const double half = z / (1 + z * z / n) * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n));
    low = 100 * std::max(0.0, centre - half);
    high = 100 * std::min(1.0, centre + half);
}

// The rounds of every game the transcript ends: "... in 7 rounds." or "... in 1 round."
std::vector<int> RoundsPlayed(const std::string& transcript)
{
    std::vector<int> rounds;
    for (const char* result : {"You win!", "You lose!"}) {
        for (size_t at = transcript.find(result); at != std::string::npos; at = transcript.find(result, at + 1)) {
            const size_t in = transcript.find(" in ", at);
            if (in != std::string::npos) {
                rounds.push_back(std::atoi(transcript.c_str() + in + 4));
            }
        }
    }
    return rounds;
}

void Play(const std::string& qir, Cell& cell, int games, std::uint32_t seed)
{
    PlayPolicy policy;
    policy.order = cell.order;
    policy.maxPower = cell.maxPower;
    policy.level = cell.level;
    policy.seed = seed;
    policy.games = games;
    policy.timeoutSeconds = 30.0 * games;
    const PlayedGame played = PlayGame({qir, "--seed", std::to_string(seed)}, policy);
    if (played.status != 0 || played.results != games) {
        std::fprintf(stderr, "qir_strength: %d of %d games ended (status %d)\n%s", played.results, games, played.status,
                     played.report.c_str());
    }
    cell.games = played.results;
    cell.answers = played.answers;
    cell.rounds = RoundsPlayed(played.transcript);
    for (size_t at = played.transcript.find("You win!"); at != std::string::npos;
         at = played.transcript.find("You win!", at + 1)) {
        ++cell.wins;
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::atoi(argv[2]) < 1)) {
        std::fprintf(stderr, "usage: qir_strength QIR [GAMES]\n");
        return 2;
    }
    const std::string qir = argv[1];
    const int games = argc == 3 ? std::atoi(argv[2]) : 1000;
    const auto started = std::chrono::steady_clock::now();

    std::vector<Cell> cells;
    for (const char level : {'d', 'q'}) {
        for (const char maxPower : {'2', '5', '9'}) {
            for (const char order : {'1', '2'}) {
                cells.push_back({level, maxPower, order, 0, 0, 0, {}});
            }
        }
    }
    std::uint32_t seed = 1;
    for (Cell& cell : cells) {
        Play(qir, cell, games, seed++);
    }

    std::printf("| opponent | maximum Power | the player goes | games | player's wins | win rate | 95%% interval |\n");
    std::printf("| --- | ---: | --- | ---: | ---: | ---: | ---: |\n");
    for (const Cell& cell : cells) {
        double low = 0;
        double high = 0;
        Wilson(cell.wins, cell.games, low, high);
        std::printf("| %s | %c | %s | %d | %d | %.1f%% | %.1f%% to %.1f%% |\n", cell.level == 'd' ? "Dravik" : "Quelby",
                    cell.maxPower, cell.order == '1' ? "first" : "second", cell.games, cell.wins,
                    cell.games > 0 ? 100.0 * cell.wins / cell.games : 0.0, low, high);
    }

    std::printf("\n| opponent | maximum Power | the player goes | rounds: fewest | median | most | answers a game |\n");
    std::printf("| --- | ---: | --- | ---: | ---: | ---: | ---: |\n");
    int failed = 0;
    for (Cell& cell : cells) {
        failed += cell.games != games ? 1 : 0;
        if (cell.rounds.empty()) {
            continue;
        }
        std::sort(cell.rounds.begin(), cell.rounds.end());
        std::printf("| %s | %c | %s | %d | %d | %d | %ld |\n", cell.level == 'd' ? "Dravik" : "Quelby", cell.maxPower,
                    cell.order == '1' ? "first" : "second", cell.rounds.front(), cell.rounds[cell.rounds.size() / 2],
                    cell.rounds.back(), cell.answers / static_cast<long>(cell.rounds.size()));
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    std::printf("\n%d games a cell, seeds 1 to %u, in %lld s\n", games, seed - 1, static_cast<long long>(seconds));
    return failed == 0 ? 0 : 1;
}
