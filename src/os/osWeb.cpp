// SPDX-License-Identifier: MIT
// The system's calls in a web page, where the game runs as WebAssembly beside
// a terminal emulator: its output goes to the page's terminal, the player's
// keys come from the page, and the record is a file of the page's in-memory
// file system that the page keeps in the browser's storage after every line.
// The page's half of each call is in web/page.js (Module.qirPage); the rest of
// the game names no system, as with the POSIX and Windows files beside this one.
#include <emscripten.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "os.h"

namespace {

constexpr int kNothingTyped = -2;   // PageTakeByte: the player has typed nothing yet
constexpr int kTerminalBehind = 2;  // PageShow: the terminal has much of the output still to show

// NOLINTBEGIN: the page's JavaScript, which the compiler only carries.
EM_JS(int, PageShow, (const char* data, int length), { return Module.qirPage.show(HEAPU8.slice(data, data + length)); })
EM_JS(int, PageTakeByte, (), { return Module.qirPage.takeByte(); })
EM_ASYNC_JS(void, PageAwaitTerminal, (), { await Module.qirPage.terminalCaughtUp(); })
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
int gLookedAt = kNothingTyped;  // a key InputWaiting took from the page, for the next read

// The game's word for what the system said, with its own words for the
// player, which the C library keeps for as long as the program runs.
OsStatus Said(int error)
{
    if (error == 0) {
        return {};
    }
    const OsResult result = error == EEXIST   ? OsResult::kExists
                            : error == ENOENT ? OsResult::kNotFound
                            : error == EISDIR ? OsResult::kFolder
                            : error == ENOSPC ? OsResult::kNoSpace
                                              : OsResult::kFailed;
    return {result, std::strerror(error)};
}

// The page's streams are always there.
void SetUpStreams(OsStatus& /*input*/, OsStatus& /*output*/)
{
}

// Only the record is written here, to a file in memory, where a write is
// done whole or not at all.
OsStatus Write(int fd, std::string_view text)
{
    errno = 0;
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return Said(errno != 0 ? errno : EIO);
    }
    return {};
}

// The terminal emulator knows the clearing sequence, so the output goes to it
// as it is. It shows what it is given bit by bit, and would drop output that
// piles up unshown: the game waits, its stack put aside, until the terminal
// has caught up.
OsStatus Show(std::string_view text)
{
    const int shown = PageShow(text.data(), static_cast<int>(text.size()));
    if (shown == kTerminalBehind) {
        PageAwaitTerminal();
    }
    return shown != 0 ? OsStatus{} : Said(EIO);
}

// The page shows the error output's lines on its terminal after the output
// before them.
void ShowError(std::string_view text)
{
    Write(2, text);
}

// Waits for the player's keys without holding up the page: the game's stack
// is put aside until the page has more to give.
int ReadByte(OsStatus& /*status*/)
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
bool IsTerminal(int fd)
{
    return PageIsTerminal(fd) != 0;
}

// The page's terminal shows colours.
bool ShowsColour()
{
    return PageIsTerminal(1) != 0;
}

// What the page's keyboard has given and the game has not read is one
// queue; a key taken from it to look is given to the next read.
bool InputWaiting()
{
    if (gLookedAt == kNothingTyped) {
        gLookedAt = PageTakeByte();
    }
    return gLookedAt != kNothingTyped;
}

// The page has no pager: the text is shown on its terminal.
bool Page(std::string_view /*text*/)
{
    return false;
}

// No key of the page interrupts the game.
void SetInterruptNote(std::string_view /*note*/)
{
}

// The page's terminal shows the output and echoes what the player types
// there, so both streams are that terminal.
bool ScreenSize(int /*fd*/, int& rows, int& columns)
{
    return PageScreenSize(&rows, &columns) != 0;
}

// The game's stack is put aside while the page goes on.
void Sleep(int milliseconds)
{
    emscripten_sleep(static_cast<unsigned>(milliseconds));
}

long long Clock()
{
    return static_cast<long long>(std::time(nullptr));
}

// The page hears of the end through the module's onExit.
void Exit(int status)
{
    std::exit(status);
}

// The record is a file the page put in memory, or a new one there, made at its
// name: a record that is written is kept by the page from its first sync on,
// so nothing of it reaches the browser's storage before its header.
OsStatus OpenRecord(const char* path, RecordUse use, int& fd)
{
    static constexpr int kUses[] = {O_RDWR | O_CREAT | O_EXCL | O_APPEND, O_RDWR | O_APPEND, O_RDONLY};
    fd = open(path, kUses[static_cast<int>(use)], 0644);
    if (fd < 0) {
        return Said(errno);
    }
    if (use != RecordUse::kShow) {
        gRecordPath = path;
    }
    return {};
}

OsStatus PlaceRecord(const char* /*path*/, int& /*fd*/)
{
    return {};
}

// The game's standard streams are the page's terminal, never a file.
bool SameFile(int /*fd*/, int /*stream*/)
{
    return false;
}

// The page takes the game's lock (the browser's Web Locks) before it starts
// the game, and says so itself when another tab holds it.
OsStatus LockRecord(int /*fd*/)
{
    return {};
}

OsStatus ReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    const ssize_t n = read(fd, buffer, size);
    if (n < 0) {
        return Said(errno);
    }
    got = static_cast<size_t>(n);
    return {};
}

OsStatus CutRecord(int fd, long long length)
{
    return Said(ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : errno);
}

// A record the browser will not keep (its storage is full or refused) is
// one the game cannot write.
OsStatus SyncRecord(int /*fd*/)
{
    return PageKeepRecord(gRecordPath.c_str()) != 0 ? OsStatus{} : Said(ENOSPC);
}

void CloseRecord(int fd)
{
    close(fd);
}

}  // namespace

const OsCalls kOsCalls = {
    .setUpStreams = SetUpStreams,
    .show = Show,
    .showError = ShowError,
    .readByte = ReadByte,
    .isTerminal = IsTerminal,
    .showsColour = ShowsColour,
    .inputWaiting = InputWaiting,
    .page = Page,
    .setInterruptNote = SetInterruptNote,
    .screenSize = ScreenSize,
    .sleep = Sleep,
    .clock = Clock,
    .exit = Exit,
    .openRecord = OpenRecord,
    .placeRecord = PlaceRecord,
    .sameFile = SameFile,
    .lockRecord = LockRecord,
    .write = Write,
    .readRecord = ReadRecord,
    .cutRecord = CutRecord,
    .syncRecord = SyncRecord,
    .closeRecord = CloseRecord,
};
