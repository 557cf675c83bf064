// SPDX-License-Identifier: MIT
// Attack focus: the human's dialogue and the computer's procedure.
#include <numeric>
#include <utility>
#include <vector>

#include "support.h"

namespace {

const std::string kWhichAttacker =
    "Which attacker will you refocus?\nEnter the Unit ID capital letter (A-Z) of the "
    "undefended attacker from the \"Attacking\" row: ";
const std::string kNotAttacker =
    "That is not a valid \"Attacking\" row Unit ID.\nMake sure to look at your undefended "
    "units in the \"Attacking\" row, not the \"Att Units\" row.\n";
const std::string kWhichDefender =
    "Which defender will the attacker fight?\nEnter the Unit ID capital letter (A-Z) of "
    "the defender from the \"Defending\" row: ";
const std::string kNotDefender =
    "That is not a valid \"Defending\" row Unit ID.\nMake sure to look at the computer's "
    "units in the \"Defending\" row, not the \"Def Units\" row.\n";
const std::string kNothingLeft = "You do not have any attackers to refocus.  Press Return/Enter to continue.";

std::string Question(int count)
{
    return "You have " + std::to_string(count) +
           " attacker(s) you may refocus.\nDo you want to refocus an attacker "
           "to attack a defender instead of a base, or finish this phase? Enter r or f: ";
}

std::string Refocused(char from, char to)
{
    return std::string("#Attacking unit ") + from + " has refocused its attack to defender unit " + to +
           "!\nNote that attackers/defenders may be shifted left after moving to fill in empty columns\n";
}

// Player 1's Attacking row / Player 2's Defending row.
std::string Pairing()
{
    return RowText(player[0].pAttHead) + " / " + RowText(player[1].pDefHead);
}

class FocusTest : public GameTest {
protected:
    // Player 1 (the human when humanAttacks) attacks; see GameTest::Fight.
    void Fight(bool humanAttacks, const std::vector<int>& attack, const std::vector<std::pair<int, int>>& defend)
    {
        GameTest::Fight(humanAttacks ? 0 : 1, 0, attack, defend);
    }
};

TEST_F(FocusTest, HumanRefocusesAndUsesUpTheCount)
{
    Fight(true, {3, 2}, {});  // no defender to turn to
    EXPECT_EQ(RunWithInput("\n", PlyrAttFocus), kNothingLeft);

    Fight(true, {2, 3, 4}, {{0, 5}});
    EXPECT_EQ(RunWithInput("f\n", PlyrAttFocus), Question(2));
    // 'A' is defended and 'B' holds no defender. The count is not taken
    // again: refocusing the moved attacker once more uses up the last one.
    const std::string out = RunWithInput("R\nr\nA\nC\nB\nA\nr\nB\nA\n\n", PlyrAttFocus);
    EXPECT_EQ(Dialogue(out), Question(2) + "Sorry, you did not type r or f.  Please try again:" + kWhichAttacker +
                                 kNotAttacker + kWhichAttacker + kWhichDefender + kNotDefender + kWhichDefender +
                                 Refocused('C', 'A') + Question(1) + kWhichAttacker + kWhichDefender +
                                 Refocused('B', 'A') + kNothingLeft);
    EXPECT_EQ(Pairing(), "2:0 4:0 3:2 / 5:0 0:1 0:2");
}

TEST_F(FocusTest, LowerCaseNamesNoColumnPastThirtyTwo)
{
    // 34 columns: eight defenders against the first attacker, two against the
    // one in column 31 ('`'), the second of them in the column 'a' would
    // name; the last attacker stands where 'b' would point. '[' is column 26.
    std::vector<int> attack(26, 2);
    attack[19] = 7;
    Fight(true, attack, {{0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {31, 3}, {31, 3}});
    ASSERT_EQ(RowText(NodeAt(Human().pAttHead, 26)), "7:26 2:27 2:28 2:29 2:30 2:31 0:32 2:33");
    const std::string out = RunWithInput("r\nb\n[\na\nA\nf\n", PlyrAttFocus);
    EXPECT_EQ(Dialogue(out), Question(24) + kWhichAttacker + kNotAttacker + kWhichAttacker + kWhichDefender +
                                 kNotDefender + kWhichDefender + Refocused('[', 'A') + Question(23));
    EXPECT_TRUE(RowText(Human().pAttHead).starts_with("2:0 7:0 0:2 "));
}

TEST_F(FocusTest, ComputerMovesOnlyWhereTheAttackerCannotWin)
{
    const char* noOption = "Quelby does not have the option to refocus\n";
    const char* done = "Quelby's Attack Focus phase is complete\n";
    const char* drawnDone = "#Quelby's Attack Focus phase is complete\n";
    struct Case {
        std::vector<int> attack;
        std::vector<std::pair<int, int>> defend;
        int bases;        // the human's
        PowerCounts res;  // the computer's Reserves
        const char* said;
        const char* pairing;
    };
    const Case cases[] = {
        {{3, 2}, {}, 3, {}, noOption, "3:0 2:1 / 0:0 0:1"},
        {{3}, {{0, 1}}, 3, {}, noOption, "3:0 / 1:0"},
        {{2, 4, 1}, {{0, 5}}, 2, {}, done, "2:0 4:1 1:2 / 5:0 0:1 0:2"},  // two undefended take both Bases
        {{2, 4}, {{0, 5}}, 3, {}, drawnDone, "2:0 4:1 / 5:0 0:1"},        // one must stay undefended
        // The 4 backs the 2 against the 5, unless the Reserves make it win
        // (2 + 4); 2 + 3 only ties.
        {{2, 4, 1}, {{0, 5}}, 3, {}, drawnDone, "2:0 4:0 1:2 / 5:0 0:1 0:2"},
        {{2, 4, 1}, {{0, 5}}, 3, {0, 0, 0, 1}, drawnDone, "2:0 4:1 1:2 / 5:0 0:1 0:2"},
        {{2, 4, 1}, {{0, 5}}, 3, {1, 1}, drawnDone, "2:0 4:0 1:2 / 5:0 0:1 0:2"},
        // The first 4 backs 'A' and then faces an empty slot in 'B'; the fight
        // at 'C' takes the second 4, not the first one again.
        {{2, 2, 4, 4, 1}, {{0, 5}, {1, 5}}, 9, {}, drawnDone, "2:0 4:0 2:2 4:2 1:4 / 5:0 0:1 5:2 0:3 0:4"},
        // Two 5s lift the first 1 past 9 in the second pass; the 2 left
        // undefended cannot lift the second 1, so nothing more moves.
        {{1, 1, 5, 5, 1, 1}, {{0, 9}, {1, 9}}, 9, {}, drawnDone, "1:0 5:0 5:0 1:3 1:4 1:5 / 9:0 0:1 0:2 9:3 0:4 0:5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pairing);
        Fight(false, c.attack, c.defend);
        Human().iBases = c.bases;
        Ai().iRes = c.res;
        Ai().iResNum = std::accumulate(c.res.begin(), c.res.end(), 0);
        EXPECT_EQ(Dialogue(RunWithInput("", AIAttFocus)), c.said);
        EXPECT_EQ(Pairing(), c.pairing);
    }
}

TEST_F(FocusTest, ComputerSecondPassSendsTheStrongestLeftmostFirst)
{
    // No single supporter lifts the 1 past 9: it is remembered. The 6 backs
    // the 4 in the first pass and is not taken again; the second pass sends
    // the leftmost 5, then the other 5 in front of it, and stops with the 3
    // still on the Bases.
    Fight(false, {1, 4, 6, 3, 5, 5}, {{0, 9}, {1, 8}});
    Human().iBases = 9;
    const UnitNode* leftFive = NodeAt(Ai().pAttHead, 4);
    RunWithInput("", AIAttFocus);
    EXPECT_EQ(Pairing(), "1:0 5:0 5:0 4:3 6:3 3:5 / 9:0 0:1 0:2 8:3 0:4 0:5");
    EXPECT_EQ(leftFive->iCol, 2);
}

}  // namespace
