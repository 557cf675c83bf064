// SPDX-License-Identifier: MIT
// Defense: the human's dialogue and both computer procedures.
#include <numeric>
#include <vector>

#include "support.h"

namespace {

const std::string kAsk = "Would you like to assign a defense unit to defend, or finish this step? Enter d or f: ";
const std::string kPower = "Enter a valid Power for the unit you want to assign to defend: ";
const std::string kWhich =
    "Which attacker will the defender fight? Enter the Unit ID (A-Z) of the attacker from the \"Attacking\" row: ";
const std::string kRefused =
    "That is not a valid \"Attacking\" row Unit ID.\nMake sure to look at your opponent's "
    "units in the \"Attacking\" row, not the \"Att Units\" row.\n" +
    kWhich;

class DefenseTest : public GameTest {
protected:
    // The human attacks as Player 1; the computer defends with these Def
    // Units, Reserves and Bases, and closes with its line below the board.
    void AiDefends(char level, int fullPower, int bases, const std::vector<int>& attack, const PowerCounts& def,
                   const PowerCounts& res = {})
    {
        FreeAllRows();
        NewGame(0, fullPower, level);
        Ai().iBases = bases;
        Ai().iDef = def;
        Ai().iDefNum = std::accumulate(def.begin(), def.end(), 0);
        Ai().iRes = res;
        Ai().iResNum = std::accumulate(res.begin(), res.end(), 0);
        Commit(0, attack);
        const std::string out = RunWithInput("", level == 'd' ? SimpleAIAssignDef : SmartAIAssignDef);
        EXPECT_EQ(Dialogue(out), std::string("#") + OpponentName() + "'s defense phase is complete\n");
    }
};

TEST_F(DefenseTest, HumanTeamsUpAndColumnsShift)
{
    NewGame(1, 6, 'd');
    Commit(0, {3, 4});  // the computer attacks in 'A' and 'B'
    SetCounts(Human().iDef, Human().iDefNum, {1, 1, 0, 0, 1});
    EXPECT_EQ(RunWithInput("f\n", PlyrAssignDef), kAsk);  // no run-out message
    EXPECT_EQ(Human().iDefNum, 3);

    // Power 7 is not held. A unit is committed once its Power is given: "f",
    // "a" and "C" only bring the question back, and so do an empty line and,
    // after the shift, the placeholder in 'B'.
    const std::string out = RunWithInput("D\nd\n7\n5\nA\nd\n2\nf\na\nC\nA\nd\n1\n\nB\nC\n\n", PlyrAssignDef);
    const auto confirmed = [](int power, char id) {
        return "#Unit of Power " + std::to_string(power) + " is set to defend against the attacker with Unit ID " + id +
               "!\n";
    };
    EXPECT_EQ(Dialogue(out), kAsk + "You did not type d or f.  Please try again:" + kPower + kPower + kWhich +
                                 confirmed(5, 'A') + kAsk + kPower + kWhich + kRefused + kRefused + kRefused +
                                 confirmed(2, 'A') + kAsk + kPower + kWhich + kRefused + kRefused + confirmed(1, 'C') +
                                 "You do not have any defense units available.  Press Return/Enter to continue.");
    EXPECT_EQ(RowText(Ai().pAttHead) + " / " + RowText(Human().pDefHead), "3:0 0:1 4:2 / 5:0 2:0 1:2");
    EXPECT_EQ(Human().iDef, PowerCounts{});
    EXPECT_EQ(Human().iCurDefNum, 3);
}

TEST_F(DefenseTest, ComputerPasses)
{
    struct Case {
        char level;
        int fullPower, bases;
        std::vector<int> attack;
        PowerCounts def, res;
        const char* pairing;  // the human's Attacking row / the computer's Defending row
        PowerCounts left;     // the computer's Def Units afterwards
    };
    const Case cases[] = {
        // Dravik: the strongest unit that holds each attacker, up to the maximum
        // Power, then above it; the weakest blocks the rest.
        {'d', 6, 1, {2, 5}, {1, 0, 1, 0, 0, 1}, {}, "2:0 5:1 / 6:0 1:1", {0, 0, 1}},
        {'d', 4, 1, {7, 3}, {0, 1, 0, 0, 0, 0, 0, 1}, {}, "7:0 3:1 / 8:0 2:1", {}},
        // Quelby counts on both Reserve units that lift the 3 to 5, so neither
        // is left to lift the 1 for the second attacker.
        {'q', 6, 5, {5, 5}, {1, 0, 1}, {1, 1, 0, 1}, "5:0 5:1 / 3:0 0:1", {1}},
        // Unmatched attackers threaten the last Bases: every blocker goes to the first.
        {'q', 9, 3, {9, 9, 9}, {1, 2}, {}, "9:0 0:1 0:2 9:3 9:4 / 1:0 2:0 2:0 0:3 0:4", {}},
        {'q', 9, 6, {9, 9}, {1, 2}, {}, "9:0 9:1 / 0:0 0:1", {1, 2}},
        // A blocked group is topped up by the unit that matches the need, else strongest first.
        {'q', 9, 2, {5, 5}, {2, 0, 1, 1}, {}, "5:0 0:1 0:2 5:3 / 1:0 1:0 3:0 0:3", {0, 0, 0, 1}},
        {'q', 6, 2, {7}, {1, 1, 0, 1}, {}, "7:0 0:1 0:2 / 1:0 4:0 2:0", {}},
        // The 4, held by a 3 and a Reserve 1, is pushed past the three positions
        // the walks visit, so the spare 1 never tops it up.
        {'q', 9, 2, {9, 9, 4}, {3, 0, 1}, {1}, "9:0 0:1 9:2 4:3 / 1:0 1:0 0:2 3:3", {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pairing);
        AiDefends(c.level, c.fullPower, c.bases, c.attack, c.def, c.res);
        EXPECT_EQ(RowText(Human().pAttHead) + " / " + RowText(Ai().pDefHead), c.pairing);
        EXPECT_EQ(Ai().iDef, c.left);
    }
}

TEST_F(DefenseTest, ComputerDefendsPastTwentySixColumns)
{
    // 30 attackers (surviving advanced units can make that many): each is
    // matched in the first pass, so none, past 'Z' either, is blocked as well.
    AiDefends('d', 9, 1, std::vector<int>(30, 2), {5, 0, 30});
    EXPECT_EQ(Ai().iCurDefNum, 30);
    EXPECT_EQ(Ai().iDef, (PowerCounts{5}));

    // Quelby blocks the first of 27 with all five: the pairing grows to 31 columns.
    AiDefends('q', 9, 2, std::vector<int>(27, 9), {5});
    EXPECT_TRUE(RowText(Ai().pDefHead).starts_with("1:0 1:0 1:0 1:0 1:0 0:5 "));
    EXPECT_EQ(RowText(NodeAt(Human().pAttHead, 30)), "9:30");
}

}  // namespace
