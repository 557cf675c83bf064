// SPDX-License-Identifier: MIT
// The system's calls on Linux and the other POSIX systems: the standard
// streams, the terminal and the record's file. The rest of the game names no
// system; Windows has its own file beside this one.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include "os.h"

void OsSetUpStreams(int& inputError, int& outputError)
{
    // A limit on the size of files (ulimit -f) would end the game by a
    // signal, without a word; ignored, it shows as a write that fails, which
    // the game reports with the file it could not write.
    std::signal(SIGXFSZ, SIG_IGN);
    // A descriptor closed by whoever started us would be handed to the next
    // file we open (a record), and the game would write its output there.
    // Fill it with the null device, and remember that it cannot be used.
    for (const int fd : {0, 1, 2}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd && null >= 0) {
            close(null);
        }
        if (fd == 0) {
            inputError = EBADF;
        } else if (fd == 1) {
            outputError = EBADF;
        }
    }
}

int OsWrite(int fd, const char* data, size_t length)
{
    for (size_t done = 0; done < length;) {
        const ssize_t n = write(fd, data + done, length - done);
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

int OsShow(std::string_view text)
{
    return OsWrite(1, text.data(), text.size());
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

bool OsScreenSize(int fd, int& rows, int& columns)
{
    rows = 0;
    columns = 0;
    if (isatty(fd) == 0) {
        return false;
    }
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0) {
        rows = size.ws_row;
        columns = size.ws_col;
    }
    return true;
}

bool OsIsTerminal(int fd)
{
    return isatty(fd) == 1;
}

bool OsShowsColour()
{
    const char* term = std::getenv("TERM");
    return isatty(1) == 1 && term != nullptr && *term != '\0';
}

// A terminal hands over one line per read, so once the game has read to the
// end of a line, what the standard input's buffer holds is at most the rest
// of that line; whatever else was typed is still the terminal's.
bool OsInputWaiting()
{
    pollfd input{0, POLLIN, 0};
    return poll(&input, 1, 0) > 0;
}

namespace {

// The pager as a child reading the text from a pipe: PAGER through the
// shell, which may give it options, or else less, told (as git tells it) to
// leave a text shorter than the screen on it at once. 0 once it has ended,
// or why it could not start.
int RunPager(std::string_view text)
{
    const char* pager = std::getenv("PAGER");
    std::vector<char*> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        variables.push_back(*v);
    }
    std::string less = "LESS=FRX";
    if (std::getenv("LESS") == nullptr) {
        variables.push_back(less.data());
    }
    variables.push_back(nullptr);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return errno;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string command = pager != nullptr ? pager : "less";
    char* viaShell[] = {shell.data(), dashC.data(), command.data(), nullptr};
    char* direct[] = {command.data(), nullptr};
    pid_t child = 0;
    int error = pager != nullptr ? posix_spawn(&child, "/bin/sh", &actions, nullptr, viaShell, variables.data())
                                 : posix_spawnp(&child, "less", &actions, nullptr, direct, variables.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (error == 0) {
        // The player may leave the pager before its end, and Ctrl-C there is the pager's.
        struct sigaction ignore {};
        struct sigaction pipeBefore {};
        struct sigaction interruptBefore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &pipeBefore);
        sigaction(SIGINT, &ignore, &interruptBefore);
        OsWrite(pipeEnds[1], text.data(), text.size());
        close(pipeEnds[1]);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        sigaction(SIGPIPE, &pipeBefore, nullptr);
        sigaction(SIGINT, &interruptBefore, nullptr);
        // The shell's word for a command it could not find or run.
        constexpr int kCannotRun = 127;
        error = WIFEXITED(status) && WEXITSTATUS(status) == kCannotRun ? ENOENT : 0;
    } else {
        close(pipeEnds[1]);
    }
    return error;
}

// What the interrupt handler says: made before, so that the handler only writes.
char gInterruptNote[1024];
volatile std::sig_atomic_t gInterruptNoteLength = 0;

void SayInterrupted(int signal)
{
    (void)!write(2, gInterruptNote, static_cast<size_t>(gInterruptNoteLength));
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

// An empty PAGER asks for none.
bool OsPage(std::string_view text)
{
    const char* pager = std::getenv("PAGER");
    return (pager == nullptr || *pager != '\0') && RunPager(text) == 0;
}

void OsSetInterruptNote(std::string_view note)
{
    static const bool handled = [] {
        struct sigaction say {};
        say.sa_handler = SayInterrupted;
        sigemptyset(&say.sa_mask);
        return sigaction(SIGINT, &say, nullptr) == 0;
    }();
    (void)handled;
    gInterruptNoteLength = 0;
    const size_t length = std::min(note.size(), sizeof gInterruptNote);
    note.copy(gInterruptNote, length);
    gInterruptNoteLength = static_cast<std::sig_atomic_t>(length);
}

void OsSleep(int milliseconds)
{
    timespec left{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {

// A new record's name must be on the disk as well as its lines: its folder is
// synced once. A file system that cannot sync a folder says EINVAL; its
// lines are still synced one by one.
int SyncFolder(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const std::string folder = slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    close(fd);
    return error;
}

// Why a file that opened is no record to read: a folder, a pipe or a device
// (a pipe opens without a writer thanks to O_NONBLOCK, and is never read).
int NotARegularFile(int fd)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return errno;
    }
    return S_ISREG(status.st_mode) ? 0 : S_ISDIR(status.st_mode) ? EISDIR : kNotAFile;
}

}  // namespace

int OsOpenRecord(const char* path, RecordUse use, int& fd)
{
    static constexpr int kUses[] = {O_RDWR | O_CREAT | O_EXCL | O_APPEND, O_RDWR | O_APPEND, O_RDONLY};
    fd = open(path, kUses[static_cast<int>(use)] | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno;
    }
    int error = NotARegularFile(fd);
    if (error == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error == 0 && use == RecordUse::kCreate && (error = SyncFolder(path)) != 0) {
        unlink(path);  // empty and ours: a second try must not find it in the way
    }
    if (error != 0) {
        close(fd);
        fd = -1;
    }
    return error;
}

int OsLockRecord(int fd)
{
    struct flock whole {};  // from the start to any end the file will ever have
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &whole) == 0) {
        return 0;
    }
    return errno == EACCES ? EAGAIN : errno;
}

int OsReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    ssize_t n = 0;
    while ((n = read(fd, buffer, size)) < 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    got = static_cast<size_t>(n);
    return 0;
}

int OsCutRecord(int fd, long long length)
{
    return ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : errno;
}

int OsSyncRecord(int fd)
{
    while (fdatasync(fd) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

void OsCloseRecord(int fd)
{
    close(fd);
}
