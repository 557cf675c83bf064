// SPDX-License-Identifier: MIT
// The dialogue: everything the game prints and every answer it reads goes
// through here, so the end of input and a failed terminal are each handled in
// one place. What it prints goes on to the screen; the answers come from the
// keyboard, or first from the answer source chosen at the start.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qir.h"

namespace {

OsStatus gInputError;  // why the answers cannot be read, once known
AnswerSource gSource;  // where the answers come from before the player types them

[[noreturn]] void OutputFailed(const OsStatus& status)
{
    OsShowError(std::string("qir: cannot write the game's output: ") + status.message + "\n");
    OsExit(1);
}

[[noreturn]] void InputFailed(const OsStatus& status)
{
    FlushOutput();
    OsShowError(std::string("qir: cannot read the player's answers: ") + status.message + "\n");
    OsExit(1);
}

// The next byte the player typed, or EOF at the end of input. A read error
// is not the end of input: it ends the program with status 1.
int NextTypedByte()
{
    if (OsFailed(gInputError)) {
        InputFailed(gInputError);
    }
    const int c = OsReadByte(gInputError);
    if (OsFailed(gInputError)) {
        InputFailed(gInputError);
    }
    return c;
}

// Whether the source gave this read. Once it holds no more, a replay ends as
// at the end of input, and a resumed game shows what it replayed since the
// last board and goes on with the player.
bool GivenBySource(Replayed given)
{
    if (given == Replayed::kGiven) {
        return true;
    }
    if (given == Replayed::kEnded) {
        EndOfInput();
    }
    gSource.replayAnswer = nullptr;  // the keyboard from now on
    gSource.replayKey = nullptr;
    HoldScreen(false);
    FlushOutput();
    return false;
}

// A replay on a terminal shows each answer it gives where the player typed it.
void EchoReplayed(std::string_view answer)
{
    if (gSource.echo != nullptr) {
        PrintText(gSource.echo(answer));
    }
}

// The next key of a pause: the source's, or one the player types.
int NextKey()
{
    int c = 0;
    if (gSource.replayKey != nullptr && GivenBySource(gSource.replayKey(c))) {
        const char key = static_cast<char>(c);
        EchoReplayed(std::string_view(&key, 1));
        return c;
    }
    c = NextTypedByte();
    if (c == EOF) {
        EndOfInput();
    }
    const char key = static_cast<char>(c);
    ScreenEcho(std::string_view(&key, 1));
    if (gSource.noteKey != nullptr) {
        gSource.noteKey(c);
    }
    return c;
}

// The viewer of a replay goes on with Return, or stops it with q and Return.
// His keys come through the one reader, as the player's do.
bool ViewerGoesOn()
{
    FlushOutput();
    const int first = NextTypedByte();
    for (int c = first; c != '\n'; c = NextTypedByte()) {
        if (c == EOF) {
            return false;
        }
    }
    return first != 'q' && first != 'Q';
}

// Between two screens of a replay: the viewer's Return, or a pause, with the
// screen before shown whole.
void PauseBeforeScreen()
{
    if (gSource.screenPause == kViewerPaces) {
        if (!ViewerGoesOn()) {
            EndOfInput();
        }
        return;
    }
    FlushOutput();
    OsSleep(gSource.screenPause);
}

}  // namespace

void BrokenRule(const char* rule, const char* file, int line)
{
    std::fprintf(stderr, "qir: broken rule at %s:%d: %s\n", file, line, rule);
    std::abort();
}

void GuardStandardStreams()
{
    OsStatus outputError;
    OsSetUpStreams(gInputError, outputError);
    SetOutputError(outputError);
}

void ResetDialogue()
{
    gInputError = {};
    gSource = {};
}

void SetAnswerSource(const AnswerSource& source)
{
    gSource = source;
    HoldScreen(source.holdsOutput);
}

