// SPDX-License-Identifier: MIT
// The console: every answer the game reads and every pause goes through here,
// so the end of input is handled in one place.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qir.h"

// A game whose board and questions never reach the player has failed, even
// if it ran to its end: the status says so.
static int sWriteError = 0;  // why the output first failed

static bool Flushed()
{
    if (std::fflush(stdout) != 0 && sWriteError == 0) {
        sWriteError = errno;
    }
    return std::ferror(stdout) == 0;
}

int OutputStatus()
{
    if (!Flushed()) {
        std::fprintf(stderr, "qir: cannot write the game: %s\n", std::strerror(sWriteError != 0 ? sWriteError : EIO));
        return 1;
    }
    return 0;
}

// Once no further line can be read the game can never go on: end quietly
// rather than repeat a question for ever. The end of the answers is a normal
// end; answers that could not be read are a failure.
void EndOfInput()
{
    const bool unreadable = std::ferror(stdin) != 0;
    if (unreadable) {
        std::fprintf(stderr, "qir: cannot read the answers: %s\n", std::strerror(errno));
    }
    std::printf("\n");
    FreeAllRows();
    FreeBoardMem();
    const int status = OutputStatus();
    std::exit(unreadable ? 1 : status);
}

// Stops a game that can no longer show its questions, instead of playing on
// unseen until the answers run out.
static void EnsureOutput()
{
    if (!Flushed()) {
        FreeAllRows();
        FreeBoardMem();
        std::exit(OutputStatus());
    }
}

// Reads one answer as the game always has: at most two characters of a line,
// the rest of a longer line is left for the next read.
void ReadAnswer(char* buf)
{
    EnsureOutput();  // the question must reach a pipe before we wait
    if (std::fgets(buf, 3, stdin) == nullptr) {
        EndOfInput();
    }
}

char AskChoice(const char* allowed, const char* retry)
{
    char buf[3];
    ReadAnswer(buf);
    while (buf[0] == '\0' || std::strchr(allowed, buf[0]) == nullptr) {
        std::printf("%s", retry);
        ReadAnswer(buf);
    }
    return buf[0];
}

int ReadPowerAnswer()
{
    char buf[3];
    ReadAnswer(buf);
    return buf[0] - '0';
}

// Asks for a Unit ID until it names a column that `names` accepts. The column
// is the character's distance from 'A'; a lower-case letter never names one.
int AskUnitId(const char* prompt, const char* retry, const std::function<bool(int)>& names)
{
    for (;;) {
        std::printf("%s", prompt);
        char buf[3];
        ReadAnswer(buf);
        const char id = buf[0];
        const int col = id - 'A';
        if (!(id >= 'a' && id <= 'z') && col >= 0 && names(col)) {
            return col;
        }
        std::printf("%s", retry);
    }
}

// Ends a step that has nothing left to do: its message, then a pause.
bool NothingLeft(int count, const char* message)
{
    if (count > 0) {
        return false;
    }
    std::printf("%s", message);
    WaitForReturn();
    return true;
}

void WaitForReturn()
{
    EnsureOutput();
    for (;;) {
        const int c = std::getchar();
        if (c == EOF) {
            EndOfInput();
        }
        if (c == '\n' || c == '\r') {
            return;
        }
    }
}

void ClearScreen()
{
#ifdef _WIN32
    std::fflush(stdout);
    std::system("cls");
#else
    std::printf("\033[H\033[2J");
#endif
}
