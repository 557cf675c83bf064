// SPDX-License-Identifier: MIT
// The screen the game's output lands on. The dialogue hands it what the game
// prints and what the player types; the screen alone keeps what is not yet
// written, lays it out, clears the screen or separates one from the next,
// keeps the board in view with what came since the last answer, colours the
// two sides, and holds the output back while a resumed game replays its
// record.
#pragma once

#include <string_view>

#include "os/os.h"

// --color: colours on a terminal that shows them (auto), always, or never.
enum class Colour { kAuto, kAlways, kNever };

// At the start: nothing is on the screen yet.
void SetScreenOptions(bool compact, bool noClear, Colour colour = Colour::kAuto);
void SetOutputError(const OsStatus& status);  // the output cannot be used: every write fails with this
bool CompactBoard();                          // whether the next board is compact: reads the terminal's size
void ForgetBoard();                           // a new game: no board is in view until its first
void StartScreen(std::string_view board);     // a new screen, with this board at its top
void ScreenPrint(std::string_view text);
void ScreenEcho(std::string_view typed);  // what a read from the player returned
bool ScreenAtLineStart();                 // whether the next text starts a row of its own
// How much of `text`, in whole lines, fills a screenful of the terminal but
// its last row; all of it when it fits on one screen, or on no terminal.
size_t ScreenPageEnd(std::string_view text);
// While held, nothing is written, and of what the game prints only what the
// screen would show once it is let go is kept: the output since the last
// board, and of that no more than any screen shows.
void HoldScreen(bool hold);
// Writes everything printed since the last write; where the player waits
// after it, the board is drawn again first if it would scroll away or the
// window changed its size. Done, or why the write failed.
OsStatus WriteScreen(bool playerWaits = true);
void ResetScreen();  // nothing printed, held or failed, and the layout as at the program's start
