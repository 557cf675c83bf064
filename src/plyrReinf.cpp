// SPDX-License-Identifier: MIT
// The human's reinforcement: Reserve units raise a fighting unit's Power, a
// Base can be sacrificed for a one-combat Power-up, and Def Units can advance
// into the attack. Each call ends with Pass or Finish.

#include <string>

#include "qir.h"

static const char* const kReinforceOption =
    "Reinforce (r): Permanently boost a currently attacking/defending unit's Power with a Reserve unit\n";
static const char* const kPowerUpOption =
    "Base Power-up (b): Sacrifice one Base to give a one time Power boost to a currently defending unit equal to "
    "the number of Bases you control (pre-sacrifice)\n";
static const char* const kAdvanceOption =
    "Advance Defender (a): Permanently move a Defense unit to become an attacker - it can only attack Defenders "
    "this round\n";
static const char* const kPassOption =
    "Pass (p): End this step and move on without making any moves. After both players pass consecutively, combat "
    "resolves\n";
static const char* const kFinishOption =
    "Finish (f): End this step and move on. After the computer reinforces, you will get another chance to "
    "reinforce.\n";

static std::string sMenu;  // the menu's text, made anew in the same buffer for every menu

static const char* const kNotOwnDefender =
    "That is not a valid Unit ID.\nMake sure to look at your \"Defending\" row, not your \"Def Units\" row\n";
static const char* const kNotOwnAttacker =
    "That is not a valid Unit ID.\nMake sure to look at your \"Attacking\" row, not your \"Att Units\" row\n";

static void Reinforce(bool defending)
{
    PlayerInfo& human = player[giPlayerNum];
    const int power = AskReservePower(human.iRes);
    UnitNode* row = defending ? human.pDefHead : human.pAttHead;
    const int col = AskUnitId("Which unit do you want to reinforce? Enter the Unit ID (A-Z): ",
                              defending ? kNotOwnDefender : kNotOwnAttacker, [&](int c) { return UnitAnswer(row, c); });
    ReinforceFromReserves(human, RealUnitAt(row, col), power);
    DrawBoard(kRedrawBoard);
    Print("Unit ID %c has been reinforced\n", 'A' + col);
}

static void BasePowerUp()
{
    PlayerInfo& human = player[giPlayerNum];
    const int col =
        AskUnitId("Which defending unit do you want to power-up? Enter the Unit ID (A-Z): ", kNotOwnDefender,
                  [&](int c) { return UnitAnswer(human.pDefHead, c); });
    PowerUpWithBases(human, RealUnitAt(human.pDefHead, col));
    DrawBoard(kRedrawBoard);
    Print("Defending unit ID %c has been Powered-up and one of your Bases sacrificed\n", 'A' + col);
}

static void AdvanceDefender()
{
    PlayerInfo& human = player[giPlayerNum];
    const UnitNode* defenders = player[giAINum].pDefHead;
    const int power =
        AskUnitPower("Enter a valid Power for the defense unit you want to reassign to attack: ", human.iDef);
    --human.iDef[power - 1];  // committed: from here on the move cannot be abandoned
    const int col = AskUnitId(
        "Which defender will the attacker fight?\n"
        "Enter the Unit ID (A-Z) of the defender from your opponent's \"Defending\" row: ",
        "That is not a valid \"Defending\" row Unit ID.\n"
        "Make sure to look at your opponent's units in the \"Defending\" row, not the \"Def Units\" row.\n",
        [&](int c) { return UnitAnswer(defenders, c); });
    InsertNode(giPlayerNum, col, power, kAttackingRow);
    DrawBoard(kRedrawBoard);
    Print("The Defense unit with %d Power has advanced to attack unit ID %c\n", power, 'A' + col);
}

int PlyrReinforce(bool defending)
{
    const PlayerInfo& human = player[giPlayerNum];
    const PlayerInfo& ai = player[giAINum];
    bool moved = false;  // after the first move the menu offers Finish instead of Pass
    for (;;) {
        // A move is offered only while some key can name the unit it asks for.
        const int fighting = defending ? human.iCurDefNum : human.iCurAttNum;
        const bool canReinforce =
            fighting > 0 && human.iResNum > 0 && HasNameableUnit(defending ? human.pDefHead : human.pAttHead);
        const bool canPowerUp = defending && human.iBoostCol == kNoBoost && human.iCurDefNum > 0 && human.iBases > 1 &&
                                HasNameableUnit(human.pDefHead);
        const bool canAdvance = !defending && ai.iCurDefNum > 0 && ai.iCurDefNum <= kFieldLimit && human.iDefNum > 0 &&
                                HasNameableUnit(ai.pDefHead);

        // The menu offers only the moves possible now; Pass and Finish are
        // taken whichever of the two it shows.
        std::string& menu = sMenu;
        menu.assign("What would you like to do?\n");
        char letters[6] = {};
        size_t offered = 0;
        auto offer = [&](bool possible, char letter, const char* text) {
            if (possible) {
                menu.append(text);
                letters[offered++] = letter;
            }
        };
        offer(canReinforce, 'r', kReinforceOption);
        offer(canPowerUp, 'b', kPowerUpOption);
        offer(canAdvance, 'a', kAdvanceOption);
        menu.append(moved ? kFinishOption : kPassOption);
        menu.append("Enter one of the letters in parentheses from above: ");
        letters[offered++] = 'p';
        letters[offered] = 'f';

        switch (AskChoice(menu, letters, "You did not type one of the available options.  Please try again: ")) {
        case 'r': Reinforce(defending); break;
        case 'b': BasePowerUp(); break;
        case 'a': AdvanceDefender(); break;
        case 'p': return kPassed;
        default: DrawBoard(kRedrawBoard); return kReinforceAgain;
        }
        moved = true;
    }
}
