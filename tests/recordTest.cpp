// SPDX-License-Identifier: MIT
// Seeded dice and recorded games: the dice follow the C library's generator,
// a record holds every answer and seeding, and a damaged or foreign record is
// refused before anything changes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "playDriver.h"
#include "support.h"

namespace {

class RecordTest : public TempFolderTest {};

const std::string kHeader = "Qir record 1\ngame " QIR_VERSION "\n";

#ifdef __GLIBC__
TEST(Dice, DrawWhatTheCLibrarysRandDraws)
{
    std::mt19937 pick(7);
    std::vector<unsigned> seeds{0, 1, 2, 1000, 2147483647U, 2147483648U, 4294967295U};
    for (int i = 0; i < 300; ++i) {
        seeds.push_back(static_cast<unsigned>(pick()));
    }
    for (const unsigned seed : seeds) {
        std::srand(seed);
        SeedDice(seed);
        for (int draw = 0; draw < 200; ++draw) {
            ASSERT_EQ(NextDiceNumber(), std::rand()) << "seed " << seed << ", draw " << draw;
        }
    }
}
#endif

// Each answer and each seeding is one line, escaped where it is not plain
// text; the k-th seeding of a seeded game uses the seed plus k.
TEST_F(RecordTest, HoldsAHeaderAndOneLinePerAnswerAndSeeding)
{
    const std::string record = File("game");
    const RunResult run = RunQir({"--seed", "41", "--record", record}, "n\n2\n2\nd\n\\\n\x1b[\n\t\r\n\xe9");
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(ReadFile(record), kHeader +
                                    "seed 41\nanswer n\\n\nanswer 2\\n\nanswer 2\\n\nanswer d\\n\ndice 41\n"
                                    "key \\\\\nkey \\n\nanswer \\x1b[\nanswer \\n\nanswer \\t\\r\nanswer \\n\n"
                                    "answer \\xe9\n");
    EXPECT_EQ(RunQir({"--replay", record}).output, run.output);

    const std::string wholeGame = File("whole");
    PlayPolicy policy;
    policy.games = 2;
    const PlayedGame game = PlayGame({QIR_EXE, "--seed", "41", "--record", wholeGame}, policy);
    ASSERT_EQ(game.results, 2) << game.report;
    std::istringstream lines(ReadFile(wholeGame));
    unsigned next = 41;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("dice ")) {
            EXPECT_EQ(line, "dice " + std::to_string(next++));
        }
    }
    EXPECT_GT(next, 43U);
}

