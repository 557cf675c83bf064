// SPDX-License-Identifier: MIT
// The seats: front ends that hear the game through a Listener (see
// dialogue/listener.h) and are chosen at the start. qir.h includes this.
#pragma once

// --explain: tells, in plain words and just before each question, what the
// other side did, how each combat went and why an answer was refused.
Listener ExplainSeat();
