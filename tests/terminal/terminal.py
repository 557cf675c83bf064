# SPDX-License-Identifier: MIT
"""The game on a pseudo-terminal, as a player sees it.

Starts a program on a pseudo-terminal of a given size, with the terminal's
echo and line editing on as a shell leaves them, types answers one at a time,
and renders what the terminal shows with a terminal emulator (pyte). The
harness knows the game waits for an answer when the game's process sits in a
read of its standard input and nothing it wrote is left unread, so no test
waits on a timer for output to settle.
"""

import errno
import fcntl
import html
import os
import re
import select
import signal
import struct
import termios
import time

import pyte

_READ_SYSCALL = 0  # x86_64's number of read(2), as /proc/PID/syscall names it
SGR = re.compile(rb"\x1b\[[0-9;]*m")  # a colour sequence: what is left without them is the text
# pyte's names of the eight basic colours, as xterm shows them by default
_XTERM = {"black": "#000000", "red": "#cd0000", "green": "#00cd00", "brown": "#cdcd00", "blue": "#0000ee",
          "magenta": "#cd00cd", "cyan": "#00cdcd", "white": "#e5e5e5", "default": "#e5e5e5"}
_XTERM_BOLD = {"blue": "#5c5cff", "red": "#ff0000", "green": "#00ff00", "brown": "#ffff00", "default": "#ffffff"}


def without_colour(data):
    """What was written, with every colour sequence taken out."""
    return SGR.sub(b"", data)


def echo_of(typed):
    """What a terminal in its usual modes shows of `typed`: control characters
    but the tab as ^X, and every line end as CR LF."""
    shown = bytearray()
    for byte in typed:
        if byte in (0x0A, 0x0D):
            shown += b"\r\n"
        elif (byte < 0x20 and byte != 0x09) or byte == 0x7F:
            shown += b"^" + bytes([byte ^ 0x40])
        else:
            shown.append(byte)
    return bytes(shown)


