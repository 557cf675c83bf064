// SPDX-License-Identifier: MIT
// The computer's attack: Dravik always commits every Att Unit; Quelby weighs
// both sides and commits all or nothing.

#include "qir.h"

void SimpleAIAssignAtt()
{
    PlayerInfo& ai = player[giAINum];
    if (ai.iAttNum > 0) {
        // The weakest first: column A holds the lowest Power.
        for (int power = 1; power <= kMaxPower; ++power) {
            while (ai.iAtt[power - 1] > 0) {
                InsertNode(giAINum, ai.iCurAttNum, power, kAttackingRow);
                --ai.iAtt[power - 1];
            }
        }
    }
    DrawBoard(kRedrawBoard);
    Print("%s's attack phase is complete.\n", OpponentName());
}

static bool SmartAttackPays(const PlayerInfo& ai, const PlayerInfo& human)
{
    const int attack = Weight(ai.iAtt, kMaxPower);
    const int ownDefense = Weight(ai.iDef, kMaxPower);
    const int reserve = Weight(ai.iRes, giFullPower);
    const int humanDefense = Weight(human.iDef, kMaxPower);
    const int averageAttack = attack / ai.iAttNum;
    const int humanAverageDefense = human.iDefNum == 0 ? 0 : humanDefense / human.iDefNum;

    const bool outclass = ai.iAttNum > human.iDefNum || averageAttack > humanAverageDefense;
    // Def Units can only join an attack through Advance Defender, which the
    // computer uses when it goes second; otherwise they are needed at home
    // unless the human has nothing to attack with.
    const bool free = giAINum == 1 || human.iAttNum == 0;

    if (attack > humanDefense) {
        return true;
    }
    if (attack == humanDefense) {
        return reserve > 0 || ai.iAttNum > human.iDefNum || (ownDefense > 0 && free);
    }
    if (ai.iAttNum >= human.iBases + human.iDefNum) {
        return true;
    }
    return outclass && ((ownDefense + attack > humanDefense && free) || reserve + attack > humanDefense);
}

void SmartAIAssignAtt()
{
    const PlayerInfo& ai = player[giAINum];
    if (ai.iAttNum <= 0) {
        DrawBoard(kRedrawBoard);
        Print("%s has no units with which to attack\n", OpponentName());
        return;
    }
    if (SmartAttackPays(ai, player[giPlayerNum])) {
        SimpleAIAssignAtt();
    }
}
