// SPDX-License-Identifier: MIT
// The record check of the test builds: after every step of a round the
// records must still describe one consistent game. A broken rule is reported
// on stderr and ends the run, so no scripted game can pass over it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qir.h"

namespace {

struct Tally {
    int res, bases, field;  // field: Att and Def Units plus the units in the rows
};

std::array<Tally, 2> gBefore{};
const char* const kStepNames[] = {"start", "dice", "placement", "attack", "defense", "focus", "reinforce", "combat"};
CheckedStep gStep = kStartStep;

[[noreturn]] void Broken(const std::string& rule)
{
    std::fprintf(stderr, "record check after %s: %s\n", kStepNames[gStep], rule.c_str());
    std::abort();
}

void Expect(bool holds, const std::string& rule)
{
    if (!holds) {
        Broken(rule);
    }
}

int CheckCounts(const PowerCounts& counts, int total, int highest, const char* name)
{
    int sum = 0;
    for (int power = 1; power <= kMaxPower; ++power) {
        Expect(counts[power - 1] >= 0, std::string(name) + " has a negative count");
        Expect(power <= highest || counts[power - 1] == 0, std::string(name) + " holds a Power it cannot hold");
        sum += counts[power - 1];
    }
    Expect(sum == total, std::string(name) + " total differs from its counts");
    return sum;
}

// The rows of one pairing: same length, columns numbered by position, a real
// unit in every column, placeholders on their own column, targets never ahead.
int CheckRow(const UnitNode* row, const UnitNode* paired, int realCount, const char* name)
{
    int col = 0;
    int real = 0;
    for (; row != nullptr; row = row->pNext, paired = paired != nullptr ? paired->pNext : nullptr, ++col) {
        Expect(paired != nullptr, std::string(name) + " is longer than its paired row");
        Expect(row->iCol == col, std::string(name) + " column out of place");
        Expect(row->iPower >= 0 && row->iPower <= kMaxPower, std::string(name) + " Power out of range");
        Expect(row->iPower > 0 || paired->iPower > 0, std::string(name) + " column without a unit");
        Expect(row->iPower > 0 || row->iTarget == col, std::string(name) + " placeholder targets another column");
        Expect(row->iTarget >= 0 && row->iTarget <= col, std::string(name) + " target ahead of its column");
        real += row->iPower > 0 ? 1 : 0;
    }
    Expect(real == realCount, std::string(name) + " real units differ from their counter");
    return real;
}

Tally Count(int i)
{
    const PlayerInfo& p = player[i];
    const PlayerInfo& o = player[1 - i];
    Expect(p.iBases >= 0, "negative Bases");
    const int att = CheckCounts(p.iAtt, p.iAttNum, kMaxPower, "Att Units");
    const int def = CheckCounts(p.iDef, p.iDefNum, kMaxPower, "Def Units");
    const int res = CheckCounts(p.iRes, p.iResNum, giFullPower, "Reserves");
    const int rows = CheckRow(p.pAttHead, o.pDefHead, p.iCurAttNum, "Attacking row") +
                     CheckRow(p.pDefHead, o.pAttHead, p.iCurDefNum, "Defending row");
    return {res, p.iBases, att + def + rows};
}

}  // namespace

void CheckRecords(CheckedStep step)
{
    gStep = step;
    std::array<Tally, 2> now{Count(0), Count(1)};
    const bool between = step == kStartStep || step == kDiceStep || step == kPlacementStep || step == kCombatStep;
    for (int i = 0; i < 2 && between; ++i) {
        Expect(player[i].pAttHead == nullptr && player[i].pDefHead == nullptr, "rows not empty between combats");
        Expect(player[i].iBoostCol == -1, "Base Power-up outlived its combat");
    }
    Expect(player[0].pAttHead == nullptr || player[1].pAttHead == nullptr, "two pairings at once");

    for (int i = 0; i < 2 && step != kStartStep; ++i) {
        const Tally& was = gBefore[i];
        const Tally& is = now[i];
        switch (step) {
        case kDiceStep:
            Expect(is.res == was.res + player[1 - i].iBases && is.bases == was.bases && is.field == was.field,
                   "the dice did more than fill the Reserves");
            break;
        case kPlacementStep:
            Expect(is.res + is.bases + is.field == was.res + was.bases + was.field && is.res <= was.res,
                   "placement lost or made units");
            break;
        case kReinforceStep:
            // A Reserve unit merges into a fighter; a Base may be given up once.
            Expect(is.field == was.field && is.res <= was.res && is.bases >= was.bases - 1 && is.bases <= was.bases,
                   "reinforcement lost or made units");
            break;
        case kCombatStep:
            Expect(is.res == was.res && is.field <= was.field && is.bases <= was.bases, "combat made units");
            break;
        default:
            Expect(is.res == was.res && is.bases == was.bases && is.field == was.field, "units appeared or vanished");
            break;
        }
    }
    gBefore = now;
}
