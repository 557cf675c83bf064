// SPDX-License-Identifier: MIT
// Attack assignment: the human's dialogue and both computer procedures.
#include "support.h"

namespace {

using namespace std::string_literals;

const std::string kAskAttack = "Would you like to assign an attack unit to attack or finish this step? Enter a or f: ";
const std::string kAskPower = "Enter a valid Power for the unit you want to assign to attack: ";
const std::string kRetry = "You did not type a or f.  Please try again: ";

std::string BeforeBoard(const std::string& out)
{
    return out.substr(0, out.find(kClear));
}

class AttackTest : public GameTest {
protected:
    // A fresh Quelby game with these counts; true when Quelby commits every
    // Att Unit, and then with its closing line; false when it prints nothing.
    bool SmartAttacks(int aiIdx, std::initializer_list<int> att, std::initializer_list<int> def,
                      std::initializer_list<int> res, std::initializer_list<int> humanAtt,
                      std::initializer_list<int> humanDef, int humanBases)
    {
        FreeAllRows();
        NewGame(1 - aiIdx, 9, 'q');
        SetCounts(Ai().iAtt, Ai().iAttNum, att);
        SetCounts(Ai().iDef, Ai().iDefNum, def);
        SetCounts(Ai().iRes, Ai().iResNum, res);
        SetCounts(Human().iAtt, Human().iAttNum, humanAtt);
        SetCounts(Human().iDef, Human().iDefNum, humanDef);
        Human().iBases = humanBases;
        const int held = Ai().iAttNum;
        const std::string out = RunWithInput("", [] { SmartAIAssignAtt(); });
        const bool attacks = Ai().iCurAttNum > 0;
        EXPECT_EQ(Ai().iCurAttNum, attacks ? held : 0);
        EXPECT_EQ(out.ends_with("Quelby's attack phase is complete.\n"), attacks);
        EXPECT_EQ(out.empty(), !attacks);
        return attacks;
    }
};

TEST_F(AttackTest, HumanFinishingFirstCommitsNothing)
{
    NewGame(0, 3, 'd');
    SetCounts(Human().iAtt, Human().iAttNum, {0, 1});
    EXPECT_EQ(RunWithInput("f\n", [] { PlyrAssignAtt(); }), kAskAttack);
    EXPECT_EQ(Human().iCurAttNum, 0);
    EXPECT_EQ(Human().iAttNum, 1);
    EXPECT_EQ(Human().pAttHead, nullptr);
}

TEST_F(AttackTest, HumanCommitsInOrderUntilNoneAreLeft)
{
    NewGame(1, 3, 'd');
    SetCounts(Human().iAtt, Human().iAttNum, {1, 2});
    // "a3" leaves its newline as the first Power answer. That, '0', ':', a NUL
    // byte, a byte above 127, 'x' and Powers not held (9, 3) only bring the
    // prompt back.
    const std::string out =
        RunWithInput("\0\nA\na3\n0\n:\n\0\n\xff\nx\n9\n3\n2\na\n2\na\n1\n\n"s, [] { PlyrAssignAtt(); });
    std::string prompts;
    for (int i = 0; i < 9; ++i) {
        prompts += kAskPower;
    }
    EXPECT_EQ(BeforeBoard(out), kAskAttack + kRetry + kRetry + prompts);
    EXPECT_EQ(RowText(Human().pAttHead), "2:0 2:1 1:2");
    EXPECT_EQ(RowText(Ai().pDefHead), "0:0 0:1 0:2");
    EXPECT_EQ(Human().iCurAttNum, 3);
    EXPECT_EQ(Human().iAttNum, 0);
    EXPECT_EQ(Human().iAtt, PowerCounts{});
    EXPECT_TRUE(
        out.ends_with("Unit of Power 1 is set to attack!\n"
                      "You do not have any attack units available.  Press Return/Enter to continue."));
}

TEST_F(AttackTest, SimpleCommitsEverythingWeakestFirst)
{
    NewGame(0, 4, 'd');
    SetCounts(Ai().iAtt, Ai().iAttNum, {2, 0, 1, 0, 0, 0, 0, 0, 1});
    std::string out = RunWithInput("", [] { SimpleAIAssignAtt(); });
    EXPECT_EQ(RowText(Ai().pAttHead), "1:0 1:1 3:2 9:3");
    EXPECT_EQ(RowText(Human().pDefHead), "0:0 0:1 0:2 0:3");
    EXPECT_EQ(Ai().iCurAttNum, 4);
    EXPECT_EQ(Ai().iAttNum, 0);
    EXPECT_EQ(Ai().iAtt, PowerCounts{});
    EXPECT_TRUE(out.starts_with(kClear) && out.ends_with("Power 4: 0\nDravik's attack phase is complete.\n"));

    // Nothing to commit: the board and the line all the same, or Quelby's own line.
    FreeAllRows();
    NewGame(0, 4, 'd');
    out = RunWithInput("", [] { SimpleAIAssignAtt(); });
    EXPECT_TRUE(out.starts_with(kClear) && out.ends_with("Power 4: 0\nDravik's attack phase is complete.\n"));
    gDiffLevel = 'q';
    out = RunWithInput("", [] { SmartAIAssignAtt(); });
    EXPECT_TRUE(out.starts_with(kClear) && out.ends_with("Power 4: 0\nQuelby has no units with which to attack\n"));
    EXPECT_EQ(Ai().pAttHead, nullptr);
}

TEST_F(AttackTest, SmartWeighsBothSides)
{
    // The computer's index, Att, Def and Reserves; the human's Att, Def, Bases.
    EXPECT_TRUE(SmartAttacks(0, {0, 1}, {}, {}, {1}, {}, 1));  // the human has no defense
    // A 6 against HD 8: too weak, unless Reserves of 3 make up the difference.
    EXPECT_FALSE(SmartAttacks(1, {0, 0, 2}, {}, {}, {}, {0, 4}, 2));
    EXPECT_TRUE(SmartAttacks(1, {0, 0, 2}, {}, {0, 0, 1}, {}, {0, 4}, 2));

    // A equal to HD.
    EXPECT_FALSE(SmartAttacks(0, {0, 1}, {}, {}, {1}, {2}, 1));
    EXPECT_TRUE(SmartAttacks(0, {0, 1}, {}, {1}, {1}, {2}, 1));
    EXPECT_TRUE(SmartAttacks(1, {0, 1}, {1}, {}, {1}, {2}, 1));   // Def Units can advance
    EXPECT_FALSE(SmartAttacks(0, {0, 1}, {1}, {}, {1}, {2}, 1));  // ... but must stay home
    EXPECT_TRUE(SmartAttacks(0, {0, 1}, {1}, {}, {}, {2}, 1));    // ... unless nothing threatens

    // A less than HD: enough attackers for every Base and Def Unit.
    EXPECT_TRUE(SmartAttacks(0, {3}, {}, {}, {1}, {0, 0, 0, 1}, 2));
    // Without outclass nothing else counts, not even Def Units and Reserves.
    EXPECT_FALSE(
        SmartAttacks(1, {0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1}, {1}, {0, 0, 0, 2}, 1));
    // Outclass by the average Power (5 over 4): D + A 9 over HD 8 needs free.
    EXPECT_TRUE(SmartAttacks(1, {0, 0, 0, 0, 1}, {0, 0, 0, 1}, {}, {1}, {0, 0, 0, 2}, 1));
    EXPECT_FALSE(SmartAttacks(0, {0, 0, 0, 0, 1}, {0, 0, 0, 1}, {}, {1}, {0, 0, 0, 2}, 1));
    // Outclass by numbers (3 over 1): R + A 7 over HD 6 attacks, free or not.
    EXPECT_TRUE(SmartAttacks(0, {3}, {}, {0, 0, 0, 1}, {1}, {0, 0, 0, 0, 0, 1}, 5));
    EXPECT_FALSE(SmartAttacks(0, {3}, {}, {}, {1}, {0, 0, 0, 0, 0, 1}, 5));
}

}  // namespace
