// SPDX-License-Identifier: MIT
// The console: everything the game prints and every answer it reads goes
// through here, so the end of input, a failed terminal and the game's record
// are each handled in one place.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "qir.h"

namespace {

std::string gHeld;      // printed since the last write to the terminal
bool gHolding = false;  // a resumed game is being replayed: show nothing yet
int gOutputError = 0;   // why the output cannot be written, once known
int gInputError = 0;    // why the answers cannot be read, once known
const char* const kClearScreen = "\033[H\033[2J";

#ifdef _WIN32
// The Windows console, when the game's output goes to one. A console that
// understands the terminal's sequences gets the same bytes as everywhere
// else; an older one is cleared through its own calls instead, since the game
// never starts a process (such as cls) to do it.
HANDLE gConsole = INVALID_HANDLE_VALUE;  // the console shown, or none
DWORD gConsoleMode = 0;                  // its mode before the game, given back at the end
bool gClearByConsoleCalls = false;       // it cannot read the clearing sequence

void RestoreConsoleMode()
{
    SetConsoleMode(gConsole, gConsoleMode);
}

// Blanks the whole console and puts the cursor at its top left, as the
// clearing sequence does.
void ClearConsole()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(gConsole, &info)) {
        return;
    }
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    const COORD home = {0, 0};
    DWORD done = 0;
    FillConsoleOutputCharacterA(gConsole, ' ', cells, home, &done);
    FillConsoleOutputAttribute(gConsole, info.wAttributes, cells, home, &done);
    SetConsoleCursorPosition(gConsole, home);
}

// Whether Windows gave us this standard handle at all.
bool HandleGiven(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    SetLastError(NO_ERROR);
    return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

// The C library would turn every newline into CR LF and stop reading at a
// Ctrl-Z: output stays binary so transcripts match other systems byte for
// byte, and so does input from a file or pipe. Typed answers stay in text
// mode, so the Return key's CR LF reaches the game as one newline.
void SetUpWindowsStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _isatty(_fileno(stdin)) ? _O_TEXT : _O_BINARY);

    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) {
        return;  // a file or a pipe: it gets the sequence itself
    }
    gConsole = out;
    gConsoleMode = mode;
    if (SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        std::atexit(RestoreConsoleMode);
    } else {
        gClearByConsoleCalls = true;
    }
}
#endif

[[noreturn]] void OutputFailed(int error)
{
    gHeld.clear();  // nothing more can be written; the exit must not try again
    std::fprintf(stderr, "qir: cannot write the game's output: %s\n", std::strerror(error));
    std::exit(1);
}

[[noreturn]] void InputFailed(int error)
{
    FlushOutput();
    std::fprintf(stderr, "qir: cannot read the player's answers: %s\n", std::strerror(error));
    std::exit(1);
}

// Writes `length` bytes to the standard output, or ends the program.
void WriteOut(const char* data, size_t length)
{
    if (const int error = WriteAll(1, data, length); error != 0) {
        OutputFailed(error);
    }
}

// The next byte the player typed, or EOF at the end of input. A read error
// is not the end of input: it ends the program with status 1.
int NextTypedByte()
{
    if (gInputError != 0) {
        InputFailed(gInputError);
    }
    errno = 0;
    const int c = std::getc(stdin);
    if (c == EOF && std::ferror(stdin)) {
        InputFailed(errno != 0 ? errno : EIO);
    }
    return c;
}

}  // namespace

int WriteAll(int fd, const char* data, size_t length)
{
    for (size_t done = 0; done < length;) {
#ifdef _WIN32
        const long long n = _write(fd, data + done, static_cast<unsigned>(std::min<size_t>(length - done, 1U << 30)));
#else
        const ssize_t n = write(fd, data + done, length - done);
#endif
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

void BrokenRule(const char* rule, const char* file, int line)
{
    std::fprintf(stderr, "qir: broken rule at %s:%d: %s\n", file, line, rule);
    std::abort();
}

void GuardStandardStreams()
{
#ifdef _WIN32
    // A handle Windows did not give us stays taken in the C library, so no
    // record can land on it; the game only has to know that it cannot be used.
    SetUpWindowsStreams();
    if (!HandleGiven(STD_INPUT_HANDLE)) {
        gInputError = EBADF;
    }
    if (!HandleGiven(STD_OUTPUT_HANDLE)) {
        gOutputError = EBADF;
    }
#else
    // A descriptor closed by whoever started us would be handed to the next
    // file we open (a record), and the game would write its output there.
    // Fill it with the null device, and remember that it cannot be used.
    for (const int fd : {0, 1, 2}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd && null >= 0) {
            close(null);
        }
        if (fd == 0) {
            gInputError = EBADF;
        } else if (fd == 1) {
            gOutputError = EBADF;
        }
    }
#endif
}

void VPrint(const char* format, std::va_list args)
{
    std::va_list again;
    va_copy(again, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n >= static_cast<int>(sizeof small)) {
        const size_t at = gHeld.size();
        gHeld.resize(at + static_cast<size_t>(n) + 1);
        std::vsnprintf(gHeld.data() + at, static_cast<size_t>(n) + 1, format, again);
        gHeld.resize(at + static_cast<size_t>(n));
    } else if (n > 0) {
        gHeld.append(small, static_cast<size_t>(n));
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
    gHeld += text;
}

// Everything printed since the last read leaves in one write, so a pipe sees
// each question whole before the game waits for its answer.
void FlushOutput()
{
    if (gHolding) {
        return;
    }
    if (gOutputError != 0) {
        OutputFailed(gOutputError);
    }
#ifdef _WIN32
    // An older console is cleared where the sequence stands in the output,
    // after the text before it has been shown.
    size_t from = 0;
    const size_t clearLength = std::strlen(kClearScreen);
    for (size_t at; gClearByConsoleCalls && (at = gHeld.find(kClearScreen, from)) != std::string::npos;
         from = at + clearLength) {
        WriteOut(gHeld.data() + from, at - from);
        ClearConsole();
    }
    WriteOut(gHeld.data() + from, gHeld.size() - from);
#else
    WriteOut(gHeld.data(), gHeld.size());
#endif
    gHeld.clear();
}

void HoldOutput(bool hold)
{
    gHolding = hold;
}

// Once no further line can be read the game can never go on: end quietly
// rather than repeat a question for ever.
void EndOfInput()
{
    PrintText("\n");
    FlushOutput();
    std::exit(0);
}

// Reads one answer as the game always has: at most two characters of a line,
// the rest of a longer line is left for the next read.
void ReadAnswer(char* buf)
{
    FlushOutput();  // the question must reach a pipe before we wait
    if (ReplayAnswer(buf)) {
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
    NoteAnswer(buf, length);
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
        int c = 0;
        if (!ReplayKey(c)) {
            c = NextTypedByte();
            if (c == EOF) {
                EndOfInput();
            }
            NoteKey(c);
        }
        if (c == '\n' || c == '\r') {
            return;
        }
    }
}

// Every board starts on a cleared screen. A resumed game shows the replayed
// output only from the last clearing on, so what came before is let go.
void ClearScreen()
{
    if (gHolding) {
        gHeld.clear();
    }
    PrintText(kClearScreen);
}
