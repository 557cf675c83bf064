// SPDX-License-Identifier: MIT
// Recorded play: whole sessions of the game, typed from a script and compared
// with the transcript they must print. tests/data/<name>.in holds what the
// player types (after its "# " header lines: what it shows, and the clock),
// tests/data/<name>.out everything the game prints, byte for byte.
//
// Rewriting a transcript from its script: run the session tests with
// QIR_REGENERATE=1, for instance
//     QIR_REGENERATE=1 ./build/tests/qir_tests --gtest_filter='Recorded/Sessions.*'
// Each session then writes what the game printed into its .out file and is
// reported as skipped. A rewritten transcript proves nothing until it has been
// read line by line against the rules of the game (git diff tests/data shows
// what changed).
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "support.h"

namespace {

std::string Visible(const std::string& line)
{
    std::string text;
    for (const char c : line) {
        text += c == '\033' ? std::string("\\e") : std::string(1, c);
    }
    return text;
}

// The number and both versions of the first line where two transcripts part.
std::string FirstDifference(const std::string& expected, const std::string& printed)
{
    std::istringstream want(expected);
    std::istringstream got(printed);
    std::string w;
    std::string g;
    for (int line = 1;; ++line) {
        const bool wanted = static_cast<bool>(std::getline(want, w));
        const bool came = static_cast<bool>(std::getline(got, g));
        if (!wanted && !came) {
            return "they differ only in the final newline";
        }
        if (!wanted || !came || w != g) {
            return "first difference at line " + std::to_string(line) +
                   "\n  expected: " + (wanted ? Visible(w) : "(end of transcript)") +
                   "\n  printed:  " + (came ? Visible(g) : "(end of output)");
        }
    }
}

// Whether `explained` is `plain` with whole lines added: each added run ends
// a line, and starts one, after a newline of its own where the game's line
// was unfinished; the game's own text goes on after it.
bool AddsOnlyLines(const std::string& explained, const std::string& plain)
{
    size_t j = 0;
    for (size_t i = 0; i < plain.size(); ++i, ++j) {
        if (j < explained.size() && explained[j] == plain[i]) {
            continue;
        }
        if (j == explained.size() || (j > 0 && explained[j - 1] != '\n' && explained[j] != '\n')) {
            return false;
        }
        const size_t goesOn = std::min<size_t>(40, plain.size() - i);
        do {
            j = explained.find('\n', j) + 1;
        } while (j != 0 && explained.compare(j, goesOn, plain, i, goesOn) != 0);
        if (j-- == 0) {
            return false;
        }
        --i;
    }
    return j == explained.size();
}

// Plays tests/data/NAME.in and compares everything printed with
// tests/data/NAME.out. Adding a session is adding those two files.
class Sessions : public ::testing::TestWithParam<std::string> {};

TEST_P(Sessions, PrintExactlyTheirTranscript)
{
    const std::string& name = GetParam();
    const Session session = ReadSession(name);
    const RunResult run = RunGame(session.answers, session.clock, session.args);
    EXPECT_EQ(run.status, 0) << run.report;
    if (std::find(session.args.begin(), session.args.end(), "--explain") != session.args.end()) {
        EXPECT_TRUE(AddsOnlyLines(run.output, RunGame(session.answers, session.clock).output));
    }
    if (std::getenv("QIR_REGENERATE") != nullptr) {
        std::ofstream(std::string(QIR_TEST_DATA) + "/" + name + ".out", std::ios::binary) << run.output;
        GTEST_SKIP() << "rewrote " << name << ".out: review every line of it before keeping it";
    }
    const std::string expected = ReadTestData(name + ".out");
    ASSERT_FALSE(expected.empty()) << name << ".out is missing";
    if (run.output != expected) {
        ADD_FAILURE() << name << ".out: " << FirstDifference(expected, run.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Recorded, Sessions, ::testing::ValuesIn(SessionNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// In the widest session, the focus step closes where the old rule asked for a
// defender that no key could name.
TEST(SessionTest, FocusClosesWhenNoKeyNamesTheDefender)
{
    const std::string transcript = ReadTestData("wide-pairing-focus.out");
    EXPECT_NE(transcript.find("Starting round 14, Combat phase, step 3: Attack Focus\n"
                              "You do not have any attackers to refocus."),
              std::string::npos);
    EXPECT_EQ(transcript.find("Which defender will the attacker fight?", transcript.find("round 14")),
              std::string::npos);
}

// Cuts a session's script and expects the game to stop at the question or
// pause where the input ran out: a single newline, status 0, nothing more.
// Each cut is placed where the full transcript does not go on with a retry
// message, so a retry printed at the end of input cannot pass unnoticed.
TEST(SessionTest, EndOfInputEndsTheGameQuietlyAtAnyQuestionOrPause)
{
    struct Cut {
        const char* session;
        int lines;         // whole lines of the script kept
        const char* tail;  // typed after them, without a newline
        const char* stopsAt;
    };
    const Cut cuts[] = {
        {"round-as-player1", 0, "", "Would you like to see the instructions? y or n: "},
        {"setup-retries", 2, "y", "Press Return/Enter to begin the game."},
        {"setup-retries", 6, "", "You did not type a 1 or 2.  Please try again: "},
        {"setup-retries", 9, "", "You did not type a number from 2-9.  Please try again: "},
        {"setup-retries", 12, "", "You did not type an d or q.  Please try again: "},
        {"setup-retries", 12, "d", "step 2: Placement.  Press Return/Enter to continue: "},
        {"round-as-player1", 4, "", "step 2: Placement.  Press Return/Enter to continue: "},
        {"round-as-player1", 4, "abc", "step 2: Placement.  Press Return/Enter to continue: "},
        {"round-as-player1", 5, "", "Would you like to place any units on the field? y or n: "},
        {"round-as-player1", 9, "", "What Power unit would you like to place? Type a number 1-4: "},
        {"round-as-player1", 12, "", "You did not type an a or d.  Please try again: "},
        {"round-as-player1", 21, "", "Press Return/Enter to move on."},
        {"round-as-player1", 23, "", "You did not type a or f.  Please try again: "},
        {"round-as-player1", 26, "", "Enter a valid Power for the unit you want to assign to attack: "},
        {"round-as-player1", 31, "", "Enter r or f: "},
        {"round-as-player1", 33, "", "Enter one of the letters in parentheses from above: "},
        {"round-as-player1", 37, "", "You do not have any defense units available.  Press Return/Enter to continue."},
        {"loss-then-new-game", 15, "",
         "Want to play again? y or n: You did not type a y or n.  Please try again: "
         "You did not type a y or n.  Please try again: "},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(std::string(cut.session) + " cut after " + std::to_string(cut.lines) + " lines + \"" + cut.tail +
                     "\"");
        const Session session = ReadSession(cut.session);
        const std::string& script = session.answers;
        size_t end = 0;
        for (int i = 0; i < cut.lines; ++i) {
            end = script.find('\n', end) + 1;
        }
        const RunResult run = RunGame(script.substr(0, end) + cut.tail, session.clock);
        EXPECT_EQ(run.status, 0) << run.report;
        ASSERT_FALSE(run.output.empty());
        EXPECT_EQ(run.output.back(), '\n');
        const std::string shown = run.output.substr(0, run.output.size() - 1);
        const std::string transcript = ReadTestData(std::string(cut.session) + ".out");
        EXPECT_EQ(transcript.compare(0, shown.size(), shown), 0) << FirstDifference(transcript, shown);
        EXPECT_TRUE(shown.ends_with(cut.stopsAt))
            << "ends with: " << Visible(shown.substr(shown.size() - std::min<size_t>(shown.size(), 120)));
    }
}

// Someone on the other end of a pipe sees each question before the game
// waits for its answer; a question left in a buffer makes the wait time out.
TEST(SessionTest, EveryQuestionReachesAPipeBeforeTheGameWaits)
{
    GameProcess game({QIR_FIXED_CLOCK_EXE}, {"QIR_TEST_CLOCK=1000", "PATH=/usr/bin:/bin"});
    const std::pair<const char*, const char*> exchanges[] = {
        {"instructions? y or n: ", "n\n"},
        {"Enter 1 or 2: ", "x\n"},
        {"Please try again: ", "1\n"},
        {"Enter a number between 2 and 9: ", "4\n"},
        {"Enter d or q: ", "d\n"},
        {"Placement.  Press Return/Enter to continue: ", "\n"},
        {"on the field? y or n: ", "y\n"},
        {"Type a number 1-4: ", "2\n"},
        {"(a or d): ", "a\n"},
        {"on the field? y or n: ", "n\n"},
    };
    for (const auto& [question, answer] : exchanges) {
        ASSERT_TRUE(game.ReadUntil(question)) << "not shown before the game waited: " << question << "\nshown so far:\n"
                                              << Visible(game.Output());
        game.Write(answer);
    }
    ASSERT_TRUE(game.ReadUntil("Enter a or f: "));
    EXPECT_EQ(game.Finish(), 0) << game.Report();
    EXPECT_TRUE(game.Output().ends_with("Enter a or f: \n"));
    EXPECT_EQ(game.Errors(), "");
}

// Every board starts with the clear sequence, and clearing starts no process:
// stand-ins for the commands that could clear a console would leave a mark.
TEST(SessionTest, BoardsAreClearedWithoutStartingAProcess)
{
    char folder[] = "/tmp/qir-pathXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    const std::string mark = dir + "/started";
    const char* const commands[] = {"cls", "clear", "tput", "reset"};
    for (const char* command : commands) {
        const std::string path = dir + "/" + command;
        std::ofstream(path) << "#!/bin/sh\n: > " << mark << "\n";
        chmod(path.c_str(), 0755);
    }

    GameProcess game({QIR_FIXED_CLOCK_EXE}, {"QIR_TEST_CLOCK=1000", "PATH=" + dir});
    game.Write(ReadSession("round-as-player1").answers);
    EXPECT_EQ(game.Finish(), 0) << game.Report();
    EXPECT_EQ(game.Errors(), "");
    EXPECT_NE(access(mark.c_str(), F_OK), 0) << "the game started a process";

    const std::string& out = game.Output();
    int boards = 0;
    for (size_t at = out.find("Unit ID   |A"); at != std::string::npos; at = out.find("Unit ID   |A", at + 1)) {
        ++boards;
    }
    int clears = 0;
    for (size_t at = out.find(kClear); at != std::string::npos; at = out.find(kClear, at + 1)) {
        ++clears;
        EXPECT_EQ(out.compare(at + kClear.size(), 33, "          |----------------------"), 0);
    }
    EXPECT_GT(clears, 10);
    EXPECT_EQ(clears * 2, boards);  // two Unit ID lines per board

    for (const char* command : commands) {
        std::remove((dir + "/" + command).c_str());
    }
    std::remove(mark.c_str());
    rmdir(folder);
}

// Each paragraph of the account of play that --rules prints is shown
// happening in a recorded session: its transcript holds these texts, in
// this order.
TEST(SessionTest, EveryParagraphOfTheAccountOfPlayHappensInASession)
{
    struct Shown {
        const char* paragraph;  // how it starts in the account
        const char* session;
        std::vector<std::string> texts;
    };
    const Shown shown[] = {
        // Three attackers against one defender: the defender falls, all three survive.
        {"Fights. ", "reinforcements-and-focus", {"Attacking |3 4 5|\n", "Defending |2    |\n", "Att Units  3 4 5 \n"}},
        // Equal Powers fall together, the unopposed 3 takes a Base and comes back.
        {"Fights. ", "round-as-player1", {"Attacking |3|2|\n", "Defending |!|2|\n", "Att Units  3 \n", "lost 1 Base!"}},
        // A Power 1 attacker nobody opposes takes a Base and falls with it.
        {"Bases. ", "round-as-player2", {"Attacking |1|\n", "Quelby lost 1 Base!"}},
        {"Attack Focus. ",
         "reinforcements-and-focus",
         {"Attacking unit B has refocused its attack to defender unit A!"}},
        {"Reinforcements. ", "reinforcements-and-focus", {"Defending |4|\n", "Unit ID A has been reinforced"}},
        // Powered up from 2 to 4 with two Bases, reinforced to 7, back as a 5.
        {"Base Power-up. ",
         "reinforcements-and-focus",
         {"Bases      1 1 \n", "Defending |2|\n", "Powered-up and one of your Bases sacrificed", "Def Units  5 \n"}},
        {"Advance Defender. ",
         "reinforcements-and-focus",
         {"The Defense unit with 5 Power has advanced to attack unit ID A"}},
        {"The end. ",
         "loss-then-new-game",
         {"You lost 1 Base! Press Return/Enter to continue: You lose!  Dravik won in 1 round."}},
    };
    const std::string rules = RunWithInput("", [] { PrintRules(); });
    ASSERT_NE(rules.find("\nHOW PLAY GOES\n"), std::string::npos) << rules;
    for (const Shown& row : shown) {
        SCOPED_TRACE(std::string(row.paragraph) + "in " + row.session);
        EXPECT_NE(rules.find(std::string("\n") + row.paragraph), std::string::npos);
        const std::string transcript = ReadTestData(std::string(row.session) + ".out");
        size_t at = 0;
        for (const std::string& text : row.texts) {
            at = transcript.find(text, at);
            ASSERT_NE(at, std::string::npos) << "not in the transcript, or not after the text before: " << text;
        }
    }
}

class SessionRecords : public GameTest {};

// A game at maximum Power 9 can end with Reserves of every Power; the next
// game, at maximum Power 2, must start from one Power 1 and one Power 2 unit.
TEST_F(SessionRecords, NextGameWithSmallerMaximumPowerStartsWithCleanReserves)
{
    NewGame(0, 9, 'd');
    for (PlayerInfo& p : player) {
        p.iRes.fill(3);
        p.iResNum = 27;
    }
    RunWithInput("n\n1\n2\nq\n", [] {
        Welcome();
        InitStorage();
    });
    ASSERT_EQ(giFullPower, 2);
    const PowerCounts fresh{1, 1, 0, 0, 0, 0, 0, 0, 0};
    for (const PlayerInfo& p : player) {
        EXPECT_EQ(p.iRes, fresh);
        EXPECT_EQ(p.iResNum, 2);
    }
}

}  // namespace
