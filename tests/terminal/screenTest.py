# SPDX-License-Identifier: MIT
"""The screen as a player sees it, on pseudo-terminals of a given size.

On a terminal of 80x24 every question and pause must show the whole board,
both labelled frame lines and the ten unit rows, with the question's last
line; through a pipe, and on a terminal tall enough for the full board, the
game must print exactly what it always has. The games are the recorded
sessions of tests/data and the long games of tests/data/long, typed one
answer at a time while the game waits.

Run by CTest, which names the programs in QIR (the game), QIR_FIXED_CLOCK
(the game with the tests' clock, for the recorded sessions) and
QIR_TEST_DATA.
"""

import glob
import hashlib
import os
import re
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
from terminal import Terminal, echo_of  # noqa: E402

QIR = os.environ.get("QIR", "build/qir")
QIR_FIXED_CLOCK = os.environ.get("QIR_FIXED_CLOCK", "build/tests/qir_fixed_clock")
DATA = os.environ.get("QIR_TEST_DATA", os.path.join(os.path.dirname(__file__), "..", "data"))

CLEAR = b"\033[H\033[2J"
FRAME = re.compile(r"^ {10}\|-{22}(-YOU--|DRAVIK|QUELBY)-{23}\|$")
# The compact board between its two frame lines: one Unit ID line, in the middle.
COMPACT_ROWS = ["Bases", "Def Units", "Att Units", "Defending", "Attacking", "Unit ID   |A B C",
                "Attacking", "Defending", "Att Units", "Def Units", "Bases"]
