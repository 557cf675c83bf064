// SPDX-License-Identifier: MIT
// What the file system does to a record, for the tests: preloaded into the
// real game (LD_PRELOAD), this library stands between the game and the
// system's calls on its files (descriptors above 2) and, as the environment
// asks,
//   QIR_FAULT_READ_AFTER=N  fails every read with EIO once N bytes were read,
//                           as a disk that fails part way through a file;
//   QIR_FAULT_NO_LOCKS=1    refuses every lock with ENOLCK, as a file system
//                           that cannot lock;
//   QIR_FAULT_WRITE_ERRNO=N fails every write with the error number N (such
//                           as ENOSPC for a full disk, or EIO);
//   QIR_FAULT_SYNC_ERRNO=N  fails every data sync with the error number N;
//   QIR_FAULT_SPARE=K       lets the first K writes and the first K data syncs
//                           through before those two faults begin;
//   QIR_FAULT_NO_TMPFILE=1  refuses unnamed files (O_TMPFILE), as many file
//                           systems do;
//   QIR_FAULT_NO_RENAME=1   refuses a rename that must not replace a file
//                           (renameat2), as some file systems do;
//   QIR_FAULT_NO_LINKS=1    refuses every hard link, as FAT does;
//   QIR_FAULT_SLOW_LINK=MS  waits MS milliseconds before each link or rename,
//                           when a record in the making takes its name;
//   QIR_FAULT_SLOW_FOLDER_SYNC=MS
//                           waits MS milliseconds before each sync of a folder;
//   QIR_FAULT_LOG=FILE      writes to FILE, when the game ends, one letter for
//                           each write (w), data sync (s), sync (f) and cut (c).
// The checked wrappers of the C library's headers would define read() here first.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>

namespace {

template <typename Function>
Function* Real(const char* name)
{
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

long long Setting(const char* name, long long unset)
{
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoll(text) : unset;
}

void Wait(const char* setting)
{
    const long long ms = Setting(setting, 0);
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (ms > 0 && nanosleep(&left, &left) != 0) {
    }
}

// Fails the call with `error` when `setting` is set: true if it did.
bool Refused(const char* setting, int error)
{
    if (Setting(setting, 0) == 0) {
        return false;
    }
    errno = error;
    return true;
}

std::string gEvents;    // the letters of QIR_FAULT_LOG
long long gRead = 0;    // bytes read from the game's files so far
long long gWrites = 0;  // writes to them so far
long long gSyncs = 0;   // data syncs of them so far

// Whether the fault of `setting` fails this call, the `made`-th of its kind.
bool Faulted(const char* setting, long long made)
{
    return made > Setting("QIR_FAULT_SPARE", 0) && Refused(setting, static_cast<int>(Setting(setting, 0)));
}

void Note(int fd, char event)
{
    if (fd > 2) {
        gEvents += event;
    }
}

// fcntl() under either of the names the C library gives it.
int Control(const char* name, int fd, int cmd, void* arg)
{
    if ((cmd == F_SETLK || cmd == F_SETLKW) && Setting("QIR_FAULT_NO_LOCKS", 0) != 0) {
        errno = ENOLCK;
        return -1;
    }
    return Real<int(int, int, ...)>(name)(fd, cmd, arg);
}

__attribute__((destructor)) void WriteLog()
{
    const char* path = std::getenv("QIR_FAULT_LOG");
    if (path == nullptr) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)!Real<ssize_t(int, const void*, size_t)>("write")(fd, gEvents.data(), gEvents.size());
        close(fd);
    }
}

}  // namespace

// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name): the C library's own names are reserved
extern "C" {

ssize_t read(int fd, void* buf, size_t count)
{
    const long long limit = fd > 2 ? Setting("QIR_FAULT_READ_AFTER", -1) : -1;
    if (limit >= 0) {
        if (gRead >= limit) {
            errno = EIO;
            return -1;
        }
        count = std::min<size_t>(count, static_cast<size_t>(limit - gRead));
    }
    const ssize_t n = Real<ssize_t(int, void*, size_t)>("read")(fd, buf, count);
    gRead += fd > 2 && n > 0 ? n : 0;
    return n;
}

ssize_t write(int fd, const void* buf, size_t count)
{
    Note(fd, 'w');
    if (fd > 2 && Faulted("QIR_FAULT_WRITE_ERRNO", ++gWrites)) {
        return -1;
    }
    return Real<ssize_t(int, const void*, size_t)>("write")(fd, buf, count);
}

int fdatasync(int fd)
{
    Note(fd, 's');
    if (fd > 2 && Faulted("QIR_FAULT_SYNC_ERRNO", ++gSyncs)) {
        return -1;
    }
    return Real<int(int)>("fdatasync")(fd);
}

int fsync(int fd)
{
    Note(fd, 'f');
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        Wait("QIR_FAULT_SLOW_FOLDER_SYNC");
    }
    return Real<int(int)>("fsync")(fd);
}

// The mode is there when the flags make or name a new file.
int open(const char* path, int flags, ...)
{
    std::va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    if ((flags & O_TMPFILE) == O_TMPFILE && Refused("QIR_FAULT_NO_TMPFILE", EOPNOTSUPP)) {
        return -1;
    }
    return Real<int(const char*, int, ...)>("open")(path, flags, mode);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    Wait("QIR_FAULT_SLOW_LINK");
    if (Refused("QIR_FAULT_NO_RENAME", EINVAL)) {
        return -1;
    }
    return Real<int(int, const char*, int, const char*, unsigned int)>("renameat2")(fromFolder, from, toFolder, to,
                                                                                    flags);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    Wait("QIR_FAULT_SLOW_LINK");
    if (Refused("QIR_FAULT_NO_LINKS", EPERM)) {
        return -1;
    }
    return Real<int(int, const char*, int, const char*, int)>("linkat")(fromFolder, from, toFolder, to, flags);
}

int link(const char* from, const char* to)
{
    Wait("QIR_FAULT_SLOW_LINK");
    if (Refused("QIR_FAULT_NO_LINKS", EPERM)) {
        return -1;
    }
    return Real<int(const char*, const char*)>("link")(from, to);
}

int ftruncate(int fd, off_t length)
{
    Note(fd, 'c');
    return Real<int(int, off_t)>("ftruncate")(fd, length);
}

// The third argument, when the command takes one, is a pointer or an int:
// passed on as a pointer-sized word either way.
int fcntl(int fd, int cmd, ...)
{
    std::va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Control("fcntl", fd, cmd, arg);
}

int fcntl64(int fd, int cmd, ...)
{
    std::va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Control("fcntl64", fd, cmd, arg);
}
}
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
