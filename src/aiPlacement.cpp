// SPDX-License-Identifier: MIT
// The computer's placement: Dravik deals its Reserves out in a rotation,
// Quelby places in three stages against what the human holds.

#include "qir.h"

static void AnnouncePlacement()
{
    DrawBoard(kRedrawBoard);
    Print("%s has placed his units\n", OpponentName());
}

void SimpleAIPlacement()
{
    PlayerInfo& ai = player[giAINum];
    int onField = ai.iAttNum + ai.iDefNum + ai.iBases;
    int k = 0;  // the rotation: 0 Base (or Att Unit), 1 Att Unit, 2 Def Unit
    // A sweep that places nothing changes only the rotation, which repeats
    // after three sweeps: from then on nothing could ever be placed.
    int idleSweeps = 0;
    while (idleSweeps < 3 && ((ai.iResNum >= 1 && onField <= 3) || (ai.iResNum >= 2 && onField > 3))) {
        bool placed = false;
        for (int power = giFullPower; power >= 1; --power) {
            if (ai.iRes[power - 1] <= 0) {
                continue;
            }
            k = (power == 1 && ai.iBases <= 2) ? 0 : (k + 1) % 3;
            bool done = k == 0 && power == 1 && PlaceFromReserves(ai, power, 'b');
            if (!done && k <= 1) {
                done = PlaceFromReserves(ai, power, 'a');
            }
            if (!done) {
                done = PlaceFromReserves(ai, power, 'd');
            }
            if (done) {
                ++onField;
                placed = true;
            }
        }
        idleSweeps = placed ? 0 : idleSweeps + 1;
    }
    AnnouncePlacement();
}

// The cursor of a Smart stage walks down the Powers and wraps round to the
// highest after lowest.
static int NextCursor(int power, int lowest)
{
    return power > lowest ? power - 1 : giFullPower;
}

void SmartAIPlacement()
{
    PlayerInfo& ai = player[giAINum];
    const PlayerInfo& human = player[giPlayerNum];
    int humanReserves = 0;
    for (int power = 1; power <= giFullPower; ++power) {
        humanReserves += human.iRes[power - 1];
    }

    // Each stage ends by its own test, or once a full cycle of its cursor has
    // placed nothing: the limits then block every unit left and the stage
    // would only repeat itself.

    // Stage 1: Def Units and Bases against the human's Att Units.
    for (int i = giFullPower, idle = 0; idle < giFullPower - 1; i = NextCursor(i, 2)) {
        if (human.iAttNum < ai.iBases + ai.iDefNum || ai.iResNum <= 0) {
            break;
        }
        bool placed = false;
        if (ai.iRes[0] > 0 && ai.iBases <= kFieldLimit) {
            if (giAINum == 1) {
                placed = PlaceFromReserves(ai, 1, 'b');
            } else {
                // Going first, all Power 1 units become Bases at once.
                PlaceAllAsBases(ai);
                placed = true;
            }
        }
        if (ai.iRes[i - 1] > 0 && PlaceFromReserves(ai, i, 'd')) {
            placed = true;
        }
        idle = placed ? 0 : idle + 1;
    }

    // Stage 2: Att Units against the human's Bases and Def Units.
    for (int i = giFullPower, idle = 0; idle < giFullPower; i = NextCursor(i, 1)) {
        if (ai.iAttNum > human.iBases + human.iDefNum || ai.iResNum <= 0) {
            break;
        }
        const bool placed = ai.iRes[i - 1] > 0 && PlaceFromReserves(ai, i, 'a');
        idle = placed ? 0 : idle + 1;
    }

    // Stage 3: the rest, odd Powers to attack and even Powers to defend,
    // until the Def Units outnumber the human's Reserves.
    for (int i = giFullPower, idle = 0; idle < giFullPower - 1; i = NextCursor(i, 2)) {
        if (ai.iResNum <= 0 || ai.iDefNum > humanReserves) {
            break;
        }
        bool placed = ai.iRes[0] > 0 && PlaceFromReserves(ai, 1, 'b');
        if (ai.iRes[i - 1] > 0 && PlaceFromReserves(ai, i, i % 2 == 1 ? 'a' : 'd')) {
            placed = true;
        }
        idle = placed ? 0 : idle + 1;
    }

    AnnouncePlacement();
}
