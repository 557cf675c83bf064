// SPDX-License-Identifier: MIT
// The system's calls on Windows: the standard streams, the console and the
// record's file. The game's other files name no system; the POSIX calls live
// in a file of their own beside this one.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "os.h"

namespace {

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

}  // namespace

void OsSetUpStreams(int& inputError, int& outputError)
{
    // The C library would turn every newline into CR LF and stop reading at a
    // Ctrl-Z: output stays binary so transcripts match other systems byte for
    // byte, and so does input from a file or pipe. Typed answers stay in text
    // mode, so the Return key's CR LF reaches the game as one newline.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _isatty(_fileno(stdin)) ? _O_TEXT : _O_BINARY);

    // A handle Windows did not give us stays taken in the C library, so no
    // record can land on it; the game only has to know that it cannot be used.
    if (!HandleGiven(STD_INPUT_HANDLE)) {
        inputError = EBADF;
    }
    if (!HandleGiven(STD_OUTPUT_HANDLE)) {
        outputError = EBADF;
    }

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

int OsWrite(int fd, const char* data, size_t length)
{
    for (size_t done = 0; done < length;) {
        const int n = _write(fd, data + done, static_cast<unsigned>(std::min<size_t>(length - done, 1U << 30)));
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

// An older console is cleared where the sequence stands in the output, after
// the text before it has been shown.
int OsShow(std::string_view text)
{
    size_t from = 0;
    for (size_t at; gClearByConsoleCalls && (at = text.find(kClearScreen, from)) != std::string_view::npos;
         from = at + kClearScreen.size()) {
        if (const int error = OsWrite(1, text.data() + from, at - from); error != 0) {
            return error;
        }
        ClearConsole();
    }
    return OsWrite(1, text.data() + from, text.size() - from);
}

int OsReadByte(int& error)
{
    errno = 0;
    const int c = std::getc(stdin);
    if (c == EOF && std::ferror(stdin)) {
        error = errno != 0 ? errno : EIO;
    }
    return c;
}

// The size is the console's visible window, not its buffer, which is often
// thousands of rows tall.
bool OsScreenSize(int fd, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return false;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(handle, &info)) {
        rows = info.srWindow.Bottom - info.srWindow.Top + 1;
        columns = info.srWindow.Right - info.srWindow.Left + 1;
    }
    return true;
}

bool OsIsTerminal(int fd)
{
    return _isatty(fd) != 0;
}

// A console that reads the terminal's sequences shows their colours too,
// whether TERM is set or not.
bool OsShowsColour()
{
    return gConsole != INVALID_HANDLE_VALUE && !gClearByConsoleCalls;
}

// Keys typed ahead in the console, or pasted there, wait in its input as
// key presses until a read takes their line.
bool OsInputWaiting()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
        return true;  // a file or a pipe holds its answers already
    }
    INPUT_RECORD events[64];
    DWORD count = 0;
    if (!PeekConsoleInputA(input, events, 64, &count)) {
        return false;
    }
    return std::any_of(events, events + count, [](const INPUT_RECORD& event) {
        return event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
               event.Event.KeyEvent.uChar.AsciiChar != 0;
    });
}

// The pager reads the text from a pipe: PAGER as its command line, or else less.
bool OsPage(std::string_view text)
{
    const char* pager = std::getenv("PAGER");
    if (pager != nullptr && *pager == '\0') {
        return false;
    }
    std::string command = pager != nullptr ? pager : "less";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    if (!CreatePipe(&pipeRead, &pipeWrite, &inherited, 0)) {
        return false;
    }
    SetHandleInformation(pipeWrite, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = pipeRead;
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    const bool started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child) != 0;
    CloseHandle(pipeRead);
    if (started) {
        for (size_t done = 0; done < text.size();) {
            DWORD wrote = 0;
            const auto part = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1U << 30));
            if (!WriteFile(pipeWrite, text.data() + done, part, &wrote, nullptr) || wrote == 0) {
                break;  // the player left the pager before the end
            }
            done += wrote;
        }
    }
    CloseHandle(pipeWrite);
    if (started) {
        WaitForSingleObject(child.hProcess, INFINITE);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
    }
    return started;
}

namespace {

char gInterruptNote[1024];
DWORD gInterruptNoteLength = 0;

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is pressed: says
// the note, and lets Windows end the program as it would have.
BOOL WINAPI SayInterrupted(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        DWORD wrote = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), gInterruptNote, gInterruptNoteLength, &wrote, nullptr);
        if (gConsole != INVALID_HANDLE_VALUE) {
            RestoreConsoleMode();
        }
    }
    return FALSE;
}

}  // namespace

void OsSetInterruptNote(std::string_view note)
{
    static const bool handled = SetConsoleCtrlHandler(SayInterrupted, TRUE) != 0;
    (void)handled;
    gInterruptNoteLength = static_cast<DWORD>(std::min(note.size(), sizeof gInterruptNote));
    note.copy(gInterruptNote, gInterruptNoteLength);
}

void OsSleep(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

// The record is kept in binary, so it reads the same on every system. Windows
// syncs no folder: the file's name is on the disk with its first sync.
int OsOpenRecord(const char* path, RecordUse use, int& fd)
{
    static constexpr int kUses[] = {_O_RDWR | _O_CREAT | _O_EXCL | _O_APPEND, _O_RDWR | _O_APPEND, _O_RDONLY};
    fd = _open(path, kUses[static_cast<int>(use)] | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    struct _stat64 status {};
    if (fd < 0) {
        // Windows opens no folder as a file, and says only that access is denied.
        const int error = errno;
        return error == EACCES && _stat64(path, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR
                                                                                                        : error;
    }
    int error = _fstat64(fd, &status) != 0               ? errno
                : (status.st_mode & _S_IFMT) == _S_IFREG ? 0
                : (status.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR
                                                         : kNotAFile;
    if (error != 0) {
        _close(fd);
        fd = -1;
    }
    return error;
}

// Windows enforces a lock on reads, so the lock covers one byte far beyond
// any record's end: a --replay can still read a game in play.
int OsLockRecord(int fd)
{
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED beyond{};
    beyond.OffsetHigh = 0x40000000;  // 2^62
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond)) {
        return 0;
    }
    switch (GetLastError()) {
    case ERROR_LOCK_VIOLATION:
    case ERROR_SHARING_VIOLATION: return EAGAIN;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return ENOLCK;
    default: return EIO;
    }
}

int OsReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    const int n = _read(fd, buffer, static_cast<unsigned>(std::min<size_t>(size, 1U << 30)));
    if (n < 0) {
        return errno;
    }
    got = static_cast<size_t>(n);
    return 0;
}

int OsCutRecord(int fd, long long length)
{
    return _chsize_s(fd, length);
}

int OsSyncRecord(int fd)
{
    return _commit(fd) == 0 ? 0 : errno;
}

void OsCloseRecord(int fd)
{
    _close(fd);
}
