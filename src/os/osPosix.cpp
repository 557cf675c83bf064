// SPDX-License-Identifier: MIT
// The system's calls on Linux and the other POSIX systems: the standard
// streams, the terminal and the record's file. The rest of the game names no
// system; Windows has its own file beside this one.
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include "os.h"

namespace {

// The game's word for what the system said.
OsResult ResultOf(int error)
{
    switch (error) {
    case 0: return OsResult::kDone;
    case EEXIST: return OsResult::kExists;
    case ENOENT: return OsResult::kNotFound;
    case EISDIR: return OsResult::kFolder;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return OsResult::kNoSpace;
    case EBADF: return OsResult::kClosed;
    default: return OsResult::kFailed;
    }
}

// What the system said, with its own words for the player: the C library
// keeps those of every error the system knows for as long as the program runs.
OsStatus Said(int error)
{
    return error == 0 ? OsStatus{} : OsStatus{ResultOf(error), std::strerror(error)};
}

void SetUpStreams(OsStatus& input, OsStatus& output)
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
            input = Said(EBADF);
        } else if (fd == 1) {
            output = Said(EBADF);
        }
    }
}

// Writes all of it: 0, or the errno value of why not.
int WriteAll(int fd, const char* data, size_t length)
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

OsStatus Write(int fd, std::string_view text)
{
    return Said(WriteAll(fd, text.data(), text.size()));
}

OsStatus Show(std::string_view text)
{
    return Write(1, text);
}

void ShowError(std::string_view text)
{
    WriteAll(2, text.data(), text.size());
}

// The game reads its answers alone, in one thread, so the C library need
// not lock the input for each byte.
int ReadByte(OsStatus& status)
{
    errno = 0;
    const int c = getc_unlocked(stdin);
    if (c == EOF && std::ferror(stdin)) {
        status = Said(errno != 0 ? errno : EIO);
    }
    return c;
}

bool ScreenSize(int fd, int& rows, int& columns)
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

bool IsTerminal(int fd)
{
    return isatty(fd) == 1;
}

bool ShowsColour()
{
    const char* term = std::getenv("TERM");
    return isatty(1) == 1 && term != nullptr && *term != '\0';
}

// A terminal hands over one line per read, so once the game has read to the
// end of a line, what the standard input's buffer holds is at most the rest
// of that line; whatever else was typed is still the terminal's.
bool InputWaiting()
{
    pollfd input{0, POLLIN, 0};
    return poll(&input, 1, 0) > 0;
}

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
        WriteAll(pipeEnds[1], text.data(), text.size());
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

// An empty PAGER asks for none.
bool Page(std::string_view text)
{
    const char* pager = std::getenv("PAGER");
    return (pager == nullptr || *pager != '\0') && RunPager(text) == 0;
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

void SetInterruptNote(std::string_view note)
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

void Sleep(int milliseconds)
{
    timespec left{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

long long Clock()
{
    return static_cast<long long>(std::time(nullptr));
}

void Exit(int status)
{
    std::exit(status);
}

// How a new record is made until it takes its name.
enum class Making {
    kNothing,    // no record is being made, or it has its name
    kUnnamed,    // a file without a name in the record's folder (O_TMPFILE)
    kTemporary,  // a file of a temporary name there, on a file system without unnamed files
};
// A record in the making is named this and six characters: a --record
// finds a temporary file that a killed qir left behind by that name.
constexpr std::string_view kTemporaryStem = ".qir-new-";
constexpr off_t kLongestHeader = 4096;  // no file larger was ever a record in the making

Making gMaking = Making::kNothing;
int gMadeFd = -1;        // the descriptor of the record in the making
std::string gTemporary;  // its path, while it is kTemporary

std::string FolderOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
}

// A new record's name must be on the disk as well as its lines: its folder is
// synced once. A file system that cannot sync a folder says EINVAL; its
// lines are still synced one by one.
int SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    close(fd);
    return error;
}

// An exclusive lock on the whole file: 0, EAGAIN when another program holds
// it, ENOLCK where the file system cannot lock, or why else not.
int LockFile(int fd)
{
    struct flock whole {};  // from the start to any end the file will ever have
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &whole) == 0) {
        return 0;
    }
    return errno == EACCES ? EAGAIN : errno;
}

