// SPDX-License-Identifier: MIT
// The system's calls on Linux and the other POSIX systems: the standard
// streams, the terminal and the record's file. The rest of the game names no
// system; Windows has its own file beside this one.
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "qir.h"

void OsSetUpStreams(int& inputError, int& outputError)
{
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

int OsCreateRecord(const char* path)
{
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_APPEND, 0644);
}

int OsReopenRecord(const char* path, long long length)
{
    if (length >= 0 && truncate(path, static_cast<off_t>(length)) != 0) {
        return -1;
    }
    return open(path, O_WRONLY | O_APPEND);
}
