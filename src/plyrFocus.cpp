// SPDX-License-Identifier: MIT
// The human's attack focus: attackers that nobody opposes may join the fight
// against one of the computer's defenders instead of striking a Base.

#include "qir.h"

// Whether column col holds an attacker that faces an empty slot of the
// Defending row: one that a defender opposes is no attacker to refocus.
static RefusalKind MayBeRefocused(const UnitNode* attackers, const UnitNode* defenders, int col)
{
    for (; attackers != nullptr && defenders != nullptr; StepPair(attackers, defenders)) {
        if (attackers->iCol == col && attackers->iPower >= 1) {
            return FacesEmptySlot(attackers, defenders) ? RefusalKind::kNone : RefusalKind::kWrongUnit;
        }
    }
    return RefusalKind::kNoUnitInColumn;
}

// Whether a key can name both an attacker that may be refocused and a
// defender for it: otherwise the question could never be answered.
static bool RefocusCanBeNamed(const UnitNode* attackers, const UnitNode* defenders)
{
    bool attacker = false;
    for (const UnitNode* d = defenders; attackers != nullptr && d != nullptr; StepPair(attackers, d)) {
        attacker = attacker || (FacesEmptySlot(attackers, d) && Nameable(attackers->iCol));
    }
    return attacker && HasNameableUnit(defenders);
}

void PlyrAttFocus()
{
    const PlayerInfo& human = player[giPlayerNum];
    const PlayerInfo& ai = player[giAINum];

    // Counted once: a refocused attacker still faces its empty slot and may be
    // chosen again, but every refocus uses one up.
    int power = 0;
    int count = UndefendedAttackers(giPlayerNum, power);

    while (count > 0 && RefocusCanBeNamed(human.pAttHead, ai.pDefHead)) {
        const std::string_view question = Format(
            "You have %d attacker(s) you may refocus.\n"
            "Do you want to refocus an attacker to attack a defender instead of a base, or finish this "
            "phase? Enter r or f: ",
            count);
        if (AskChoice(question, "rf", "Sorry, you did not type r or f.  Please try again:") == 'f') {
            return;
        }
        const int from = AskUnitId(
            "Which attacker will you refocus?\n"
            "Enter the Unit ID capital letter (A-Z) of the undefended attacker from the \"Attacking\" row: ",
            "That is not a valid \"Attacking\" row Unit ID.\n"
            "Make sure to look at your undefended units in the \"Attacking\" row, not the \"Att Units\" row.\n",
            [&](int c) { return MayBeRefocused(human.pAttHead, ai.pDefHead, c); });
        const int to = AskUnitId(
            "Which defender will the attacker fight?\n"
            "Enter the Unit ID capital letter (A-Z) of the defender from the \"Defending\" row: ",
            "That is not a valid \"Defending\" row Unit ID.\n"
            "Make sure to look at the computer's units in the \"Defending\" row, not the \"Def Units\" row.\n",
            [&](int c) { return UnitAnswer(ai.pDefHead, c); });
        MoveNode(giPlayerNum, from, to);
        --count;
        DrawBoard(kRedrawBoard);
        Print("Attacking unit %c has refocused its attack to defender unit %c!\n", 'A' + from, 'A' + to);
        PrintText("Note that attackers/defenders may be shifted left after moving to fill in empty columns\n");
    }

    Pause("You do not have any attackers to refocus.  Press Return/Enter to continue.");
}
