// SPDX-License-Identifier: MIT
// The dialogue: everything the game prints and every answer it reads goes
// through here, so the end of input and a failed terminal are each handled in
// one place. What it prints goes on to the screen; the answers come from the
// keyboard, or first from the answer source chosen at the start.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qir.h"

namespace {

OsStatus gInputError;      // why the answers cannot be read, once known
AnswerSource gSource;      // where the answers come from before the player types them
bool gRestOfLine = false;  // the last read from the keyboard left the rest of its line unread
// What is said when the run ends early: the game keeps these up to date.
std::string gStoppedNote;  // on stderr, for a game in play that the player cut off on a terminal
std::string gReplayEnds;   // on the screen, when a watched replay has shown all its record holds
constexpr std::string_view kMorePrompt = "-- Return: next page, q: to the end -- ";

// Whoever listens, and what the dialogue keeps for him alone: the question
// the next read answers, the text it prints for it, and what the last read returned.
Listener gListener;
bool gListening = false;
Question gQuestion;
std::string gAsking;
std::string gTyped;

std::string gFormattedLarge;  // a formatted text too long for the small buffer

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

// The output written where the player does not wait: the end of the run, or
// a read that takes the rest of a line he typed already. The board is drawn
// again only where he answers.
void FlushWhileNobodyWaits()
{
    if (const OsStatus status = WriteScreen(false); OsFailed(status)) {
        OutputFailed(status);
    }
}

void FlushBeforeRead()
{
    gRestOfLine ? FlushWhileNobodyWaits() : FlushOutput();
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

// A replay watched on a terminal ends with a line that tells how the
// recorded game stands there; to a pipe it prints exactly what the game did.
void SayHowTheReplayEnds()
{
    if (gSource.echo != nullptr && !gSource.holdsOutput && !gReplayEnds.empty()) {
        PrintText(gReplayEnds);
        PrintText("\n");
    }
}

// The record has shown all it holds.
[[noreturn]] void ReplayRanOut()
{
    PrintText("\n");
    SayHowTheReplayEnds();
    FlushWhileNobodyWaits();
    OsExit(0);
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
        ReplayRanOut();
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
    } else {
        c = NextTypedByte();
        if (c == EOF) {
            EndOfInput();
        }
        const char key = static_cast<char>(c);
        gRestOfLine = c != '\n';
        ScreenEcho(std::string_view(&key, 1));
        if (gSource.noteKey != nullptr) {
            gSource.noteKey(c);
        }
    }
    if (gListening) {
        gTyped.assign(1, static_cast<char>(c));
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

// Whether the player answers from a terminal right now with nothing typed
// ahead: neither the rest of a line nor another line waits to be read.
bool KeyboardIdle()
{
    return gSource.replayAnswer == nullptr && OsIsTerminal(0) && !gRestOfLine && !OsInputWaiting();
}

// The pager's key: a line whose first character is q stops it. Its keys are
// no answers, and the record never hears of them.
bool NextPageWanted()
{
    std::string typed;
    for (int c = 0; c != '\n';) {
        c = NextTypedByte();
        if (c == EOF) {
            EndOfInput();
        }
        typed += static_cast<char>(c);
    }
    ScreenEcho(typed);
    return typed[0] != 'q' && typed[0] != 'Q';
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

// Holds the question that the next reads answer, while someone listens.
void HoldQuestion(QuestionKind kind, std::string_view text)
{
    gQuestion.kind = kind;
    gQuestion.text.assign(text);
    gQuestion.accepts.clear();
}

// Tells the listener what the next read answers, then prints its prompt or
// retry text: he may print first. The text is kept, as it may stand in the
// buffer of Format, which he may use too.
void TellAsked(std::string_view text)
{
    gAsking.assign(text);
    if (gListener.question != nullptr) {
        gListener.question(gQuestion);
    }
    PrintText(gAsking);
}

void ShowAsked(std::string_view text)
{
    if (gListening) {
        TellAsked(text);
    } else {
        PrintText(text);
    }
}

// A setting of a new game that the source gives (the day's game) stands
// where the player would have typed it, and the record notes it as his.
bool SettingGiven(char* buf)
{
    if (gSource.settingAnswer == nullptr || gSource.settingAnswer(buf) != Replayed::kGiven) {
        return false;
    }
    FlushBeforeRead();
    if (OsIsTerminal(1)) {
        PrintText(buf);
    }
    if (gSource.noteAnswer != nullptr) {
        gSource.noteAnswer(buf, static_cast<int>(std::strlen(buf)));
    }
    if (gListening) {
        gTyped.assign(buf);
    }
    return true;
}

void Ask(std::string_view text, char* buf, QuestionKind kind = QuestionKind::kLetter)
{
    ShowAsked(text);
    if (kind != QuestionKind::kSetup || !SettingGiven(buf)) {
        ReadAnswer(buf);
    }
}

// The Powers from 1 to `highest` of which the counts hold a unit, as the digits that name them.
void AcceptPowers(const PowerCounts& counts, int highest)
{
    for (int power = 1; power <= highest; ++power) {
        if (counts[power - 1] > 0) {
            gQuestion.accepts += static_cast<char>('0' + power);
        }
    }
}

// Why an answer names no Power from 1 to the highest the question takes.
RefusalKind NoPower(char c)
{
    if (c == '\n') {
        return RefusalKind::kEmpty;
    }
    return c >= '0' && c <= '9' ? RefusalKind::kPowerOutOfRange : RefusalKind::kNotADigit;
}

}  // namespace

void SetListener(const Listener& listener)
{
    gListener = listener;
    gListening = listener.question != nullptr || listener.refusal != nullptr || listener.event != nullptr ||
                 listener.board != nullptr;
}

bool Listening()
{
    return gListening;
}

const Question& CurrentQuestion()
{
    return gQuestion;
}

void Announce(const Event& happened)
{
    if (gListener.event != nullptr) {
        gListener.event(happened);
    }
}

void RefuseAnswer(RefusalKind why)
{
    if (gListening && gListener.refusal != nullptr) {
        gListener.refusal(Refusal{why, gTyped});
    }
}

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
    gListener = {};
    gListening = false;
    gQuestion = {};
    gAsking.clear();
    gTyped.clear();
}

void SetAnswerSource(const AnswerSource& source)
{
    gSource = source;
    HoldScreen(source.holdsOutput);
}

// Formats into one buffer kept from call to call, so printing a formatted
// line asks the heap for nothing.
QIR_PRINTF(1, 0) static std::string_view VFormat(const char* format, std::va_list args)
{
    static char small[256];
    std::string& large = gFormattedLarge;
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    std::string_view text;
    if (n >= static_cast<int>(sizeof small)) {
        large.assign(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(large.data(), large.size(), format, again);
        large.pop_back();
        text = large;
    } else if (n > 0) {
        text = std::string_view(small, static_cast<size_t>(n));
    }
    va_end(again);
    return text;
}

std::string_view Format(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const std::string_view text = VFormat(format, args);
    va_end(args);
    return text;
}

void VPrint(const char* format, std::va_list args)
{
    PrintText(VFormat(format, args));
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

// A seat's lines start a row of their own, also right after a question whose
// answer a pipe does not show.
void PrintAccount(std::string_view lines)
{
    if (!lines.empty() && !ScreenAtLineStart()) {
        PrintText("\n");
    }
    PrintText(lines);
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
// rather than repeat a question for ever. A game in play that the player
// cut off on a terminal is told how it can go on, or how the next is kept.
void EndOfInput()
{
    PrintText("\n");
    FlushWhileNobodyWaits();
    if (!gStoppedNote.empty() && OsIsTerminal(0)) {
        OsShowError(gStoppedNote + "\n");
    }
    OsExit(0);
}

void SetEndingWords(std::string_view stopped, std::string_view replayEnds)
{
    gStoppedNote = stopped;
    gReplayEnds = replayEnds;
    // Ctrl-C comes at any moment, where the line of the question may still be open.
    OsSetInterruptNote(stopped.empty() || !OsIsTerminal(0) ? std::string() : "\n" + gStoppedNote + "\n");
}

void FinishOutput()
{
    SayHowTheReplayEnds();
    FlushWhileNobodyWaits();
}

// Text longer than the terminal shows, a screenful at a time: Return shows
// the next, q the rest at once.
void PrintPaged(std::string_view text)
{
    for (size_t end; KeyboardIdle() && (end = ScreenPageEnd(text)) < text.size();) {
        PrintText(text.substr(0, end));
        PrintText(kMorePrompt);
        FlushOutput();
        text.remove_prefix(end);
        if (!NextPageWanted()) {
            break;
        }
    }
    PrintText(text);
}

// A text to read at leisure goes to the player's pager on a terminal.
void PrintThroughPager(std::string_view text)
{
    FlushOutput();
    if (!OsIsTerminal(1) || !OsPage(text)) {
        PrintText(text);
    }
}

// Reads one answer as the game always has: at most two characters of a line,
// the rest of a longer line is left for the next read.
void ReadAnswer(char* buf)
{
    FlushBeforeRead();  // the question must reach a pipe before we wait
    if (gSource.replayAnswer != nullptr && GivenBySource(gSource.replayAnswer(buf))) {
        EchoReplayed(buf);
    } else {
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
        gRestOfLine = buf[length - 1] != '\n';
        ScreenEcho(std::string_view(buf, static_cast<size_t>(length)));
        if (gSource.noteAnswer != nullptr) {
            gSource.noteAnswer(buf, length);
        }
    }
    if (gListening) {
        gTyped.assign(buf);
    }
}

char AskChoice(std::string_view prompt, const char* allowed, const char* retry, QuestionKind kind, const char* taken)
{
    if (gListening) {
        HoldQuestion(kind, prompt);
        gQuestion.accepts.assign(taken != nullptr ? taken : allowed);
        std::sort(gQuestion.accepts.begin(), gQuestion.accepts.end());
    }
    char buf[3];
    Ask(prompt, buf, kind);
    while (buf[0] == '\0' || std::strchr(allowed, buf[0]) == nullptr) {
        if (gListening) {
            RefuseAnswer(buf[0] == '\n' ? RefusalKind::kEmpty : RefusalKind::kNotOffered);
        }
        Ask(retry, buf);
    }
    return buf[0];
}

bool AskYesNo(std::string_view prompt)
{
    return AskChoice(prompt, "yn", "You did not type a y or n.  Please try again: ", QuestionKind::kYesNo) == 'y';
}

// Asks for the Power of a Reserve unit until the player names one he holds.
int AskReservePower(const PowerCounts& reserves)
{
    for (;;) {
        const std::string_view prompt =
            Format("What Power unit would you like to place? Type a number 1-%d: ", giFullPower);
        if (gListening) {
            HoldQuestion(QuestionKind::kPower, prompt);
            AcceptPowers(reserves, giFullPower);
        }
        char buf[3];
        Ask(prompt, buf);
        int power = buf[0] - '0';
        while (power < 1 || power > giFullPower) {
            if (gListening) {
                RefuseAnswer(NoPower(buf[0]));
            }
            Ask(Format("You did not type a number between 1 and %d.  Please try again: ", giFullPower), buf);
            power = buf[0] - '0';
        }
        if (reserves[power - 1] > 0) {
            return power;
        }
        RefuseAnswer(RefusalKind::kNoUnitOfPower);
        PrintText("You have no units of that Power available in your Reserves.\n");
    }
}

// Asks with the same prompt until the answer is a Power from 1 to 9 of which
// the counts hold a unit.
int AskUnitPower(const char* prompt, const PowerCounts& counts)
{
    if (gListening) {
        HoldQuestion(QuestionKind::kPower, prompt);
        AcceptPowers(counts, kMaxPower);
    }
    for (;;) {
        char buf[3];
        Ask(prompt, buf);
        const int power = buf[0] - '0';
        if (power >= 1 && power <= kMaxPower && counts[power - 1] > 0) {
            return power;
        }
        if (gListening) {
            RefuseAnswer(power >= 1 && power <= kMaxPower ? RefusalKind::kNoUnitOfPower : NoPower(buf[0]));
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

// Why the first character of an answer names no column that `judge` takes,
// or RefusalKind::kNone. Past 'Z' a character names a column only where the
// pairing has grown that wide: elsewhere it is no capital letter.
static RefusalKind UnitIdRefusal(unsigned char c, const std::function<RefusalKind(int)>& judge)
{
    const int col = c - 'A';
    const RefusalKind why = Nameable(col) ? judge(col) : RefusalKind::kNotCapital;
    if (why == RefusalKind::kNone || (c >= 'A' && c <= 'Z')) {
        return why;
    }
    return c == '\n' ? RefusalKind::kEmpty : RefusalKind::kNotCapital;
}

// Asks for a Unit ID until it names a column that `judge` takes.
int AskUnitId(const char* prompt, const char* retry, const std::function<RefusalKind(int)>& judge)
{
    if (gListening) {
        HoldQuestion(QuestionKind::kUnitId, prompt);
        for (int c = 'A'; c <= 0x7f; ++c) {
            if (UnitIdRefusal(static_cast<unsigned char>(c), judge) == RefusalKind::kNone) {
                gQuestion.accepts += static_cast<char>(c);
            }
        }
    }
    for (;;) {
        char buf[3];
        Ask(prompt, buf);
        const auto c = static_cast<unsigned char>(buf[0]);
        if (const int col = c - 'A'; Nameable(col) && judge(col) == RefusalKind::kNone) {
            return col;
        }
        if (gListening) {
            RefuseAnswer(UnitIdRefusal(c, judge));
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
    Pause(message);
    return true;
}

// A pause reads single characters until the end of a line.
void Pause(std::string_view prompt)
{
    if (gListening) {
        HoldQuestion(QuestionKind::kPause, prompt);
        gQuestion.accepts = "\n\r";
    }
    ShowAsked(prompt);
    for (;;) {
        FlushBeforeRead();
        if (const int c = NextKey(); c == '\n' || c == '\r') {
            return;
        }
        if (gListening) {
            RefuseAnswer(RefusalKind::kNotReturn);
            TellAsked({});
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
    if (gListener.board != nullptr) {
        gListener.board();
    }
    StartScreen(board);
}
