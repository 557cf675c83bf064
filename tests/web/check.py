# SPDX-License-Identifier: MIT
"""The web page must play exactly as the Linux game.

Serves the unpacked web zip on 127.0.0.1 and plays in headless Chromium,
through the page's test interface (window.qir), the same answers and seeds
as build/qir: the recorded sessions of tests/data and its long games, and
streams of answers made here from fixed seeds. In the drawn view, the
page's default, the game writes as to a pipe: each game's output must be
the Linux game's standard output, and its record the Linux record, byte for
byte; in the classic view (a terminal, in colour) five of them must write
what `qir --color=always` writes to a terminal of the same size. Seeded
games in the drawn view are played by taps (touch emulated, at phone sizes)
and by keys, the page itself checking at every question what a player sees
(questions.js). Then it reads with the reading keys, clicks every control
and types an answer after it, continues a game interrupted by a reload (and
a second tab must find it in use), plays a few keys through the terminal
itself, replays a downloaded record with `qir --replay` and record files
opened in the page (named dev, tmp, proc and home too), shows names and a
seed full of escape sequences only escaped, refuses a 1.5 GB file at once,
replays a 16 MiB record of refused answers to its end while measuring the
tab's memory, computes the contrast of the page's text colours and saves
screenshots of a Power 9 combat in both views. Prints how many matched, the
load time, the sizes and the memory; exits non-zero on any difference.

Run by scripts/web-check with Debian's python3 (which has selenium):
    /usr/bin/python3 tests/web/check.py SITE QIR WORK
"""

import base64
import fcntl
import functools
import gzip
import http.server
import os
import random
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import zipfile
import zlib
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "tests" / "data"
RANDOM_STREAMS = 60
SGR = re.compile(rb"\x1b\[[0-9;]*m")  # a colour sequence


def without_colour(data):
    return SGR.sub(b"", data)
LOAD_LIMIT_MS = 500  # the first question on the screen, the median of the openings
PAGE_LIMIT = 300 * 1024  # every file of the page, each gzipped, together
GAME_TIMEOUT = 120  # seconds for one game in the page
LARGEST_RECORD = 16 << 20
TAB_MEMORY_LIMIT = 300 << 20  # the page's renderer, replaying the largest record
REFUSAL_LIMIT = 1.0  # seconds to refuse a file far larger than any record


class Failures:
    """Counts the comparisons and remembers what differed."""

    def __init__(self):
        self.matched = 0
        self.failed = []

    def check(self, name, what, linux, web):
        if linux == web:
            return True
        if not isinstance(linux, bytes) or not isinstance(web, bytes):
            self.failed.append(f"{name}: {what}: {linux!r} on linux, {web!r} on the web")
            return False
        line = first_difference(linux, web)
        self.failed.append(f"{name}: {what} differs at line {line + 1}\n"
                           f"  linux: {shown_line(linux, line)}\n  web:   {shown_line(web, line)}")
        return False

    def case(self, name, *results):
        if all(results):
            self.matched += 1
        elif not any(f.startswith(name + ":") for f in self.failed):
            self.failed.append(f"{name}: did not come to a comparison")


def first_difference(a, b):
    la, lb = a.split(b"\n"), b.split(b"\n")
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return i
    return min(len(la), len(lb))


def shown_line(text, number):
    lines = text.split(b"\n")
    return repr(lines[number][:160]) if number < len(lines) else "(end of output)"


def answers(path):
    """A session's answers: its leading description lines ("# ...") are none."""
    lines = Path(path).read_bytes().split(b"\n")
    while lines and lines[0].startswith(b"# "):
        lines.pop(0)
    return b"\n".join(lines)


def session_seed(path, default):
    """The clock a session is played with ("# clock N"), or a long game's seed ("# seed N.")."""
    for line in Path(path).read_text(encoding="latin-1").splitlines():
        if not line.startswith("# "):
            break
        words = line[2:].replace(".", " ").split()
        if len(words) >= 2 and words[0] in ("clock", "seed"):
            return int(words[1])
    return default


def random_answers(seed):
    """Answers a player might give, good and bad: mostly a sensible set-up, then
    any mix of y/n, Powers, menu letters, Unit IDs, pauses and junk."""
    rng = random.Random(seed)
    lines = []
    if rng.random() < 0.85:
        lines += [rng.choice("yn"), str(rng.randint(1, 2)), str(rng.randint(2, 9)), rng.choice("dq")]
    junk = ["xyz", "10", "0", " ", "\t", "yy", "AB", "~", "qq", "-1"]
    for _ in range(rng.randint(100, 2600)):
        r = rng.random()
        if r < 0.25:
            lines.append(str(rng.randint(1, 9)))
        elif r < 0.40:
            lines.append(rng.choice("abcdfpqryn"))
        elif r < 0.62:
            lines.append(chr(65 + rng.randrange(32)))
        elif r < 0.82:
            lines.append("")
        elif r < 0.95:
            lines.append(rng.choice("yn"))
        else:
            lines.append(rng.choice(junk))
    return ("\n".join(lines) + "\n").encode()


class Linux:
    """build/qir, the game every web game is compared with."""

    def __init__(self, qir, work):
        self.qir = qir
        self.work = Path(work)

    def play(self, name, args, stdin, record=None):
        """Stdout and the record (when args keep one) of one run in a folder of its own."""
        folder = self.work / "linux" / name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        if record is not None:
            (folder / "game.qir").write_bytes(record)
        run = subprocess.run([self.qir, *args], input=stdin, cwd=folder, capture_output=True, timeout=120, check=False)
        kept = folder / "game.qir"
        return run.stdout, kept.read_bytes() if kept.exists() else b""

    def on_terminal(self, name, args, record, stdin=b"", size=(100, 200), typed=False):
        """What the game writes to a terminal of `size` (rows, columns), by
        default tall enough for the full board (answers typed on no terminal,
        or with `typed` on that terminal, which echoes nothing, as the page's
        terminal gives the check's answers; what a replay or a resumed game
        shows of its record's answers included), with the terminal's line
        ends turned back, and the record it leaves."""
        folder = self.work / "linux" / name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        if record is not None:
            (folder / "game.qir").write_bytes(record)
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", *size, 0, 0))
        if typed:
            modes = termios.tcgetattr(slave)
            modes[3] &= ~termios.ECHO
            termios.tcsetattr(slave, termios.TCSANOW, modes)
        run = subprocess.Popen([self.qir, *args], cwd=folder, stdin=slave if typed else subprocess.PIPE, stdout=slave,
                               stderr=subprocess.DEVNULL, env={**os.environ, "TERM": "xterm"})
        os.close(slave)
        if typed:  # the end of input is Ctrl-D on a line of its own
            writer = threading.Thread(target=lambda: write_all(master, stdin + b"\x04"), daemon=True)
        else:
            writer = threading.Thread(target=lambda: (run.stdin.write(stdin), run.stdin.close()), daemon=True)
        writer.start()
        shown = b""
        while True:
            try:
                data = os.read(master, 65536)
            except OSError:  # every writer is gone
                break
            if not data:
                break
            shown += data
        os.close(master)
        run.wait(timeout=120)
        kept = folder / "game.qir"
        return shown.replace(b"\r\n", b"\n"), kept.read_bytes() if kept.exists() else b""

    def replay_on_terminal(self, name, record, size=(100, 200)):
        """What qir --replay writes to a terminal; it plays on by itself."""
        return self.on_terminal(name, ["--replay", "game.qir", "--delay", "0"], record, size=size)[0]


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


