// SPDX-License-Identifier: MIT
// The seats: front ends that hear the game through a Listener (see
// dialogue/listener.h) and are chosen at the start. qir.h includes this.
#pragma once

#include <string_view>

// --explain: tells, in plain words and just before each question, what the
// other side did, how each combat went and why an answer was refused. Its
// lines go to `tell`: the game's output, or another seat that shows them
// itself (an empty text when there is nothing to tell).
Listener ExplainSeat(void (*tell)(std::string_view lines) = PrintAccount);

// The web page's seat: hands the page every question with the board, every
// refusal and every event, and the --explain account of them, as values the
// page draws and reads out; the game's output stays as it is. Built into the
// web page alone (src/seat/pageSeat.cpp), which plays with it.
Listener PageSeat();
