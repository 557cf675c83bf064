# SPDX-License-Identifier: MIT
"""A replay as a viewer watches it on a terminal.

On a terminal, --replay shows each answer where the player typed it, escaped
so that no answer can send the terminal a sequence (nor can the record's
name, in a message), and waits for Return
before each new screen (q and Return stops it); with no keyboard, or with
--delay, it plays on by itself, pausing between screens. To a pipe it prints
exactly what the game printed.

    /usr/bin/python3 replayTest.py QIR RECORDS    (RECORDS: tests/data/records)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
try:
    from terminal import Terminal, without_colour
except ImportError as missing:  # pyte: apt-get install python3-pyte
    print(f"skipped: {missing}")
    sys.exit(77)

QIR, RECORDS = sys.argv[1], sys.argv[2]
CLEAR = b"\033[H\033[2J"


def record(name):
    return os.path.join(RECORDS, name + ".qir")


def version():
    """This game's name and version, as a warning gives them: qir 1.0.0."""
    return subprocess.run([QIR, "--version"], capture_output=True, text=True, check=True).stdout.strip()


def played(name):
    """What the game printed when the record was made."""
    with open(os.path.join(RECORDS, name + ".out"), "rb") as f:
        return f.read()


class ReplayOnATerminal(unittest.TestCase):
    def test_each_screen_waits_for_return_and_shows_the_answers_typed(self):
        screens = played("round-seeded").count(CLEAR)
        with Terminal([QIR, "--replay", record("round-seeded")], rows=60, columns=100) as t:
            waits = 0
            while t.wait():
                waits += 1
                if waits == 1:
                    # The setup questions, each with the answer as the terminal echoed it.
                    text = t.text()
                    self.assertIn("Would you like to see the instructions? y or n: n\n", text)
                    self.assertIn("Enter 1 or 2: 1\n", text)
                    self.assertIn("Enter d or q: d\n", text)
                t.type("\n")
            self.assertEqual(t.finish(), 0)
        self.assertEqual(waits, screens)
        self.assertEqual(t.output.count(CLEAR), screens)

    def test_q_and_return_stops_the_replay(self):
        with Terminal([QIR, "--replay", record("round-seeded")], rows=60, columns=100) as t:
            self.assertTrue(t.wait())
            t.type("\n")
            self.assertTrue(t.wait())
            t.type("q\n")
            self.assertFalse(t.wait())
            self.assertEqual(t.finish(), 0)
        self.assertEqual(t.output.count(CLEAR), 1)

    def test_no_answer_reaches_the_terminal_raw(self):
        # The record holds the answers ESC [ and 2J, a tab and a backslash:
        # on the terminal they are text, never a sequence.
        with Terminal([QIR, "--replay", record("odd-answers"), "--delay", "0"], rows=60, columns=100,
                      stdin_is_terminal=False) as t:
            self.assertFalse(t.wait())
            self.assertEqual(t.finish(), 0)
        # The replay's own colours aside, nothing but line ends is a control character.
        shown = without_colour(t.output).replace(CLEAR, b"")
        strays = sorted({c for c in shown if c < 0x20 and c not in b"\r\n" or c >= 0x7F})
        self.assertEqual(strays, [])
        # Two answers, ESC [ and then 2J, each shown where it was read.
        self.assertIn(b"y or n: \\x1b[You did not type a y or n.  Please try again: 2JYou did not", shown)
        self.assertIn(b"again: \\tAYou did not", shown)
        self.assertIn(b"again: \\\r\n", shown)

    def test_a_file_name_reaches_the_terminal_escaped(self):
        # The name would set the window's title, clear the screen and paint
        # it red; the version warning shows it as text, its accent as it is.
        folder = tempfile.mkdtemp(prefix="qir-names-")
        name = os.path.join(folder.encode(), b"x\x1b]0;PWNED\x07\x1b[2J\x1b[31m\xc3\xa9.qir")
        shutil.copyfile(record("round-seeded"), name)
        try:
            # Without the game's own colours, any colour on the screen is the name's.
            with Terminal([QIR.encode(), b"--replay", name, b"--delay", b"0"], rows=60, columns=100,
                          stdin_is_terminal=False, env={"NO_COLOR": "1"}) as t:
                self.assertFalse(t.wait())
                self.assertEqual(t.finish(), 0)
        finally:
            shutil.rmtree(folder)
        warning = t.output[:t.output.index(b"\r\n")]
        self.assertEqual(warning, b"qir: " + os.path.join(folder.encode(), b"x\\x1b]0;PWNED\\x07\\x1b[2J\\x1b[31m\xc3\xa9.qir")
                         + b" was recorded by qir 1.0.0; replaying it with " + version().encode())
        self.assertEqual(t.screen.title, "")
        self.assertTrue(all(cell.fg == "default" for row in t.screen.buffer.values() for cell in row.values()))

    def test_with_no_keyboard_or_with_delay_it_plays_on_by_itself(self):
        cases = [
            ("setup-retries-clock", [], 1.0),  # no keyboard: a second a screen
            ("round-seeded", ["--delay", "0.3"], 0.3),
            ("finished-game", ["--delay", "0.2"], 0.2),
        ]
        for name, delay, pause in cases:
            with self.subTest(name=name):
                screens = played(name).count(CLEAR)
                started = time.monotonic()
                with Terminal([QIR, "--replay", record(name), *delay], rows=60, columns=100,
                              stdin_is_terminal=False) as t:
                    self.assertFalse(t.wait(), "it waited for a key nobody can press")
                    self.assertEqual(t.finish(), 0)
                took = time.monotonic() - started
                self.assertGreaterEqual(took, screens * pause)
                self.assertLess(took, screens * pause + 5)
                self.assertEqual(t.output.count(CLEAR), screens)


class ReplayToAPipe(unittest.TestCase):
    def test_a_pipe_gets_exactly_what_the_game_printed(self):
        for name, delay in [("round-seeded", []), ("odd-answers", []), ("finished-game", ["--delay", "0.01"])]:
            with self.subTest(name=name):
                run = subprocess.run([QIR, "--replay", record(name), *delay], stdin=subprocess.DEVNULL,
                                     capture_output=True, timeout=60)
                self.assertEqual(run.returncode, 0)
                self.assertEqual(run.stdout, played(name))
                # Made by 1.0.0: a later version says so, on stderr only.
                self.assertIn(run.stderr, [b"", b"qir: %s was recorded by qir 1.0.0; replaying it with %s\n"
                                           % (record(name).encode(), version().encode())])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
