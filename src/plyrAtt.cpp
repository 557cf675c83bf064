// SPDX-License-Identifier: MIT
// The human's attack: Att Units are committed to the Attacking row one by one.

#include "qir.h"

void PlyrAssignAtt()
{
    PlayerInfo& human = player[giPlayerNum];
    for (;;) {
        if (NothingLeft(human.iAttNum,
                        "You do not have any attack units available.  Press Return/Enter to continue.")) {
            return;
        }
        if (AskChoice("Would you like to assign an attack unit to attack or finish this step? Enter a or f: ", "af",
                      "You did not type a or f.  Please try again: ") == 'f') {
            return;
        }
        const int power = AskUnitPower("Enter a valid Power for the unit you want to assign to attack: ", human.iAtt);
        --human.iAtt[power - 1];
        InsertNode(giPlayerNum, human.iCurAttNum, power, kAttackingRow);
        DrawBoard(kRedrawBoard);
        Print("Unit of Power %d is set to attack!\n", power);
    }
}
