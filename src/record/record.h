// SPDX-License-Identifier: MIT
// The record of a game's answers and dice, written, resumed or replayed. It
// gives the dialogue its answers through an AnswerSource and calls nothing of
// the dialogue or the screen. qir.h includes this where Options is declared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::uint32_t kHighestSeed = 2147483647;  // the largest seed --seed takes
bool ReadSeed(std::string_view text, std::uint32_t& seed, std::uint32_t highest);
// Anything from outside the game (a file's name, an option's value, a piece
// of a record) as a message shows it: valid UTF-8 as it is, control bytes and
// bytes that are no UTF-8 as \xNN escapes. Cut short with "..." after
// `longest` bytes if given; a name is shown whole.
std::string Shown(std::string_view text, size_t longest = std::string_view::npos);
// Opens, checks or makes the record these options name, and returns where the
// game's answers come from: the keyboard, the keyboard noted in the record, a
// resumed record then the keyboard, or a replay. A record that cannot be used
// ends the program with status 1.
AnswerSource StartRecord(const Options& options);
std::uint32_t DiceSeed();  // the seed of the next acquisition's dice
bool ResumedGameIsOver();  // the game ended inside the record it resumed
void ResetRecord();        // closes the record, and forgets it as at the program's start
// What to tell a player whose game in play stops: how it goes on from its
// record, or that it was not kept and how the next one is; nothing for a replay.
std::string StoppedGameNote();
