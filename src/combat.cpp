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

// Tells a listener how the fight of one column went.
static void AnnounceFight(int attacker, const UnitNode* a, const UnitNode* d, int leader, bool attackerSurvives,
                          int defenderBack, bool baseTaken)
{
    Event fight{.kind = EventKind::kFight,
                .side = attacker,
                .power = a->iPower,
                .defense = d->iPower,
                .after = defenderBack,
                .col = a->iCol,
                .target = leader};
    fight.attackerFalls = a->iPower > 0 && !attackerSurvives;
    fight.defenderFalls = d->iPower > 0 && defenderBack == 0;
    fight.baseTaken = baseTaken;
    Announce(fight);
}

void CombatOutcome(int attacker)
{
    PlayerInfo& att = player[attacker];
    PlayerInfo& def = player[Opponent(attacker)];
    int hits = 0;
    int leader = 0;  // the first column of the fight the walk is in, as the board's bars show it

    // Both rows have a node in every column. Each column is settled on its
    // own, from the rows alone, and its survivors go straight back to the
    // field: however many columns the pairing has grown to, every one returns.
    UnitNode* a = att.pAttHead;
    UnitNode* d = def.pDefHead;
    for (; a != nullptr && d != nullptr; StepPair(a, d)) {
        // The attacker: an unopposed one takes a Base, and falls with it if its
        // Power is 1; the others face the defenders of their column.
        const bool unopposed = Unopposed(a, d);
        if (unopposed) {
            ++hits;
        }
        const bool attackerSurvives = unopposed ? a->iPower > 1 : a->iPower > OpposingDefense(a, d);
        if (attackerSurvives) {
            ++att.iAtt[a->iPower - 1];
            ++att.iAttNum;
        }

        // The defender, against the attackers of its column.
        int back = 0;  // the Power it goes back to Def Units with, 0 when it falls
        if (d->iPower > GroupPower(a, d->iCol)) {
            back = d->iPower;
            if (d->iCol == def.iBoostCol) {
                // The boost lasts one combat: take off exactly what it added.
                back = std::max(1, back - def.iBoostAdded);
                def.iBoostCol = kNoBoost;
            }
            ++def.iDef[back - 1];
            ++def.iDefNum;
        }
        if (Listening()) {
            leader = a->iTarget == a->iCol && d->iTarget == d->iCol ? a->iCol : leader;
            AnnounceFight(attacker, a, d, leader, attackerSurvives, back, unopposed && hits <= def.iBases);
        }
    }

    // No more Bases fall than there are.
    const int lost = std::min(hits, def.iBases);
    def.iBases -= lost;
    def.iBoostCol = kNoBoost;
    def.iBoostAdded = 0;

    FreeAllRows();
    if (Listening()) {
        Announce(Event{.kind = EventKind::kCombatEnd, .side = attacker, .count = lost});
    }

    DrawBoard(kRedrawBoard);
    Pause(Format("Combat is finished. %s lost %d Base%s! Press Return/Enter to continue: ",
                 attacker == giAINum ? "You" : OpponentName(), lost, lost == 1 ? "" : "s"));
}
