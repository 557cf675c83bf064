// SPDX-License-Identifier: MIT
// Qir: one game after another until the player declines another, with the
// options and the answer source of the whole run.
#include "qir.h"

namespace {

// A game cut off by the end of input, or by a record that cannot be written,
// still holds its rows and board texts: they go before the program ends.
void ReleaseGame()
{
    FreeAllRows();
    FreeBoardMem();
}

}  // namespace

int PlayQir(int argc, char* argv[], const Listener& seat)
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
    // record kept, resumed or replayed, as the options ask; the day's game
    // answers its own settings.
    AnswerSource source = StartRecord(options);
    if (options.day) {
        GiveDaySettings(source, *options.day);
    }
    SetAnswerSource(source);
    OsBeforeExit(ReleaseGame);

    SetListener(options.explain ? ExplainSeat() : seat);
    do {
        PlayOneGame();
    } while (AskYesNo("Want to play again? y or n: "));
    if (!ResumedGameIsOver()) {
        FinishOutput();
    }
    return 0;
}

// Every global of the game and of its layers goes back to what it was when
// the program started, so that one process can run the game again.
void ResetQir()
{
    OsBeforeExit(nullptr);
    ReleaseGame();
    player = {};
    giPlayerNum = 0;
    giAINum = 0;
    giFullPower = 0;
    gDiffLevel = 0;
    ResetDice();
    ResetDay();
    ResetRecord();
    ResetDialogue();
    ResetScreen();
}
