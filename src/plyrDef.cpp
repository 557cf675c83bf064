// SPDX-License-Identifier: MIT
// The human's defense: Def Units are set against the computer's attackers,
// alone or teamed up against one attacker.

#include "qir.h"

void PlyrAssignDef()
{
    PlayerInfo& human = player[giPlayerNum];
    for (;;) {
        if (NothingLeft(human.iDefNum,
                        "You do not have any defense units available.  Press Return/Enter to continue.")) {
            return;
        }
        if (!HasNameableUnit(player[giAINum].pAttHead)) {
            return;  // no key could name an attacker to defend against
        }
        if (AskChoice("Would you like to assign a defense unit to defend, or finish this step? Enter d or f: ", "df",
                      "You did not type d or f.  Please try again:") == 'f') {
            return;
        }
        const int power = AskUnitPower("Enter a valid Power for the unit you want to assign to defend: ", human.iDef);
        // Committed from here on: a wrong Unit ID only asks again.
        --human.iDef[power - 1];
        const int col = AskUnitId(
            "Which attacker will the defender fight? Enter the Unit ID (A-Z) of the attacker from the \"Attacking\" row: ",
            "That is not a valid \"Attacking\" row Unit ID.\n"
            "Make sure to look at your opponent's units in the \"Attacking\" row, not the \"Att Units\" row.\n",
            [&](int c) { return UnitAnswer(player[giAINum].pAttHead, c); });
        InsertNode(giPlayerNum, col, power, kDefendingRow);
        DrawBoard(kRedrawBoard);
        Print("Unit of Power %d is set to defend against the attacker with Unit ID %c!\n", power, 'A' + col);
    }
}
