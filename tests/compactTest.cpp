// SPDX-License-Identifier: MIT
// The screen's layout: the compact board, lines broken to the width, the
// board drawn again before it would scroll away, and screens separated by
// a line instead of cleared. On a terminal the same is played through a
// pseudo-terminal (tests/terminal); here the layout is asked for with
// --compact and a size from COLUMNS and LINES.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support.h"

namespace {

class CompactTest : public GameTest {
protected:
    // A screen of `columns` by `rows`, compact or not, separated or cleared, coloured or not.
    static void Screen(int columns, int rows, bool compact, bool noClear = false, Colour colour = Colour::kNever)
    {
        setenv("COLUMNS", std::to_string(columns).c_str(), 1);
        setenv("LINES", std::to_string(rows).c_str(), 1);
        SetScreenOptions(compact, noClear, colour);
    }
    void TearDown() override
    {
        unsetenv("COLUMNS");
        unsetenv("LINES");
        SetScreenOptions(false, false);
        GameTest::TearDown();
    }
};

std::string Printed(const std::vector<std::string>& pieces)
{
    return RunWithInput("", [&] {
        for (const std::string& piece : pieces) {
            PrintText(piece);
        }
    });
}

TEST_F(CompactTest, BoardKeepsEveryLabelledLineInFourteenRows)
{
    Screen(80, 24, true);
    NewGame(0, 4, 'd');
    // Trailing blanks matter here, so every line is spelled out.
    EXPECT_EQ(RunWithInput("", [] { DrawBoard(kNewBoard); }),
              kClear +
                  "          |-----------------------YOU-------------------------|\n"
                  "Bases      1 \n"
                  "Def Units  \n"
                  "Att Units  \n"
                  "Defending  \n"
                  "Attacking  \n"
                  "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n"
                  "Attacking  \n"
                  "Defending  \n"
                  "Att Units  \n"
                  "Def Units  \n"
                  "Bases      1 \n"
                  "          |----------------------DRAVIK-----------------------|\n"
                  "Reserves, 2 units: Power 1: 1, 2: 1, 3: 0, 4: 0\n");
}

TEST_F(CompactTest, ReservesStandOnOneLine)
{
    Screen(80, 24, true);
    const struct {
        int fullPower;
        std::initializer_list<int> reserves;
        const char* line;
    } cases[] = {
        {2, {0, 1}, "Reserves, 1 unit: Power 1: 0, 2: 1\n"},
        {9,
         {3, 0, 2, 0, 0, 0, 0, 0, 9},
         "Reserves, 14 units: Power 1: 3, 2: 0, 3: 2, 4: 0, 5: 0, 6: 0, 7: 0, 8: 0, 9: 9\n"},
    };
    for (const auto& c : cases) {
        NewGame(1, c.fullPower, 'q');
        SetCounts(Human().iRes, Human().iResNum, c.reserves);
        const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
        EXPECT_TRUE(
            board.ends_with(std::string("          |-----------------------YOU-------------------------|\n") + c.line))
            << board;
    }
}

// A line wider than the screen breaks at its last space that fits, the
// spaces there dropped; a word wider than the screen is left to the terminal.
TEST_F(CompactTest, LinesBreakAtTheirLastSpaceThatFits)
{
    const struct {
        int columns;
        std::vector<std::string> pieces;
        const char* shown;
    } cases[] = {
        {20,
         {"Would you like to place any units on the field? y or n: "},
         "Would you like to\nplace any units on\nthe field? y or n: "},
        {27, {"You did not type a y or n.  Please try again: "}, "You did not type a y or n.\nPlease try again: "},
        {26, {"You did not type a y or n.  Please try again: "}, "You did not type a y or n.\nPlease try again: "},
        {25, {"You did not type a y or n.  Please try again: "}, "You did not type a y or\nn.  Please try again: "},
        {50,
         {"Where would you like to place this unit? ", "Attacker or Defender (a or d): "},
         "Where would you like to place this unit? Attacker\nor Defender (a or d): "},
        {20,
         {"short\n", "ZZZZZZZZZZZZZZZZZZZZZZZZZ and more words here\n"},
         "short\nZZZZZZZZZZZZZZZZZZZZZZZZZ and more words\nhere\n"},
        {80, {std::string(80, 'x') + "\n"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pieces.front());
        Screen(c.columns, 24, true);
        ForgetBoard();
        const std::string unbroken = c.pieces.size() == 1 ? c.pieces.front() : c.pieces[0] + c.pieces[1];
        EXPECT_EQ(Printed(c.pieces), c.shown != nullptr ? c.shown : unbroken);
        // The full layout leaves every line to the terminal.
        Screen(c.columns, 24, false);
        EXPECT_EQ(Printed(c.pieces), unbroken);
    }
}

// Text written before a read cannot change: the break falls after a written
// space, or the terminal wraps the row.
TEST_F(CompactTest, WrittenTextStaysAsItWas)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Twenty-six letters and then: ", "Antidisestablishment"},
        {"Press Return/Enter to go on.", "Starting round 1 of many"},
    };
    const char* const shown[] = {
        "Twenty-six letters and then: \nAntidisestablishment",
        "Press Return/Enter to go on.Starting round 1 of many",
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Screen(30, 24, true);
        ForgetBoard();
        EXPECT_EQ(RunWithInput("",
                               [&] {
                                   PrintText(cases[i].first);
                                   FlushOutput();
                                   PrintText(cases[i].second);
                               }),
                  shown[i]);
    }
}