class Page:
    """Headless Chromium showing the page; it keeps each game's whole output
    for the comparisons unless told not to, as in normal play."""

    def __init__(self, site_url, downloads, keep_output=True):
        options = webdriver.ChromeOptions()
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + tempfile.mkdtemp(prefix="qir-chromium-"), "--window-size=1200,1400"):
            options.add_argument(flag)
        options.binary_location = "/usr/bin/chromium"
        options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                                  "download.prompt_for_download": False})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        if keep_output:
            self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                        {"source": "window.qirKeepOutput = true;\n" + QUESTIONS_JS})
        self.driver.set_script_timeout(GAME_TIMEOUT)
        self.site = site_url
        self.loads = []  # ms from opening the page to the first question on the screen

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def until(self, script, timeout=GAME_TIMEOUT, *args):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = self.js("return " + script, *args)
            if value:
                return value
            time.sleep(0.02)
        raise TimeoutError(script)

    def open(self, query="", url=None, reload=False):
        """Opens the page; unless it is a `reload`, as a new visit would: the
        tab forgets which game it played, so that no game is offered again."""
        if not reload:
            self.js("try { sessionStorage.removeItem('qir:playing'); } catch (e) {}")
        self.driver.get((url or self.site) + query)

    def first_question(self):
        self.loads.append(self.until("window.qir && qir.shownAt()", 10))

    def play(self, query, stdin, end=True):
        """Opens the page, types every answer and ends the input; returns output and record."""
        self.open(query)
        self.first_question()
        self.type(stdin, end)
        return self.results()

    def type(self, stdin, end=True):
        self.js("qir.type(arguments[0]); if (arguments[1]) qir.endInput();", stdin.decode("latin-1"), end)

    def results(self):
        self.until("qir.ended()")
        output, record, stored = self.js(
            "const keys = Object.keys(localStorage).filter(k => k.startsWith('qir:record:'));"
            "return [qir.output(), qir.record(), keys.map(k => localStorage.getItem(k))];")
        return output.encode("latin-1"), record.encode(), [s.encode() for s in stored]

    def forget_games(self):
        """Forgets the kept games, and keeps the view chosen."""
        self.js("Object.keys(localStorage).filter(key => !key.startsWith('qir:view'))"
                ".forEach(key => localStorage.removeItem(key));")

    def set_view(self, view):
        """The view ('drawn' or 'classic') of the games started from now on."""
        self.open()
        self.js("localStorage.setItem('qir:view', arguments[0])", view)

    def screen(self):
        return self.js("return qir.screen()")

    def open_file(self, name, content):
        """Gives the page's file chooser a file of any name, as a player's choice would."""
        self.js("const chosen = new DataTransfer();"
                "chosen.items.add(new File([Uint8Array.from(arguments[1])], arguments[0]));"
                "const input = document.getElementById('replay-file');"
                "input.files = chosen.files; input.dispatchEvent(new Event('change'));", name, list(content))

    def tab_kilobytes(self):
        """The memory of the page's renderer, the largest of the browser's:
        its own (private) memory, as the browser's task manager counts a tab,
        and all it has resident, the browser's code shared with others too."""
        tree = {}
        for stat in Path("/proc").glob("[0-9]*/stat"):
            try:
                fields = stat.read_text().rsplit(")", 1)[1].split()
                tree.setdefault(int(fields[1]), []).append(int(stat.parent.name))
            except (OSError, IndexError, ValueError):
                pass
        largest, todo = (0, 0), [self.driver.service.process.pid]
        while todo:
            pid = todo.pop()
            todo += tree.get(pid, [])
            try:
                if b"--type=renderer" in Path(f"/proc/{pid}/cmdline").read_bytes():
                    memory = Path(f"/proc/{pid}/smaps_rollup").read_text()
                    own = sum(int(n) for n in re.findall(r"Private_(?:Clean|Dirty):\s+(\d+)", memory))
                    largest = max(largest, (own, int(re.search(r"Rss:\s+(\d+)", memory).group(1))))
            except (OSError, AttributeError):
                pass
        return largest


