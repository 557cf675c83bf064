// SPDX-License-Identifier: MIT
// Qir: one game after another until the player declines another.
#include <cstdio>

#include "qir.h"

int main(int argc, char* argv[])
{
    const Options options = ReadOptions(argc, argv);
    if (options.help || options.version) {
        options.help ? PrintUsage() : PrintVersion();
        return OutputStatus();
    }
    for (;;) {
        int result = -1;
        int round = 0;
        Welcome();
        InitStorage();
        DrawBoard(0);
        while (result == -1) {
            ++round;
            result = PlayPhases(round);
        }

        if (result == giPlayerNum) {
            std::printf("You win!  You beat the %s in %d round%s\n", OpponentName(), round, round > 1 ? "s." : ".");
        }
        if (result == giAINum) {
            std::printf("You lose!  %s won in %d round%s.\n", OpponentName(), round, round > 1 ? "s" : "");
        }
        FreeBoardMem();

        std::printf("Want to play again? y or n: ");
        if (AskChoice("yn", "You did not type a y or n.  Please try again: ") == 'n') {
            return OutputStatus();
        }
    }
}
