// SPDX-License-Identifier: MIT
// Qir: one game after another until the player declines another.
#include <cstdlib>
#include <string>

#include "qir.h"

// A game cut off by the end of input still holds its rows and board texts.
static void ReleaseGame()
{
    FreeAllRows();
    FreeBoardMem();
}

// What the run says if it ends in the middle of this round: a game in play
// that the player cut off is told how it goes on, and a replay watched to
// the end of its record says where the recorded game stops.
static void GameInPlay(int round)
{
    SetEndingWords(StoppedGameNote(),
                   "The record stops in round " + std::to_string(round) + ", before the end of the game.");
}

// Once a game has a winner, nothing is cut off by an end there; a replay
// that ends there says who won.
static void GameOver(int result, int round)
{
    const std::string rounds = " in round " + std::to_string(round) + ".";
    SetEndingWords("", result == giPlayerNum
                           ? std::string("The recorded game ended: you beat ") + OpponentName() + rounds
                           : std::string("The recorded game ended: ") + OpponentName() + " won" + rounds);
}

int main(int argc, char* argv[])
{
    GuardStandardStreams();
    const Options options = ReadOptions(argc, argv);
    if (options.help || options.version || options.rules) {
        options.help ? PrintUsage() : options.version ? PrintVersion() : PrintRules();
        FlushOutput();
        return 0;
    }
    SetScreenOptions(options.compact, options.noClear, options.colour);
    // The answers come from one source for the whole run: the keyboard, or a
    // record kept, resumed or replayed, as the options ask.
    SetAnswerSource(StartRecord(options));
    std::atexit(ReleaseGame);

    for (;;) {
        int result = kNoWinner;
        int round = 0;
        ForgetBoard();
        SetEndingWords("", "The record stops before the first round of a game.");
        Welcome();
        InitStorage();
        DrawBoard(kNewBoard);
        while (result == kNoWinner) {
            ++round;
            GameInPlay(round);
            result = PlayPhases(round);
        }
        GameOver(result, round);

        if (result == giPlayerNum) {
            Print("You win!  You beat the %s in %d round%s\n", OpponentName(), round, round > 1 ? "s." : ".");
        }
        if (result == giAINum) {
            Print("You lose!  %s won in %d round%s.\n", OpponentName(), round, round > 1 ? "s" : "");
        }
        FreeBoardMem();

        PrintText("Want to play again? y or n: ");
        if (!AskYesNo()) {
            break;
        }
    }
    if (!ResumedGameIsOver()) {
        FinishOutput();
    }
    return 0;
}