TEST_F(RecordTest, ANewRecordMustBeANewFile)
{
    const std::string existing = File("existing");
    WriteFile(existing, "keep me\n");
    const RunResult refused = RunQir({"--record", existing}, "n\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "");
    EXPECT_EQ(refused.errors, "qir: cannot create the record " + existing + ": File exists\n");
    EXPECT_EQ(ReadFile(existing), "keep me\n");

    const std::string nowhere = File("missing/record");
    EXPECT_EQ(RunQir({"--record", nowhere}, "n\n").errors,
              "qir: cannot create the record " + nowhere + ": No such file or directory\n");
    for (const char* option : {"--record", "--resume", "--replay"}) {  // no name is no file, not no option
        const RunResult unnamed = RunQir({option, ""}, "n\n");
        EXPECT_EQ(unnamed.status, 1) << option;
        EXPECT_EQ(unnamed.output, "") << option;
    }
}

// When the record cannot take a line, the game stops before it acts on the
// answer: what the record holds is all the game did.
TEST_F(RecordTest, AFailedAppendStopsTheGame)
{
    const std::string record = File("small");
    const RunResult run =
        RunCommand({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" --record \"$1\"", QIR_EXE, record},
                   ReadSession("round-as-player1").answers + std::string(200, '\n'));
    EXPECT_EQ(run.status, 1);
    // Only the first line: a coverage build's own runtime meets the same limit at exit.
    EXPECT_TRUE(run.errors.starts_with("qir: cannot write the record " + record + ": File too large\n")) << run.errors;
    EXPECT_LE(ReadFile(record).size(), 512U);
}

TEST_F(RecordTest, DamagedOrForeignRecordsAreRefusedAndLeftAlone)
{
    struct Case {
        std::string content;
        std::string problem;  // after "qir: FILE ", or the whole message after "qir: " where it names FILE
    };
    const Case cases[] = {
        {"", "the record FILE is empty: no game began in it"},
        {"#!/bin/sh\necho\n", "line 1: not a Qir record"},
        {"Qir record 2\ngame 1.0.0\n", "line 1: record format '2' is unknown to qir " QIR_VERSION},
        {"Qir record 1\nplay\n", "line 2: the game's version is missing"},
        {kHeader + "answer n\\n\nanswer\n", "line 4: cannot read 'answer'"},
        {kHeader + "answer abc\n", "line 3: cannot read 'answer abc'"},
        {kHeader + "answer \\q\n", "line 3: cannot read 'answer \\q'"},
        {kHeader + "dice 4294967296\n", "line 3: cannot read 'dice 4294967296'"},
        {kHeader + "answer n\\n\nseed 5\n", "line 4: cannot read 'seed 5'"},
        {kHeader + "key \\n\n", "line 3: the game asks for an answer here, not for the record's key"},
        {kHeader + "answer n\\n\nanswer 1\\n\nanswer 4\\n\nanswer d\\n\nanswer y\\n\n",
         "line 7: the game asks for the dice here, not for the record's answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const std::string record = File("damaged");
        WriteFile(record, c.content);
        std::string problem = record + " " + c.problem;
        if (const size_t file = c.problem.find("FILE"); file != std::string::npos) {
            problem = std::string(c.problem).replace(file, 4, record);
        }
        for (const char* mode : {"--resume", "--replay"}) {
            const RunResult refused = RunQir({mode, record}, "n\n");
            EXPECT_EQ(refused.status, 1);
            EXPECT_EQ(refused.errors, "qir: " + problem + "\n");
            EXPECT_EQ(ReadFile(record), c.content);
            if (std::string(mode) == "--resume") {
                EXPECT_EQ(refused.output, "");
            }
        }
    }
}

// A write cut short by a crash leaves a last line without its newline: it is
// dropped with a note, and taken out of the file once the game goes on.
TEST_F(RecordTest, ACutLastLineIsDroppedWithANote)
{
    const std::string record = File("cut");
    const std::string kept = kHeader + "answer n\\n\n";
    WriteFile(record, kept + "answ");
    const RunResult replayed = RunQir({"--replay", record});
    EXPECT_EQ(replayed.status, 0);
    EXPECT_EQ(replayed.errors, "qir: " + record + ": its last line was cut short and is left out\n");
    EXPECT_EQ(ReadFile(record), kept + "answ");

    const RunResult resumed = RunQir({"--resume", record}, "1\n");
    EXPECT_EQ(resumed.status, 0);
    EXPECT_EQ(resumed.errors, "qir: " + record +
                                  ": its last line was cut short and is left out (removed from "
                                  "the file when the game goes on)\n");
    EXPECT_EQ(ReadFile(record), kept + "answer 1\\n\n");
    EXPECT_TRUE(resumed.output.starts_with(replayed.output.substr(0, replayed.output.size() - 1) +
                                           "What should the maximum unit Power be?"));
}

TEST_F(RecordTest, ARecordOfAnotherVersionResumesWithAWarning)
{
    const std::string record = File("old");
    WriteFile(record, "Qir record 1\ngame 0.9.0\nanswer n\\n\n");
    const RunResult resumed = RunQir({"--resume", record}, "1\n");
    EXPECT_EQ(resumed.status, 0);
    EXPECT_EQ(resumed.errors, "qir: " + record + " was recorded by qir 0.9.0; resuming it with qir " QIR_VERSION "\n");
    EXPECT_TRUE(resumed.output.ends_with("Enter a number between 2 and 9: \n")) << resumed.output;
}

// Resuming a game that the record ends with "no more games" has nothing to
// show: no output, one line on stderr, and the record stays as it was.
TEST_F(RecordTest, ResumingAFinishedGameShowsNothing)
{
    const std::string record = File("finished");
    std::string input = ReadSession("loss-then-new-game").answers;
    input = input.substr(0, input.find("yes\n")) + "n\n";
    const RunResult played = RunQir({"--seed", "1010", "--record", record}, input);
    ASSERT_TRUE(
        played.output.ends_with("Want to play again? y or n: You did not type a y or n.  Please try again: "
                                "You did not type a y or n.  Please try again: "))
        << LastLines(played.output, 3);
    const std::string finished = ReadFile(record);

    const RunResult resumed = RunQir({"--resume", record}, "y\n");
    EXPECT_EQ(resumed.status, 0);
    EXPECT_EQ(resumed.output, "");
    EXPECT_EQ(resumed.errors, "qir: the game recorded in " + record + " is over; there is nothing to resume\n");
    EXPECT_EQ(ReadFile(record), finished);
    EXPECT_EQ(RunQir({"--replay", record}).output, played.output);
}

}  // namespace
