// SPDX-License-Identifier: MIT
// Combat resolution: fights settled by Power, Bases lost, survivors returned.
#include "support.h"

namespace {

// The human is Player 1 and plays Dravik.
class CombatTest : public GameTest {
protected:
    void SetUp() override { NewGame(0, 4, 'd'); }
};

// Units of the field are committed as the attack and defense steps do.
void Attack(int who, std::initializer_list<int> powers)
{
    for (const int power : powers) {
        ++player[who].iAttNum;
        InsertNode(who, player[who].iCurAttNum, power, 0);
    }
}
void Defend(int who, int col, int power)
{
    ++player[who].iDefNum;
    InsertNode(who, col, power, 1);
}

std::string Resolve(int attacker)
{
    return RunWithInput("\n", [attacker] { CombatOutcome(attacker); });
}

// What follows the board: the closing line, which has no newline.
std::string Message(const std::string& printed)
{
    return printed.substr(printed.rfind('\n') + 1);
}

TEST_F(CombatTest, ColumnsSettleByPowerAndSurvivorsReturn)
{
    Attack(0, {4, 5, 2, 3, 3, 1, 4, 5});
    Defend(1, 0, 4);
    Defend(1, 1, 3);
    Defend(1, 2, 6);
    Defend(1, 3, 2);
    Defend(1, 3, 1);  // joins the 2: the attackers from column 4 on move right
    Defend(1, 7, 3);
    Defend(1, 7, 1);
    MoveNode(0, 9, 7);  // the last attacker joins the Power 4 one against the 3+1
    Ai().iBases = 3;
    // 4=4 both fall; 5 beats 3; 6 beats 2; 3 falls to 2+1 and takes the 2 with
    // it, the 1 is untouched; two unopposed (the Power 1 falls with its Base);
    // the 4 falls to 3+1 past the slot facing the 5, and 4+5 take the 3.
    const std::string printed = Resolve(0);
    EXPECT_EQ(Human().iAtt, (PowerCounts{0, 0, 1, 0, 2}));
    EXPECT_EQ(Human().iAttNum, 3);
    EXPECT_EQ(Ai().iDef, (PowerCounts{2, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Ai().iDefNum, 3);
    EXPECT_EQ(Ai().iBases, 1);
    EXPECT_TRUE(Human().pAttHead == nullptr && Ai().pDefHead == nullptr);
    EXPECT_EQ(Human().iCurAttNum + Ai().iCurDefNum, 0);
    const std::string message = "Combat is finished. Dravik lost 2 Bases! Press Return/Enter to continue: ";
    EXPECT_EQ(printed, RunWithInput("", [] { DrawBoard(1); }) + message);
}

TEST_F(CombatTest, BasesLostAndTheMessage)
{
    struct Case {
        int attacker, bases, unopposed, basesLeft;
        char level;
        const char* loss;
    };
    for (const Case c : {Case{0, 2, 3, 0, 'd', "Dravik lost 2 Bases!"}, Case{0, 1, 2, 0, 'q', "Quelby lost 1 Base!"},
                         Case{0, 5, 1, 4, 'd', "Dravik lost 1 Base!"}, Case{1, 3, 2, 1, 'd', "You lost 2 Bases!"}}) {
        SCOPED_TRACE(c.loss);
        gDiffLevel = c.level;
        PlayerInfo& defender = player[1 - c.attacker];
        defender.iBases = c.bases;
        for (int i = 0; i < c.unopposed; ++i) {
            Attack(c.attacker, {2});
        }
        EXPECT_EQ(Message(Resolve(c.attacker)),
                  std::string("Combat is finished. ") + c.loss + " Press Return/Enter to continue: ");
        EXPECT_EQ(defender.iBases, c.basesLeft);
    }
}

TEST_F(CombatTest, EverySurvivorReturnsPastTwentySixColumns)
{
    for (int i = 0; i < 26; ++i) {
        Attack(0, {4});
    }
    Defend(1, 0, 1);
    ++Human().iDefNum;
    InsertNode(0, 0, 3, 0);  // a Def Unit joins the first fight: 27 columns, all attackers survive
    Ai().iBases = 30;
    EXPECT_EQ(Message(Resolve(0)), "Combat is finished. Dravik lost 25 Bases! Press Return/Enter to continue: ");
    EXPECT_EQ(Human().iAtt, (PowerCounts{0, 0, 1, 26}));
    EXPECT_EQ(Human().iAttNum, 27);

    for (int i = 0; i < 26; ++i) {
        Attack(1, {1});
        Defend(0, i, 2);
    }
    Defend(0, 25, 3);  // 27 surviving defenders
    EXPECT_EQ(Message(Resolve(1)), "Combat is finished. You lost 0 Bases! Press Return/Enter to continue: ");
    EXPECT_EQ(Human().iDef, (PowerCounts{0, 26, 1}));
    EXPECT_EQ(Human().iDefNum, 27);
}

TEST_F(CombatTest, PowerUpComesOffTheDefenderThatHeldIt)
{
    struct Case {
        int boosted, added, attackerPower, returned;  // returned 0: destroyed
    };
    // 3 raised to 7 by 4 Bases; 6 raised by 4 Bases but cut at 9; a record
    // that would leave nothing; a boosted defender that falls.
    for (const Case c : {Case{7, 4, 5, 3}, Case{9, 3, 5, 6}, Case{9, 9, 5, 1}, Case{7, 4, 8, 0}}) {
        SCOPED_TRACE(c.returned);
        Ai().iDef.fill(0);
        Attack(0, {2, c.attackerPower});
        Defend(1, 0, 4);  // not boosted: comes back as it is
        Defend(1, 1, c.boosted);
        Ai().iBases = 3;
        Ai().iBoostCol = 1;
        Ai().iBoostAdded = c.added;
        Resolve(0);
        PowerCounts expected{0, 0, 0, 1};
        if (c.returned > 0) {
            ++expected[c.returned - 1];
        }
        EXPECT_EQ(Ai().iDef, expected);
        EXPECT_EQ(Ai().iBoostCol, -1);
    }
}

}  // namespace