int SyncData(int fd)
{
    while (fdatasync(fd) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

// Why a file that opened is no record to read: a folder, a pipe or a device
// (a pipe opens without a writer thanks to O_NONBLOCK, and is never read).
OsStatus NotARegularFile(int fd)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return Said(errno);
    }
    return S_ISREG(status.st_mode)   ? OsStatus{}
           : S_ISDIR(status.st_mode) ? Said(EISDIR)
                                     : OsStatus{OsResult::kNotAFile, ""};
}

// Whether the name `path` still stands for the open file fd.
bool StillNamed(int fd, const std::string& path)
{
    struct stat open {};
    struct stat named {};
    return fstat(fd, &open) == 0 && lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// Whether fd, open at `path`, is a record in the making that nobody makes any
// more: a file of ours that holds no more than the beginning of a record, and
// whose lock can be taken.
bool Abandoned(int fd, const std::string& path)
{
    struct stat status {};
    std::array<char, kRecordMagic.size()> start{};
    const ssize_t n = read(fd, start.data(), start.size());
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
           status.st_size <= kLongestHeader && n >= 0 &&
           kRecordMagic.starts_with(std::string_view(start.data(), static_cast<size_t>(n))) && LockFile(fd) == 0 &&
           StillNamed(fd, path);
}

// A temporary file that a killed qir left in the folder is removed, once its
// lock can be taken: one that a qir still makes is locked, and stays. Nothing
// but such a file is ever removed.
void RemoveLeftovers(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        const std::string path = folder + "/" + std::string(name);
        struct stat status {};
        if (!name.starts_with(kTemporaryStem) || name.size() != kTemporaryStem.size() + 6 ||
            lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            continue;  // a device is not even opened
        }
        const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0 && Abandoned(fd, path)) {
            unlink(path.c_str());
        }
        if (fd >= 0) {
            close(fd);
        }
    }
    closedir(dir);
}

// Closes a temporary file that is no record, and removes it.
int Discard(const std::string& path, int fd, int error)
{
    unlink(path.c_str());
    close(fd);
    return error;
}

// A temporary file in the folder, locked before anyone else can take it: one
// that a qir cleaning the folder took in the instant between its making and
// its lock is left to that qir, and another is made.
int MakeTemporary(const std::string& folder, int& fd)
{
    const mode_t mask = umask(0);
    umask(mask);
    for (int tries = 0; tries < 100; ++tries) {
        std::string path = folder + "/" + std::string(kTemporaryStem) + "XXXXXX";
        fd = mkostemp(path.data(), O_APPEND | O_CLOEXEC);
        if (fd < 0) {
            return errno;
        }
        const int error = LockFile(fd);
        if ((error == 0 || error == ENOLCK) && StillNamed(fd, path)) {
            gTemporary = path;
            return fchmod(fd, 0644 & ~mask) == 0 ? 0 : Discard(path, fd, errno);
        }
        if (error != EAGAIN && error != 0 && error != ENOLCK) {
            return Discard(path, fd, error);
        }
        close(fd);
    }
    return EAGAIN;
}

// A new record is made where its name will be, but without that name: a
// --resume that starts meanwhile finds no file rather than an empty one.
int MakeRecord(const char* path, int& fd)
{
    struct stat status {};
    if (lstat(path, &status) == 0) {
        return EEXIST;  // said at once; only OsPlaceRecord takes the name
    }
    const std::string folder = FolderOf(path);
    RemoveLeftovers(folder);
    int error = 0;
#ifdef O_TMPFILE
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_APPEND | O_CLOEXEC, 0644);
    gMaking = Making::kUnnamed;
    error = fd >= 0 ? 0 : errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL)  // none on this file system or system
#endif
    {
        gMaking = Making::kTemporary;
        error = MakeTemporary(folder, fd);
    }
    // A descriptor already closed is never handed back: closing it again
    // could close another file that took its number.
    fd = error == 0 ? fd : -1;
    gMadeFd = fd;
    gMaking = error == 0 ? gMaking : Making::kNothing;
    return error;
}

