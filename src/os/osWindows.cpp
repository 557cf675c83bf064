// SPDX-License-Identifier: MIT
// The system's calls on Windows: the standard streams, the console and the
// record's file. The game's other files name no system; the POSIX calls live
// in a file of their own beside this one.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <io.h>
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

bool gModeChanged = false;  // the game changed the console's mode

// The console as the game found it, before the program ends.
void RestoreConsoleMode()
{
    if (gModeChanged) {
        SetConsoleMode(gConsole, gConsoleMode);
    }
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

// The errno value of what Windows said, for the C library's words for it.
int ErrorNumber(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EAGAIN;
    default: return EIO;
    }
}

// The C library's words for an error, kept for as long as the program runs:
// it writes them into one buffer, which its next call writes over.
const char* Words(int error)
{
    static std::map<int, std::string> kept;
    return kept.try_emplace(error, std::strerror(error)).first->second.c_str();
}

// The game's word for what the C library said, with its words for the player.
OsStatus Said(int error)
{
    if (error == 0) {
        return {};
    }
    const OsResult result = error == EEXIST   ? OsResult::kExists
                            : error == ENOENT ? OsResult::kNotFound
                            : error == EISDIR ? OsResult::kFolder
                            : error == ENOSPC ? OsResult::kNoSpace
                            : error == EBADF  ? OsResult::kClosed
                                              : OsResult::kFailed;
    return {result, Words(error)};
}

// What Windows said, in the same words.
OsStatus SaidByWindows(DWORD error)
{
    return Said(ErrorNumber(error));
}

void SetUpStreams(OsStatus& input, OsStatus& output)
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
        input = Said(EBADF);
    }
    if (!HandleGiven(STD_OUTPUT_HANDLE)) {
        output = Said(EBADF);
    }

    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) {
        return;  // a file or a pipe: it gets the sequence itself
    }
    gConsole = out;
    gConsoleMode = mode;
    gModeChanged = SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    gClearByConsoleCalls = !gModeChanged;
}

// Writes all of it: 0, or the errno value of why not.
int WriteAll(int fd, const char* data, size_t length)
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

OsStatus Write(int fd, std::string_view text)
{
    return Said(WriteAll(fd, text.data(), text.size()));
}

// An older console is cleared where the sequence stands in the output, after
// the text before it has been shown.
OsStatus Show(std::string_view text)
{
    size_t from = 0;
    for (size_t at; gClearByConsoleCalls && (at = text.find(kClearScreen, from)) != std::string_view::npos;
         from = at + kClearScreen.size()) {
        if (const int error = WriteAll(1, text.data() + from, at - from); error != 0) {
            return Said(error);
        }
        ClearConsole();
    }
    return Write(1, text.substr(from));
}

void ShowError(std::string_view text)
{
    WriteAll(2, text.data(), text.size());
}

int ReadByte(OsStatus& status)
{
    errno = 0;
    const int c = std::getc(stdin);
    if (c == EOF && std::ferror(stdin)) {
        status = Said(errno != 0 ? errno : EIO);
    }
    return c;
}

// The size is the console's visible window, not its buffer, which is often
// thousands of rows tall.
bool ScreenSize(int fd, int& rows, int& columns)
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

bool IsTerminal(int fd)
{
    return _isatty(fd) != 0;
}

// A console that reads the terminal's sequences shows their colours too,
// whether TERM is set or not.
bool ShowsColour()
{
    return gConsole != INVALID_HANDLE_VALUE && !gClearByConsoleCalls;
}

// Keys typed ahead in the console, or pasted there, wait in its input as
// key presses until a read takes their line.
bool InputWaiting()
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
bool Page(std::string_view text)
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

void SetInterruptNote(std::string_view note)
{
    static const bool handled = SetConsoleCtrlHandler(SayInterrupted, TRUE) != 0;
    (void)handled;
    gInterruptNoteLength = static_cast<DWORD>(std::min(note.size(), sizeof gInterruptNote));
    note.copy(gInterruptNote, gInterruptNoteLength);
}

