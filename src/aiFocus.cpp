// SPDX-License-Identifier: MIT
// The computer's attack focus: undefended attackers back up a fight that the
// attacker there cannot win even with every Reserve unit, while enough of
// them stay on the Bases.
#include <utility>
#include <vector>

#include "qir.h"

// The first undefended attacker other than `other` strong enough to reach
// `needed` together with it.
static UnitNode* FirstSupporter(const UnitNode* other, int needed)
{
    UnitNode* a = player[giAINum].pAttHead;
    UnitNode* d = player[giPlayerNum].pDefHead;
    for (; a != nullptr && d != nullptr; StepPair(a, d)) {
        if (a != other && Unopposed(a, d) && a->iPower >= needed) {
            return a;
        }
    }
    return nullptr;
}

// The undefended attacker of the highest Power, the leftmost among equals.
static UnitNode* StrongestSupporter()
{
    UnitNode* best = nullptr;
    UnitNode* a = player[giAINum].pAttHead;
    UnitNode* d = player[giPlayerNum].pDefHead;
    for (; a != nullptr && d != nullptr; StepPair(a, d)) {
        if (Unopposed(a, d) && (best == nullptr || a->iPower > best->iPower)) {
            best = a;
        }
    }
    return best;
}

void AIAttFocus()
{
    const PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];

    int undefendedPower = 0;
    int undefended = UndefendedAttackers(giAINum, undefendedPower);
    if (undefended == 0) {
        Print("%s does not have the option to refocus\n", OpponentName());
        return;
    }

    const int reserveWeight = Weight(ai.iRes, giFullPower);
    // When the undefended attackers can take every Base, nothing moves.
    if (human.iBases > undefended) {
        auto support = [&](UnitNode* supporter, const UnitNode* d) {
            MoveNode(giAINum, supporter->iCol, d->iCol);  // the nodes keep their place; columns are read afresh
            undefendedPower -= supporter->iPower;
            --undefended;
        };

        // Pass 1: one supporter for each fight the attacker cannot win even
        // with the whole Reserves; the fights left without one are remembered.
        std::vector<std::pair<UnitNode*, UnitNode*>> remembered;
        UnitNode* a = ai.pAttHead;
        UnitNode* d = human.pDefHead;
        for (; d != nullptr && undefended > 1; StepPair(a, d)) {
            const int attack = a != nullptr ? a->iPower : 0;
            if (d->iPower < reserveWeight + attack) {
                continue;  // it wins once reinforced, or the column is undefended
            }
            if (UnitNode* supporter = FirstSupporter(a, d->iPower - attack)) {
                support(supporter, d);
            } else if (remembered.size() < kColumns) {
                remembered.emplace_back(a, d);
            }
        }

        // Pass 2: where all the undefended attackers, the attacker and the
        // Reserves together would win, send the strongest until the fight is won.
        for (const auto& [attacker, defender] : remembered) {
            if (undefended <= 1) {
                break;
            }
            const int attack = attacker != nullptr ? attacker->iPower : 0;
            if (undefendedPower + attack + reserveWeight <= defender->iPower) {
                continue;
            }
            for (int total = attack + reserveWeight; undefended > 1 && total <= defender->iPower;) {
                UnitNode* supporter = StrongestSupporter();
                if (supporter == nullptr) {
                    break;
                }
                total += supporter->iPower;
                support(supporter, defender);
            }
        }
        DrawBoard(kRedrawBoard);
    }
    Print("%s's Attack Focus phase is complete\n", OpponentName());
}
