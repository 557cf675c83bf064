// SPDX-License-Identifier: MIT
// Combat resolution: every column's fight is settled, Bases fall to
// unopposed attackers, and the survivors go back to the field.
#include <algorithm>

#include "qir.h"

// The Power that opposes attacker a, whose column faces d: the defenders that
// fight a's column, passing over the empty slots opposite attackers that
// joined another column's fight.
static int OpposingDefense(const UnitNode* a, const UnitNode* d)
{
    int total = 0;
    const UnitNode* s = a;
    for (const UnitNode* t = d; t != nullptr; t = t->pNext) {
        if (t->iTarget == a->iCol) {
            total += t->iPower;
        } else if (!(t->iPower == 0 && s != nullptr && s->iTarget != t->iCol)) {
            break;
        }
        s = s != nullptr ? s->pNext : nullptr;
    }
    return total;
}

void CombatOutcome(int attacker)
{
    PlayerInfo& att = player[attacker];
    PlayerInfo& def = player[Opponent(attacker)];
    int hits = 0;

    // Survivors go straight back to the field: the walks read only the rows,
    // and however many columns the pairing has grown to, every one returns.
    UnitNode* a = att.pAttHead;
    UnitNode* d = def.pDefHead;
    for (; a != nullptr; StepPair(a, d)) {
        const bool unopposed = d != nullptr && Unopposed(a, d);
        if (unopposed) {
            ++hits;
        }
        // An unopposed Power 1 attacker falls with the Base it destroys.
        const bool survives = unopposed ? a->iPower > 1 : a->iPower > OpposingDefense(a, d);
        if (survives) {
            ++att.iAtt[a->iPower - 1];
            ++att.iAttNum;
        }
    }

    d = def.pDefHead;
    a = att.pAttHead;
    for (; d != nullptr; StepPair(d, a)) {
        if (d->iPower <= GroupPower(a, d->iCol)) {
            continue;
        }
        int power = d->iPower;
        if (d->iCol == def.iBoostCol) {
            // The boost lasts one combat: take off exactly what it added.
            power = std::max(1, power - def.iBoostAdded);
            def.iBoostCol = kNoBoost;
        }
        ++def.iDef[power - 1];
        ++def.iDefNum;
    }

    const int lost = std::min(hits, def.iBases);  // no more Bases fall than there are
    def.iBases -= lost;
    def.iBoostCol = kNoBoost;
    def.iBoostAdded = 0;

    FreeAllRows();

    DrawBoard(kRedrawBoard);
    Print("Combat is finished. %s lost %d Base%s! Press Return/Enter to continue: ",
          attacker == giAINum ? "You" : OpponentName(), lost, lost == 1 ? "" : "s");
    WaitForReturn();
}
