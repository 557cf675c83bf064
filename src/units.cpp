// SPDX-License-Identifier: MIT
// How units move between the Reserves, the field and the rows: the rules
// both sides follow, whoever decides the move.
#include <algorithm>

#include "qir.h"

// Moves one unit of the given Power from the Reserves to the field as an
// Attacker ('a'), a Defender ('d') or a Base ('b', Power 1 only). Refused
// once the count of that kind is above 25.
bool PlaceFromReserves(PlayerInfo& who, int power, char kind)
{
    if (power < 1 || power > giFullPower || who.iRes[power - 1] <= 0) {
        return false;
    }
    if (kind == 'a') {
        if (who.iAttNum > kFieldLimit) {
            return false;
        }
        ++who.iAtt[power - 1];
        ++who.iAttNum;
    } else if (kind == 'd') {
        if (who.iDefNum > kFieldLimit) {
            return false;
        }
        ++who.iDef[power - 1];
        ++who.iDefNum;
    } else {
        if (power != 1 || who.iBases > kFieldLimit) {
            return false;
        }
        ++who.iBases;
    }
    --who.iRes[power - 1];
    --who.iResNum;
    return true;
}

// A Reserve unit merges into a fighting unit for good; what lies beyond 9 is lost.
void ReinforceFromReserves(PlayerInfo& who, UnitNode* unit, int power)
{
    QIR_ASSERT(unit != nullptr && unit->iPower >= 1, "only a unit on the field is reinforced");
    QIR_ASSERT(power >= 1 && power <= giFullPower && who.iRes[power - 1] > 0, "the Reserves hold the unit");
    unit->iPower = std::min(kMaxPower, unit->iPower + power);
    --who.iRes[power - 1];
    --who.iResNum;
}

// One Base is given up to lend a Defender as much Power as there were Bases,
// up to 9, for this combat only: combat resolution takes off exactly what
// was added.
void PowerUpWithBases(PlayerInfo& who, UnitNode* unit)
{
    QIR_ASSERT(unit != nullptr && unit->iPower >= 1, "only a Defender on the field is powered up");
    QIR_ASSERT(who.iBoostCol == kNoBoost && who.iBases > 1, "one Power-up a combat, and a Base to spare");
    const int before = unit->iPower;
    unit->iPower = std::min(kMaxPower, before + who.iBases);
    who.iBoostAdded = unit->iPower - before;
    who.iBoostCol = unit->iCol;
    --who.iBases;
}

// The weight of a set of counts: each Power times the number of its units.
int Weight(const PowerCounts& counts, int maxPower)
{
    int sum = 0;
    for (int power = 1; power <= maxPower && power <= kMaxPower; ++power) {
        sum += power * counts[power - 1];
    }
    return sum;
}