TEST_F(CompactTest, BoardIsDrawnAgainBeforeItWouldScrollAway)
{
    Screen(80, 24, true);
    NewGame(0, 9, 'd');
    const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
    const std::string shown = RunWithInput("", [] {
        DrawBoard(kReprintBoard);
        for (int i = 0; i < 12; ++i) {
            Print("Message %d\n", i);
        }
        PrintText("A question on the last row: ");
    });
    ASSERT_EQ(std::count(board.begin(), board.end(), '\n'), 14);
    // Ten rows below the board: the question and the nine messages before it.
    std::string tail;
    for (int i = 3; i < 12; ++i) {
        tail += "Message " + std::to_string(i) + "\n";
    }
    EXPECT_TRUE(shown.ends_with(board + tail + "A question on the last row: ")) << shown;
    EXPECT_TRUE(shown.starts_with(board + "Message 0\n")) << shown;

    // A board and what follows that fit are shown once.
    const std::string fits = RunWithInput("", [] {
        DrawBoard(kReprintBoard);
        PrintText(std::string(9, '\n') + "Nine rows down: ");
    });
    EXPECT_EQ(fits, board + std::string(9, '\n') + "Nine rows down: ");
}

// The screen chooses its layout from the rows the board code says a board
// takes: they must be the rows DrawBoard fills, at every maximum Power.
TEST_F(CompactTest, BoardRowsAreTheLinesOfEveryBoard)
{
    for (const bool compact : {false, true}) {
        Screen(80, 24, compact);
        for (int power = 2; power <= kMaxPower; ++power) {
            NewGame(0, power, 'q');
            const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
            EXPECT_EQ(std::count(board.begin(), board.end(), '\n'), BoardRows(compact, power))
                << (compact ? "compact, Power " : "full, Power ") << power;
        }
    }
}

// While a resumed game replays, the screen keeps of what came below its
// board no more than any screen shows: whole lines up to the last, under
// the board, and in the compact layout the board drawn again above the last
// rows once it is let go.
TEST_F(CompactTest, AHeldScreenKeepsOnlyWhatAScreenShows)
{
    constexpr int kLines = 200000;  // 21 characters each: four times what is kept
    auto line = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "Refused answer %06d\n", i);
        return std::string(text);
    };
    for (const bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "compact" : "full");
        Screen(80, 24, compact);
        NewGame(0, 4, 'd');
        const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
        const std::string shown = RunWithInput("", [&] {
            HoldScreen(true);
            PrintText("Shown before the last board: never written\n");
            DrawBoard(kReprintBoard);
            for (int i = 0; i < kLines; ++i) {
                PrintText(line(i));
            }
            HoldScreen(false);
        });
        ASSERT_TRUE(shown.starts_with(board + "Refused answer ")) << shown.substr(0, 200);
        const int first = std::stoi(shown.substr(board.size() + 15, 6));
        std::string kept = board;
        for (int i = first; i < kLines; ++i) {
            kept += line(i);
        }
        EXPECT_GE(kept.size() - board.size(), size_t{1} << 20);
        EXPECT_LE(kept.size() - board.size(), size_t{2} << 20);
        EXPECT_EQ(shown.substr(0, kept.size()), kept);
        EXPECT_EQ(shown.substr(kept.size()), compact ? board + kept.substr(kept.size() - 9 * line(0).size()) : "");
    }
}