// What a file system says to a link or a rename that it cannot do.
bool CannotLink(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS || error == ENOENT;
}

// The record in the making takes its name, which no other file may hold.
int LinkRecord(const char* path, int fd)
{
    if (gMaking == Making::kUnnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    int error = EINVAL;
#ifdef RENAME_NOREPLACE
    error = renameat2(AT_FDCWD, gTemporary.c_str(), AT_FDCWD, path, RENAME_NOREPLACE) == 0 ? 0 : errno;
#endif
    if (CannotLink(error)) {
        error = link(gTemporary.c_str(), path) == 0 ? 0 : errno;
        if (error == 0) {
            unlink(gTemporary.c_str());
        }
    }
    return error;
}

// A record still in the making goes with its descriptor: an unnamed file by
// itself, a temporary one by its name.
void CloseRecord(int fd)
{
    if (fd == gMadeFd && gMaking == Making::kTemporary) {
        unlink(gTemporary.c_str());
    }
    if (fd == gMadeFd) {
        gMaking = Making::kNothing;
        gMadeFd = -1;
    }
    close(fd);
}

// Where the file system can neither link a file nor rename one without
// replacing another, the record is made at its name after all, as a new file
// that is removed again unless its header reaches the disk.
int CopyToItsName(const char* path, int& fd)
{
    const int placed = open(path, O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (placed < 0) {
        return errno;
    }
    int error = LockFile(placed);
    error = error == ENOLCK ? 0 : error;
    std::array<char, kLongestHeader> header{};
    ssize_t n = 0;
    for (off_t at = 0; error == 0 && (n = pread(fd, header.data(), header.size(), at)) > 0; at += n) {
        error = WriteAll(placed, header.data(), static_cast<size_t>(n));
    }
    error = error == 0 && n < 0 ? errno : error;
    if (error == 0) {
        error = SyncData(placed);
    }
    if (error != 0) {
        unlink(path);
        close(placed);
        return error;
    }
    CloseRecord(fd);
    fd = placed;
    return 0;
}

OsStatus OpenRecord(const char* path, RecordUse use, int& fd)
{
    static constexpr int kUses[] = {0, O_RDWR | O_APPEND, O_RDONLY};
    if (use == RecordUse::kCreate) {
        return Said(MakeRecord(path, fd));
    }
    fd = open(path, kUses[static_cast<int>(use)] | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Said(errno);
    }
    OsStatus status = NotARegularFile(fd);
    if (status.result == OsResult::kDone && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        status = Said(errno);
    }
    if (status.result != OsResult::kDone) {
        close(fd);
        fd = -1;
    }
    return status;
}

OsStatus PlaceRecord(const char* path, int& fd)
{
    int error = LinkRecord(path, fd);
    if (CannotLink(error)) {
        error = CopyToItsName(path, fd);
    }
    if (error != 0) {
        return Said(error);  // still in the making: closing it removes it
    }
    gMaking = Making::kNothing;
    gMadeFd = -1;
    if ((error = SyncFolder(FolderOf(path))) != 0) {
        unlink(path);  // ours, and no game began in it: a second try must not find it in the way
    }
    return Said(error);
}

bool SameFile(int fd, int stream)
{
    struct stat record {};
    struct stat other {};
    return fstat(fd, &record) == 0 && fstat(stream, &other) == 0 && record.st_dev == other.st_dev &&
           record.st_ino == other.st_ino;
}

OsStatus LockRecord(int fd)
{
    const int error = LockFile(fd);
    return error == EAGAIN   ? OsStatus{OsResult::kInUse, std::strerror(error)}
           : error == ENOLCK ? OsStatus{OsResult::kCannotLock, std::strerror(error)}
                             : Said(error);
}

OsStatus ReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    ssize_t n = 0;
    while ((n = read(fd, buffer, size)) < 0) {
        if (errno != EINTR) {
            return Said(errno);
        }
    }
    got = static_cast<size_t>(n);
    return {};
}

OsStatus CutRecord(int fd, long long length)
{
    return Said(ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : errno);
}

OsStatus SyncRecord(int fd)
{
    return Said(SyncData(fd));
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