class Terminal:
    """One program on a pseudo-terminal of `rows` by `columns`."""

    def __init__(self, argv, rows=24, columns=80, env=None, cwd=None, stdin_is_terminal=True, render=True):
        self.rows, self.columns = rows, columns
        self._screen = pyte.Screen(columns, rows)
        self.stream = pyte.ByteStream(self._screen)
        self.render = render  # False: only the bytes are kept, nothing is drawn
        self._unrendered = b""  # received, not drawn yet: the screen is drawn when it is looked at
        self.output = b""  # every byte the terminal received, echo included
        self.status = None  # the exit status once the program has ended
        self.typed = b""
        self.typed_at = []  # (where in the output, what) for every text typed on the terminal
        self._reads_when_typed = -1
        self.echo = stdin_is_terminal
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        environment = dict(os.environ)
        environment.setdefault("TERM", "xterm")
        environment.pop("COLUMNS", None)
        environment.pop("LINES", None)
        environment.update(env or {})
        pipe = None
        if not stdin_is_terminal:
            pipe = os.pipe()
        self.pid = os.fork()
        if self.pid == 0:  # the child: the terminal becomes its controlling terminal
            try:
                os.close(master)
                os.setsid()
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
                os.dup2(pipe[0] if pipe else slave, 0)
                os.dup2(slave, 1)
                os.dup2(slave, 2)
                if cwd:
                    os.chdir(cwd)
                os.execve(argv[0], argv, environment)
            finally:
                os._exit(127)
        os.close(slave)
        self.master = master
        self.input = master
        if pipe:
            os.close(pipe[0])
            self.input = pipe[1]

    def _drain(self, timeout):
        """Reads what the terminal holds, waiting up to `timeout` for the first byte."""
        got = False
        while True:
            ready, _, _ = select.select([self.master], [], [], timeout)
            if not ready:
                return got
            try:
                data = os.read(self.master, 65536)
            except OSError as error:  # EIO: every descriptor of the terminal's slave side is closed
                if error.errno != errno.EIO:
                    raise
                return got
            if not data:
                return got
            self.output += data
            if self.render:
                self._unrendered += data
            got = True
            timeout = 0

    def _in_read(self):
        try:
            with open(f"/proc/{self.pid}/syscall") as f:
                fields = f.read().split()
        except OSError:
            return False
        return len(fields) > 1 and fields[0] == str(_READ_SYSCALL) and int(fields[1], 16) == 0

    def _sleeping(self):
        try:
            with open(f"/proc/{self.pid}/stat") as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "S"
        except (OSError, IndexError):
            return False

    def _reading_input(self):
        """Whether the program sits in a read of its standard input, asleep
        until something is typed. On a loaded machine a program can be caught
        in a read that already has its bytes, waiting only for the processor:
        it is then runnable, not asleep, and no read returns meanwhile."""
        reads = self._reads()
        return self._in_read() and self._sleeping() and self._in_read() and self._reads() == reads

    def _reads(self):
        """How many reads the program has made (its read(2) calls that returned)."""
        try:
            with open(f"/proc/{self.pid}/io") as f:
                return next(int(line.split()[1]) for line in f if line.startswith("syscr:"))
        except (OSError, StopIteration):
            return 0

    def _ended(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = os.waitstatus_to_exitcode(status)
        return self.status is not None

    @property
    def screen(self):
        """The screen as the terminal shows it now. What came before the
        last cleared screen is not drawn: nothing of it stays in view."""
        if self._unrendered:
            cleared = self._unrendered.rfind(b"\033[H\033[2J")
            if cleared > 0:
                self._screen.reset()
                self.stream = pyte.ByteStream(self._screen)
                self._unrendered = self._unrendered[cleared:]
            self.stream.feed(self._unrendered)
            self._unrendered = b""
        return self._screen

    def wait(self, timeout=20.0):
        """Reads on until the program waits for input or has ended; True when it waits."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self._drain(0.001)
            if self._ended():
                self._drain(0.05)
                return False
            # Right after typing, the program may still sit in the read it
            # waited in: it waits again only once that read has returned.
            if self._reading_input() and self._reads() > self._reads_when_typed:
                # Its read may have begun before the last bytes reached us.
                if not self._drain(0.001) and self._reading_input():
                    return True
        raise TimeoutError(f"the program neither waited for input nor ended in {timeout} s")

    def type(self, text):
        """Types `text` (str or bytes) as a person would, all at once."""
        data = text.encode() if isinstance(text, str) else text
        self.typed += data
        if self.echo:
            self.typed_at.append((len(self.output), data))
        self._reads_when_typed = self._reads()
        os.write(self.input, data)

    def close_input(self):
        """Ends the input: Ctrl-D on the terminal, or closes the pipe."""
        if self.input != self.master:
            os.close(self.input)
            self.input = -1
        else:
            os.write(self.master, b"\x04")

    def resize(self, rows, columns):
        """Resizes the window, as a person dragging its corner would."""
        self.screen.resize(rows, columns)  # what came before is drawn at the size it came at
        self.rows, self.columns = rows, columns
        fcntl.ioctl(self.master, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        os.kill(self.pid, signal.SIGWINCH)

    def written(self, end=None):
        """What the program wrote up to `end` in the output: without the
        terminal's echo of what was typed, and with its CR LF turned back to
        LF. Text is typed only while the program waits, so each echo comes
        back before the program's next output."""
        data = self.output[:end]
        parts, at = [], 0
        for offset, typed in self.typed_at:
            if offset >= len(data):
                break
            shown = echo_of(typed)
            if data[offset:offset + len(shown)] != shown:
                raise AssertionError(f"the echo of {typed!r} is not where it was typed: {data[offset:offset + 80]!r}")
            parts.append(data[at:offset])
            at = offset + len(shown)
        parts.append(data[at:])
        return b"".join(parts).replace(b"\r\n", b"\n")

    def lines(self):
        """The screen as it stands, one string a row, trailing spaces cut."""
        return [line.rstrip() for line in self.screen.display]

    def text(self):
        return "\n".join(self.lines())

    def html(self):
        """The screen as a page of its own: each cell in its colour and weight,
        white on black as xterm shows it, for a browser to render."""
        rows = []
        for y in range(self.rows):
            line = self.screen.buffer[y]
            cells = []
            for x in range(self.columns):
                char = line[x]
                bold = char.bold
                colour = (_XTERM_BOLD if bold else _XTERM).get(char.fg, _XTERM.get(char.fg, _XTERM["default"]))
                style = f"color:{colour}" + (";font-weight:bold" if bold else "")
                cells.append(f'<span style="{style}">{html.escape(char.data or " ")}</span>')
            rows.append("".join(cells))
        return ("<!DOCTYPE html><html><head><meta charset='utf-8'><style>body{background:#000;margin:8px}"
                "pre{font:16px/1.2 'DejaVu Sans Mono',monospace;margin:0}</style></head><body><pre>"
                + "\n".join(rows) + "</pre></body></html>")

    def finish(self, timeout=20.0):
        """Waits for the program to end and returns its exit status."""
        deadline = time.monotonic() + timeout
        while not self._ended():
            if time.monotonic() > deadline:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
                raise TimeoutError(f"the program did not end in {timeout} s")
            self._drain(0.01)
        self._drain(0.05)
        return self.status

    def kill(self):
        if not self._ended():
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
            self.status = -signal.SIGKILL

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()
        for fd in {self.master, self.input}:
            if fd >= 0:
                try:
                    os.close(fd)
                except OSError:
                    pass
