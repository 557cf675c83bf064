// SPDX-License-Identifier: MIT
// The system's calls in a web page, where the game runs as WebAssembly beside
// a terminal emulator: its output goes to the page's terminal, the player's
// keys come from the page, and the record is a file of the page's in-memory
// file system that the page keeps in the browser's storage after every line.
// The page's half of each call is in web/page.js (Module.qirPage); the rest of
// the game names no system, as with the POSIX and Windows files beside this one.
#include <emscripten.h>

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "os.h"

namespace {

constexpr int kNothingTyped = -2;  // PageTakeByte: the player has typed nothing yet

// NOLINTBEGIN: the page's JavaScript, which the compiler only carries.
EM_JS(int, PageShow, (const char* data, int length), { return Module.qirPage.show(HEAPU8.slice(data, data + length)); })
EM_JS(int, PageTakeByte, (), { return Module.qirPage.takeByte(); })
EM_ASYNC_JS(void, PageAwaitKeys, (), { await Module.qirPage.keysTyped(); })
EM_JS(int, PageKeepRecord, (const char* path), { return Module.qirPage.keepRecord(UTF8ToString(path)); })
EM_JS(int, PageIsTerminal, (int fd), { return Module.qirPage.isTerminal(fd); })
EM_JS(int, PageScreenSize, (int* rows, int* columns), {
    const size = Module.qirPage.screenSize();
    if (!size) {
        return 0;
    }
    HEAP32[rows >> 2] = size.rows;
    HEAP32[columns >> 2] = size.columns;
    return 1;
})
// NOLINTEND

std::string gRecordPath;        // the record being written, which the page keeps
int gLookedAt = kNothingTyped;  // a key OsInputWaiting took from the page, for the next read

}  // namespace

// The page's streams are always there.
void OsSetUpStreams(int& /*inputError*/, int& /*outputError*/)
{
}

// Only the record is written here, to a file in memory, where a write is
// done whole or not at all.
int OsWrite(int fd, const char* data, size_t length)
{
    errno = 0;
    if (write(fd, data, length) != static_cast<ssize_t>(length)) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

// The terminal emulator knows the clearing sequence, so the output goes to it
// as it is.
int OsShow(std::string_view text)
{
    return PageShow(text.data(), static_cast<int>(text.size())) != 0 ? 0 : EIO;
}

// Waits for the player's keys without holding up the page: the game's stack
// is put aside until the page has more to give.
int OsReadByte(int& /*error*/)
{
    if (gLookedAt != kNothingTyped) {
        const int c = gLookedAt;
        gLookedAt = kNothingTyped;
        return c;
    }
    for (;;) {
        const int c = PageTakeByte();
        if (c != kNothingTyped) {
            return c;
        }
        PageAwaitKeys();
    }
}

// The page's terminal is both the game's output and its keyboard, unless a
// check drives the game as a pipe would.
bool OsIsTerminal(int fd)
{
    return PageIsTerminal(fd) != 0;
}

// The page's terminal shows colours.
bool OsShowsColour()
{
    return PageIsTerminal(1) != 0;
}

// What the page's keyboard has given and the game has not read is one
// queue; a key taken from it to look is given to the next read.
bool OsInputWaiting()
{
    if (gLookedAt == kNothingTyped) {
        gLookedAt = PageTakeByte();
    }
    return gLookedAt != kNothingTyped;
}

// The page has no pager: the text is shown on its terminal.
bool OsPage(std::string_view /*text*/)
{
    return false;
}

// No key of the page interrupts the game.
void OsSetInterruptNote(std::string_view /*note*/)
{
}

// The game's stack is put aside while the page goes on.
void OsSleep(int milliseconds)
{
    emscripten_sleep(static_cast<unsigned>(milliseconds));
}

// The record is a file the page put in memory, or a new one there; a record
// that is written is kept by the page from its first sync on.
int OsOpenRecord(const char* path, RecordUse use, int& fd)
{
    static constexpr int kUses[] = {O_RDWR | O_CREAT | O_EXCL | O_APPEND, O_RDWR | O_APPEND, O_RDONLY};
    fd = open(path, kUses[static_cast<int>(use)], 0644);
    if (fd < 0) {
        return errno;
    }
    if (use != RecordUse::kShow) {
        gRecordPath = path;
    }
    return 0;
}

// The page takes the game's lock (the browser's Web Locks) before it starts
// the game, and says so itself when another tab holds it.
int OsLockRecord(int /*fd*/)
{
    return 0;
}

int OsReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    const ssize_t n = read(fd, buffer, size);
    if (n < 0) {
        return errno;
    }
    got = static_cast<size_t>(n);
    return 0;
}

int OsCutRecord(int fd, long long length)
{
    return ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : errno;
}

// A record the browser will not keep (its storage is full or refused) is
// one the game cannot write.
int OsSyncRecord(int /*fd*/)
{
    return PageKeepRecord(gRecordPath.c_str()) != 0 ? 0 : ENOSPC;
}

void OsCloseRecord(int fd)
{
    close(fd);
}

// The page's terminal shows the output and echoes what the player types
// there, so both streams are that terminal.
bool OsScreenSize(int /*fd*/, int& rows, int& columns)
{
    return PageScreenSize(&rows, &columns) != 0;
}
