// SPDX-License-Identifier: MIT
// The console: every answer the game reads and every pause goes through here,
// so the end of input is handled in one place.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qir.h"

// Once no further line can be read the game can never go on: end quietly
// rather than repeat a question for ever.
void EndOfInput()
{
    std::printf("\n");
    FreeAllRows();
    FreeBoardMem();
    std::fflush(stdout);
    std::exit(0);
}

// Reads one answer as the game always has: at most two characters of a line,
// the rest of a longer line is left for the next read.
void ReadAnswer(char* buf)
{
    std::fflush(stdout);  // the question must reach a pipe before we wait
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
    std::fflush(stdout);
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
