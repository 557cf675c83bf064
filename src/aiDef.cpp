// SPDX-License-Identifier: MIT
// The computer's defense: Dravik answers every attacker it can match and
// blocks the rest; Quelby also counts on its Reserves, blocks only when its
// Bases are at stake, and tops up weak groups.
#include <algorithm>
#include <vector>

#include "qir.h"

// The highest Power from `from` down to `downTo` of which the computer holds
// a Def Unit, or 0.
static int HighestDefUnit(int from, int downTo)
{
    const PowerCounts& def = player[giAINum].iDef;
    for (int power = std::min(from, kMaxPower); power >= std::max(downTo, 1); --power) {
        if (def[power - 1] > 0) {
            return power;
        }
    }
    return 0;
}

static int LowestDefUnit()
{
    const PowerCounts& def = player[giAINum].iDef;
    for (int power = 1; power <= kMaxPower; ++power) {
        if (def[power - 1] > 0) {
            return power;
        }
    }
    return 0;
}

static void Defend(int col, int power)
{
    --player[giAINum].iDef[power - 1];
    InsertNode(giAINum, col, power, kDefendingRow);
}

static void AnnounceDefense()
{
    DrawBoard(kRedrawBoard);
    Print("%s's defense phase is complete\n", OpponentName());
}

// Every pass walks the human's Attacking row by position, up to the number of
// his attackers; when groups have grown, the last attackers are not reached.
template <typename Visit>
static void WalkAttackers(bool whileDefUnitsLeft, Visit visit)
{
    const PlayerInfo& human = player[giPlayerNum];
    int c = 0;
    for (UnitNode* a = human.pAttHead; a != nullptr && c < human.iCurAttNum; a = a->pNext, ++c) {
        if (whileDefUnitsLeft && player[giAINum].iDefNum <= 0) {
            return;
        }
        visit(a, c);
    }
}

void SimpleAIAssignDef()
{
    const PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];
    if (ai.iDefNum > 0 && human.iCurAttNum > 0) {
        std::vector<bool> matched(static_cast<size_t>(human.iCurAttNum), false);

        // Pass 1: the strongest Def Unit that beats or ties the attacker.
        WalkAttackers(false, [&](UnitNode* a, int c) {
            int power = a->iPower <= giFullPower ? HighestDefUnit(giFullPower, a->iPower) : 0;
            if (power == 0) {
                power = HighestDefUnit(kMaxPower, std::max(a->iPower, giFullPower + 1));
            }
            if (power != 0) {
                Defend(c, power);
                matched[c] = true;
            }
        });

        // Pass 2: block the rest with the weakest Def Units left.
        WalkAttackers(false, [&](UnitNode*, int c) {
            const int power = matched[c] ? 0 : LowestDefUnit();
            if (power != 0) {
                Defend(c, power);
            }
        });
    }
    AnnounceDefense();
}

void SmartAIAssignDef()
{
    PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];
    if (ai.iDefNum <= 0 || human.iCurAttNum <= 0) {
        AnnounceDefense();
        return;
    }

    // One entry per Reserve unit, weakest first; a struck entry (0) is already
    // counted on for a planned reinforcement.
    std::vector<int> reserves;
    for (int power = 1; power <= giFullPower; ++power) {
        reserves.insert(reserves.end(), static_cast<size_t>(std::max(0, ai.iRes[power - 1])), power);
    }
    int reserveWeight = Weight(ai.iRes, giFullPower);
    std::vector<bool> matched(static_cast<size_t>(human.iCurAttNum), false);
    int unmatched = human.iCurAttNum;

    // Pass 1: a Def Unit that beats or ties the attacker, else a weaker one that
    // Reserve units can lift far enough, else one above the maximum Power.
    WalkAttackers(true, [&](UnitNode* a, int c) {
        const int attack = a->iPower;
        const int highest = attack < giFullPower ? giFullPower : kMaxPower;
        int power = HighestDefUnit(highest, attack);
        if (power == 0) {
            // Only the strongest weaker Power is tried; every Reserve unit that
            // could lift it far enough is counted on.
            const int weaker = HighestDefUnit(attack - 1, 1);
            for (int& unit : reserves) {
                if (weaker != 0 && unit > 0 && weaker + unit >= attack) {
                    reserveWeight -= unit;
                    unit = 0;
                    power = weaker;
                }
            }
        }
        if (power == 0 && highest < kMaxPower) {
            power = HighestDefUnit(kMaxPower, std::max(attack, giFullPower + 1));
        }
        if (power != 0) {
            Defend(c, power);
            matched[c] = true;
            --unmatched;
        }
    });

    // Pass 2: block with the weakest Def Units while the unmatched attackers
    // would leave two Bases or fewer. They all go to the first unmatched
    // attacker, as the condition cannot come back once it fails.
    WalkAttackers(true, [&](UnitNode*, int c) {
        while (!matched[c] && unmatched >= ai.iBases - 2 && unmatched > 0 && ai.iDefNum > 0) {
            Defend(c, LowestDefUnit());
            --unmatched;
        }
    });

    // Pass 3: top up a group that is weaker than its attacker, when the Def
    // Units and the Reserves together can reach it.
    const UnitNode* k = ai.pDefHead;
    WalkAttackers(true, [&](UnitNode* a, int c) {
        const int attack = a->iPower;
        if (!matched[c] && k != nullptr && k->iPower != 0 && k->iPower < attack) {
            const int team = GroupPower(k, a->iCol);
            if (ai.iDefNum > 0 && team < attack && team + Weight(ai.iDef, kMaxPower) + reserveWeight >= attack) {
                int need = attack - team;
                int power = need <= kMaxPower && ai.iDef[need - 1] > 0 ? need : kMaxPower;
                while (need > 0 && power >= 1) {
                    if (ai.iDef[power - 1] > 0) {
                        Defend(a->iCol, power);
                        need -= power;
                    } else {
                        --power;
                    }
                }
            }
        }
        while (k != nullptr && k->iTarget == a->iCol) {
            k = k->pNext;
        }
    });

    AnnounceDefense();
}