WRAPPED_ROW = re.compile(r"^[1-9 |!]*$")  # the rest of a row of units the terminal wrapped
BOARD_TOP = re.compile(rb" {10}\|-{22}(-YOU--|DRAVIK|QUELBY)-{23}\|\n")


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
        at_wait(terminal, n) before the n-th answer. Returns the terminal."""
        with Terminal(self.argv + list(args), rows=rows, columns=columns,
                      env={"TERM": "xterm", **self.env, **(env or {})}, render=render) as t:
            waits = []
            while t.wait(60):
                waits.append(len(t.output))
                if at_wait:
                    at_wait(t, len(waits) - 1)
                if len(waits) > len(self.answers):
                    t.close_input()
                else:
                    t.type(self.answers[len(waits) - 1] + b"\n")
            t.finish()
            t.waits = waits
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


def compact_board_at(lines):
    """The row of the compact board's top frame line on the screen, or None.
    A row of many units is wider than the screen: the terminal wraps it, and
    its rest stands on the rows below."""
    for top, line in enumerate(lines):
        at = top + 1
        for label in COMPACT_ROWS:
            if at >= len(lines) or not lines[at].startswith(label):
                break
            at += 1
            while at < len(lines) and WRAPPED_ROW.match(lines[at]):
                at += 1
        else:
            if FRAME.match(line) and at < len(lines) and FRAME.match(lines[at]):
                labels = {FRAME.match(line).group(1), FRAME.match(lines[at]).group(1)}
                if "-YOU--" in labels and len(labels) == 2:
                    return top
    return None


def since_answers(full):
    """For every wait of a game on a terminal: what the game wrote since the
    answer before."""
    texts, start = [], 0
    for n, end in enumerate(full.waits):
        if n > 0:
            offset, typed = full.typed_at[n - 1]
            start = offset + len(echo_of(typed))
        texts.append(full.output[start:end].replace(b"\r\n", b"\n"))
    return texts


def questions(full):
    """For every wait of a game on a tall terminal: the last line of what the
    game wrote since the answer before (None when it wrote nothing), and
    whether the game in play has drawn its first board."""
    asked, board_drawn = [], False
    for text in since_answers(full):
        welcome = text.rfind(b"Welcome to QIR!")
        board_drawn = CLEAR in text[welcome:] if welcome >= 0 else board_drawn or CLEAR in text
        line = text.decode("latin-1").rsplit("\n", 1)[-1]
        asked.append((line if text.strip() else None, board_drawn))
    return asked


def accounts(full, plain):
    """For every wait of a game with --explain on a tall terminal, the lines
    that explain what happened since the answer before: those the same game
    without --explain (`plain`) did not write there."""
    added = []
    for text, own in zip(since_answers(full), since_answers(plain)):
        own_lines = set(own.decode("latin-1").split("\n"))
        added.append([line for line in text.decode("latin-1").split("\n") if line and line not in own_lines])
    return added


def assert_in_view(test, game, full, rows=24, args=(), env=None, explained=None):
    """Plays `game` on a terminal of `rows` rows and checks at every wait that
    the compact board is whole on the screen, once the game has drawn one,
    with the question's last line as `full` (the same game on a tall
    terminal) asked it. With `explained` (what accounts() gave), counts the
    waits whose explanation is whole on the screen too, and returns how many
    had one and how many of those showed it."""
    asked = questions(full)
    problems = []
    shown_accounts = [0, 0]

    def at_wait(t, n):
        question, board_drawn = asked[n] if n < len(asked) else (None, True)
        lines = t.lines()
        if explained and n < len(explained) and explained[n]:
            screen = squeezed(" ".join(lines))
            shown_accounts[0] += 1
            shown_accounts[1] += all(squeezed(line) in screen for line in explained[n])
        if board_drawn and compact_board_at(lines) is None:
            problems.append(f"wait {n}: the board is not whole on the screen")
        if question is not None:
            shown = squeezed(" ".join(lines[:t.screen.cursor.y + 1]))
            if not shown.endswith(squeezed(question)[-400:]):
                problems.append(f"wait {n}: the question's last line {question[-80:]!r} is not on the screen")
        if problems and len(problems) <= 3 and "\n" not in problems[-1]:
            problems[-1] += "\n" + t.text()

    short = game.terminal(rows, args=args, env=env, at_wait=at_wait)
    test.assertEqual(len(short.waits), len(full.waits), f"{game.name}: the reads differ from the full layout's")
    test.assertEqual(short.status, 0)
    test.assertEqual(problems, [], f"{game.name}: {len(problems)} screens without the board or the question")
    return shown_accounts


class ShortTerminal(unittest.TestCase):
    """80x24: the board and the question are in view at every read."""

    def check_game(self, game, plain=None):
        with self.subTest(game=game.name):
            piped = game.pipe()
            if game.expected is not None:
                self.assertEqual(piped, game.expected, f"{game.name}: the pipe's transcript changed")
            else:
                self.assertEqual(hashlib.sha256(piped).hexdigest(), game.sha256,
                                 f"{game.name}: the pipe's transcript changed")
            full = game.terminal(40, render=False)
            written = full.written()
            if plain:
                # An explanation starts a line of its own: on a pipe, which shows
                # no answer, after a newline of its own.
                written, piped = written.replace(b"\n", b""), piped.replace(b"\n", b"")
            self.assertEqual(written, piped, f"{game.name}: a terminal of 80x40 shows other output than a pipe")
            explained = accounts(full, plain.terminal(40, render=False)) if plain else None
            return assert_in_view(self, game, full, explained=explained)

    def test_recorded_sessions(self):
        """The sessions with --explain also report how often what they
        explain is in view at 80x24 with the board and the question."""
        shown = [0, 0]
        for game in sessions():
            plain = None
            if "--explain" in game.argv:
                plain = Game(game.name, [a for a in game.argv if a != "--explain"], game.answers, env=game.env)
            counts = self.check_game(game, plain)
            if plain:
                print(f"{game.name}: explained at {counts[0]} questions, in view at {counts[1]}")
                shown = [shown[0] + counts[0], shown[1] + counts[1]]
        print(f"--explain: what was explained was in view at 80x24 at {shown[1]} of {shown[0]} questions "
              f"({100 * shown[1] / max(shown[0], 1):.0f}%)")
        self.assertGreater(shown[0], 0)
        self.assertGreaterEqual(10 * shown[1], 9 * shown[0], "what --explain says is out of view too often")

    def test_long_games(self):
        for game in long_games():
            self.check_game(game)


class FullLayout(unittest.TestCase):
    """On a terminal tall enough, the game prints what it prints to a pipe."""

    def test_every_power_on_80x40(self):
        # The answers of a long game at every maximum Power: with the Powers
        # the answers name, the game goes its own way at each.
        _, answers = read_answers(os.path.join(DATA, "long", "dravik-first-power9.in"))
        self.assertEqual(answers[:4], [b"n", b"1", b"9", b"d"])
        for power in range(2, 10):
            with self.subTest(power=power):
                game = Game(f"power{power}", [QIR, "--seed", "7"], answers[:2] + [b"%d" % power] + answers[3:300])
                piped = game.pipe()
                full = game.terminal(40, render=False)
                self.assertEqual(full.written(), piped)
                self.assertIn(b"Power %d: " % power, piped)


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
        full = self.game.terminal(40, render=False)
        assert_in_view(self, self.game, full, rows=40, args=["--compact"])
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
                shown = self.game.terminal(40, args=args, env=env, render=False)
                self.assert_separated(shown.output.replace(b"\r\n", b"\n"), shown.written(), piped)
        # On a pipe a dumb TERM changes nothing; --no-clear separates there too.
        self.assertEqual(self.game.pipe({"TERM": "dumb"}), piped)
        separated = self.game.pipe(args=["--no-clear"])
        self.assert_separated(separated, separated, piped)
        # A short dumb terminal still keeps the board and the question in view.
        assert_in_view(self, self.game, self.game.terminal(40, render=False), env={"TERM": "dumb"})

    def test_record_resume_and_replay(self):
        record = os.path.join(self.folder.name, "game.qir")
        cut = len(self.game.answers) // 2
        first = Game("first half", self.game.argv, self.game.answers[:cut], env=self.game.env)
        recorded = first.terminal(24, args=["--record", record, "--compact", "--no-clear"], render=False)
        self.assertEqual(recorded.status, 0)
        self.assertNotIn(b"\033", recorded.output)
        rest = Game("second half", self.game.argv, self.game.answers[cut:], env=self.game.env)
        for args, env in ((["--compact"], {}), (["--no-clear"], {}), ([], {"TERM": "dumb"})):
            with self.subTest(args=args, env=env):
                resumed = {}

                def first_screen(t, n):
                    if n == 0:
                        resumed["written"], resumed["lines"] = t.written(), t.lines()

                shown = rest.terminal(24, args=["--resume", record] + args, env=env, at_wait=first_screen)
                self.assertEqual(shown.status, 0)
                # From the last board on, not the whole history.
                self.assertRegex(resumed["written"], rb"^(\033\[H\033\[2J|\n+)" + BOARD_TOP.pattern)
                self.assertIsNotNone(compact_board_at(resumed["lines"]), "\n".join(resumed["lines"]))
                if args != ["--compact"]:
                    self.assertNotIn(b"\033", shown.output)
                os.remove(record)
                recorded = first.terminal(24, args=["--record", record], render=False)
        # A replay on a short terminal: every board compact, the last one in view.
        replayed = Game("replay", [QIR], [])
        shown = replayed.terminal(24, args=["--replay", record, "--compact", "--delay", "0"])
        self.assertEqual(shown.status, 0)
        self.assertIsNotNone(compact_board_at(shown.lines()), shown.text())

    def test_a_resized_window_takes_effect_at_the_next_board(self):
        def resize(t, n):
            if n == 12:
                t.resize(24, 80)

        shown = self.game.terminal(40, at_wait=resize)
        at = shown.waits[12]
        self.assertIn(b"units in your Reserves:", shown.output[:at])  # full boards before
        self.assertNotIn(b"units in your Reserves:", shown.output[at:])  # compact ones after
        self.assertIsNotNone(compact_board_at(shown.lines()), shown.text())


if __name__ == "__main__":
    unittest.main()
