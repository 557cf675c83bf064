// SPDX-License-Identifier: MIT
// Placement: the human's dialogue and both computer procedures.
#include "support.h"

#include <algorithm>
#include <numeric>

#include <unistd.h>

namespace {

using namespace std::string_literals;

const std::string kAsk = "Would you like to place any units on the field? y or n: ";
const std::string kPower = "What Power unit would you like to place? Type a number 1-3: ";
const std::string kWhere1 = "Where would you like to place this unit? Attacker, Defender, or Base (a, d or b): ";
const std::string kTooMany = "You already have too many units of that type on the field.\n";

// Every board starts by clearing the console, which holds two ESC characters.
int Boards(const std::string& out)
{
    return static_cast<int>(std::ranges::count(out, '\033')) / 2;
}

std::string Counts(const PowerCounts& c)
{
    int last = kMaxPower;
    while (last > 0 && c[last - 1] == 0) {
        --last;
    }
    std::string text;
    for (int p = 0; p < last; ++p) {
        text += (p > 0 ? " " : "") + std::to_string(c[p]);
    }
    return "[" + text + "]";
}

// What a player holds, for example "B2 A[0 1] D[] R[1]": Bases, then Att Units,
// Def Units and Reserves by Power up to the highest held.
std::string Held(const PlayerInfo& p)
{
    const auto sum = [](const PowerCounts& c) { return std::accumulate(c.begin(), c.end(), 0); };
    EXPECT_EQ(p.iAttNum, sum(p.iAtt));
    EXPECT_EQ(p.iDefNum, sum(p.iDef));
    EXPECT_EQ(p.iResNum, sum(p.iRes));
    return "B" + std::to_string(p.iBases) + " A" + Counts(p.iAtt) + " D" + Counts(p.iDef) + " R" + Counts(p.iRes);
}

class PlacementTest : public GameTest {
protected:
    void Give(PlayerInfo& p, int bases, std::initializer_list<int> att, std::initializer_list<int> def,
              std::initializer_list<int> res)
    {
        p.iBases = bases;
        SetCounts(p.iAtt, p.iAttNum, att);
        SetCounts(p.iDef, p.iDefNum, def);
        SetCounts(p.iRes, p.iResNum, res);
    }
    // Runs a computer placement, which must end (the alarm kills one that
    // loops) and draw the board once.
    std::string RunAi(void (*placement)())
    {
        alarm(10);
        std::string out = RunWithInput("", placement);
        alarm(0);
        EXPECT_EQ(Boards(out), 1);
        return out;
    }
};

TEST_F(PlacementTest, HumanDialogueRefusesBadAnswersAndEndsWithEmptyReserves)
{
    NewGame(0, 3, 'd');
    // "yes" leaves "s" for the Power prompt; "s", ':', a byte above 127, 0 and 9
    // are no Power of this game; none of Power 3 is held; 'b' is only for Power 1.
    const std::string out = RunWithInput("\0\nyes\n:\n\xff\n0\n9\n3\n2\nb\nd\ny\n1\nb\n\n"s, [] { PlyrPlacement(); });
    std::string badPower;
    for (int i = 0; i < 5; ++i) {
        badPower += "You did not type a number between 1 and 3.  Please try again: ";
    }
    EXPECT_EQ(out.substr(0, out.find(kClear)),
              kAsk + "You did not type a y or n.  Please try again: " + kPower + badPower +
                  "You have no units of that Power available in your Reserves.\n" + kPower +
                  "Where would you like to place this unit? Attacker or Defender (a or d): "
                  "You did not type an a or d.  Please try again: ");
    EXPECT_NE(out.find(kAsk + kPower + kWhere1 + kClear), std::string::npos);
    EXPECT_EQ(Boards(out), 2);
    EXPECT_TRUE(
        out.ends_with("Power 3: 0\nYou do not have any units in your Reserves.  Press Return/Enter to move on."));
    EXPECT_EQ(Held(Human()), "B2 A[] D[0 1] R[]");
}

TEST_F(PlacementTest, HumanPlacementStopsAt26)
{
    NewGame(1, 3, 'q');
    Give(Human(), 26, {0, 25}, {}, {1, 1});
    const std::string out = RunWithInput("y\n2\na\ny\n1\na\ny\n1\nb\nn\n", [] { PlyrPlacement(); });
    EXPECT_EQ(Held(Human()), "B26 A[0 26] D[] R[1]");
    EXPECT_EQ(Boards(out), 1);
    EXPECT_TRUE(out.ends_with(kTooMany + kAsk + kPower + kWhere1 + kTooMany + kAsk));
}

TEST_F(PlacementTest, InitStorageClearsEveryReserveEntry)
{
    NewGame(0, 9, 'd');
    Human().iRes.fill(4);
    Ai().iRes.fill(4);
    NewGame(0, 2, 'd');
    EXPECT_EQ(Held(Human()), "B1 A[] D[] R[1 1]");
    EXPECT_EQ(Held(Ai()), "B1 A[] D[] R[1 1]");
}

TEST_F(PlacementTest, SimpleRotation)
{
    NewGame(0, 2, 'd');
    EXPECT_TRUE(RunAi(SimpleAIPlacement).ends_with("Power 2: 1\nDravik has placed his units\n"));
    EXPECT_EQ(Held(Ai()), "B2 A[0 1] D[] R[]");

    // With 3 Bases a Power 1 unit waits its turn: a Base at k = 0, a Def Unit
    // at k = 2, the rotation carrying over into the second sweep.
    NewGame(0, 3, 'd');
    Give(Ai(), 3, {}, {}, {2, 2, 1});
    RunAi(SimpleAIPlacement);
    EXPECT_EQ(Held(Ai()), "B4 A[0 1 1] D[1 1] R[]");

    // 4 on the field: a single Reserve unit stays, and so does one of two of
    // the same Power.
    Give(Ai(), 2, {1}, {1}, {0, 1});
    RunAi(SimpleAIPlacement);
    EXPECT_EQ(Held(Ai()), "B2 A[1] D[1] R[0 1]");
    Give(Ai(), 2, {1}, {1}, {0, 2});
    RunAi(SimpleAIPlacement);
    EXPECT_EQ(Held(Ai()), "B2 A[1 1] D[1] R[0 1]");
}

TEST_F(PlacementTest, ComputerPlacementEndsWhenLimitsBlock)
{
    // Simple: two idle sweeps, then k = 0 makes a Base; then 26 Bases block all.
    NewGame(1, 2, 'd');
    Give(Ai(), 3, {26}, {0, 26}, {2});
    RunAi(SimpleAIPlacement);
    EXPECT_EQ(Held(Ai()), "B4 A[26] D[0 26] R[1]");
    Give(Ai(), 26, {26}, {0, 26}, {3});
    RunAi(SimpleAIPlacement);
    EXPECT_EQ(Held(Ai()), "B26 A[26] D[0 26] R[3]");

    // Smart, 26 Bases and only Power 1 units: stages 1 and 3 place nothing.
    NewGame(0, 2, 'q');
    Give(Ai(), 26, {2}, {}, {3});
    SetCounts(Human().iAtt, Human().iAttNum, {26});
    RunAi(SmartAIPlacement);
    EXPECT_EQ(Held(Ai()), "B26 A[2] D[] R[3]");

    // Smart, Att Units at 26 while the human holds more: stage 2 places
    // nothing, stage 3 still places the even Powers and leaves the odd one.
    NewGame(0, 3, 'q');
    Give(Ai(), 1, {0, 0, 26}, {}, {0, 2, 1});
    SetCounts(Human().iDef, Human().iDefNum, {0, 26});
    RunAi(SmartAIPlacement);
    EXPECT_EQ(Held(Ai()), "B1 A[0 0 26] D[0 2] R[0 0 1]");
}

TEST_F(PlacementTest, SmartStageOneDependsOnPlayerOrder)
{
    // Second: Base, Def Unit, then stage 2 sends the other Power 1 to attack.
    // First: both Power 1 units become Bases at once.
    for (const int aiIdx : {1, 0}) {
        NewGame(1 - aiIdx, 3, 'q');
        SetCounts(Human().iAtt, Human().iAttNum, {2});
        SetCounts(Ai().iRes, Ai().iResNum, {2, 0, 1});
        EXPECT_TRUE(RunAi(SmartAIPlacement).ends_with("Quelby has placed his units\n"));
        EXPECT_EQ(Held(Ai()), aiIdx == 1 ? "B2 A[1] D[0 0 1] R[]" : "B3 A[] D[0 0 1] R[]");
    }
}

TEST_F(PlacementTest, SmartLaterStagesStopOnTheirTests)
{
    // Stage 2 stops once 3 Att Units outnumber 1 Base and 1 Def Unit; stage 3
    // once 2 Def Units outnumber the human's 1 Reserve unit.
    NewGame(0, 2, 'q');
    Give(Human(), 1, {}, {1}, {1});
    SetCounts(Ai().iRes, Ai().iResNum, {0, 7});
    RunAi(SmartAIPlacement);
    EXPECT_EQ(Held(Ai()), "B1 A[0 3] D[0 2] R[0 2]");

    // Stage 3 alone: odd Powers attack, even ones defend, Power 1 makes a Base.
    NewGame(0, 5, 'q');
    Give(Ai(), 1, {2}, {}, {1, 2, 1, 1, 1});
    SetCounts(Human().iRes, Human().iResNum, {1});
    RunAi(SmartAIPlacement);
    EXPECT_EQ(Held(Ai()), "B2 A[2 0 1 0 1] D[0 1 0 1] R[0 1]");
}

}  // namespace
