// SPDX-License-Identifier: MIT
// The computer's reinforcement: every unit that would lose its fight is
// reinforced from the Reserves, or else powered up by a Base when defending,
// or backed by advancing Def Units when attacking.

#include "qir.h"

namespace {

struct Turn {
    int reserveWeight;  // what the Reserves still hold, by weight
    int defenseWeight;  // the Def Units at the start of the call
    int unopposed;      // the human's attackers that will each take a Base
    bool largestFirst;  // the first Reserve unit of a call is the strongest
    bool moved;         // a move was made: the exchange goes on
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

void ReinforceUntilItWins(Turn& turn, UnitNode* unit, int opposing)
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
        ReinforceFromReserves(ai, unit, power);
        turn.reserveWeight -= power;
        turn.moved = true;
    }
}

void BasePowerUp(Turn& turn, UnitNode* unit, int opposing)
{
    PlayerInfo& ai = player[giAINum];
    // Keep at least one Base after the sacrifice and the unopposed hits.
    if (ai.iBoostCol != kNoBoost || ai.iBases - 2 < turn.unopposed || ai.iBases + unit->iPower <= opposing) {
        return;
    }
    PowerUpWithBases(ai, unit);
    turn.moved = true;
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
        if (running + turn.defenseWeight <= d->iPower || ai.iCurAttNum + ai.iDefNum > kColumns) {
            continue;
        }
        do {
            const int power = SmallestReaching(ai.iDef, kMaxPower, running, d->iPower);
            if (power == 0) {
                break;
            }
            --ai.iDef[power - 1];
            InsertNode(giAINum, d->iCol, power, kAttackingRow);
            running += power;
            turn.moved = true;
        } while (running < d->iPower);
    }
}

}  // namespace

int AIReinforce(bool defending)
{
    PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];
    Turn turn{Weight(ai.iRes, giFullPower), Weight(ai.iDef, kMaxPower), 0, true, false};
    const UnitNode* d = ai.pDefHead;
    for (const UnitNode* h = human.pAttHead; d != nullptr && h != nullptr; StepPair(d, h)) {
        turn.unopposed += Unopposed(h, d) ? 1 : 0;
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
        // A Reserve unit can win only a fight that 9 still beats.
        if (unit->iPower + turn.reserveWeight > opposing && opposing <= kMaxPower - 1) {
            ReinforceUntilItWins(turn, unit, opposing);
        } else if (defending) {
            BasePowerUp(turn, unit, opposing);
        } else {
            AdvanceDefUnits(turn, unit, opponent);
        }
    }

    DrawBoard(kRedrawBoard);
    if (turn.moved) {
        Print("%s has completed his reinforcement phase\n", OpponentName());
        return kReinforceAgain;
    }
    Print("%s has chosen to pass his reinforcement phase\n", OpponentName());
    return kPassed;
}
