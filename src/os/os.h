// SPDX-License-Identifier: MIT
// The calls into the system. Each system fills one table of them, in
// osPosix.cpp, osWindows.cpp or osWeb.cpp (the game in a web page) as CMake
// chooses, and os.cpp hands the game's calls to the table in use: the
// system's own, or one a test installs to script the system. Nothing else in
// the game names a system, and these files know nothing of the game.
#pragma once

#include <cstddef>
#include <string_view>

// What clears the screen: the output carries it before every board, unless
// screens are separated, and each system's OsShow clears its screen with it.
inline constexpr std::string_view kClearScreen = "\033[H\033[2J";
// How every record begins: its first line is these words and its format. The
// systems know it only to tell a leftover record in the making from any other file.
inline constexpr std::string_view kRecordMagic = "Qir record ";

// What a call that can fail came to, in the game's own words. The game's
// rules have no such results: only the dialogue and the record act on them.
enum class OsResult {
    kDone,        // it did what it was asked
    kInUse,       // another program holds the record's lock
    kCannotLock,  // the record's file system cannot lock a file
    kNotAFile,    // a pipe or a device: nothing a record is read from
    kFolder,      // a folder, where a file was asked for
    kExists,      // a file of that name is there already
    kNotFound,    // no file or folder of that name
    kNoSpace,     // the disk is full, or the file may grow no larger
    kClosed,      // a standard stream that whoever started the game closed
    kFailed,      // anything else the system refused
};
struct OsStatus {
    OsResult result = OsResult::kDone;
    const char* message = "";  // the system's own words for the player, kept as long as the program runs
};
inline bool OsFailed(const OsStatus& status)
{
    return status.result != OsResult::kDone;
}

// The record's file is opened once and then used through its descriptor.
enum class RecordUse {
    kCreate,    // a new file, read and appended to (--record), nameless until OsPlaceRecord
    kContinue,  // a record that exists, read, cut and appended to (--resume)
    kShow,      // a record that is only read (--replay)
};

// The table each system fills; each call is described at its wrapper below.
struct OsCalls {
    void (*setUpStreams)(OsStatus& input, OsStatus& output);
    OsStatus (*show)(std::string_view text);
    void (*showError)(std::string_view text);
    int (*readByte)(OsStatus& status);
    bool (*isTerminal)(int fd);
    bool (*showsColour)();
    bool (*inputWaiting)();
    bool (*page)(std::string_view text);
    void (*setInterruptNote)(std::string_view note);
    bool (*screenSize)(int fd, int& rows, int& columns);
    void (*sleep)(int milliseconds);
    long long (*clock)();
    void (*exit)(int status);  // never returns, unless a test's table throws
    OsStatus (*openRecord)(const char* path, RecordUse use, int& fd);
    OsStatus (*placeRecord)(const char* path, int& fd);
    bool (*sameFile)(int fd, int stream);
    OsStatus (*lockRecord)(int fd);
    OsStatus (*write)(int fd, std::string_view text);
    OsStatus (*readRecord)(int fd, char* buffer, size_t size, size_t& got);
    OsStatus (*cutRecord)(int fd, long long length);
    OsStatus (*syncRecord)(int fd);
    void (*closeRecord)(int fd);
};
extern const OsCalls kOsCalls;  // this system's own, filled by its file
// The tests' way in: the calls go to `calls` from now on (kOsCalls gives the
// system's own back).
void OsUseCalls(const OsCalls& calls);

// Notes a standard stream that cannot be used (kClosed).
void OsSetUpStreams(OsStatus& input, OsStatus& output);
OsStatus OsShow(std::string_view text);   // the game's output, cleared where it holds kClearScreen
void OsShowError(std::string_view text);  // a message on the error output; nothing is said when it fails
// The next byte typed, or EOF at the end of input or on a failure, which
// `status` then says.
int OsReadByte(OsStatus& status);
bool OsIsTerminal(int fd);  // a terminal (a console) shows what is written to fd, or echoes what is typed
// Whether the game's output goes to a terminal that shows the terminal's
// colour sequences: one with a TERM, or a console that reads the sequences.
bool OsShowsColour();
// Whether more typed input is already waiting to be read: typed ahead or
// pasted on the keyboard's terminal, beyond the line being read.
bool OsInputWaiting();
// Shows text through the player's pager (PAGER, or else less) and returns
// once the player has left it; false when no pager could be started, so the
// text is still to be shown.
bool OsPage(std::string_view text);
// What is said on stderr when the player interrupts the game (Ctrl-C) from
// now on; empty: nothing. The program then ends as an interrupt ends it.
void OsSetInterruptNote(std::string_view note);
// Whether fd is a terminal, and the rows and columns of the window it shows,
// or 0 when it shows none or cannot tell.
bool OsScreenSize(int fd, int& rows, int& columns);
void OsSleep(int milliseconds);
long long OsClock();  // the calendar time, in seconds
// What the program does before it ends, whichever way it ends: at most one
// cleanup, null for none.
void OsBeforeExit(void (*cleanup)());
[[noreturn]] void OsExit(int status);  // runs the cleanup, then ends the program with this status
// A regular file only: a pipe or a device is kNotAFile, a folder kFolder. fd
// is -1 on failure.
OsStatus OsOpenRecord(const char* path, RecordUse use, int& fd);
// A new record, its header written and synced, takes its name, which it never
// takes from another file (kExists), and the name is synced to the disk.
// Until then no other program can open it, and OsCloseRecord leaves nothing
// of it behind. fd may change.
OsStatus OsPlaceRecord(const char* path, int& fd);
// Whether fd is the very file of the standard stream `stream` (0, 1 or 2);
// false when either cannot tell.
bool OsSameFile(int fd, int stream);
// An exclusive lock held until the program ends, which takes no lock from a
// reader: kInUse when another program holds it, kCannotLock where the file
// system cannot lock.
OsStatus OsLockRecord(int fd);
OsStatus OsWrite(int fd, std::string_view text);  // all of it, to the record or a standard stream
// One read of at most size bytes, on from where the last one ended; got is 0
// at the end of the file.
OsStatus OsReadRecord(int fd, char* buffer, size_t size, size_t& got);
OsStatus OsCutRecord(int fd, long long length);
OsStatus OsSyncRecord(int fd);  // what was written is on the disk when it is done
void OsCloseRecord(int fd);
