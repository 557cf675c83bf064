# SPDX-License-Identifier: MIT
"""The screen as a player sees it, on pseudo-terminals of a given size.

At every question and pause of the recorded sessions and the long games,
typed one answer at a time at 80x24, 80x40, 100x45 and 70x20 and in a
window resized between answers, the board must be in view with what came
since the last answer: on a terminal of at least 80x24 the whole board
and all of that text, on a smaller one the frame lines, the ten rows of
units and the question's last line. The board must be the one the game
last drew. Through a pipe, and on a terminal tall enough that nothing is
drawn again, the game must print exactly what it always has; colour adds
only its sequences. The instructions' pager, --rules, and what is said
when a game is cut off or a replay ends are played here too.

Run by CTest, which names the programs in QIR (the game), QIR_FIXED_CLOCK
(the game with the tests' clock, for the recorded sessions),
QIR_TEST_DATA and QIR_BUILD (where the screenshot goes).
"""

import glob
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import pyte  # noqa: F401
except ImportError:
    print("python3-pyte is missing (apt-get install python3-pyte)")
    sys.exit(77)  # CTest's skip
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import SGR, Terminal, echo_of, without_colour  # noqa: E402

QIR = os.environ.get("QIR", "build/qir")
QIR_FIXED_CLOCK = os.environ.get("QIR_FIXED_CLOCK", "build/tests/qir_fixed_clock")
DATA = os.environ.get("QIR_TEST_DATA", os.path.join(os.path.dirname(__file__), "..", "data"))
BUILD = os.environ.get("QIR_BUILD", "build")

CLEAR = b"\033[H\033[2J"
FRAME = re.compile(r"^ {10}\|-{22}(-YOU--|DRAVIK|QUELBY)-{23}\|$")
UNIT_IDS = "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|"
BAR = " " * 10 + "|" + "-" * 51 + "|"
UNIT_LABELS = ["Bases", "Def Units", "Att Units", "Defending", "Attacking",
               "Attacking", "Defending", "Att Units", "Def Units", "Bases"]
WRAPPED_ROW = re.compile(r"^[1-9 |!]*$")  # the rest of a row of units the terminal wrapped
BOARD_TOP = re.compile(rb" {10}\|-{22}(-YOU--|DRAVIK|QUELBY)-{23}\|\n")
PAGER_PROMPT = b"-- Return: next page, q: to the end -- "
# What a game cut off on a terminal says on stderr, without and with a record.
NOT_KEPT = (b"qir: this game was not kept; to keep the next one, start it with 'qir --record FILE', "
            b"and 'qir --resume FILE' goes on with it after a stop\n")
SIZES = {"80x24": (24, 80), "80x40": (40, 80), "100x45": (45, 100), "70x20": (20, 70)}
# Where the window is resized: before these answers of each long game, to these sizes in turn.
RESIZES = {40: (20, 70), 120: (45, 100), 200: (24, 80), 330: (40, 80), 420: (20, 70), 560: (45, 100)}


class Game:
    """A game to play: its program and arguments, and the answers typed."""

    def __init__(self, name, argv, answers, env=None, expected=None, sha256=None, args=()):
        self.name, self.argv, self.answers = name, argv + list(args), answers
        self.env = env or {}
        self.expected, self.sha256 = expected, sha256  # what the pipe must print, whole or by its hash

    def pipe(self, extra_env=None, args=()):
        """Everything the game prints to a pipe, all answers given at once."""
        env = {name: value for name, value in os.environ.items() if name not in ("COLUMNS", "LINES")}
        env.update(self.env, **(extra_env or {}))
        stdin = b"".join(answer + b"\n" for answer in self.answers)
        return subprocess.run(self.argv + list(args), input=stdin, stdout=subprocess.PIPE, env=env, timeout=120).stdout

    def terminal(self, rows, columns=80, args=(), env=None, render=True, at_wait=None):
        """Plays the game on a terminal, one answer each time it waits; calls
        at_wait(terminal, n) before the n-th answer. The pager of the
        instructions is turned with Return, which is no answer. Returns the
        terminal, whose `waits` are where in the output each answer was asked."""
        with Terminal(self.argv + list(args), rows=rows, columns=columns,
                      env={"TERM": "xterm", **self.env, **(env or {})}, render=render) as t:
            t.waits, t.answered, t.pages, t.paged = [], [], 0, set()
            while t.wait(60):
                if without_colour(t.output[-80:]).endswith(PAGER_PROMPT):
                    t.pages += 1
                    t.paged.add(len(t.waits))
                    t.type("\n")
                    continue
                t.waits.append(len(t.output))
                if at_wait:
                    at_wait(t, len(t.waits) - 1)
                if len(t.waits) > len(self.answers):
                    t.close_input()
                else:
                    t.type(self.answers[len(t.waits) - 1] + b"\n")
                    t.answered.append(len(t.typed_at) - 1)
            t.finish()
            return t


