// SPDX-License-Identifier: MIT
// Inserting and moving units in the paired rows: columns, targets, groups, counters.
#include <vector>

#include "support.h"

namespace {

// Player 1 attacks, Player 2 defends, both with ten units on the field.
class RowsTest : public GameTest {
protected:
    void SetUp() override
    {
        NewGame(0, 9, 'd');
        player[0].iAttNum = player[0].iDefNum = player[1].iDefNum = 10;
    }
};

void Attack(std::initializer_list<int> powers)
{
    for (const int power : powers) {
        InsertNode(0, player[0].iCurAttNum, power, 0);
    }
}
void Defend(int col, int power)
{
    InsertNode(1, col, power, 1);
}
void Advance(int col, int power)
{
    InsertNode(0, col, power, 0);
}

// Both rows of the pairing, the attacker's first; every node must also stand
// in the column of its position.
std::string Pairing()
{
    for (const UnitNode* head : {player[0].pAttHead, player[1].pDefHead}) {
        int pos = 0;
        for (const UnitNode* n = head; n != nullptr; n = n->pNext, ++pos) {
            EXPECT_EQ(n->iCol, pos);
        }
    }
    return RowText(player[0].pAttHead) + " / " + RowText(player[1].pDefHead);
}

// The attacker's iCurAttNum, iAttNum and iDefNum, the defender's iCurDefNum and iDefNum.
std::vector<int> Counters()
{
    return {player[0].iCurAttNum, player[0].iAttNum, player[0].iDefNum, player[1].iCurDefNum, player[1].iDefNum};
}

TEST_F(RowsTest, FirstAttackerOpensBothRows)
{
    SetCounts(Human().iAtt, Human().iAttNum, {0, 0, 1});
    Human().iAtt[2] = 0;
    InsertNode(0, 0, 3, 0);
    EXPECT_EQ(RowText(player[0].pAttHead), "3:0");
    EXPECT_EQ(RowText(player[1].pDefHead), "0:0");
    EXPECT_EQ(player[0].iCurAttNum, 1);
    EXPECT_EQ(player[0].iAttNum, 0);
}

TEST_F(RowsTest, DefendersFillPlaceholdersThenQueueBehindTheirAttacker)
{
    Attack({3, 5, 2});
    EXPECT_EQ(Pairing(), "3:0 5:1 2:2 / 0:0 0:1 0:2");
    Defend(1, 4);
    EXPECT_EQ(Pairing(), "3:0 5:1 2:2 / 0:0 4:1 0:2");
    Defend(1, 2);
    EXPECT_EQ(Pairing(), "3:0 5:1 0:2 2:3 / 0:0 4:1 2:1 0:3");
    Defend(1, 1);
    EXPECT_EQ(Pairing(), "3:0 5:1 0:2 0:3 2:4 / 0:0 4:1 2:1 1:1 0:4");
    // A group opened at column 0 pushes the whole group of column 1 right.
    Defend(0, 6);
    Defend(0, 3);
    EXPECT_EQ(Pairing(), "3:0 0:1 5:2 0:3 0:4 2:5 / 6:0 3:0 4:2 2:2 1:2 0:5");
    EXPECT_EQ(Counters(), (std::vector<int>{3, 7, 10, 5, 5}));
}

TEST_F(RowsTest, AdvancedUnitsJoinTheirTargetAndComeFromTheRightPool)
{
    Attack({4, 5});
    Defend(0, 3);
    Defend(0, 2);
    // Against an extra defender: the empty slot facing it takes the unit.
    Advance(1, 6);
    EXPECT_EQ(Pairing(), "4:0 6:1 5:2 / 3:0 2:0 0:2");
    // Against a first defender: a new column right behind it; the extra
    // defender moves on but still fights column 0.
    Advance(0, 7);
    EXPECT_EQ(Pairing(), "4:0 7:0 6:2 5:3 / 3:0 0:1 2:0 0:3");
    EXPECT_EQ(Counters(), (std::vector<int>{4, 8, 8, 2, 8}));
    // Against an attacker nobody opposes: drawn from Att Units.
    Advance(3, 1);
    EXPECT_EQ(Pairing(), "4:0 7:0 6:2 5:3 1:3 / 3:0 0:1 2:0 0:3 0:4");
    EXPECT_EQ(Counters(), (std::vector<int>{5, 7, 8, 2, 8}));
}

TEST_F(RowsTest, PowerUpMarkerFollowsItsDefender)
{
    Attack({4, 5, 6});
    Defend(0, 2);
    Defend(1, 9);
    Defend(2, 3);
    Ai().iBoostCol = 1;
    Defend(0, 1);  // an extra defender linked in at its very column
    EXPECT_EQ(Ai().iBoostCol, 2);
    Advance(2, 7);  // the new placeholder stands behind it
    EXPECT_EQ(Ai().iBoostCol, 2);
    Advance(0, 8);  // the new placeholder stands in front of it
    EXPECT_EQ(Pairing(), "4:0 8:0 0:2 5:3 7:3 6:5 / 2:0 0:1 1:0 9:3 0:4 3:5");
    EXPECT_EQ(Ai().iBoostCol, 3);
    EXPECT_EQ(Human().iBoostCol, -1);
}

TEST_F(RowsTest, RefocusLeftKeepsTheGroupOfTheShiftedColumn)
{
    Attack({1, 2, 3, 4, 5});
    Defend(0, 9);
    Defend(1, 8);
    const std::vector<int> before = Counters();
    MoveNode(0, 4, 1);
    EXPECT_EQ(Pairing(), "1:0 2:1 5:1 3:3 4:4 / 9:0 8:1 0:2 0:3 0:4");
    MoveNode(0, 4, 1);  // joins in front of the earlier joiner
    EXPECT_EQ(Pairing(), "1:0 2:1 4:1 5:1 3:4 / 9:0 8:1 0:2 0:3 0:4");
    // Refocused again, out of its group: the Power 5 joiner stays behind the
    // shifted range and must still fight column 1's defender, now column 2.
    MoveNode(0, 2, 0);
    EXPECT_EQ(Pairing(), "1:0 4:0 2:2 5:2 3:4 / 9:0 0:1 8:2 0:3 0:4");
    EXPECT_EQ(Counters(), before);
}

TEST_F(RowsTest, RefocusRightClosesTheGapAndKeepsDefenderGroups)
{
    Attack({5, 6, 7, 8});
    Defend(1, 2);
    Defend(1, 3);
    Defend(1, 4);
    EXPECT_EQ(Pairing(), "5:0 6:1 0:2 0:3 7:4 8:5 / 0:0 2:1 3:1 4:1 0:4 0:5");
    // From the head onto an extra defender: the last extra defender, beyond
    // the shifted range, must follow its leader to column 0.
    MoveNode(0, 0, 2);
    EXPECT_EQ(Pairing(), "6:0 0:1 5:1 0:3 7:4 8:5 / 2:0 3:0 0:2 4:0 0:4 0:5");
    Defend(5, 1);
    MoveNode(0, 4, 5);  // onto the last column
    EXPECT_EQ(Pairing(), "6:0 0:1 5:1 0:3 8:4 7:4 / 2:0 3:0 0:2 4:0 1:4 0:5");
}

// Where the preconditions are checked (test and debug builds), a caller that
// breaks one is stopped with the rule's name instead of corrupting the rows.
#if !defined(NDEBUG)
TEST_F(RowsTest, BrokenPreconditionsNameTheirRule)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    NewGame(0, 4, 'd');
    Commit(0, {3, 2});
    EXPECT_DEATH(MoveNode(0, 1, 0), "broken rule.*joins a real defender");
    EXPECT_DEATH(InsertNode(1, 3, 2, kDefendingRow), "broken rule.*joins an existing column");
    EXPECT_DEATH(InsertNode(0, 0, 10, kAttackingRow), "broken rule.*a Power is 1 to 9");
    ++player[1].iDefNum;
    InsertNode(1, 0, 4, kDefendingRow);
    EXPECT_DEATH(MoveNode(0, 0, 0), "broken rule.*facing an empty slot");
}
#endif

}  // namespace
