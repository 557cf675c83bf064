// SPDX-License-Identifier: MIT
// A scripted player: runs the game as a separate process and answers each
// question as it appears, from a seeded choice of sensible moves, mixed with
// junk on request. The same seed plays the same game.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct PlayPolicy {
    char order = '1';  // the answer to the player-order question
    char maxPower = '5';
    char level = 'd';
    std::uint32_t seed = 1;
    int junkPercent = 0;       // share of answers replaced by junk
    long answerLimit = -1;     // close the input after this many answers (-1: never)
    int games = 1;             // answered y to the play-again question until this many were played
    std::time_t clock = 1000;  // what the game's clock reads (the dice are seeded from it)
    double timeoutSeconds = 10;
    std::vector<std::string> environment;  // NAME=value entries added for the game
};

struct PlayedGame {
    int status = -1;        // exit status, -1 when killed or signalled
    bool timedOut = false;  // the harness had to kill it
    int signal = 0;         // the signal that ended it, if one did
    int results = 0;        // how many games reached a win or a loss
    long answers = 0;
    std::string transcript;  // everything the game printed
    std::string errors;      // everything it wrote to stderr
    long peakKilobytes = 0;  // the game's peak resident memory
    std::string input;       // every byte the player typed
    std::string report;      // when it did not end cleanly: what the harness saw, and where the input is kept
};

// Runs `command` (the game, or a tool that runs it) and plays it.
PlayedGame PlayGame(const std::vector<std::string>& command, const PlayPolicy& policy);
inline PlayedGame PlayGame(const std::string& executable, const PlayPolicy& policy)
{
    return PlayGame(std::vector<std::string>{executable}, policy);
}