def read_answers(path):
    """The header lines ("# ...") and the answers of an input file."""
    headers, answers = [], []
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    for line in lines:
        if not answers and line.startswith(b"# "):
            headers.append(line[2:].decode())
        else:
            answers.append(line)
    return headers, answers


def sessions():
    """The recorded sessions, played by the game with the tests' clock."""
    games = []
    for path in sorted(glob.glob(os.path.join(DATA, "*.in"))):
        headers, answers = read_answers(path)
        clock = next((h.split()[1] for h in headers if h.startswith("clock ")), "1000")
        args = next((h.split()[1:] for h in headers if h.startswith("args ")), [])
        with open(path[:-3] + ".out", "rb") as f:
            expected = f.read()
        games.append(Game(os.path.basename(path)[:-3], [QIR_FIXED_CLOCK], answers,
                          env={"QIR_TEST_CLOCK": clock}, expected=expected, args=args))
    return games


def long_games():
    """The long games: several whole games each, seeded, with junk among the answers."""
    games = []
    for path in sorted(glob.glob(os.path.join(DATA, "long", "*.in"))):
        headers, answers = read_answers(path)
        seed = re.match(r"seed (\d+)\.", headers[0]).group(1)
        digest = next(h.split()[1] for h in headers if h.startswith("sha256 "))
        games.append(Game(os.path.basename(path)[:-3], [QIR, "--seed", seed], answers, sha256=digest))
    return games


def squeezed(text):
    """Text without its whitespace: a line broken to the width reads the same."""
    return re.sub(r"\s+", "", text)


def screens(t):
    """What the game wrote before each of its waits since the answer before,
    and after the last: echo and colour left out."""
    texts, start = [], 0
    for n, end in enumerate(t.waits + [len(t.output)]):
        if n > len(t.answered):
            start = t.waits[n - 1]  # the input was closed there
        elif n > 0:
            offset, typed = t.typed_at[t.answered[n - 1]]
            echo = echo_of(typed)
            assert t.output[offset:offset + len(echo)] == echo, "the echo is not where the answer was typed"
            start = offset + len(echo)
        texts.append(without_colour(t.output[start:end].replace(b"\r\n", b"\n")))
    return texts


class Asked:
    """At one wait of a game on a terminal tall enough that nothing is drawn
    again: the ten unit rows of the board in view (None before the game's
    first board), and the text printed below it since the answer before."""

    def __init__(self, rows, text):
        self.rows, self.text = rows, text


def unit_rows(board):
    """The ten unit rows of a full board, trailing blanks cut."""
    rows = [line.rstrip() for line in board.split("\n") if line.startswith(tuple(UNIT_LABELS))]
    return rows[:10]


def asked_at_waits(tall):
    """What a player must see at every wait of the game played on `tall`."""
    asked, rows = [], None
    for text in screens(tall)[:-1]:
        text = text.decode("latin-1")
        if "Welcome to QIR!" in text:
            rows = None  # a new game: no board until its first
        if "\033[H\033[2J" in text:
            screen = text.rsplit("\033[H\033[2J", 1)[1]
            head, _, below = screen.partition(" units in your Reserves:\n")
            rows = unit_rows(head)
            lines = below.split("\n")
            while lines and lines[0].startswith("Power "):
                lines.pop(0)
            text = "\n".join(lines)
        asked.append(Asked(rows, text))
    return asked


def joined_rows(lines, at, labels):
    """The rows of units with these labels from line `at`, each with the rest
    the terminal wrapped onto the lines below, and the line after them; None
    where a label is missing."""
    rows = []
    for label in labels:
        if at >= len(lines) or not lines[at].startswith(label):
            return None, at
        row = lines[at]
        at += 1
        while at < len(lines) and WRAPPED_ROW.match(lines[at]):
            row += lines[at]
            at += 1
        rows.append(row.rstrip())
    return rows, at