// Without clearing, an empty line of its own stands above each board.
TEST_F(CompactTest, ScreensAreSeparatedByAnEmptyLine)
{
    for (const bool compact : {false, true}) {
        Screen(80, 24, compact, true);
        NewGame(0, 3, 'd');
        const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
        ASSERT_EQ(board.find("\n          |-----------------------YOU--"), 0u) << board;
        const std::string afterQuestion = RunWithInput("", [] {
            PrintText("Press Return/Enter to continue: ");
            DrawBoard(kReprintBoard);
        });
        EXPECT_EQ(afterQuestion, "Press Return/Enter to continue: \n" + board);
        EXPECT_EQ(board.find('\033'), std::string::npos);
    }
}

// What the game wrote, without its colour sequences.
std::string WithoutColour(const std::string& text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t end = text.compare(i, 2, "\033[") == 0 ? text.find('m', i) : std::string::npos;
        if (end != std::string::npos && text.find_first_not_of("0123456789;", i + 2) == end) {
            i = end;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// Colour adds its sequences and nothing else: the human's half bold blue,
// the computer's plain yellow, the marker of an unopposed attacker bold red,
// the question the player answers bold, whichever half is whose.
TEST_F(CompactTest, ColourStylesEachSideAndTheQuestionAndAddsNothingElse)
{
    for (const bool compact : {false, true}) {
        for (const int human : {0, 1}) {
            for (const int power : {2, 9}) {
                SCOPED_TRACE((compact ? "compact, human " : "full, human ") + std::to_string(human) + ", Power " +
                             std::to_string(power));
                auto draw = [&](Colour colour) {
                    FreeAllRows();  // the rows of the draw before
                    Screen(80, 24, compact, false, colour);
                    NewGame(human, power, 'd');
                    Commit(giAINum, {2});  // an attacker nobody opposes yet: an ! in the human's Defending row
                    return RunWithInput("", [] {
                        DrawBoard(kNewBoard);
                        PrintText("A line of the game\nA question: ");
                    });
                };
                const std::string plain = draw(Colour::kNever);
                const std::string coloured = draw(Colour::kAlways);
                EXPECT_EQ(WithoutColour(coloured), plain);
                EXPECT_EQ(plain.find("\033[1"), std::string::npos);
                const std::string yours = "\033[1;34m          |-----------------------YOU----";
                const std::string theirs = "\033[33m          |----------------------DRAVIK---";
                EXPECT_NE(coloured.find(yours), std::string::npos);
                EXPECT_NE(coloured.find(theirs), std::string::npos);
                EXPECT_EQ(coloured.find(yours) < coloured.find(theirs), human == 0);
                EXPECT_NE(coloured.find("\033[1;34mDefending |\033[1;31m!\033[0m\033[1;34m|\033[0m\n"),
                          std::string::npos);
                EXPECT_NE(coloured.find("\033[33mAttacking |2|\033[0m\n"), std::string::npos);
                EXPECT_TRUE(coloured.ends_with("A line of the game\n\033[1mA question: \033[0m")) << coloured;
            }
        }
    }
}

// Below 80x24 the board's frame lines, its rows of units and the question's
// last line come first, then what came since the last read, and only then
// the Unit ID line and the Reserves; the Reserves break between two pairs.
TEST_F(CompactTest, ASmallScreenKeepsTheUnitsAndTheQuestionFirst)
{
    const std::string reserves = "Reserves, 14 units: Power 1: 3, 2: 0, 3: 2, 4: 0, 5: 0, 6: 0, 7: 0,\n8: 0, 9: 9\n";
    const std::string menu =
        "What would you like to do?\n"
        "Base Power-up (b): Sacrifice one Base to give a one time Power boost to a currently defending unit equal to "
        "the number of Bases you control (pre-sacrifice)\n"
        "Pass (p): End this step and move on without making any moves. After both players pass consecutively, combat "
        "resolves\n";
    const struct {
        int columns;
        int rows;
        std::string text;
        bool unitIdsShown;
        bool reservesShown;
    } cases[] = {
        {70, 19, menu + "Enter one of the letters in parentheses from above: ", false, false},
        {70, 20, menu + "Enter one of the letters in parentheses from above: ", true, false},
        {70, 22, menu + "Enter one of the letters in parentheses from above: ", true, true},
        {70, 20, "A line\nA question: ", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows));
        Screen(c.columns, c.rows, true);
        NewGame(0, 9, 'd');
        SetCounts(Human().iRes, Human().iResNum, {3, 0, 2, 0, 0, 0, 0, 0, 9});
        const std::string board = RunWithInput("", [] { DrawBoard(kNewBoard); });
        EXPECT_TRUE(board.ends_with("----|\n" + reserves)) << board;
        const std::string shown = RunWithInput("", [&] { PrintText(c.text); });
        const size_t redraw = shown.rfind(kClear);
        const std::string screen = redraw == std::string::npos ? board + shown : shown.substr(redraw);
        EXPECT_LE(std::count(screen.begin(), screen.end(), '\n') + 1, c.rows) << screen;
        for (const char* label : {"Bases      1 \n", "Def Units  \n", "Attacking  \n", "DRAVIK---"}) {
            EXPECT_NE(screen.find(label), std::string::npos) << label << " in\n" << screen;
        }
        EXPECT_EQ(screen.find("Unit ID   |A") != std::string::npos, c.unitIdsShown) << screen;
        EXPECT_EQ(screen.find(reserves) != std::string::npos, c.reservesShown) << screen;
        EXPECT_TRUE(screen.ends_with("After\nboth players pass consecutively, combat resolves\n"
                                     "Enter one of the letters in parentheses from above: ") ||
                    screen.ends_with(reserves + "A line\nA question: "))
            << screen;
    }
}

class CompactOptions : public TempFolderTest {};

// --compact and --no-clear take no argument, go with every other option,
// and leave a record as it would be without them.
TEST_F(CompactOptions, GoWithTheRecordOptions)
{
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--compact=1"}, "option '--compact' takes no argument"},
        {{"--no-clear=yes"}, "option '--no-clear' takes no argument"},
        {{"-c"}, "unknown option '-c'"},
        {{"-n"}, "unknown option '-n'"},
        {{"--compact", "--compact"}, "option '--compact' given twice"},
    };
    for (const auto& [args, problem] : refused) {
        const RunResult run = RunQir(args, "n\n");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.errors, "qir: " + problem + ". Try 'qir --help'.\n");
    }
    const std::string answers = "n\n1\n3\nd\n\ny\n1\nb\nn\n";
    const RunResult plain = RunQir({"--seed", "5", "--record", File("plain")}, answers);
    const RunResult laidOut = RunQir({"--seed", "5", "--record", File("laid-out"), "--compact", "--no-clear"}, answers);
    ASSERT_EQ(laidOut.status, 0) << laidOut.report;
    EXPECT_EQ(ReadFile(File("laid-out")), ReadFile(File("plain")));
    EXPECT_EQ(laidOut.output.find('\033'), std::string::npos);
    for (const char* option : {"--resume", "--replay"}) {
        const RunResult again = RunQir({option, File("laid-out"), "--compact", "--no-clear"}, "");
        EXPECT_EQ(again.status, 0) << again.report;
        EXPECT_NE(again.output.find("Reserves, "), std::string::npos) << again.output;
    }
}

}  // namespace
