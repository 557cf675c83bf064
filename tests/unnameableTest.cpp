// SPDX-License-Identifier: MIT
// A question is never asked that no key can answer: no key names columns 32
// to 57, so a move whose Unit ID could only name such a column is not
// offered, and a step with nothing nameable left ends as if nothing were left.
#include <string>

#include "support.h"

namespace {

const std::string kNothingToRefocus = "You do not have any attackers to refocus.  Press Return/Enter to continue.";
const std::string kMenuEnd =
    "Pass (p): End this step and move on without making any moves. After both players pass "
    "consecutively, combat resolves\nEnter one of the letters in parentheses from above: ";

class Unnameable : public GameTest {
protected:
    // Lays out a pairing column by column, as no play could: `attack` and
    // `defend` give each column's Power in the attacker's Attacking row and
    // the defender's Defending row ('0' for an empty slot).
    void Lay(int attacker, const std::string& attack, const std::string& defend)
    {
        FreeAllRows();
        NewGame(0, 9, 'd');
        PlayerInfo& att = player[attacker];
        PlayerInfo& def = player[1 - attacker];
        UnitNode** a = &att.pAttHead;
        UnitNode** d = &def.pDefHead;
        for (int col = 0; col < static_cast<int>(attack.size()); ++col) {
            *a = new UnitNode{nullptr, attack[col] - '0', col, col};
            *d = new UnitNode{nullptr, defend[col] - '0', col, col};
            att.iCurAttNum += (*a)->iPower > 0 ? 1 : 0;
            def.iCurDefNum += (*d)->iPower > 0 ? 1 : 0;
            a = &(*a)->pNext;
            d = &(*d)->pNext;
        }
    }
    static std::string Empty(int n) { return std::string(static_cast<size_t>(n), '0'); }
    static std::string Units(int n) { return std::string(static_cast<size_t>(n), '3'); }
};

TEST_F(Unnameable, OnlyNameableColumnsCountAsNameable)
{
    std::string named;
    for (int col = -1; col <= 64; ++col) {
        named += Nameable(col) ? 'x' : '.';
    }
    EXPECT_EQ(named, "." + std::string(32, 'x') + std::string(26, '.') + std::string(5, 'x') + "..");
}

// The human attacks. Every attacker that faces an empty slot stands past 'a',
// or every real defender does: the step closes at once, whatever the count.
TEST_F(Unnameable, AttackFocusClosesWhenNoAttackerOrDefenderCanBeNamed)
{
    Lay(0, Units(34), Units(32) + Empty(2));
    EXPECT_EQ(RunWithInput("\n", PlyrAttFocus), kNothingToRefocus);
    Lay(0, Units(34), "3" + Empty(31) + "3" + "0");
    EXPECT_EQ(Dialogue(RunWithInput("f\n", PlyrAttFocus)).substr(0, 12), "You have 32 ");
    Lay(0, Units(34), Empty(33) + "3");
    EXPECT_EQ(RunWithInput("\n", PlyrAttFocus), kNothingToRefocus);
}

TEST_F(Unnameable, ReinforcementOffersOnlyMovesWhoseUnitCanBeNamed)
{
    struct Case {
        bool defending;
        std::string own, theirs;  // the human's row in play, the computer's row opposite
        const char* offered;
    };
    const Case cases[] = {
        {false, Units(33), "3" + Empty(32), "ra"},
        {false, Empty(32) + "3", Units(33), ""},   // his attackers past 'a': no Reinforce
        {false, Units(33), Empty(32) + "3", "r"},  // the computer's defenders past 'a': no Advance
        {true, Units(33), Units(33), "rb"},
        {true, Empty(32) + "3", Units(33), ""},  // his defenders past 'a': neither
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.own + " / " + c.theirs);
        if (c.defending) {
            Lay(1, c.theirs, c.own);
        } else {
            Lay(0, c.own, c.theirs);
        }
        SetCounts(Human().iRes, Human().iResNum, {1});
        SetCounts(Human().iDef, Human().iDefNum, {1});
        Human().iBases = 2;
        const std::string menu = RunWithInput("p\n", [&] { PlyrReinforce(c.defending); });
        std::string offered;
        for (const char* option : {"(r):", "(b):", "(a):"}) {
            offered += menu.find(option) != std::string::npos ? std::string(1, option[1]) : "";
        }
        EXPECT_EQ(offered, c.offered);
        EXPECT_TRUE(menu.ends_with(kMenuEnd));
    }
}

// The computer's only attackers stand past 'a': the defense step returns as on 'f'.
TEST_F(Unnameable, DefenseEndsWhenNoAttackerCanBeNamed)
{
    Lay(1, Empty(32) + "3", Units(32) + "0");
    SetCounts(Human().iDef, Human().iDefNum, {2});
    EXPECT_EQ(RunWithInput("", PlyrAssignDef), "");
    Lay(1, Empty(31) + "33", Units(31) + "00");
    SetCounts(Human().iDef, Human().iDefNum, {2});
    EXPECT_TRUE(RunWithInput("f\n", PlyrAssignDef).ends_with("Enter d or f: "));
}

}  // namespace