def board_in_view(lines, whole):
    """The board on the screen: its unit rows, the line below it, and whether
    it is the full board; or None. Whole: the full or the compact board with
    every line; otherwise its frame lines and unit rows in their order, with
    what the screen kept of the Unit ID lines, the bar and the Reserves."""
    for top, line in enumerate(lines):
        if not FRAME.match(line):
            continue
        at = top + 1
        full = at < len(lines) and lines[at] == UNIT_IDS
        at += 1 if full else 0
        first, at = joined_rows(lines, at, UNIT_LABELS[:5])
        if first is None:
            continue
        middle = lines[at] if at < len(lines) and lines[at] in (UNIT_IDS, BAR) else None
        at += 1 if middle else 0
        second, at = joined_rows(lines, at, UNIT_LABELS[5:])
        if second is None:
            continue
        bottom_ids = at < len(lines) and lines[at] == UNIT_IDS
        at += 1 if bottom_ids else 0
        if at >= len(lines) or not FRAME.match(lines[at]):
            continue
        labels = {FRAME.match(line).group(1), FRAME.match(lines[at]).group(1)}
        if "-YOU--" not in labels or len(labels) != 2:
            continue
        at += 1
        if whole and full:  # both Unit ID lines and the bar, then the Reserves below a blank line
            if middle != BAR or not bottom_ids or lines[at:at + 1] != [""] or \
                    "units in your Reserves:" not in "".join(lines[at + 1:at + 2]):
                continue
            at += 2
            while at < len(lines) and lines[at].startswith("Power "):
                at += 1
        elif whole:  # one Unit ID line, then the Reserves on a line, broken only between two pairs
            if middle != UNIT_IDS or bottom_ids or not "".join(lines[at:at + 1]).startswith("Reserves, "):
                continue
            at += 1
            while at < len(lines) and re.match(r"^\d+: \d+", lines[at]):
                at += 1
        return first + second, at, full
    return None


def screen_problems(t, asked, whole):
    """What is wrong with the screen at a wait, by the rules of its size."""
    lines = t.lines()
    problems = []
    cursor = t.screen.cursor.y
    below = 0
    if asked.rows is not None:
        found = board_in_view(lines, whole)
        if found is None:
            return ["the board is not " + ("whole " if whole else "") + "in view"]
        rows, below, _ = found
        if rows != asked.rows:
            problems.append(f"the board in view is not the last drawn: {rows} for {asked.rows}")
    # Everything since the answer before, or, where that does not fit, its
    # latest part filling the screen to its last row: a single answer may
    # hold many reads, and only what came since the last of them must fit.
    shown = squeezed(" ".join(lines[below:cursor + 1]))
    wanted = squeezed(asked.text if whole else asked.text.rsplit("\n", 1)[-1])
    if not shown.endswith(wanted) and not (wanted.endswith(shown) and cursor == t.rows - 1):
        problems.append(f"what came since the last answer is not in view: {asked.text[-160:]!r}")
    # The compact layout breaks lines itself: never before a lone colon or question mark.
    if t.rows < 33 and any(line.strip() in (":", "?") for line in lines[:cursor + 1]):
        problems.append("a row holds a lone colon or question mark")
    return problems


def checked_on(test, game, asked, size, resizes=None, explained=None):
    """Plays `game` on a terminal of `size`, resized before the answers that
    `resizes` names, and checks every screen; returns the terminal. With
    `explained` (what accounts() gave), counts in `t.accounts` the waits that
    had an explanation and those whose explanation was whole in view."""
    problems = []
    rows, columns = size
    counted = [0, 0]

    def at_wait(t, n):
        if resizes and n in resizes:
            t.resize(*resizes[n])
            return
        whole = t.rows >= 24 and t.columns >= 80
        if n in t.paged:  # the instructions were shown a page at a time: the last is in view
            asked[n] = Asked(asked[n].rows, asked[n].text.rsplit("\n", 1)[-1])
        found = screen_problems(t, asked[n], whole) if n < len(asked) else []
        if explained and n < len(explained) and explained[n]:
            screen = squeezed(" ".join(t.lines()))
            counted[0] += 1
            counted[1] += all(squeezed(line) in screen for line in explained[n])
        problems.extend(f"wait {n} at {t.columns}x{t.rows}: {p}" for p in found)
        if found and len(problems) <= 2:
            problems[-1] += "\n" + t.text()

    t = game.terminal(rows, columns, at_wait=at_wait)
    test.assertEqual(len(t.waits), len(asked), f"{game.name}: the reads differ from the tall terminal's")
    test.assertEqual(problems, [], f"{game.name}: {len(problems)} screens break the rules")
    t.accounts = counted
    return t


