// SPDX-License-Identifier: MIT
// The computer's reinforcement: every unit that would lose its fight is
// reinforced from the Reserves, or else powered up by a Base when defending,
// or backed by advancing Def Units when attacking.
#include <algorithm>

#include "qir.h"

namespace {

struct Turn {
    int reserveWeight;   // what the Reserves still hold, by weight
    int defenseWeight;   // the Def Units at the start of the call
    int unopposed;       // the human's attackers that will each take a Base
    bool largestFirst;   // the first Reserve unit of a call is the strongest
    int result;          // 1 once a move is made
};

// The first Power from low to high of which the counts hold a unit and that
// lifts `base` to at least `target`; else the largest held Power; 0 if none.
int SmallestReaching(const PowerCounts& counts, int maxPower, int base, int target)
{
    int largest = 0;
    for (int power = 1; power <= maxPower; ++power) {
        if (counts[power - 1] > 0) {
            if (base + power >= target) {
                return power;
            }
            largest = power;
        }
    }
    return largest;
}

int Largest(const PowerCounts& counts, int maxPower)
{
    for (int power = maxPower; power >= 1; --power) {
        if (counts[power - 1] > 0) {
            return power;
        }
    }
    return 0;
}

void ReinforceFromReserves(Turn& turn, UnitNode* unit, int opposing)
{
    PlayerInfo& ai = player[giAINum];
    while (unit->iPower <= opposing) {
        int power = 0;
        if (turn.largestFirst) {
            power = Largest(ai.iRes, giFullPower);
            turn.largestFirst = false;
        } else {
            power = SmallestReaching(ai.iRes, giFullPower, unit->iPower, opposing);
        }
        if (power == 0) {
            return;
        }
        unit->iPower = std::min(kMaxPower, unit->iPower + power);
        --ai.iRes[power - 1];
        --ai.iResNum;
        turn.reserveWeight -= power;
        turn.result = 1;
    }
}

void BasePowerUp(Turn& turn, UnitNode* unit, int opposing)
{
    PlayerInfo& ai = player[giAINum];
    // Keep at least one Base after the sacrifice and the unopposed hits.
    if (ai.iBoostCol != -1 || ai.iBases - 2 < turn.unopposed || ai.iBases + unit->iPower <= opposing) {
        return;
    }
    const int before = unit->iPower;
    unit->iPower = std::min(kMaxPower, before + ai.iBases);
    ai.iBoostAdded = unit->iPower - before;  // combat resolution takes exactly this off
    ai.iBoostCol = unit->iCol;
    --ai.iBases;
    turn.result = 1;
}

// Def Units advance against the human defenders that fight `unit`, one
// defender after another, until each is matched. Only the second player
// advances: going first, the Def Units are needed against the human's attack.
void AdvanceDefUnits(Turn& turn, const UnitNode* unit, const UnitNode* opponent)
{
    PlayerInfo& ai = player[giAINum];
    if (ai.iDefNum <= 0 || giAINum != 1 || player[giPlayerNum].iCurDefNum <= 0) {
        return;
    }
    int running = unit->iPower;
    for (const UnitNode* d = opponent; d != nullptr && d->iTarget == unit->iCol; d = d->pNext) {
        if (d->iCol == unit->iCol) {
            running = unit->iPower;
        }
        if (running + turn.defenseWeight <= d->iPower || ai.iCurAttNum + ai.iDefNum > 26) {
            continue;
        }
        do {
            const int power = SmallestReaching(ai.iDef, kMaxPower, running, d->iPower);
            if (power == 0) {
                break;
            }
            --ai.iDef[power - 1];
            InsertNode(giAINum, d->iCol, power, 0);
            running += power;
            turn.result = 1;
        } while (running < d->iPower);
    }
}

}  // namespace

int AIReinforce(bool defending)
{
    PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];
    Turn turn{Weight(ai.iRes, giFullPower), Weight(ai.iDef, kMaxPower), 0, true, 0};
    {
        const UnitNode* d = ai.pDefHead;
        const UnitNode* h = human.pAttHead;
        for (; d != nullptr && h != nullptr; StepPair(d, h)) {
            if (d->iPower == 0 && h->iTarget == d->iCol && d->iTarget == h->iCol) {
                ++turn.unopposed;
            }
        }
    }

    // The walk follows the rows as they change, so advanced units are visited too.
    UnitNode* unit = defending ? ai.pDefHead : ai.pAttHead;
    UnitNode* opponent = defending ? human.pAttHead : human.pDefHead;
    for (; opponent != nullptr; StepPair(unit, opponent)) {
        if (unit == nullptr || unit->iPower <= 0) {
            continue;
        }
        const int opposing = GroupPower(opponent, unit->iCol);
        if (unit->iPower > opposing) {
            continue;
        }
        if (unit->iPower + turn.reserveWeight > opposing && opposing <= 8) {
            ReinforceFromReserves(turn, unit, opposing);
        } else if (defending) {
            BasePowerUp(turn, unit, opposing);
        } else {
            AdvanceDefUnits(turn, unit, opponent);
        }
    }

    DrawBoard(kRedrawBoard);
    if (turn.result == 1) {
        Print("%s has completed his reinforcement phase\n", OpponentName());
    } else {
        Print("%s has chosen to pass his reinforcement phase\n", OpponentName());
    }
    return turn.result;
}
