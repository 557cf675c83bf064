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

#include "qir.h"

namespace {

constexpr int kNothingTyped = -2;  // PageTakeByte: the player has typed nothing yet

// NOLINTBEGIN: the page's JavaScript, which the compiler only carries.
EM_JS(int, PageShow, (const char* data, int length), { return Module.qirPage.show(HEAPU8.slice(data, data + length)); })
EM_JS(int, PageTakeByte, (), { return Module.qirPage.takeByte(); })
EM_ASYNC_JS(void, PageAwaitKeys, (), { await Module.qirPage.keysTyped(); })
EM_JS(int, PageKeepRecord, (const char* path), { return Module.qirPage.keepRecord(UTF8ToString(path)); })
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

int gRecord = -1;         // the record's descriptor, once created or reopened
std::string gRecordPath;  // and its file, which the page keeps

// Has the page keep the record just opened as fd. A record the browser will
// not keep (its storage is full or refused) is one the game cannot write:
// -1 with errno set, as for a file that cannot be opened.
int KeptByPage(int fd)
{
    if (fd >= 0 && PageKeepRecord(gRecordPath.c_str()) == 0) {
        close(fd);
        errno = ENOSPC;
        return -1;
    }
    gRecord = fd;
    return fd;
}

}  // namespace

// The page's streams are always there.
void OsSetUpStreams(int& /*inputError*/, int& /*outputError*/)
{
}

// Only the record is written here, to a file in memory, where a write is
// done whole or not at all; the page then keeps the file.
int OsWrite(int fd, const char* data, size_t length)
{
    errno = 0;
    if (write(fd, data, length) != static_cast<ssize_t>(length)) {
        return errno != 0 ? errno : EIO;
    }
    if (fd == gRecord && PageKeepRecord(gRecordPath.c_str()) == 0) {
        return ENOSPC;
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
    for (;;) {
        const int c = PageTakeByte();
        if (c != kNothingTyped) {
            return c;
        }
        PageAwaitKeys();
    }
}

int OsCreateRecord(const char* path)
{
    gRecordPath = path;
    return KeptByPage(open(path, O_WRONLY | O_CREAT | O_EXCL | O_APPEND, 0644));
}

int OsReopenRecord(const char* path, long long length)
{
    if (length >= 0 && truncate(path, static_cast<off_t>(length)) != 0) {
        return -1;
    }
    gRecordPath = path;
    return KeptByPage(open(path, O_WRONLY | O_APPEND));
}

// The page's terminal shows the output and echoes what the player types
// there, so both streams are that terminal.
bool OsScreenSize(int /*fd*/, int& rows, int& columns)
{
    return PageScreenSize(&rows, &columns) != 0;
}