def accounts(test, game):
    """For a game with --explain, at every wait the lines that explain what
    happened since the answer before: those the same game without --explain
    did not print there."""
    plain = Game(game.name + "-plain", [a for a in game.argv if a != "--explain"], game.answers, env=game.env)
    added = []
    for text, own in zip(tall_terminal(test, game), tall_terminal(test, plain)):
        own_lines = set(own.text.split("\n"))
        added.append([line for line in text.text.split("\n") if line and line not in own_lines])
    return added


def tall_terminal(test, game):
    """The game on a terminal so large that nothing is drawn again, without
    colour: it writes what it writes to a pipe, and what it says when cut
    off. Returns what the player must see at each wait. Kept in the build
    folder for the same game, answers and program, as every size asks it."""
    with open(game.argv[0], "rb") as program:
        key = hashlib.sha256(program.read() + repr((game.argv, game.env, game.answers)).encode()).hexdigest()[:16]
    kept = os.path.join(BUILD, "terminal-tall", f"{game.name}-{key}.json")
    if os.path.exists(kept):
        with open(kept) as f:
            return [Asked(rows, text) for rows, text in json.load(f)]
    piped = game.pipe()
    if game.expected is not None:
        test.assertEqual(piped, game.expected, f"{game.name}: the pipe's transcript changed")
    elif game.sha256 is not None:
        test.assertEqual(hashlib.sha256(piped).hexdigest(), game.sha256, f"{game.name}: the pipe's transcript changed")
    tall = game.terminal(5000, 200, env={"NO_COLOR": "1"}, render=False)
    written, wanted = tall.written(), [piped, piped + NOT_KEPT]
    if "--explain" in game.argv:
        # An explanation starts a line of its own: on a pipe, which shows no
        # answer, after a newline of its own.
        written, wanted = written.replace(b"\n", b""), [w.replace(b"\n", b"") for w in wanted]
    test.assertIn(written, wanted, f"{game.name}: a tall terminal shows other output than a pipe")
    asked = asked_at_waits(tall)
    os.makedirs(os.path.dirname(kept), exist_ok=True)
    with open(kept + f".{os.getpid()}", "w") as f:
        json.dump([(a.rows, a.text) for a in asked], f)
    os.replace(kept + f".{os.getpid()}", kept)
    return asked


class EveryQuestionInView(unittest.TestCase):
    """One table: the sessions and the long games at each size, and in a
    window resized between answers."""

    def check_size(self, size):
        """Checks every game at `size`; returns, over the games with
        --explain, how many waits had an account and how many showed it whole."""
        shown = [0, 0]
        for game in sessions() + long_games():
            with self.subTest(game=game.name):
                explained = accounts(self, game) if "--explain" in game.argv else None
                t = checked_on(self, game, tall_terminal(self, game), SIZES[size], explained=explained)
                if explained:
                    print(f"{game.name}: explained at {t.accounts[0]} questions, whole in view at {t.accounts[1]}")
                    shown = [shown[0] + t.accounts[0], shown[1] + t.accounts[1]]
        return shown

    def test_80x24(self):
        # Beyond the rule, how often the whole account of --explain since the
        # answer before stood in view with the board and the question.
        shown = self.check_size("80x24")
        print(f"--explain: the account was whole in view at 80x24 at {shown[1]} of {shown[0]} questions "
              f"({100 * shown[1] / max(shown[0], 1):.0f}%)")
        self.assertGreater(shown[0], 0)
        self.assertGreaterEqual(10 * shown[1], 9 * shown[0], "what --explain says is out of view too often")

    def test_80x40(self):
        self.check_size("80x40")

    def test_100x45(self):
        self.check_size("100x45")

    def test_70x20(self):
        self.check_size("70x20")

    def test_resized_between_answers(self):
        resized = 0
        for game in long_games():
            with self.subTest(game=game.name):
                asked = tall_terminal(self, game)
                resizes = {n: size for n, size in RESIZES.items() if n < len(asked)}
                checked_on(self, game, asked, (45, 100), resizes)
                resized += len(resizes)
        self.assertGreaterEqual(resized, 10)


QUESTION_STYLE, PLAIN_STYLE = b"\033[1m", b"\033[0m"


