// SPDX-License-Identifier: MIT
// The human's placement: units go from the Reserves onto the field, one at a time.

#include "qir.h"

void PlyrPlacement()
{
    PlayerInfo& human = player[giPlayerNum];
    for (;;) {
        if (NothingLeft(human.iResNum, "You do not have any units in your Reserves.  Press Return/Enter to move on.")) {
            return;
        }
        PrintText("Would you like to place any units on the field? y or n: ");
        if (!AskYesNo()) {
            return;
        }
        const int power = AskReservePower(human.iRes);
        PrintText("Where would you like to place this unit? ");
        char kind = 0;
        if (power > 1) {
            PrintText("Attacker or Defender (a or d): ");
            kind = AskChoice("ad", "You did not type an a or d.  Please try again: ");
        } else {
            PrintText("Attacker, Defender, or Base (a, d or b): ");
            kind = AskChoice("adb", "You did not type an a, d, or b.  Please try again: ");
        }
        if (PlaceFromReserves(human, power, kind)) {
            DrawBoard(kRedrawBoard);
        } else {
            PrintText("You already have too many units of that type on the field.\n");
        }
    }
}