void Pause(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

long long Clock()
{
    return static_cast<long long>(std::time(nullptr));
}

void Exit(int status)
{
    RestoreConsoleMode();
    std::exit(status);
}

// A record in the making is a file of this name and six characters in the
// record's folder until it takes its own name: a --record finds a temporary
// file that a killed qir left behind by that name.
constexpr std::string_view kTemporaryStem = ".qir-new-";
constexpr LONGLONG kLongestHeader = 4096;  // no file larger was ever a record in the making

int gMadeFd = -1;        // the descriptor of the record in the making
int gMadeLock = 0;       // what locking it said: 0, or ENOLCK where nothing can be locked
std::string gTemporary;  // its temporary path

// What comes before the record's own name: its folder and the separator, or
// nothing for the current folder.
std::string FolderPrefix(const char* path)
{
    const std::string_view whole = path;
    const size_t last = whole.find_last_of("/\\:");
    return std::string(last == std::string_view::npos ? std::string_view() : whole.substr(0, last + 1));
}

// Six characters for a temporary name that no other qir picks at the same time.
std::string SixCharacters()
{
    static std::uint32_t next = GetCurrentProcessId() * 2654435761U ^ GetTickCount();
    std::string six;
    for (int i = 0; i < 6; ++i) {
        next = next * 1103515245U + 12345U;
        six += "abcdefghijklmnopqrstuvwxyz0123456789"[(next >> 16) % 36];
    }
    return six;
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Whether the file is to be removed once its last handle is closed.
bool DeletePending(HANDLE file)
{
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) && info.DeletePending;
}

// A file opened so that it can be renamed and removed while it is open, as
// the C library's own files cannot be. The record's own handle takes no
// delete access itself: while one handle has it, every other open must share
// deletion, and the C library's (a second qir's, a --replay's) does not.
HANDLE OpenShared(const std::string& path, DWORD how, DWORD access)
{
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, how,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Windows enforces a lock on reads, so the lock covers one byte far beyond
// any record's end: a --replay can still read a game in play. 0, EAGAIN
// when another program holds it, ENOLCK where nothing can be locked, or EIO.
int LockFile(int fd)
{
    OVERLAPPED beyond{};
    beyond.OffsetHigh = 0x40000000;  // 2^62
    if (LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond)) {
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

// Whether the open file is a record in the making that nobody makes any
// more: it holds no more than the beginning of a record, and its lock can be
// taken.
bool Abandoned(int fd)
{
    LARGE_INTEGER size{};
    std::array<char, kRecordMagic.size()> start{};
    const int n = _read(fd, start.data(), static_cast<unsigned>(start.size()));
    return GetFileSizeEx(HandleOf(fd), &size) && size.QuadPart <= kLongestHeader && n >= 0 &&
           kRecordMagic.starts_with(std::string_view(start.data(), static_cast<size_t>(n))) && LockFile(fd) == 0;
}

// A temporary file that a killed qir left in the folder is removed, once its
// lock can be taken: one that a qir still makes is locked, and stays. Nothing
// but such a file is ever removed.
void RemoveLeftovers(const std::string& prefix)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((prefix + std::string(kTemporaryStem) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string_view name = found.cFileName;
        if (name.size() != kTemporaryStem.size() + 6 ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            continue;
        }
        const HANDLE file =
            OpenShared(prefix + std::string(name), OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE | DELETE);
        const int fd = file == INVALID_HANDLE_VALUE ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
        if (fd < 0 && file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        FILE_DISPOSITION_INFO remove{TRUE};
        if (fd >= 0 && Abandoned(fd)) {
            SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);  // once it is closed
        }
        if (fd >= 0) {
            _close(fd);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A temporary file in the record's folder, locked before anyone else can
// take it: one that a qir cleaning the folder took in the instant between
// its making and its lock is left to that qir, and another is made. fd is
// -1 unless it is made.
int MakeTemporary(const std::string& prefix, int& fd)
{
    fd = -1;
    for (int tries = 0; tries < 100; ++tries) {
        const std::string path = prefix + std::string(kTemporaryStem) + SixCharacters();
        const HANDLE file = OpenShared(path, CREATE_NEW, GENERIC_READ | GENERIC_WRITE);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return ErrorNumber(GetLastError());
        }
        const int made = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
        if (made < 0) {
            CloseHandle(file);
            DeleteFileA(path.c_str());
            return EMFILE;
        }
        const int error = LockFile(made);
        if ((error == 0 || error == ENOLCK) && !DeletePending(file)) {
            gTemporary = path;
            gMadeFd = made;
            gMadeLock = error;
            fd = made;
            return 0;
        }
        _close(made);
        if (error != 0 && error != EAGAIN && error != ENOLCK) {
            DeleteFileA(path.c_str());
            return error;
        }
    }
    return EAGAIN;
}

// A record that exists, opened as the file or folder its name stands for
// now: Windows opens a folder only when asked with backup semantics, and the
// handle itself then tells a folder, a device or a pipe from a record.
OsStatus OpenExisting(const char* path, RecordUse use, int& fd)
{
    const bool writes = use == RecordUse::kContinue;
    const HANDLE file =
        CreateFileA(path, GENERIC_READ | (writes ? GENERIC_WRITE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SaidByWindows(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    OsStatus status = GetFileType(file) != FILE_TYPE_DISK                       ? OsStatus{OsResult::kNotAFile, ""}
                      : !GetFileInformationByHandle(file, &info)                ? SaidByWindows(GetLastError())
                      : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Said(EISDIR)
                                                                                : OsStatus{};
    if (!OsFailed(status)) {
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), (writes ? _O_APPEND : _O_RDONLY) | _O_BINARY);
        status = fd < 0 ? Said(EMFILE) : status;
    }
    if (OsFailed(status)) {
        CloseHandle(file);
    }
    return status;
}

// The record is kept in binary, so it reads the same on every system. A new
// record is made under a temporary name in its folder, and renamed once its
// header is on the disk: a --resume that starts meanwhile finds no file.
OsStatus OpenRecord(const char* path, RecordUse use, int& fd)
{
    fd = -1;
    if (use != RecordUse::kCreate) {
        return OpenExisting(path, use, fd);
    }
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        return Said(EEXIST);  // said at once; only PlaceRecord takes the name
    }
    RemoveLeftovers(FolderPrefix(path));
    return Said(MakeTemporary(FolderPrefix(path), fd));
}

// The rename never replaces a file, and is on the disk when it returns; the
// record keeps its lock through it.
OsStatus PlaceRecord(const char* path, int& fd)
{
    if (!MoveFileExA(gTemporary.c_str(), path, MOVEFILE_WRITE_THROUGH)) {
        return SaidByWindows(GetLastError());  // still in the making: closing it removes it
    }
    if (fd == gMadeFd) {
        gMadeFd = -1;
    }
    return {};
}

// Under Wine a redirected handle reports the volume 0: volumes are compared
// only where both are known.
bool SameFile(int fd, int stream)
{
    FILE_ID_INFO record{};
    FILE_ID_INFO other{};
    const HANDLE a = HandleOf(fd);
    const HANDLE b = HandleOf(stream);
    if (a == INVALID_HANDLE_VALUE || b == INVALID_HANDLE_VALUE || GetFileType(a) != FILE_TYPE_DISK ||
        GetFileType(b) != FILE_TYPE_DISK || !GetFileInformationByHandleEx(a, FileIdInfo, &record, sizeof record) ||
        !GetFileInformationByHandleEx(b, FileIdInfo, &other, sizeof other)) {
        return false;
    }
    const FILE_ID_128 unknown{};
    const bool sameVolume = record.VolumeSerialNumber == 0 || other.VolumeSerialNumber == 0 ||
                            record.VolumeSerialNumber == other.VolumeSerialNumber;
    return sameVolume && std::memcmp(&record.FileId, &other.FileId, sizeof record.FileId) == 0 &&
           std::memcmp(&record.FileId, &unknown, sizeof unknown) != 0;
}

// A lock is no more than one deep, so a record in the making, locked as it
// was made, says what that lock said.
OsStatus LockRecord(int fd)
{
    const int error = fd == gMadeFd ? gMadeLock : LockFile(fd);
    return error == EAGAIN   ? OsStatus{OsResult::kInUse, Words(error)}
           : error == ENOLCK ? OsStatus{OsResult::kCannotLock, Words(error)}
                             : Said(error);
}

OsStatus ReadRecord(int fd, char* buffer, size_t size, size_t& got)
{
    const int n = _read(fd, buffer, static_cast<unsigned>(std::min<size_t>(size, 1U << 30)));
    if (n < 0) {
        return Said(errno);
    }
    got = static_cast<size_t>(n);
    return {};
}

OsStatus CutRecord(int fd, long long length)
{
    return Said(_chsize_s(fd, length));
}

OsStatus SyncRecord(int fd)
{
    return Said(_commit(fd) == 0 ? 0 : errno);
}

// A record still in the making goes with its descriptor.
void CloseRecord(int fd)
{
    const bool made = fd == gMadeFd;
    gMadeFd = made ? -1 : gMadeFd;
    _close(fd);
    if (made) {
        DeleteFileA(gTemporary.c_str());
    }
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
    .sleep = Pause,
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