def redraws_apart(test, name, t, piped):
    """What the coloured terminal `t` was written, echo taken out, is the
    pipe's output with colour sequences added, but for boards drawn again
    before a read and what is said when the game is cut off. A board drawn
    again is a cleared screen the pipe does not have there, up to the end of
    the question it ends with, the one text in the question's style. Returns
    how many screens were drawn again."""
    data = t.written()
    at, redraws, i = 0, 0, 0

    while i < len(data):
        if data.startswith(CLEAR, i):
            # A board the pipe has too shows what the pipe shows, through its question.
            start = data.find(QUESTION_STYLE, i + len(CLEAR))
            end = data.find(PLAIN_STYLE, start) + len(PLAIN_STYLE) if start >= 0 else len(data)
            shown = without_colour(data[i:end])
            if piped[at:at + len(shown)] != shown:
                redraws += 1
                i = end
                continue
        sgr = SGR.match(data, i)
        if sgr:
            i = sgr.end()
            continue
        if at == len(piped) and without_colour(data[i:]) in (NOT_KEPT, b""):
            break  # what is said on stderr when the game in play was cut off
        if at >= len(piped) or data[i] != piped[at]:
            test.fail(f"{name}: the output differs from the pipe's, and not by a redraw: "
                      f"{data[max(0, i - 200):i + 100]!r} for {piped[max(0, at - 200):at + 100]!r}")
        i += 1
        at += 1
    test.assertEqual(piped[at:], b"", f"{name}: the terminal showed less than the pipe")
    return redraws


class Colour(unittest.TestCase):
    """Colour adds its sequences and nothing else; it is off where asked or
    where the terminal cannot show it."""

    def test_every_power_on_80x40(self):
        # The answers of a long game at every maximum Power: with the Powers
        # the answers name, the game goes its own way at each.
        _, answers = read_answers(os.path.join(DATA, "long", "dravik-first-power9.in"))
        self.assertEqual(answers[:4], [b"n", b"1", b"9", b"d"])
        for power in range(2, 10):
            with self.subTest(power=power):
                game = Game(f"power{power}", [QIR, "--seed", "7"], answers[:2] + [b"%d" % power] + answers[3:300])
                piped = game.pipe()
                shown = game.terminal(40, render=False)
                self.assertIn(b"\033[1;34m", shown.output)
                redraws_apart(self, game.name, shown, piped)
                self.assertIn(b"Power %d: " % power, piped)

    def test_colour_only_where_it_is_wanted(self):
        game = next(g for g in sessions() if g.name == "round-as-player1")
        piped = game.pipe()
        for args, env in (([], {"NO_COLOR": "1"}), (["--color=never"], {}), ([], {"TERM": "dumb"}),
                          (["--color", "--color=no"], None)):
            with self.subTest(args=args, env=env):
                if env is None:  # given twice: a usage error
                    run = subprocess.run([QIR] + args, stdin=subprocess.DEVNULL, capture_output=True)
                    self.assertEqual(run.returncode, 2)
                    continue
                shown = game.terminal(40, args=args, env=env, render=False)
                self.assertNotRegex(shown.output, rb"\033\[[0-9;]*m")
        coloured = game.pipe(args=["--color=always"])
        self.assertRegex(coloured, rb"\033\[1;34m {10}\|-+-YOU--")
        self.assertEqual(without_colour(coloured), piped)
        self.assertEqual(game.pipe(args=["--color"]), coloured)
        self.assertEqual(game.pipe({"NO_COLOR": "1"}, ["--color=always"]), coloured)

    def test_a_power9_board_in_colour_at_80x24(self):
        """Saves the screen of a Power 9 game in the middle of play as a page
        and, where Chromium is installed, as the picture it renders."""
        _, answers = read_answers(os.path.join(DATA, "long", "dravik-first-power9.in"))
        game = Game("power9", [QIR, "--seed", "43"], answers[:170])
        last = {}

        def keep_last(t, n):
            last["lines"], last["html"] = t.lines(), t.html()
            last["colours"] = {(cell.fg, cell.bold) for row in t.screen.buffer.values() for cell in row.values()
                               if cell.data.strip()}

        game.terminal(24, at_wait=keep_last)
        self.assertIsNotNone(board_in_view(last["lines"], True), "\n".join(last["lines"]))
        self.assertTrue({("blue", True), ("brown", False)} <= last["colours"], last["colours"])
        page = os.path.join(BUILD, "terminal-power9-80x24.html")
        with open(page, "w") as f:
            f.write(last["html"])
        chromium = shutil.which("chromium")
        if chromium:
            picture = os.path.join(BUILD, "terminal-power9-80x24.png")
            subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                            f"--screenshot={os.path.abspath(picture)}", "--window-size=800,520",
                            "file://" + os.path.abspath(page)], capture_output=True, timeout=120)
            self.assertTrue(os.path.exists(picture))