def compare_games(page, linux, failures, cases):
    """Each case: name, seed, answers; the page plays it with ?seed=N in the
    drawn view, where the game writes as to a pipe, build/qir with --seed N."""
    for name, seed, stdin in cases:
        try:
            want_out, want_record = linux.play(name, ["--seed", str(seed), "--record", "game.qir"], stdin)
            out, record, stored = page.play(f"?seed={seed}", stdin)
            page.forget_games()
            failures.case(name, failures.check(name, "output", want_out, out),
                          failures.check(name, "record", want_record, record),
                          failures.check(name, "the record kept in the browser", [want_record], stored))
        except Exception as error:  # pylint: disable=broad-except
            failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def continue_after_reload(page, linux, failures, downloads):
    """A game cut by closing the page goes on after reopening it, as --resume does;
    a second tab meanwhile finds the game in use. Its downloaded record replays
    with qir --replay as the page showed it."""
    name = "reload-continue"
    try:
        stdin = answers(DATA / "bench" / "dravik-first-power6.in")
        lines = stdin.split(b"\n")
        first, rest = b"\n".join(lines[:700]) + b"\n", b"\n".join(lines[700:])
        _, cut_record = linux.play(name + "-first", ["--seed", "31", "--record", "game.qir"], first)
        # The drawn view writes as to a pipe.
        want_out, want_record = linux.play(name, ["--resume", "game.qir"], rest, record=cut_record)

        page.open("?seed=31")
        page.first_question()
        page.type(first, end=False)
        page.until("qir.waiting()")
        page.open("?seed=31", reload=True)  # reloaded in the middle of the game: it offers to go on with it
        page.until("document.getElementById('offer').textContent.includes('You were playing')", 10)
        first_tab = page.driver.current_window_handle
        page.driver.find_element(By.XPATH, "//div[@id='offer']/button[text()='Continue it']").click()
        page.until("qir.waiting()")
        page.driver.switch_to.new_window("tab")
        page.open()
        page.driver.find_element(By.XPATH, "//li[contains(., '-seed-31')]/button[text()='Continue']").click()
        in_use = page.until("document.getElementById('state').textContent.includes('another tab') && "
                            "document.getElementById('state').textContent", 10)
        page.driver.find_element(By.XPATH, "//li[contains(., '-seed-31')]/button[text()='Forget']").click()
        not_forgotten = page.until("document.getElementById('state').textContent.includes('cannot be forgotten')", 10)
        still_kept = page.js("return Object.keys(localStorage).some(k => k.includes('-seed-31'))")
        page.driver.close()
        page.driver.switch_to.window(first_tab)

        page.type(rest)
        out, record, stored = page.results()
        ok = [failures.check(name, "output after the reload", want_out, out),
              failures.check(name, "record", want_record, record),
              failures.check(name, "the record kept in the browser", [want_record], stored),
              failures.check(name, "second tab", True, in_use.startswith("This game is being played in another tab")),
              failures.check(name, "the second tab cannot forget it", [True, True], [not_forgotten, still_kept])]

        page.driver.find_element(By.ID, "download").click()
        downloaded = wait_for_download(downloads)
        replayed, _ = linux.play(name + "-replay", ["--replay", str(downloaded)], b"")
        want_replay, _ = linux.play(name + "-replay-linux", ["--replay", "game.qir"], b"", record=want_record)
        ok += [failures.check(name, "downloaded record", want_record, downloaded.read_bytes()),
               failures.check(name, "qir --replay of the downloaded record", want_replay, replayed)]
        page.forget_games()
        failures.case(name, *ok)
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def wait_for_download(folder, suffix=".qir", timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        done = [p for p in Path(folder).iterdir() if p.suffix == suffix]
        if done:
            return done[0]
        time.sleep(0.1)
    raise TimeoutError("no record was downloaded")


def replay_in_page(page, linux, failures):
    """A record file opened in the page replays there as qir --replay shows it
    on a terminal of the page's terminal's size, waiting for Return before
    each screen; so do files named as the folders of a system (a short game
    for these)."""
    whole = answers(DATA / "bench" / "quelby-first-power4.in")
    short = b"\n".join(whole.split(b"\n")[:120]) + b"\n"
    for file_name, stdin in [("game.qir", whole), ("dev", short), ("tmp", short), ("proc", short), ("home", short)]:
        name = "replay-opened-file" + ("" if file_name == "game.qir" else "-named-" + file_name)
        try:
            _, record = linux.play(name + "-played", ["--seed", "33", "--record", "game.qir"], stdin)
            path = linux.work / "linux" / (name + "-played") / file_name
            path.write_bytes(record)
            page.open("?seed=1")
            page.first_question()
            page.driver.find_element(By.ID, "replay-file").send_keys(str(path))
            size = tuple(page.until("qir.view() === 'classic' && qir.waiting() && qir.size()"))
            out, _, _ = watch_replay(page)
            # The viewer's Return before each screen, on a terminal of the page's size.
            want_out, _ = linux.on_terminal(name, ["--replay", "game.qir"], record, b"\n" * 5000, size, typed=True)
            page.forget_games()
            failures.case(name, failures.check(name, "replayed output", without_colour(want_out), without_colour(out)))
        except Exception as error:  # pylint: disable=broad-except
            failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def watch_replay(page, timeout=GAME_TIMEOUT, sample=None):
    """Presses Return whenever the replay on the page's terminal waits for it,
    until it ends; `sample` is called meanwhile."""
    page.js("window.qirViewer = setInterval(() => { if (qir.waiting()) qir.type('\\n'); }, 5);")
    deadline = time.time() + timeout
    while not page.js("return qir.ended()"):
        if time.time() > deadline:
            raise TimeoutError("the replay did not end")
        if sample:
            sample()
        time.sleep(0.2)
    page.js("clearInterval(window.qirViewer)")
    return page.results()


CONTROLS = r"[\x00-\x08\x0b-\x1f\x7f-\x9f]"


def nothing_raw(page, game_colours=False):
    """Whether the page's terminal and document hold no control character
    from outside, nothing painted in a colour (but the game's own, when a
    record was taken and replayed), and the page's own title."""
    return page.js("const controls = new RegExp(arguments[0]);"
                   "return document.title === 'Qir' && !controls.test(document.body.textContent) &&"
                   " !qir.screen().some(line => controls.test(line)) && (arguments[1] || qir.plain());",
                   CONTROLS, game_colours)


def escaped_names(page, failures):
    """A seed from the page's address and the names of files opened in it
    reach its terminal and its document only escaped, whatever sequences they
    hold; a name in UTF-8 is shown as it is."""
    osc = "\x1b]0;PWNED\x07\x1b[2J"
    shown_osc = "\\x1b]0;PWNED\\x07\\x1b[2J"
    old = b"Qir record 1\ngame 1.0.0\n"
    cases = [
        ("seed", "?seed=%1b]0;PWNED%07%1b[2J%1b[1;1HYou%20win!%20Enter%20your%20password:", None,
         "qir: invalid seed '" + shown_osc + "\\x1b[1;1HYou win! Enter your password:'"),
        ("file-name", "?seed=1", "x" + osc + "\x1b[31m\x9b2J.qir",
         "qir: x" + shown_osc + "\\x1b[31m\\xc2\\x9b2J.qir was recorded by qir 1.0.0"),
        ("utf8-file-name", "?seed=1", "é-ü 𝄞.qir", "qir: é-ü 𝄞.qir was recorded by qir 1.0.0"),
    ]
    for what, query, file_name, said in cases:
        name = "escaped-" + what
        try:
            page.open(query)
            if file_name is not None:
                page.first_question()
                page.open_file(file_name, old)
            page.until("qir.ended()", 10)
            shown = page.until("qir.screen().find(line => line.startsWith(arguments[0]))", 10, said)
            page.forget_games()
            failures.case(name, failures.check(name, "the message", True, bool(shown)),
                          failures.check(name, "nothing raw on the page", True, nothing_raw(page)))
        except Exception as error:  # pylint: disable=broad-except
            failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def hostile_files(site_url, downloads, work, failures):
    """In a page as a player has it (its output not kept): a file far larger
    than any record is refused at once, unread; the largest record, of refused
    answers only, replays to its end in time and within the tab's memory.
    Returns the figures."""
    page = Page(site_url, downloads, keep_output=False)
    figures = {}
    try:
        name = "sparse-1.5-GB"
        try:
            huge = Path(work) / "huge.qir"
            with open(huge, "wb") as file:
                file.truncate(1536 << 20)
            page.open("?seed=1")
            page.first_question()
            started = time.time()
            page.driver.find_element(By.ID, "replay-file").send_keys(str(huge))
            page.until("qir.screen().some(line => line.includes('larger than 16 MiB'))", 10)
            figures["refusal"] = time.time() - started
            huge.unlink()
            failures.case(name, failures.check(name, f"refused within {REFUSAL_LIMIT} s ({figures['refusal']:.2f} s)",
                                               True, figures["refusal"] < REFUSAL_LIMIT))
        except Exception as error:  # pylint: disable=broad-except
            failures.failed.append(f"{name}: {type(error).__name__}: {error}")

        name = "largest-record"
        try:
            # One-character answers to the first question, each refused.
            header = b"Qir record 1\ngame 1.0.0\n"
            largest = Path(work) / "largest.qir"
            largest.write_bytes(header + b"answer x\n" * ((LARGEST_RECORD - len(header)) // 9))
            figures["answers"] = (LARGEST_RECORD - len(header)) // 9
            page.open("?seed=1")
            page.first_question()
            peak = [(0, 0)]
            started = time.time()
            page.driver.find_element(By.ID, "replay-file").send_keys(str(largest))

            def sample():
                peak[0] = max(peak[0], page.tab_kilobytes())

            watch_replay(page, sample=sample)
            figures["replay"] = time.time() - started
            figures["memory"], figures["resident"] = (kilobytes * 1024 for kilobytes in peak[0])
            last = [line.rstrip() for line in page.screen() if line.strip()][-2:]
            kept = page.js("return qir.output().length")
            failures.case(name,
                          failures.check(name, "the end of the replay", [0, True],
                                         [page.js("return qir.status()"), last[0].endswith("Please try again:") and
                                          last[1] == "The record stops before the first round of a game."]),
                          failures.check(name, f"the tab's memory under {TAB_MEMORY_LIMIT >> 20} MB "
                                         f"({figures['memory'] >> 20} MB)", True, figures["memory"] < TAB_MEMORY_LIMIT),
                          failures.check(name, "the output kept in normal play", 0, kept))
            largest.unlink()
        except Exception as error:  # pylint: disable=broad-except
            failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.driver.quit()
    return figures


def keys_through_the_terminal(page, failures):
    """Typed keys are echoed and edited on the line, Return sends it, pasted
    lines are answers, and the screen reader mode gives a screen reader the
    screen's text."""
    name = "typed-keys"
    try:
        page.set_view("classic")
        page.open("?seed=7")
        page.first_question()
        field = page.driver.find_element(By.CSS_SELECTOR, "#terminal textarea")
        field.send_keys("x", Keys.BACKSPACE, "n")
        page.until("qir.screen().some(line => line.endsWith('y or n: n'))", 10)
        field.send_keys(Keys.ENTER)
        page.until("qir.output().includes('go first')", 10)
        page.js("const paste = new ClipboardEvent('paste', {clipboardData: new DataTransfer()});"
                "paste.clipboardData.setData('text/plain', '1\\n4\\n');"
                "arguments[0].dispatchEvent(paste);", field)
        page.until("qir.output().includes('Enter d or q: ')", 10)
        out = page.js("return qir.output()")
        page.js("document.getElementById('screen-reader').click()")
        read = page.until("[...document.querySelectorAll('.xterm-accessibility-tree')]"
                          ".some(tree => tree.textContent.includes('go first'))", 10)
        page.forget_games()
        page.set_view("drawn")
        failures.case(name, failures.check(name, "echo kept out of the output", True, "y or n: n" not in out),
                      failures.check(name, "the screen reader's copy of the screen", True, read))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def storage_refused(page, failures, downloads):
    """A record the browser will not keep, its storage full: the page says so
    and offers the game in play as a download at once, the game goes on, and
    no game kept before is lost."""
    name = "storage-refused"
    try:
        page.js("localStorage.setItem('qir:record:kept-before.qir', 'Qir record 1\\ngame 1.1.0\\n')")
        page.open("?seed=9")
        page.first_question()
        # The storage full to its quota: a first write of more than the quota leaves nothing room.
        page.js("for (let n = 8 << 20, i = 0; n > 8;) {"
                " try { localStorage.setItem('qir:filler' + i++, 'x'.repeat(n)); } catch (e) { n >>= 1; } }")
        page.type(b"n\n1\n", end=False)
        said = page.until("document.getElementById('offer').textContent.includes('storage is full')", 10)
        page.driver.find_element(By.XPATH, "//div[@id='offer']/button[text()='Download this game']").click()
        downloaded = wait_for_download(downloads)
        whole = downloaded.read_bytes().startswith(b"Qir record 1\n") and b"answer 1" in downloaded.read_bytes()
        downloaded.unlink()
        kept = page.js("return localStorage.getItem('qir:record:kept-before.qir') !== null && !qir.ended()")
        page.forget_games()
        failures.case(name, failures.check(name, "message, the download, the game going on and the game kept before",
                                           [True, True, True], [said, whole, kept]))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")


# The drawn view's games: window sizes, and whether the answers are tapped
# (with touch emulated, as a phone) or typed.
DRAWN_SIZES = [((360, 640), "taps", 10), ((390, 844), "taps", 10), ((1366, 768), "keys", 7),
               ((1920, 1080), "keys", 7), ((390, 400), "keys", 6)]  # twenty games by taps, twenty by keys
DRAWN_ANSWERS = 400  # at most, a game
QUESTIONS_JS = (Path(__file__).parent / "questions.js").read_text()
KEY_CODES = {"\n": ("Enter", "Enter", 13, "\r")}


def key_event(key):
    """A key as the DevTools protocol types it: key, code, key code and text."""
    if key in KEY_CODES:
        return KEY_CODES[key]
    if key.isdigit():
        return key, "Digit" + key, ord(key), key
    if key.isalpha():
        return key, "Key" + key.upper(), ord(key.upper()), key
    return key, "", ord(key), key


def press(page, key, alt=False):
    name, code, number, text = key_event(key)
    event = {"key": name, "code": code, "windowsVirtualKeyCode": number, "modifiers": 1 if alt else 0}
    page.driver.execute_cdp_cmd("Input.dispatchKeyEvent", {**event, "type": "keyDown", **({} if alt else {"text": text})})
    page.driver.execute_cdp_cmd("Input.dispatchKeyEvent", {**event, "type": "keyUp"})


def tap(page, x, y):
    page.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [{"x": x, "y": y}]})
    page.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})


