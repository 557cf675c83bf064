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
        if (!AskYesNo("Would you like to place any units on the field? y or n: ")) {
            return;
        }
        const int power = AskReservePower(human.iRes);
        // What the field has room for: a kind that is full is refused after the answer.
        char room[4] = {};
        size_t kinds = 0;
        for (const char kind : {'a', 'b', 'd'}) {
            if (HasRoomFor(human, power, kind)) {
                room[kinds++] = kind;
            }
        }
        const char kind =
            power > 1
                ? AskChoice("Where would you like to place this unit? Attacker or Defender (a or d): ", "ad",
                            "You did not type an a or d.  Please try again: ", QuestionKind::kLetter, room)
                : AskChoice("Where would you like to place this unit? Attacker, Defender, or Base (a, d or b): ", "adb",
                            "You did not type an a, d, or b.  Please try again: ", QuestionKind::kLetter, room);
        if (PlaceFromReserves(human, power, kind)) {
            DrawBoard(kRedrawBoard);
        } else {
            RefuseAnswer(RefusalKind::kFieldFull);
            PrintText("You already have too many units of that type on the field.\n");
        }
    }
}