class Rules(unittest.TestCase):
    """The instructions a screenful at a time, and --rules."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def test_the_instructions_page_on_a_short_terminal(self):
        answers = [b"y", b"", b"1", b"4", b"d", b"", b"n"]
        game = Game("instructions", [QIR, "--seed", "5"], answers)
        piped = game.pipe()
        rules = piped[piped.index(b"\nINSTRUCTIONS"):piped.index(b"Press Return/Enter to begin")].decode()
        for keys, turned in ((["\n"] * 20, "Return"), (["q\n"], "q")):
            with self.subTest(turned=turned):
                record = os.path.join(self.folder.name, turned + ".qir")
                with Terminal([QIR, "--seed", "5", "--record", record], rows=24, columns=80) as t:
                    seen = []
                    t.wait()
                    t.type("y\n")
                    while t.wait() and without_colour(t.output[-80:]).endswith(PAGER_PROMPT):
                        self.assertTrue(t.lines()[-1].startswith("-- Return: next page"), t.text())
                        seen += t.lines()[:-1]
                        t.type(keys.pop(0) if keys else "\n")
                    seen += t.lines()
                    for answer in answers[1:]:
                        t.type(answer + b"\n")
                        t.wait()
                    t.close_input()
                    t.finish()
                # The rules as a pipe gets them, broken to 80 columns, and the pager's prompts.
                written = without_colour(t.written()).replace(PAGER_PROMPT, b"").decode()
                shown = written[written.index("\nINSTRUCTIONS"):written.index("Press Return/Enter to begin")]
                self.assertEqual(squeezed(shown), squeezed(rules))
                self.assertIn("Reserves, ", written)
                self.assertGreater(t.output.count(PAGER_PROMPT), 0)
                if turned == "Return":  # every line of the rules stood whole on some page
                    self.assertGreaterEqual(t.output.count(PAGER_PROMPT), 3)
                    screens = squeezed("".join(seen))
                    for line in rules.split("\n"):
                        self.assertIn(squeezed(line[:70]), screens)
                else:
                    self.assertEqual(t.output.count(PAGER_PROMPT), 1)
                # The record holds the answers alone, as a pipe's game records them.
                piped_record = os.path.join(self.folder.name, turned + "-piped.qir")
                game.pipe(args=["--record", piped_record])
                with open(record, "rb") as f, open(piped_record, "rb") as g:
                    self.assertEqual(f.read(), g.read())
        with self.subTest(turned="typed ahead"):
            with Terminal([QIR, "--seed", "5"], rows=24, columns=80) as t:
                t.wait()
                t.type(b"".join(answer + b"\n" for answer in answers))
                t.wait()
                t.close_input()
                t.finish()
            self.assertNotIn(PAGER_PROMPT, t.output)
            self.assertEqual(squeezed(without_colour(t.output).decode()).count(squeezed(rules)), 1)

    def test_rules_through_a_pipe_and_a_pager(self):
        piped = subprocess.run([QIR, "--rules"], capture_output=True, check=True).stdout
        self.assertTrue(piped.startswith(b"\nINSTRUCTIONS FOR QIR\n"))
        self.assertNotIn(b"Press Return", piped)
        for heading in (b"Fights.", b"Bases.", b"Attack Focus.", b"Reinforcements.", b"Base Power-up.",
                        b"Advance Defender.", b"The end."):
            self.assertIn(b"\n" + heading + b" ", piped)
        for pager in ("cat", ""):
            with self.subTest(pager=pager):
                with Terminal([QIR, "--rules"], rows=24, columns=80, env={"PAGER": pager}) as t:
                    self.assertFalse(t.wait())
                    self.assertEqual(t.finish(), 0)
                self.assertEqual(t.output.replace(b"\r\n", b"\n"), piped)


class Endings(unittest.TestCase):
    """What is said when a game in play is cut off, when a replay ends, and
    how a resumed game shows the answers recorded."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.record = os.path.join(self.folder.name, "game.qir")
        self.game = next(g for g in sessions() if g.name == "round-as-player1")

    def tearDown(self):
        self.folder.cleanup()

    def cut_off(self, args, answers, end):
        """Plays answers on a terminal, then ends it with `end`: Ctrl-C or
        Ctrl-D. Returns the terminal."""
        with Terminal(self.game.argv + args, rows=40, env=self.game.env) as t:
            for answer in answers:
                self.assertTrue(t.wait())
                t.type(answer + b"\n")
            self.assertTrue(t.wait())
            t.type(end)
            self.assertFalse(t.wait())
            t.finish()
        return t

    def test_a_game_cut_off_says_whether_it_was_kept(self):
        kept = (b"qir: the game is kept in " + self.record.encode() + b"; 'qir --resume " + self.record.encode() +
                b"' goes on with it\n")
        cases = [([], b"\x03", b"\n" + NOT_KEPT, -2), ([], b"\x04", NOT_KEPT, 0),
                 (["--record", self.record], b"\x03", b"\n" + kept, -2), (["--record", self.record], b"\x04", kept, 0)]
        for args, end, said, status in cases:
            with self.subTest(args=args, end=end):
                t = self.cut_off(args, self.game.answers[:12], end)
                self.assertEqual(t.status, status)
                self.assertTrue(t.output.replace(b"\r\n", b"\n").endswith(said), t.output[-300:])
                if args:
                    resumed = self.cut_off(["--resume", self.record], [], b"\x04")
                    self.assertIn(b"What Power unit would you like to place?", resumed.output)
                    os.remove(self.record)
        # Before the first board, and once the game has ended, nothing is cut off.
        finished = next(g for g in sessions() if g.name == "loss-then-new-game")
        for game, answers in ((self.game, 1), (finished, 13)):
            with self.subTest(game=game.name, answers=answers):
                self.game = game
                t = self.cut_off([], game.answers[:answers], b"\x04")
                self.assertNotIn(b"qir: ", t.output)

    def test_a_replay_ends_with_a_line_on_how_the_game_stands(self):
        finished = next(g for g in sessions() if g.name == "loss-then-new-game")
        cases = [(self.game, 20, b"The record stops in round 1, before the end of the game.\n"),
                 (finished, 13, b"The recorded game ended: Dravik won in round 1.\n"),
                 (self.game, 2, b"The record stops before the first round of a game.\n")]
        for n, (game, kept, said) in enumerate(cases):
            with self.subTest(said=said):
                record = os.path.join(self.folder.name, f"{n}.qir")
                Game("record", game.argv + ["--record", record], game.answers[:kept], env=game.env).pipe()
                with Terminal([QIR, "--replay", record, "--delay", "0"], rows=40, stdin_is_terminal=False) as t:
                    self.assertFalse(t.wait())
                    self.assertEqual(t.finish(), 0)
                self.assertTrue(t.output.replace(b"\r\n", b"\n").endswith(said), t.output[-300:])
                piped = subprocess.run([QIR, "--replay", record], capture_output=True).stdout
                self.assertNotIn(said, piped)

    def test_a_resumed_game_shows_the_answers_recorded(self):
        # Cut where the player had said yes to placing a unit and had yet to name its Power.
        answers = self.game.answers[:6]
        self.assertEqual(answers[-1], b"yes")
        Game("first", self.game.argv + ["--record", self.record], answers, env=self.game.env).pipe()
        t = self.cut_off(["--resume", self.record], [], b"\x04")
        self.assertIn("on the field? y or n: yes\nWhat Power unit would you like to place? Type a number 1-4: "
                      "You did not type", squeezed_lines(t))
        piped = subprocess.run(self.game.argv + ["--resume", self.record], input=b"", env={**os.environ, **self.game.env},
                               capture_output=True).stdout
        self.assertIn(b"y or n: What Power unit", piped)


