// SPDX-License-Identifier: MIT
// Qir: one game after another until the player declines another.
#include <cstdlib>

#include "qir.h"

// A game cut off by the end of input still holds its rows and board texts.
static void ReleaseGame()
{
    FreeAllRows();
    FreeBoardMem();
}

int main(int argc, char* argv[])
{
    GuardStandardStreams();
    const Options options = ReadOptions(argc, argv);
    if (options.help || options.version) {
        options.help ? PrintUsage() : PrintVersion();
        FlushOutput();
        return 0;
    }
    SetScreenOptions(options.compact, options.noClear);
    // The answers come from one source for the whole run: the keyboard, or a
    // record kept, resumed or replayed, as the options ask.
    SetAnswerSource(StartRecord(options));
    std::atexit(ReleaseGame);

    if (options.explain) {
        SetListener(ExplainSeat());
    }
    do {
        PlayOneGame();
    } while (AskYesNo("Want to play again? y or n: "));
    if (!ResumedGameIsOver()) {
        FlushOutput();
    }
    return 0;
}
