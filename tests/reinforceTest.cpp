// SPDX-License-Identifier: MIT
// Reinforcement: the human's menu and the computer's procedure.
#include <numeric>
#include <utility>
#include <vector>

#include "support.h"

namespace {

const std::string kReinforce =
    "Reinforce (r): Permanently boost a currently attacking/defending unit's Power with a Reserve unit\n";
const std::string kPowerUp =
    "Base Power-up (b): Sacrifice one Base to give a one time Power boost to a currently "
    "defending unit equal to the number of Bases you control (pre-sacrifice)\n";
const std::string kAdvance =
    "Advance Defender (a): Permanently move a Defense unit to become an attacker - it can "
    "only attack Defenders this round\n";
const std::string kPass =
    "Pass (p): End this step and move on without making any moves. After both players pass "
    "consecutively, combat resolves\n";
const std::string kFinish =
    "Finish (f): End this step and move on. After the computer reinforces, you will get "
    "another chance to reinforce.\n";
const std::string kRetry = "You did not type one of the available options.  Please try again: ";

std::string Menu(const std::string& options)
{
    return "What would you like to do?\n" + options + "Enter one of the letters in parentheses from above: ";
}

class ReinforceTest : public GameTest {
protected:
    // One turn of the exchange: what the player reads; the result goes to `result`.
    std::string Turn(const std::string& input, int (*step)(bool), bool defending)
    {
        return Dialogue(RunWithInput(input, [&] { result = step(defending); }));
    }
    int result = -1;
};

TEST_F(ReinforceTest, HumanDefendingReinforcesAndPowersUpOnce)
{
    Fight(1, 0, {5, 8}, {{0, 3}, {1, 6}});
    Human().iBases = 4;
    SetCounts(Human().iRes, Human().iResNum, {0, 0, 0, 1});
    // 'a' is not offered while defending. Powers 0 and 5 are out of range, no
    // Power 3 is held; 'C' and 'a' name no defender. 6 + 4 is cut at 9.
    const std::string power = "What Power unit would you like to place? Type a number 1-4: ";
    const std::string outOfRange = "You did not type a number between 1 and 4.  Please try again: ";
    const std::string notOwn =
        "That is not a valid Unit ID.\nMake sure to look at your \"Defending\" row, not your \"Def Units\" row\n";
    const std::string which = "Which unit do you want to reinforce? Enter the Unit ID (A-Z): ";
    const std::string whichPowerUp = "Which defending unit do you want to power-up? Enter the Unit ID (A-Z): ";
    EXPECT_EQ(Turn("a\nr\n0\n5\n3\n4\nC\nB\nb\na\nA\nb\nf\n", PlyrReinforce, true),
              Menu(kReinforce + kPowerUp + kPass) + kRetry + power + outOfRange + outOfRange +
                  "You have no units of that Power available in your Reserves.\n" + power + which + notOwn + which +
                  "#Unit ID B has been reinforced\n" + Menu(kPowerUp + kFinish) + whichPowerUp + notOwn + whichPowerUp +
                  "#Defending unit ID A has been Powered-up and one of your Bases sacrificed\n" + Menu(kFinish) +
                  kRetry + "#");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RowText(Human().pDefHead), "7:0 9:1");
    EXPECT_EQ(Human().iResNum, 0);
    EXPECT_EQ(Human().iBases, 3);
    EXPECT_EQ(Human().iBoostCol, 0);
    EXPECT_EQ(Human().iBoostAdded, 4);
    EXPECT_EQ(Turn("b\np\n", PlyrReinforce, true), Menu(kPass) + kRetry);  // no second Power-up
    EXPECT_EQ(result, 0);
}

TEST_F(ReinforceTest, HumanAttackingAdvancesOnlyAgainstARealDefender)
{
    Fight(0, 0, {3, 2}, {{0, 4}});
    SetCounts(Human().iRes, Human().iResNum, {0, 1});
    SetCounts(Human().iDef, Human().iDefNum, {1});
    EXPECT_EQ(Turn("f\n", PlyrReinforce, false), Menu(kReinforce + kAdvance + kPass) + "#");  // Finish at once
    EXPECT_EQ(result, 1);

    // Power 9 is not held; 'B' is the empty slot opposite an attacker. Pass
    // after a move ends the turn at once.
    const std::string power = "Enter a valid Power for the defense unit you want to reassign to attack: ";
    const std::string which =
        "Which defender will the attacker fight?\nEnter the Unit ID (A-Z) of the defender from "
        "your opponent's \"Defending\" row: ";
    EXPECT_EQ(Turn("R\nr\n2\nA\na\n9\n1\nB\nA\np\n", PlyrReinforce, false),
              Menu(kReinforce + kAdvance + kPass) + kRetry +
                  "What Power unit would you like to place? Type a number 1-4: Which unit do you want to reinforce? "
                  "Enter the Unit ID (A-Z): #Unit ID A has been reinforced\n" +
                  Menu(kAdvance + kFinish) + power + power + which +
                  "That is not a valid \"Defending\" row Unit ID.\nMake sure to look at your opponent's units in the "
                  "\"Defending\" row, not the \"Def Units\" row.\n" +
                  which + "#The Defense unit with 1 Power has advanced to attack unit ID A\n" + Menu(kFinish));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(RowText(Human().pAttHead) + " / " + RowText(Ai().pDefHead), "5:0 1:0 2:2 / 4:0 0:1 0:2");
    EXPECT_EQ(Human().iDefNum, 0);
}

