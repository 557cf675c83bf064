// SPDX-License-Identifier: MIT
// The game's calls into the system, handed to the table in use: the one this
// system's file fills, or one a test installs to play whole games in its own
// process with answers, a screen, a clock and faults of its choosing.
#include <cstdlib>
#include <utility>

#include "os.h"

namespace {

const OsCalls* gCalls = &kOsCalls;
void (*gCleanup)() = nullptr;  // what runs before the program ends

}  // namespace

void OsUseCalls(const OsCalls& calls)
{
    gCalls = &calls;
}

void OsSetUpStreams(OsStatus& input, OsStatus& output)
{
    gCalls->setUpStreams(input, output);
}

OsStatus OsShow(std::string_view text)
{
    return gCalls->show(text);
}

void OsShowError(std::string_view text)
{
    gCalls->showError(text);
}

int OsReadByte(OsStatus& status)
{
    return gCalls->readByte(status);
}

bool OsIsTerminal(int fd)
{
    return gCalls->isTerminal(fd);
}

bool OsShowsColour()
{
    return gCalls->showsColour();
}

bool OsInputWaiting()
{
    return gCalls->inputWaiting();
}

bool OsPage(std::string_view text)
{
    return gCalls->page(text);
}

void OsSetInterruptNote(std::string_view note)
{
    gCalls->setInterruptNote(note);
}

bool OsScreenSize(int fd, int& rows, int& columns)
{
    return gCalls->screenSize(fd, rows, columns);
}

void OsSleep(int milliseconds)
{
    gCalls->sleep(milliseconds);
}

long long OsClock()
{
    return gCalls->clock();
}

void OsBeforeExit(void (*cleanup)())
{
    gCleanup = cleanup;
}

// The cleanup runs once, even when it ends the program itself.
void OsExit(int status)
{
    if (void (*cleanup)() = std::exchange(gCleanup, nullptr)) {
        cleanup();
    }
    gCalls->exit(status);
    std::abort();  // a table whose exit returns is broken
}

OsStatus OsOpenRecord(const char* path, RecordUse use, int& fd)
{
    return gCalls->openRecord(path, use, fd);
}

OsStatus OsPlaceRecord(const char* path, int& fd)
{
    return gCalls->placeRecord(path, fd);
}

bool OsSameFile(int fd, int stream)
{
    return gCalls->sameFile(fd, stream);
}

OsStatus OsLockRecord(int fd)
{
    return gCalls->lockRecord(fd);
}

OsStatus OsWrite(int fd, std::string_view text)
{
    return gCalls->write(fd, text);
}

OsStatus OsReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    return gCalls->readRecord(fd, buffer, size, got);
}

OsStatus OsCutRecord(int fd, long long length)
{
    return gCalls->cutRecord(fd, length);
}

OsStatus OsSyncRecord(int fd)
{
    return gCalls->syncRecord(fd);
}

void OsCloseRecord(int fd)
{
    gCalls->closeRecord(fd);
}
