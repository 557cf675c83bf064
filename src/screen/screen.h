// SPDX-License-Identifier: MIT
// The screen the game's output lands on. The dialogue hands it what the game
// prints and what the player types; the screen alone keeps what is not yet
// written, lays it out, clears the screen or separates one from the next,
// keeps the compact board in view, and holds the output back while a resumed
// game replays its record.
#pragma once

#include <string_view>

#include "os/os.h"

void SetScreenOptions(bool compact, bool noClear);  // at the start: nothing is on the screen yet
void SetOutputError(const OsStatus& status);        // the output cannot be used: every write fails with this
bool CompactBoard();                                // whether the next board is compact: reads the terminal's size
void ForgetBoard();                                 // a new game: no board is in view until its first
void StartScreen(std::string_view board);           // a new screen, with this board at its top
void ScreenPrint(std::string_view text);
void ScreenEcho(std::string_view typed);  // what a read from the player returned
bool ScreenAtLineStart();                 // whether the next text starts a row of its own
// While held, nothing is written, and of what the game prints only what the
// screen would show once it is let go is kept: the output since the last
// board, and of that no more than any screen shows.
void HoldScreen(bool hold);
// Writes everything printed since the last write, the board drawn again first
// where it would scroll away; done, or why the write failed.
OsStatus WriteScreen();
void ResetScreen();  // nothing printed, held or failed, and the layout as at the program's start
