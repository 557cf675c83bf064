// SPDX-License-Identifier: MIT
// The human's placement: units go from the Reserves onto the field, one at a time.

#include "qir.h"

// Moves one unit of the given Power from the Reserves to the field as an
// Attacker ('a'), a Defender ('d') or a Base ('b', Power 1 only). Refused
// once the count of that kind is above 25.
bool PlaceFromReserves(PlayerInfo& who, int power, char kind)
{
    if (power < 1 || power > giFullPower || who.iRes[power - 1] <= 0) {
        return false;
    }
    if (kind == 'a') {
        if (who.iAttNum > kFieldLimit) {
            return false;
        }
        ++who.iAtt[power - 1];
        ++who.iAttNum;
    } else if (kind == 'd') {
        if (who.iDefNum > kFieldLimit) {
            return false;
        }
        ++who.iDef[power - 1];
        ++who.iDefNum;
    } else {
        if (power != 1 || who.iBases > kFieldLimit) {
            return false;
        }
        ++who.iBases;
    }
    --who.iRes[power - 1];
    --who.iResNum;
    return true;
}

// Asks for the Power of a Reserve unit until the human names one he holds.
int AskReservePower()
{
    const PlayerInfo& human = player[giPlayerNum];
    for (;;) {
        Print("What Power unit would you like to place? Type a number 1-%d: ", giFullPower);
        int power = ReadPowerAnswer();
        while (power < 1 || power > giFullPower) {
            Print("You did not type a number between 1 and %d.  Please try again: ", giFullPower);
            power = ReadPowerAnswer();
        }
        if (human.iRes[power - 1] > 0) {
            return power;
        }
        PrintText("You have no units of that Power available in your Reserves.\n");
    }
}

// Asks with the same prompt until the answer is a Power from 1 to 9 of which
// the counts hold a unit.
int AskUnitPower(const char* prompt, const PowerCounts& counts)
{
    for (;;) {
        PrintText(prompt);
        const int power = ReadPowerAnswer();
        if (power >= 1 && power <= kMaxPower && counts[power - 1] > 0) {
            return power;
        }
    }
}

void PlyrPlacement()
{
    PlayerInfo& human = player[giPlayerNum];
    for (;;) {
        if (NothingLeft(human.iResNum,
                        "You do not have any units in your Reserves.  Press Return/Enter to move on.")) {
            return;
        }
        PrintText("Would you like to place any units on the field? y or n: ");
        if (AskChoice("yn", "You did not type a y or n.  Please try again: ") == 'n') {
            return;
        }
        const int power = AskReservePower();
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