void VPrint(const char* format, std::va_list args)
{
    std::va_list again;
    va_copy(again, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n >= static_cast<int>(sizeof small)) {
        std::string large(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(large.data(), large.size(), format, again);
        large.pop_back();
        PrintText(large);
    } else if (n > 0) {
        PrintText(std::string_view(small, static_cast<size_t>(n)));
    }
    va_end(again);
}

void Print(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    VPrint(format, args);
    va_end(args);
}

void PrintText(std::string_view text)
{
    ScreenPrint(text);
}

// Everything printed since the last read leaves in one write, so a pipe sees
// each question whole before the game waits for its answer.
void FlushOutput()
{
    if (const OsStatus status = WriteScreen(); OsFailed(status)) {
        OutputFailed(status);
    }
}

// Once no further line can be read the game can never go on: end quietly
// rather than repeat a question for ever.
void EndOfInput()
{
    PrintText("\n");
    FlushOutput();
    OsExit(0);
}

// Reads one answer as the game always has: at most two characters of a line,
// the rest of a longer line is left for the next read.
void ReadAnswer(char* buf)
{
    FlushOutput();  // the question must reach a pipe before we wait
    if (gSource.replayAnswer != nullptr && GivenBySource(gSource.replayAnswer(buf))) {
        EchoReplayed(buf);
        return;
    }
    int length = 0;
    for (int c = 0; length < 2 && c != '\n';) {
        c = NextTypedByte();
        if (c == EOF) {
            break;
        }
        buf[length++] = static_cast<char>(c);
    }
    if (length == 0) {
        EndOfInput();
    }
    buf[length] = '\0';
    ScreenEcho(std::string_view(buf, static_cast<size_t>(length)));
    if (gSource.noteAnswer != nullptr) {
        gSource.noteAnswer(buf, length);
    }
}

char AskChoice(const char* allowed, const char* retry)
{
    char buf[3];
    ReadAnswer(buf);
    while (buf[0] == '\0' || std::strchr(allowed, buf[0]) == nullptr) {
        PrintText(retry);
        ReadAnswer(buf);
    }
    return buf[0];
}

static int ReadPowerAnswer()
{
    char buf[3];
    ReadAnswer(buf);
    return buf[0] - '0';
}

bool AskYesNo()
{
    return AskChoice("yn", "You did not type a y or n.  Please try again: ") == 'y';
}

// Asks for the Power of a Reserve unit until the player names one he holds.
int AskReservePower(const PowerCounts& reserves)
{
    for (;;) {
        Print("What Power unit would you like to place? Type a number 1-%d: ", giFullPower);
        int power = ReadPowerAnswer();
        while (power < 1 || power > giFullPower) {
            Print("You did not type a number between 1 and %d.  Please try again: ", giFullPower);
            power = ReadPowerAnswer();
        }
        if (reserves[power - 1] > 0) {
            return power;
        }
        PrintText("You have no units of that Power available in your Reserves.\n");
    }
}

// Asks with the same prompt until the answer is a Power from 1 to 9 of which
// the counts hold a unit.
int AskUnitPower(const char* prompt, const PowerCounts& counts)
{
    for (;;) {
        PrintText(prompt);
        const int power = ReadPowerAnswer();
        if (power >= 1 && power <= kMaxPower && counts[power - 1] > 0) {
            return power;
        }
    }
}

// A Unit ID names the column of its character's distance from 'A', and a
// lower-case letter never names one: so 'A' to '`' name columns 0 to 31, and
// '{' to DEL columns 58 to 62. No key names the columns in between.
bool Nameable(int col)
{
    return (col >= 0 && col <= '`' - 'A') || (col >= '{' - 'A' && col <= 0x7f - 'A');
}

// Asks for a Unit ID until it names a column that `names` accepts.
int AskUnitId(const char* prompt, const char* retry, const std::function<bool(int)>& names)
{
    for (;;) {
        PrintText(prompt);
        char buf[3];
        ReadAnswer(buf);
        const int col = static_cast<unsigned char>(buf[0]) - 'A';
        if (Nameable(col) && names(col)) {
            return col;
        }
        PrintText(retry);
    }
}

// Ends a step that has nothing left to do: its message, then a pause.
bool NothingLeft(int count, const char* message)
{
    if (count > 0) {
        return false;
    }
    PrintText(message);
    WaitForReturn();
    return true;
}

// A pause reads single characters until the end of a line.
void WaitForReturn()
{
    for (;;) {
        FlushOutput();
        if (const int c = NextKey(); c == '\n' || c == '\r') {
            return;
        }
    }
}

// Every board starts a new screen; a replay that is watched shows each
// screen whole before the next begins.
void ShowBoard(std::string_view board)
{
    if (gSource.screenPause != kNoPause) {
        PauseBeforeScreen();
    }
    StartScreen(board);
}