def squeezed_lines(t):
    """The screen's text with rows the terminal wrapped joined again."""
    return "\n".join(t.lines())


class Options(unittest.TestCase):
    """--compact, --no-clear and TERM=dumb, alone and with the record options."""

    def setUp(self):
        self.game = next(g for g in sessions() if g.name == "round-as-player1")
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def assert_separated(self, shown, written, piped):
        """Screens are kept, with an empty line above every board (on the
        screen: `shown`), and no escape sequence; what the game wrote is
        what it writes to a pipe, but for the empty lines."""
        self.assertNotIn(b"\033", shown)
        frames = [m.start() for m in BOARD_TOP.finditer(shown)]
        self.assertEqual(len(frames), 2 * piped.count(CLEAR))
        for at in frames[::2]:  # the top frame line of each board
            self.assertEqual(shown[at - 2:at], b"\n\n")
        self.assertEqual([line for line in written.split(b"\n") if line],
                         [line for line in piped.replace(CLEAR, b"\n").split(b"\n") if line])

    def test_compact_on_a_tall_terminal_and_on_a_pipe(self):
        asked = tall_terminal(self, self.game)
        t = self.game.terminal(40, args=["--compact"])
        self.assertNotIn(b"units in your Reserves:", t.output)
        checked_on(self, Game("compact", self.game.argv + ["--compact"], self.game.answers, env=self.game.env),
                   asked, (40, 80))
        # A pipe is laid out for 80x24, or for COLUMNS and LINES: the
        # instructions' long lines are broken to the width.
        instructions = next(g for g in sessions() if g.name == "setup-retries")
        for env, width in (({}, 80), ({"COLUMNS": "100", "LINES": "30"}, 100), ({"COLUMNS": "64"}, 64)):
            with self.subTest(env=env):
                piped = instructions.pipe(env, ["--compact"])
                rules = piped[piped.index(b"INSTRUCTIONS"):piped.index(b"begin the game.")]
                self.assertLessEqual(max(len(line) for line in rules.split(b"\n")), width)
                self.assertGreater(max(len(line) for line in rules.split(b"\n")), width - 10)
                self.assertIn(b"\nUnit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\nAttacking ", piped)
        self.assertGreater(max(len(line) for line in instructions.expected.split(b"\n")), 100)

    def test_no_clear_and_dumb_terminal_separate_screens(self):
        piped = self.game.pipe()
        for args, env in ((["--no-clear"], {}), ([], {"TERM": "dumb"}), (["--no-clear"], {"TERM": "dumb"})):
            with self.subTest(args=args, env=env):
                shown = self.game.terminal(40, args=args + ["--color=never"], env=env, render=False)
                written = shown.written()
                self.assertTrue(written.endswith(NOT_KEPT))
                self.assert_separated(shown.output.replace(b"\r\n", b"\n"), written[:-len(NOT_KEPT)], piped)
        # On a pipe a dumb TERM changes nothing; --no-clear separates there too.
        self.assertEqual(self.game.pipe({"TERM": "dumb"}), piped)
        separated = self.game.pipe(args=["--no-clear"])
        self.assert_separated(separated, separated, piped)
        # A short dumb terminal still keeps the board and the question in view.
        dumb = Game("dumb", self.game.argv, self.game.answers, env={**self.game.env, "TERM": "dumb"})
        checked_on(self, dumb, tall_terminal(self, self.game), (24, 80))

    def test_record_resume_and_replay(self):
        record = os.path.join(self.folder.name, "game.qir")
        cut = len(self.game.answers) // 2
        first = Game("first half", self.game.argv, self.game.answers[:cut], env=self.game.env)
        recorded = first.terminal(24, args=["--record", record, "--compact", "--no-clear", "--color=never"],
                                  render=False)
        self.assertEqual(recorded.status, 0)
        self.assertNotIn(b"\033", recorded.output)
        rest = Game("second half", self.game.argv, self.game.answers[cut:], env=self.game.env)
        for args, env in ((["--compact"], {}), (["--no-clear"], {"NO_COLOR": "1"}), ([], {"TERM": "dumb"})):
            with self.subTest(args=args, env=env):
                resumed = {}

                def first_screen(t, n):
                    if n == 0:
                        resumed["written"], resumed["lines"] = t.written(), t.lines()

                shown = rest.terminal(24, args=["--resume", record] + args, env=env, at_wait=first_screen)
                self.assertEqual(shown.status, 0)
                # From the last board on, not the whole history.
                self.assertRegex(without_colour(resumed["written"]), rb"^(\033\[H\033\[2J|\n+)" + BOARD_TOP.pattern)
                self.assertIsNotNone(board_in_view(resumed["lines"], True), "\n".join(resumed["lines"]))
                if args != ["--compact"]:
                    self.assertNotIn(b"\033", shown.output)
                os.remove(record)
                recorded = first.terminal(24, args=["--record", record], render=False)
        # A replay on a short terminal: every board compact, the last one in view.
        replayed = Game("replay", [QIR], [])
        shown = replayed.terminal(24, args=["--replay", record, "--compact", "--delay", "0"])
        self.assertEqual(shown.status, 0)
        self.assertIsNotNone(board_in_view(shown.lines(), True), shown.text())


if __name__ == "__main__":
    unittest.main()