def emulate(page, size, touch):
    """The page's viewport at this size, as a phone (with touch) or a desktop's window."""
    width, height = size
    page.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": touch})
    page.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": touch, "maxTouchPoints": 5})


def drawn_game(page, plan, taps):
    """Plays one seeded game in the drawn view by taps or keys, the page
    choosing each answer among those the question takes and checking what
    it shows; returns the answers, the page's output and record, and what
    the page found wrong."""
    page.open(f"?seed={plan['seed']}")
    page.first_question()
    sent = []
    while len(sent) < DRAWN_ANSWERS:
        step = page.driver.execute_async_script("qirCheck.next(arguments[0], arguments[1])", plan)
        if step.get("ended") or step.get("stuck"):
            break
        if taps:
            tap(page, step["x"], step["y"])
        else:
            press(page, step["key"])
        sent.append(b"\n" if step["key"] == "\n" else step["key"].encode() + b"\n")
    if not page.js("return qir.ended()"):
        page.until("qir.waiting()")
        page.js("qir.endInput()")
    out, record, _ = page.results()
    found = page.js("return qirCheck.failures.slice()")
    return b"".join(sent), out, record, found, page.js("return qirCheck.questions()")


def drawn_games(page, linux, failures):
    """Seeded games in the drawn view at every size of DRAWN_SIZES, both
    opponents, both orders and every Power from 2 to 9: each game's output
    and record must be qir --seed's with the same answers, and at every
    question the page must show what the page's check asks (questions.js)."""
    figures = {"games": 0, "answers": 0, "questions": 0}
    number = 0
    for size, how, games in DRAWN_SIZES:
        emulate(page, size, how == "taps")
        try:
            for _ in range(games):
                number += 1
                plan = {"seed": 500 + number, "order": "12"[number % 2], "opponent": "dq"[(number // 2) % 2],
                        "power": str(2 + number % 8), "instructions": "y" if number % 7 == 3 else "n",
                        "said": True, "cells": True}
                name = f"drawn-{how}-{size[0]}x{size[1]}-seed-{plan['seed']}"
                try:
                    stdin, out, record, found, questions = drawn_game(page, plan, how == "taps")
                    want_out, want_record = linux.play(name, ["--seed", str(plan["seed"]), "--record", "game.qir"], stdin)
                    page.forget_games()
                    figures["games"] += 1
                    figures["answers"] += stdin.count(b"\n")
                    figures["questions"] += questions
                    failures.case(name, failures.check(name, "output", want_out, out),
                                  failures.check(name, "record", want_record, record),
                                  failures.check(name, "what the page showed", [], found))
                except Exception as error:  # pylint: disable=broad-except
                    failures.failed.append(f"{name}: {type(error).__name__}: {error}")
        finally:
            page.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
            page.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    return figures


def classic_games(page, linux, failures, cases):
    """The classic view: each game's output is what qir --color=always writes
    to a terminal of the page's terminal's size, colour and all."""
    page.set_view("classic")
    try:
        for name, seed, stdin in cases:
            name = "classic-" + name
            try:
                page.open(f"?seed={seed}")
                page.first_question()
                size = tuple(page.js("return qir.size()"))
                page.type(stdin)
                out, record, _ = page.results()
                page.forget_games()
                want_out, want_record = linux.on_terminal(
                    name, ["--color=always", "--seed", str(seed), "--record", "game.qir"], None, stdin, size, typed=True)
                failures.case(name, failures.check(name, f"output on {size[0]}x{size[1]}", want_out, out),
                              failures.check(name, "record", want_record, record))
            except Exception as error:  # pylint: disable=broad-except
                failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.set_view("drawn")


FRAME = re.compile(r"^ {10}\|-+(-YOU--|DRAVIK|QUELBY)-+\|$")
UNIT_ROWS = ("Bases ", "Def Units ", "Att Units ", "Defending ", "Attacking ")


def board_and_question_in_view(screen, question):
    """Both labelled frame lines with the ten unit rows between them, and the
    question's last line at the foot of what is shown."""
    rows = [row.rstrip() for row in screen]
    frames = [i for i, row in enumerate(rows) if FRAME.match(row)]
    if len(frames) != 2:
        return False
    units = [row for row in rows[frames[0]:frames[1]] if row.startswith(UNIT_ROWS) or row in
             (label.rstrip() for label in UNIT_ROWS)]
    shown = [row for row in rows if row]
    return len(units) == 10 and shown[-1] == question.split("\n")[-1].rstrip()


def short_window(page, failures):
    """In a window too short for the full board, the page's terminal gets the
    compact one: at every question of a Power 9 game, its answers typed on the
    terminal, the whole board and the question are in view together."""
    name = "short-window"
    page.driver.set_window_size(1000, 560)
    page.set_view("classic")
    try:
        lines = answers(DATA / "bench" / "quelby-second-power9.in").split(b"\n")[:150]
        page.open("?seed=32")
        page.first_question()
        rows = len(page.screen())
        hidden = []
        read = 0  # how much of the output came before the last answer was read
        for number, line in enumerate(lines):
            page.until("qir.waiting() || qir.ended()")
            output = page.js("return qir.output()")
            # The questions of a new game come before its first board.
            question = without_colour(output[read:].encode("latin-1")).decode("latin-1")
            drawn = "\x1b[H\x1b[2J" in output[output.rfind("Welcome to QIR!"):]
            if drawn and not board_and_question_in_view(page.screen(), question):
                hidden.append(number)
            read = len(output)
            page.js("qir.keys(arguments[0])", line.decode("latin-1") + "\r")  # echoed, as a player types
        page.forget_games()
        failures.case(name, failures.check(name, f"the whole board and the question on {rows} rows "
                                           f"(not at the questions {hidden[:10]} of {len(lines)})", True, not hidden))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.set_view("drawn")
        page.driver.set_window_size(1200, 1400)


def power9_mid_combat(linux):
    """How many answers of the long Power 9 game lead to a question with a
    fight on the board drawn last, with few lines since: a screen in the
    middle of combat."""
    lines = answers(DATA / "bench" / "quelby-second-power9.in").split(b"\n")

    def scene(count):
        out, _ = linux.play("power9-board", ["--seed", "32"], b"\n".join(lines[:count]) + b"\n")
        board = out.split(b"\x1b[H\x1b[2J")[-1]
        rows = board.split(b"\n")
        fighting = len(rows) > 9 and (rows[6].startswith(b"Attacking |") or rows[8].startswith(b"Attacking |"))
        return (not fighting, board.count(b"\n"), -count)

    cut = min(range(300, 500, 3), key=scene)
    return b"\n".join(lines[:cut]) + b"\n"


CONTRAST_JS = """
const luminance = rgb => {
    const [r, g, b] = rgb.map(c => { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
};
const colour = text => text.match(/[\\d.]+/g).map(Number);
const background = e => {
    for (; e; e = e.parentElement) {
        const c = colour(getComputedStyle(e).backgroundColor);
        if (c.length < 4 || c[3] > 0) return c.slice(0, 3);
    }
    return [255, 255, 255];
};
const pairs = {};
for (const e of document.querySelectorAll('body *')) {
    const own = Array.from(e.childNodes).some(n => n.nodeType === 3 && n.textContent.trim() !== '');
    const style = getComputedStyle(e);
    if (!own || style.visibility === 'hidden' || e.closest('[hidden], .unseen, .xterm-helpers') ||
        e.getClientRects().length === 0) continue;
    const fg = colour(style.color).slice(0, 3), bg = background(e);
    const [l1, l2] = [luminance(fg), luminance(bg)].sort((a, b) => b - a);
    pairs[`${style.color} on rgb(${bg.join(', ')})`] = Math.round((l1 + 0.05) / (l2 + 0.05) * 100) / 100;
}
return pairs;
"""


def power9_screens(page, linux, work, failures):
    """A Power 9 game in the middle of combat, in both views at 390x844 (a
    phone) and 1920x1080: a screenshot of each, the contrast of every text
    colour on the page, and the two sides' styles, which must differ in more
    than colour."""
    stdin = power9_mid_combat(linux)
    shots, contrasts = [], {}
    for view in ("drawn", "classic"):
        page.set_view(view)
        for width, height in ((390, 844), (1920, 1080)):
            name = f"power9-{view}-{width}x{height}"
            try:
                emulate(page, (width, height), width < 900)
                page.open("?seed=32")
                page.first_question()
                page.type(stdin, end=False)
                page.until("qir.waiting()")
                time.sleep(0.5)  # the terminal draws on the next frames
                shot = Path(work) / f"{name}.png"
                page.driver.save_screenshot(str(shot))
                shots.append(shot)
                contrasts.update(page.js(CONTRAST_JS))
                if view == "drawn":
                    sides = page.js("return ['theirs', 'yours'].map(side => {"
                                    "const s = getComputedStyle(document.querySelector('table.side.' + side));"
                                    "return [s.borderTopStyle, s.borderTopWidth, s.fontWeight]; })")
                    failures.case(name, failures.check(name, "the sides' border and weight differ", True,
                                                       all(a != b for a, b in zip(*sides))))
                page.forget_games()
            except Exception as error:  # pylint: disable=broad-except
                failures.failed.append(f"{name}: {type(error).__name__}: {error}")
            finally:
                page.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
                page.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    page.set_view("drawn")
    low = {pair: ratio for pair, ratio in contrasts.items() if ratio < 4.5}
    failures.case("contrast", failures.check("contrast", "text colours under 4.5:1", {}, low))
    return shots, contrasts


def reading_keys(page, failures):
    """At a question with a fight on the board, the reading keys (Alt with a
    digit or a letter) read what they name into the live region, and no
    answer reaches the game."""
    name = "reading-keys"
    try:
        emulate(page, (1366, 768), False)
        plan = {"seed": 32, "order": "2", "opponent": "q", "power": "9", "instructions": "n", "said": False,
                "cells": False}
        page.open("?seed=32")
        page.first_question()
        for _ in range(DRAWN_ANSWERS):
            step = page.driver.execute_async_script("qirCheck.next(arguments[0], arguments[1])", plan)
            board = page.js("return qir.board()")
            if step.get("ended") or (board and board["attacker"] >= 0 and board["columns"] and
                                     any(c[0] for c in board["columns"])):
                break
            press(page, step["key"])
        before = page.js("return [qir.output(), qir.record()]")
        human, them = board["sides"][board["human"]], board["sides"][1 - board["human"]]
        attacker = board["attacker"]
        column_a = board["columns"][0]
        wanted = {
            "1": [f"{board['opponent']}'s rows: {them['bases']} Base"],
            "2": ["attacking: A " + (str(column_a[0]) if column_a[0] else "empty")],
            "3": ["defending: A " + (str(column_a[2]) if column_a[2] else "unopposed" if column_a[4] else "empty")],
            "4": [f"Your rows: {human['bases']} Base"],
            "5": ["Your Reserves: "] + [f"{n} of Power {p + 1}" for p, n in enumerate(human["res"]) if n],
            "6": ["fight"],
            "A": ["Column A: " + ("You" if attacker == board["human"] else board["opponent"]) + " attacking"],
        }
        read = {}
        for key, parts in wanted.items():
            press(page, key, alt=True)
            read[key] = page.js("return document.getElementById('said').textContent")
            if not all(part in read[key] for part in parts):
                failures.failed.append(f"{name}: Alt+{key} read {read[key]!r}, not {parts}")
        after = page.js("return [qir.output(), qir.record()]")
        page.js("qir.endInput()")
        page.forget_games()
        failures.case(name, failures.check(name, "no answer sent by a reading key", before, after))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def focus_after_controls(page, failures, downloads):
    """After a click on each control of the page, the next key typed is an
    answer the game reads; a key never works the control again."""
    # The second New game finds the first game unfinished and offers it; Kept
    # games opens the list, whose first button that works continues or shares.
    controls = ["#menu", "#help summary", "#explain", "#download", "#answers button", "#classic", "#screen-reader",
                "#classic", "#new-game", "#new-game", "#offer button", "#daily", "#show-kept",
                "#kept-games button:not([disabled])", "#export-all", "#forget-all"]
    emulate(page, (600, 900), False)  # narrow: the controls are behind the Menu button
    try:
        page.forget_games()
        page.open("?seed=40")
        page.first_question()
        page.type(b"n\n1\n5\nd\n\n", end=False)  # a few answers, so the game is kept
        for selector in controls:
            name = "focus-after-" + re.sub(r"\W+", "-", selector.split(":")[0].strip("#"))
            try:
                page.until("qir.waiting()", 10)
                downloaded = len(list(Path(downloads).iterdir()))
                page.driver.find_element(By.CSS_SELECTOR, selector).click()
                time.sleep(0.2)
                page.until("qir.waiting()", 10)
                shown = page.js("return qir.output().length")
                if page.js("return qir.view()") == "classic":
                    page.driver.execute_cdp_cmd("Input.insertText", {"text": "n"})
                press(page, "\n" if page.js("return qir.view()") == "classic" else "n")
                reached = page.until("qir.output().length > arguments[0]", 10, shown)
                again = len(list(Path(downloads).iterdir())) - downloaded > (selector in ("#download", "#export-all"))
                failures.case(name, failures.check(name, "the next key reached the game", True, bool(reached)),
                              failures.check(name, "the control worked once", False, again))
            except Exception as error:  # pylint: disable=broad-except
                failures.failed.append(f"{name}: {type(error).__name__}: {error}")
        page.forget_games()
    finally:
        page.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        page.set_view("drawn")


def only_local_requests(page):
    """Every resource the page loaded came from its own site."""
    return page.js("return performance.getEntriesByType('resource').map(e => e.name)"
                   ".filter(n => !n.startsWith(location.origin) && !n.startsWith('data:') && !n.startsWith('blob:'))")


KEPT_GAMES = 15
MUTATED_LINKS = 50


def settings_of(record):
    """The first game's order, Power and opponent, from its answers as the game reads them."""
    wanted, taken = ["yn", "12", "23456789", "dq"], []
    for line in record.decode("latin-1").split("\n"):
        if len(taken) < 4 and line.startswith("answer ") and len(line) > 7 and line[7] in wanted[len(taken)]:
            taken.append(line[7])
    return taken[1:]


def described(record, replayed):
    """What the list of kept games must say of a record, from qir --replay's output."""
    order, power, opponent = settings_of(record)
    last = replayed.split(b"Welcome to QIR!")[-1]
    rounds = re.findall(rb"Starting round (\d+)", last)
    won = re.search(rb"You win!  You beat the \w+ in (\d+) round", last)
    lost = re.search(rb"You lose!  \w+ won in (\d+) round", last)
    round_ = int((won or lost).group(1)) if won or lost else int(rounds[-1]) if rounds else 0
    parts = ["against " + ("Dravik" if opponent == "d" else "Quelby"), "Power " + power,
             "you first" if order == "1" else "you second"]
    if round_:
        parts.append(f"round {round_}")
    parts.append("you won" if won else "you lost" if lost else "unfinished")
    return ", ".join(parts)


def kept_list(page):
    return page.js("return [...document.querySelectorAll('#kept-games li span')].map(e => e.textContent)")


def choose_files(page, element_id, paths):
    page.driver.find_element(By.ID, element_id).send_keys("\n".join(str(p) for p in paths))


def kept_games(page, linux, failures, downloads, work, site_url):
    """Fifteen finished games brought in by one zip (with a bad record and an
    entry larger than any record, both refused by name) are all listed and
    described; their export unzips to the same records, which qir --replay
    shows as the page replays them; the export brought into a fresh profile
    gives the same list; one game and then all are forgotten. Returns the records."""
    name = "kept-games"
    records = {}
    try:
        for n in range(1, KEPT_GAMES + 1):
            _, record = linux.play(f"kept-{n}", ["--seed", str(100 + n), "--record", "game.qir"],
                                   random_answers(20240611 + n))
            records[f"game-{n:02d}.qir"] = record
        want = sorted(f"{described(r, linux.play('kept-replay', ['--replay', 'game.qir'], b'', record=r)[0])} ({n})"
                      for n, r in records.items())
        archive = Path(work) / "games.zip"
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
            for file_name, record in records.items():
                out.writestr(file_name, record)
            out.writestr("bad.qir", b"Qir record 1\ngame 1.1.0\nanswer <img src=x onerror=alert(1)>\n")
            out.writestr("huge.qir", b"\0" * (17 << 20))
        page.open("?seed=1")
        page.first_question()
        page.forget_games()
        page.js("window.qirImported = null")
        choose_files(page, "import", [archive])
        imported = page.until("window.qirImported", 60)
        listed = sorted(kept_list(page))
        refused = sorted(r.split(":")[0] for r in imported["refused"])
        ok = [failures.check(name, "the list of kept games", want, listed),
              failures.check(name, "the refused files", ["bad.qir", "huge.qir"], refused)]

        page.driver.find_element(By.ID, "export-all").click()
        exported = wait_for_download(downloads, ".zip")
        with zipfile.ZipFile(exported) as unzipped:
            held = {n: unzipped.read(n) for n in unzipped.namelist()}
        unzip_ok = subprocess.run(["unzip", "-tq", str(exported)], capture_output=True, check=False).returncode == 0
        ok += [failures.check(name, "the exported records", records, held),
               failures.check(name, "unzip reads the export", True, unzip_ok)]
        for file_name in records:
            size = page.js("qir.replayKept(arguments[0]); return qir.size()", file_name)
            out, _, _ = watch_replay(page)
            want_out = linux.replay_on_terminal(name + "-replay", records[file_name], size)
            ok.append(failures.check(name, f"the page's replay of {file_name}", without_colour(want_out),
                                     without_colour(out)))

        fresh = Page(site_url, downloads)
        try:
            fresh.open("?seed=1")
            fresh.first_question()
            fresh.js("window.qirImported = null")
            choose_files(fresh, "import", [exported])
            fresh.until("window.qirImported", 60)
            brought = sorted(entry for entry in kept_list(fresh) if "(game-" in entry)
            ok.append(failures.check(name, "the list brought into a fresh profile", want, brought))
        finally:
            fresh.driver.quit()
        exported.unlink()

        page.driver.find_element(By.ID, "show-kept").click()
        page.driver.find_element(By.XPATH, "//li[contains(., '(game-01.qir)')]/button[text()='Forget']").click()
        page.until("document.querySelectorAll('#kept-games li').length === arguments[0]", 10, KEPT_GAMES - 1)
        page.driver.find_element(By.ID, "forget-all").click()
        page.until("document.querySelectorAll('#kept-games li').length === 0", 10)
        failures.case(name, *ok)
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    return records


def reload_unseeded(page, failures):
    """A game without a seed, left by a reload in its middle, is offered again."""
    name = "reload-unseeded"
    try:
        page.forget_games()
        page.open()
        page.first_question()
        page.type(b"n\n1\n", end=False)
        page.until("qir.waiting()")
        page.open(reload=True)
        offered = page.until("document.getElementById('offer').textContent.includes('You were playing')", 10)
        page.driver.find_element(By.XPATH, "//div[@id='offer']/button[text()='Continue it']").click()
        page.until("qir.waiting() && qir.screen().some(line => line.includes('Enter a number between 2 and 9'))", 10)
        page.forget_games()
        failures.case(name, failures.check(name, "the game offered after the reload", True, bool(offered)))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")


def mutated(link, rng):
    """Fifty links that are no game's: cut, flipped, of another format, a bomb, markup."""
    base, fragment = link.split("#replay=")
    links = []
    for n in range(20):
        links.append(base + "#replay=" + fragment[:rng.randrange(1, len(fragment))])
    alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
    for n in range(20):
        at = rng.randrange(len(fragment))
        links.append(base + "#replay=" + fragment[:at] + rng.choice(alphabet.replace(fragment[at], "")) + fragment[at + 1:])
    packed = lambda data: base64.urlsafe_b64encode(raw_deflate(data)).decode().rstrip("=")
    markup = b"<img src=x onerror=window.qirPwned=1><script>window.qirPwned=1</script>"
    for data in [b"Qir record 2\ngame 1.1.0\n", b"PK\x03\x04 not a record", b"\0" * (20 << 20),
                 b"Qir record 1\ngame " + markup + b"\nseed 5\n",
                 b"Qir record 1\ngame 1.1.0\nseed " + markup + b"\n",
                 b"Qir record 1\ngame 1.1.0\nanswer " + markup + b"\n",
                 b"Qir record 1\ngame 1.1.0\n" + markup + b"\n"]:
        links.append(base + "#replay=" + packed(data))
    links += [base + "#replay=" + "%3Cimg%20src=x%20onerror=window.qirPwned=1%3E", base + "#replay=<b>x</b>",
              base + "#replay="]
    return links[:MUTATED_LINKS]


def raw_deflate(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


def replay_links(page, linux, failures, site_url, downloads, records):
    """Every record of the tests' data, as a link, is at most 2,000 characters
    with the served address; a link opened in a fresh profile replays its game
    as qir --replay shows it; fifty mutated links are refused or replayed as
    text, with nothing injected into the document. Returns the lengths."""
    name = "replay-links"
    lengths = []
    try:
        page.open("?seed=1")
        page.first_question()
        carried = []
        for record in records:
            length, back = page.js("const link = QirShare.link(arguments[0]);"
                                   "const bytes = QirShare.recordOfLink(link.split('#replay=')[1]);"
                                   "return [link.length, Array.from(bytes, b => String.fromCharCode(b)).join('')];",
                                   record.decode("latin-1"))
            lengths.append(length)
            carried.append(back.encode("latin-1") == record)
        # Every link gives back its record, byte for byte, as the page reads it
        # when the link is opened; the first two are opened and replayed whole.
        ok = [failures.check(name, f"the longest link ({max(lengths)} characters) within 2,000", True,
                             max(lengths) <= 2000),
              failures.check(name, "every link carries its record whole", [True] * len(records), carried)]
        fresh = Page(site_url, downloads)
        try:
            for record in records[:2]:
                link = page.js("return QirShare.link(arguments[0])", record.decode("latin-1"))
                fresh.open(url="about:blank")  # the link loads the page, as when it is followed from a message
                fresh.open(url=link)
                size = fresh.js("return qir.size()")
                out, _, _ = watch_replay(fresh)
                want = linux.replay_on_terminal(name, record, size)
                kept = fresh.js("return Object.keys(localStorage).filter(k => k.startsWith('qir:record:')).length")
                ok += [failures.check(name, "the link's replay", without_colour(want), without_colour(out)),
                       failures.check(name, "nothing kept of a link unasked", 0, kept)]
            rng = random.Random(25)
            injected = []
            for number, bad in enumerate(mutated(page.js("return QirShare.link(arguments[0])",
                                                         records[0].decode("latin-1")), rng)):
                fresh.open("?seed=1")  # a fragment alone does not load a page again
                fresh.open(url=bad)
                fresh.until("window.qir && (qir.ended() || qir.waiting() || document.getElementById('state').textContent)", 20)
                fresh.js("setInterval(() => { if (qir.waiting()) qir.type('\\n'); }, 5)")
                time.sleep(0.1)
                if fresh.js("return window.qirPwned !== undefined || document.querySelector('#terminal img, #state *, "
                            "#offer img, #offer script, #kept img') !== null") or not nothing_raw(fresh, True):
                    injected.append(number)
            ok.append(failures.check(name, "mutated links that injected anything", [], injected))
        finally:
            fresh.driver.quit()
        page.forget_games()
        failures.case(name, *ok)
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    return lengths


DAILY_CLOCK = "Date.now = () => 1798070400000 + 3600000;"  # 24 December 2026, 01:00 UTC


def daily_game(site_url, downloads, linux, failures):
    """?daily on a faked 24 December 2026 plays qir --daily=2026-12-24 with the
    same answers, output and record; its result to copy says the day, the
    outcome and the round, with a link that carries the record; another day
    rolls other dice."""
    name = "daily"
    page = Page(site_url, downloads)
    try:
        page.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": "(() => { const now = Date.now; " + DAILY_CLOCK + " })();"})
        stdin = b"n\n" + b"\n".join(random_answers(20240612).split(b"\n")[4:400]) + b"\n"
        # The drawn view writes as to a pipe.
        want_out, want_record = linux.play(name, ["--daily=2026-12-24", "--record", "game.qir"], stdin)
        out, record, _ = page.play("?daily", stdin)
        said, link = (page.js("return window.qirDailyResult || ''") + "\n").split("\n")[:2]
        page.forget_games()
        ending = re.search(rb"You (win)!  You beat \w+ in (\d+) round|You (lose)!  \w+ won in (\d+) round", out)
        want_said = ""
        if ending:
            outcome = "won" if ending.group(1) else "lost"
            want_said = f"Qir daily game of 2026-12-24: I {outcome} in round {int(ending.group(2) or ending.group(4))}."
        fragment = link.partition("#replay=")[2].encode()
        carried = zlib.decompress(base64.urlsafe_b64decode(fragment + b"=" * (-len(fragment) % 4)), -15)
        _, other = linux.play(name + "-other", ["--daily=2026-12-25", "--record", "game.qir"], stdin)
        dice = lambda text: re.findall(rb"^dice .*$", text, re.M)
        failures.case(name, failures.check(name, "output", without_colour(want_out), without_colour(out)),
                      failures.check(name, "record", want_record, record),
                      failures.check(name, "the result to copy", [want_said, True, record],
                                     [said, link.startswith(site_url), carried]),
                      failures.check(name, "another day's dice differ", True, dice(other) != dice(record)))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.driver.quit()


def storage_persisted(site_url, downloads, failures):
    """The page asks for lasting storage at the first kept game and says
    whether the browser granted it: refused as headless Chromium does, then
    granted through the DevTools protocol."""
    name = "persistent-storage"
    page = Page(site_url, downloads)
    try:
        said = []
        for granted in (False, True):
            if granted:
                page.driver.execute_cdp_cmd("Browser.grantPermissions", {"permissions": ["durableStorage"]})
            page.open("?seed=3")
            page.first_question()
            page.type(b"n\n", end=False)
            page.until("qir.waiting()")
            page.js("document.getElementById('show-kept').click()")
            said.append(page.until("document.getElementById('storage').textContent.includes(arguments[0]) && "
                                   "document.getElementById('storage').textContent", 10,
                                   "for good" if granted else "may clear"))
            page.forget_games()
        failures.case(name, failures.check(name, "what the page says of its storage", 2, len(said)))
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
    finally:
        page.driver.quit()


def installed_offline(site, downloads, failures):
    """The manifest and its icons; the service worker installed; with the
    server stopped a second start still shows the first question, within 1 s;
    a changed file is picked up on the next start. Returns the offline start in ms."""
    name = "offline"
    server = serve(site)
    port = server.server_address[1]
    url = f"http://127.0.0.1:{port}/index.html"
    page = Page(url, downloads)
    try:
        page.open()
        page.first_question()
        manifest = page.js("return fetch('manifest.webmanifest').then(r => r.json())")
        icons = page.js("return Promise.all(arguments[0].map(icon => new Promise(done => {"
                        " const image = new Image(); image.onload = () => done([icon.sizes, image.naturalWidth + 'x' +"
                        " image.naturalHeight]); image.onerror = () => done([icon.sizes, 'none']); image.src = icon.src; })))",
                        manifest.get("icons", []))
        fields = [manifest.get(k) is not None for k in ("name", "short_name", "start_url", "theme_color",
                                                         "background_color")] + [manifest.get("display") == "standalone"]
        page.js("return navigator.serviceWorker.ready.then(() => true)")
        server.shutdown()
        server.server_close()
        page.forget_games()  # no game to offer again: the start goes to the first question
        page.open()
        page.first_question()
        offline_ms = page.loads[-1]
        # The server again, with a changed file: the next start fetches it, the one after shows it.
        server = serve(site, port)
        changed = Path(site) / "page.css"
        before = changed.read_bytes()
        changed.write_bytes(before + b"\n/* changed */\n")
        try:
            page.forget_games()
            page.open()
            told = page.until("document.getElementById('state').textContent.includes('new version')", 20)
            page.forget_games()
            page.open()
            seen = page.js("return fetch('page.css').then(r => r.text()).then(t => t.includes('changed'))")
        finally:
            changed.write_bytes(before)
        failures.case(name, failures.check(name, "the manifest's fields", [True] * 6, fields),
                      failures.check(name, "the icons", [["192x192", "192x192"], ["512x512", "512x512"]], icons),
                      failures.check(name, f"the offline start ({offline_ms:.0f} ms) within 1 s", True,
                                     offline_ms < 1000),
                      failures.check(name, "the changed file, said and picked up", [True, True], [bool(told), seen]))
        return offline_ms
    except Exception as error:  # pylint: disable=broad-except
        failures.failed.append(f"{name}: {type(error).__name__}: {error}")
        return None
    finally:
        page.driver.quit()
        server.shutdown()
        server.server_close()


def serve(folder, port=0):
    handler = functools.partial(QuietHandler, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):  # pylint: disable=redefined-builtin
        pass


def sizes(site):
    """Every file the page loads at its start, gzipped."""
    files = ["index.html", "page.css", "qir.js", "page.js", "board.js", "speech.js", "keep.js", "share.js",
             "xterm/xterm.js", "xterm/addon-fit.js", "xterm/xterm.css", "fflate/fflate.js"]
    return {f: len(gzip.compress((Path(site) / f).read_bytes(), 9)) for f in files}


def page_size(site):
    """Every file the page serves, each gzipped, together."""
    return sum(len(gzip.compress(p.read_bytes(), 9)) for p in Path(site).rglob("*") if p.is_file())


def main():
    site, qir, work = (Path(a).resolve() for a in sys.argv[1:4])
    started = time.time()
    downloads = work / "downloads"
    downloads.mkdir(parents=True, exist_ok=True)
    linux = Linux(qir, work)
    failures = Failures()
    server = serve(site)
    page = Page(f"http://127.0.0.1:{server.server_address[1]}/index.html", downloads)
    try:
        cases = []
        for path in sorted(DATA.glob("*.in")):
            clock = session_seed(path, 1000)
            for seed in sorted({clock, 1000, 1005, 1010, 4242}):
                cases.append((f"session-{path.stem}-{seed}", seed, answers(path)))
        for path in sorted((DATA / "bench").glob("*.in")):
            cases.append((f"bench-{path.stem}", session_seed(path, 1000), answers(path)))
        recorded = len(cases)  # the games of the tests' data; random streams follow
        games = recorded + RANDOM_STREAMS
        cases += [(f"random-{n:02d}", 100 + n, random_answers(20240611 + n)) for n in range(1, RANDOM_STREAMS + 1)]
        compare_games(page, linux, failures, cases)
        strays = only_local_requests(page)
        continue_after_reload(page, linux, failures, downloads)
        replay_in_page(page, linux, failures)
        keys_through_the_terminal(page, failures)
        storage_refused(page, failures, downloads)
        escaped_names(page, failures)
        short_window(page, failures)
        hostile = hostile_files(page.site, downloads, work, failures)
        added = time.time()
        reload_unseeded(page, failures)
        kept_records = kept_games(page, linux, failures, downloads, work, page.site)
        data_records = [r for c in cases[:recorded] for r in [linux.play("link-" + c[0], ["--seed", str(c[1]), "--record",
                        "game.qir"], c[2])[1]]] + [p.read_bytes() for p in sorted((DATA / "records").glob("*.qir"))]
        link_lengths = replay_links(page, linux, failures, page.site, downloads, data_records)
        daily_game(page.site, downloads, linux, failures)
        storage_persisted(page.site, downloads, failures)
        offline_ms = installed_offline(site, downloads, failures)
        added = time.time() - added
        from_disk = Page((site / "index.html").as_uri(), downloads)
        try:
            compare_games(from_disk, linux, failures, [("from-disk-" + cases[0][0], *cases[0][1:])])
            disk_load = from_disk.loads[0]
        finally:
            from_disk.driver.quit()
        classic_games(page, linux, failures, cases[:3] + cases[-2:])
        drawn = drawn_games(page, linux, failures)
        reading_keys(page, failures)
        focus_after_controls(page, failures, downloads)
        shots, contrasts = power9_screens(page, linux, work, failures)
    finally:
        page.driver.quit()
        server.shutdown()

    for failure in failures.failed:
        print("DIFFERENT: " + failure)
    if strays:
        print("web-check: the page asked other sites for " + ", ".join(strays))
    size = sizes(site)
    total = sum(size.values())
    loads = page.loads
    print("sizes, gzipped: " + ", ".join(f"{f} {n / 1024:.1f} KB" for f, n in size.items()) +
          f"; together {total / 1024:.1f} KB; every file of the page "
          f"{page_size(site) / 1024:.1f} KB (limit {PAGE_LIMIT // 1024} KB)")
    print(f"first question on the screen: {loads[0]:.0f} ms at the first opening, median {statistics.median(loads):.0f} ms, "
          f"slowest {max(loads):.0f} ms over {len(loads)} openings; {disk_load:.0f} ms from the disk (file://)")
    print(f"drawn view: {drawn['games']} games by taps and keys, {drawn['answers']} answers, "
          f"{drawn['questions']} questions checked")
    print("contrast of the page's text colours: " + ", ".join(f"{ratio}:1 ({pair})" for pair, ratio in
                                                            sorted(contrasts.items(), key=lambda item: item[1])[:6]) +
          f"; lowest of {len(contrasts)} pairs first")
    print("screenshots of a Power 9 game in combat: " + ", ".join(str(shot) for shot in shots))
    if "replay" in hostile:
        print(f"the largest record ({hostile['answers']} refused answers) replayed in {hostile['replay']:.0f} s, "
              f"the tab at most {hostile['memory'] / (1 << 20):.0f} MB of its own "
              f"({hostile['resident'] / (1 << 20):.0f} MB resident with the browser's shared code)")
    if "refusal" in hostile:
        print(f"a 1.5 GB file refused in {hostile['refusal']:.2f} s")
    if link_lengths:
        print(f"replay links of the {len(link_lengths)} records of the tests' data: longest {max(link_lengths)}, "
              f"median {statistics.median(link_lengths):.0f} characters with the served address")
    if offline_ms is not None:
        print(f"the installed page started offline in {offline_ms:.0f} ms")
    print(f"kept, shared, daily and offline checks: {added:.0f} s")
    print(f"web-check: {failures.matched} of {failures.matched + len(failures.failed)} matched "
          f"({games} seeded games compared) in {time.time() - started:.0f} s")
    slow = statistics.median(loads) > LOAD_LIMIT_MS
    if slow:
        print(f"web-check: the first question took longer than {LOAD_LIMIT_MS} ms")
    return 1 if failures.failed or strays or page_size(site) > PAGE_LIMIT or slow else 0


if __name__ == "__main__":
    sys.exit(main())
