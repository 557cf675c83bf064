// SPDX-License-Identifier: MIT
// The dialogue: everything the game prints and every answer and pause goes
// through these, and on to the screen. qir.h includes this where the records
// it names (PowerCounts) are declared.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

#include "dialogue/listener.h"

#if defined(__GNUC__)
#define QIR_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QIR_PRINTF(fmt, args)
#endif
void Print(const char* format, ...) QIR_PRINTF(1, 2);
void VPrint(const char* format, std::va_list args) QIR_PRINTF(1, 0);
void PrintText(std::string_view text);
void PrintAccount(std::string_view lines);  // lines of a seat's own, each ending in a newline, on rows of their own
void FlushOutput();                         // a failed write ends the program with status 1
void GuardStandardStreams();
void ResetDialogue();  // no answer source and no failed input, as at the program's start

// What an answer source gives for a read.
enum class Replayed {
    kGiven,        // the answer it holds
    kPlayersTurn,  // none: the player answers from now on
    kEnded,        // none, and the game can never go on: a replay has shown all it holds
};
constexpr int kNoPause = -1;      // AnswerSource::screenPause: the screens of a replay follow at once
constexpr int kViewerPaces = -2;  // each waits for the viewer's Return
// Where the answers come from, chosen once at the start: the keyboard (no
// calls at all), or the record, which gives the answers of a resumed or
// replayed game before the player types any and hears of each one he types.
// The dialogue knows no more of the record than these, and acts itself on
// what they tell it.
struct AnswerSource {
    Replayed (*replayAnswer)(char* buf) = nullptr;  // buf gets the answer and its closing '\0'
    Replayed (*replayKey)(int& c) = nullptr;
    void (*noteAnswer)(const char* buf, int length) = nullptr;
    void (*noteKey)(int c) = nullptr;
    // A replay on a terminal shows each answer where the player typed it, as this.
    std::string (*echo)(std::string_view answer) = nullptr;
    bool holdsOutput = false;    // a resumed game shows nothing until the player's turn
    int screenPause = kNoPause;  // before each new screen of a replay: milliseconds, or kViewerPaces
};
void SetAnswerSource(const AnswerSource& source);

// Whoever hears the questions, the refusals and the events, set at the start
// (see listener.h); without one the dialogue keeps no question.
void SetListener(const Listener& listener);
bool Listening();
const Question& CurrentQuestion();  // what the next read answers, while someone listens
void Announce(const Event& happened);
void RefuseAnswer(RefusalKind why);  // a step refuses the answer its question took: a placement that is full

// Formats into a buffer of the dialogue's own, valid until the next Format or Print.
std::string_view Format(const char* format, ...) QIR_PRINTF(1, 2);
void ReadAnswer(char* buf);  // buf holds 3 bytes; at most two characters of a line per read
// Each question prints its prompt and asks until an answer is taken; `taken`
// narrows what the step itself will take of what the question allows.
char AskChoice(std::string_view prompt, const char* allowed, const char* retry,
               QuestionKind kind = QuestionKind::kLetter, const char* taken = nullptr);
bool AskYesNo(std::string_view prompt);  // a question that ends "y or n: "
int AskReservePower(const PowerCounts& reserves);
int AskUnitPower(const char* prompt, const PowerCounts& counts);
bool Nameable(int col);  // some key names this column as a Unit ID
// `judge` tells why a column cannot be taken, or RefusalKind::kNone.
int AskUnitId(const char* prompt, const char* retry, const std::function<RefusalKind(int)>& judge);
void Pause(std::string_view prompt);  // prints the prompt and waits for Return
// Long text, on a terminal too short for it and with nothing typed ahead, a
// screenful at a time; the keys that turn the pages are no answers.
void PrintPaged(std::string_view text);
void PrintThroughPager(std::string_view text);  // the player's pager on a terminal, plainly elsewhere
bool NothingLeft(int count, const char* message);
void ShowBoard(std::string_view board);  // on a new screen
[[noreturn]] void EndOfInput();
// What is said when the run ends before the player declines another game:
// `stopped` on stderr when a game in play is cut off on a terminal (Ctrl-C,
// Ctrl-D or a closed input), `replayEnds` on the screen when a replay
// watched on a terminal has shown all its record holds. Empty: nothing.
void SetEndingWords(std::string_view stopped, std::string_view replayEnds);
void FinishOutput();  // the run's last output, once the player declined another game