TEST_F(ReinforceTest, ComputerDefendingReinforcesThenPowersUp)
{
    struct Case {
        std::vector<int> attack;
        std::vector<std::pair<int, int>> defend;
        int bases;
        PowerCounts res;
        int result;
        const char* defending;  // the computer's Defending row afterwards
        PowerCounts resLeft;
    };
    const Case cases[] = {
        // The first unit is the largest (4 lifts the 2 to 6); then the smallest
        // that reaches (3 lifts the 1 to 4; 1 + 1 would not reach 3).
        {{5, 3}, {{0, 2}, {1, 1}}, 1, {1, 0, 1, 1}, 1, "6:0 4:1", {1}},
        // With the 4 spent on the 1, the 3 against 5 takes the 2 (a tie reaches
        // but does not win), then the 3.
        {{2, 5}, {{0, 1}, {1, 3}}, 1, {0, 1, 1, 1}, 1, "5:0 8:1", {}},
        // Against 9 the Reserves stay; 6 + 4 Bases is cut at 9. The 1 against 5
        // gets no second Power-up.
        {{9, 5}, {{0, 6}, {1, 1}}, 4, {0, 0, 0, 1}, 1, "9:0 1:1", {0, 0, 0, 1}},
        // With 3 Bases and two unopposed attackers a sacrifice would leave none.
        {{7, 2, 2}, {{0, 7}}, 3, {}, 0, "7:0 0:1 0:2", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.defending);
        Fight(0, 0, c.attack, c.defend);
        Ai().iBases = c.bases;
        Ai().iRes = c.res;
        Ai().iResNum = std::accumulate(c.res.begin(), c.res.end(), 0);
        EXPECT_EQ(Turn("", AIReinforce, true), c.result == 1 ? "#Quelby has completed his reinforcement phase\n"
                                                             : "#Quelby has chosen to pass his reinforcement phase\n");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(RowText(Ai().pDefHead), c.defending);
        EXPECT_EQ(Ai().iRes, c.resLeft);
    }
    // Once the last 2 backs the 7, one is unopposed, and 7 + 3 beats 7 + 2;
    // cut at 9, the boost adds 2.
    MoveNode(0, 2, 0);
    Turn("", AIReinforce, true);
    EXPECT_EQ(RowText(Ai().pDefHead), "9:0 0:1 0:2");
    EXPECT_EQ(Ai().iBases, 2);
    EXPECT_EQ(Ai().iBoostAdded, 2);
    EXPECT_EQ(Turn("", AIReinforce, true), "#Quelby has chosen to pass his reinforcement phase\n");  // once a combat
}

TEST_F(ReinforceTest, ComputerAdvancesDefUnitsOnlyAsPlayerTwo)
{
    for (const int aiIdx : {1, 0}) {
        Fight(1 - aiIdx, aiIdx, {2}, {{0, 4}});
        SetCounts(Ai().iDef, Ai().iDefNum, {1, 0, 1, 1});
        Turn("", AIReinforce, false);
        EXPECT_EQ(result, aiIdx);
        // 3 is the smallest Power that lifts the 2 to 4: one unit advances.
        EXPECT_EQ(RowText(Ai().pAttHead), aiIdx == 1 ? "2:0 3:0" : "2:0");
        EXPECT_EQ(Ai().iDef, aiIdx == 1 ? (PowerCounts{1, 0, 0, 1}) : (PowerCounts{1, 0, 1, 1}));
    }
}

TEST_F(ReinforceTest, CappedPowerUpComesOffTheDefenderThatReceivedIt)
{
    Fight(0, 1, {3, 4}, {{0, 5}, {1, 6}});  // the computer attacks as Player 2
    Human().iBases = 4;
    SetCounts(Ai().iDef, Ai().iDefNum, {1, 1});
    Turn("b\nB\np\n", PlyrReinforce, true);  // 6 + 4 is cut at 9: the boost adds 3
    // A Power 2 Def Unit joins the 3 against the 5 and pushes the 9 to 'C'.
    Turn("", AIReinforce, false);
    EXPECT_EQ(RowText(Ai().pAttHead) + " / " + RowText(Human().pDefHead), "3:0 2:0 4:2 / 5:0 0:1 9:2");
    RunWithInput("\n", [] { CombatOutcome(1); });
    // The 9 beats the 4 and comes back as the 6 it was; the 5 falls to 3 + 2.
    EXPECT_EQ(Human().iDef, (PowerCounts{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Human().iBoostCol, -1);
}

}  // namespace
