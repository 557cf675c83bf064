// SPDX-License-Identifier: MIT
// The calls into the system, made in osPosix.cpp, osWindows.cpp or osWeb.cpp
// (the game in a web page) as CMake chooses. Nothing else in the game names a
// system, and these files know nothing of the game. Each call returns 0 or an
// errno value where it can fail, unless it says otherwise.
#pragma once

#include <cstddef>
#include <string_view>

// What clears the screen: the output carries it before every board, unless
// screens are separated, and each system's OsShow clears its screen with it.
inline constexpr std::string_view kClearScreen = "\033[H\033[2J";

void OsSetUpStreams(int& inputError, int& outputError);  // notes a standard stream that cannot be used
int OsWrite(int fd, const char* data, size_t length);
int OsShow(std::string_view text);  // the game's output, cleared where it holds kClearScreen
int OsReadByte(int& error);         // the next byte typed, or EOF at the end of input or on an error
bool OsIsTerminal(int fd);          // a terminal (a console) shows what is written to fd, or echoes what is typed
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
// The record's file is opened once and then used through its descriptor.
enum class RecordUse {
    kCreate,    // a new file, read and appended to (--record); its folder is synced too
    kContinue,  // a record that exists, read, cut and appended to (--resume)
    kShow,      // a record that is only read (--replay)
};
constexpr int kNotAFile = -1;  // what OsOpenRecord returns for a pipe or a device: it is not read
int OsOpenRecord(const char* path, RecordUse use, int& fd);  // a regular file only; fd is -1 on failure
// An exclusive lock held until the program ends, which takes no lock from a
// reader; EAGAIN when another program holds it, ENOLCK where the file system
// cannot lock.
int OsLockRecord(int fd);
// One read of at most size bytes, on from where the last one ended; got is 0
// at the end of the file.
int OsReadRecord(int fd, char* buffer, size_t size, size_t& got);
int OsCutRecord(int fd, long long length);
int OsSyncRecord(int fd);  // what was written is on the disk when it returns 0
void OsCloseRecord(int fd);
