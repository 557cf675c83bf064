// SPDX-License-Identifier: MIT
// Setup: the records and settings of a game, the greeting and the rules.

#include <string>

#include "qir.h"

std::array<PlayerInfo, 2> player{};
int32_t giPlayerNum = 0;
int32_t giAINum = 0;
int32_t giFullPower = 0;
char gDiffLevel = 0;

const char* OpponentName()
{
    return gDiffLevel == 'd' ? "Dravik" : "Quelby";
}

void Welcome()
{
    PrintText("Welcome to QIR!\n");
    PrintText("Let's get started\n");
    if (AskYesNo("Would you like to see the instructions? y or n: ")) {
        Instructions();
    }

    giPlayerNum = AskChoice("Would you like to be Player 1 (go first) or Player 2 (go second)? Enter 1 or 2: ", "12",
                            "You did not type a 1 or 2.  Please try again: ", QuestionKind::kSetup) -
                  '1';
    giAINum = Opponent(giPlayerNum);

    giFullPower =
        AskChoice(Format("What should the maximum unit Power be?\n"
                         "A higher value makes the game more interesting and complex while a lower value makes the "
                         "game more simple.\n"
                         "Enter a number between 2 and %d: ",
                         kMaxPower),
                  "23456789", "You did not type a number from 2-9.  Please try again: ", QuestionKind::kSetup) -
        '0';

    gDiffLevel = AskChoice(
        "What AI player do you want to play against?\n"
        "Dravik (lower difficulty) or Quelby (higher difficulty)? Enter d or q: ",
        "dq", "You did not type an d or q.  Please try again: ", QuestionKind::kSetup);
}

// The rules as the game has always shown them, one entry a line; where a
// rule runs over two lines, each line is an entry of its own.
static const char* const kRules[] = {
    "\n",
    "INSTRUCTIONS FOR QIR\n",
    "--------------------\n",
    "Qir is a game of strategy that anyone can learn and play nearly anywhere.\n",
    "This program is a simple text based version for one player vs. the computer.\n",
    "\n",
    "Units\n",
    "-----\n",
    "There are 3 types of units: Base, Defender, and Attacker.\n",
    "Only units of Power 1 can be Base units, but any unit an be used for Defense or Attack.\n",
    "Each player starts with one Base which is automatically placed on the field at the beginning,\n",
    "plus a Power 1 unit and a Power 2 unit in his Reserves.\n",
    "New units are acquired at the beginning of each round.\n",
    "The number of units acquired is determined by the number of bases your opponent controls.\n",
    "The Power of each acquired unit is determined by a die roll. You decide the maximum Power level, anywhere from 2 to 9, at the beginning of the game.\n",
    "\n",
    "Turns\n",
    "-----\n",
    "Each round is made up of 2 phases, and each phase contains multiple steps.\n",
    "Both players complete the first phase in turn before moving on to the second.\n",
    "Both players complete the second phase in turn before starting a new round (if the game is not over).\n",
    "Player 1 always gets the first turn for each phase.\n",
    "Going first can be beneficial in combat if you can destroy your opponent's bases in that turn.\n",
    "However, going first in the placement phase can be detrimental because you do not know how your opponent will place his units.\n",
    "\n",
    "Phase 1: Units.\n",
    "\n",
    "Step 1: Acquisition.  Dice are automatically rolled to determine acquired unit's Power.\n",
    "Step 2: Placement.  Units may be placed as Bases, Defenders, or Attackers.\n",
    "Only Power 1 units may be placed as Bases.  Players may play none, some, or all units in their Reserves.\n",
    "\n",
    "Phase 2: Combat.\n",
    "\n",
    "Step 1: Attack.  Player may attack if he has Attack units.  Choose which units will attack.\n",
    "\n",
    "Step 2: Defense.  Opposing player may defend if Defense units are available.\n",
    "Player chooses which Defense units will defend and how they will be assigned.\n",
    "Defense units may be assigned one to one or may team up to defend one attacking unit.\n",
    "For any Attackers that are left undefended, an \"!\" will appear in the Defending row, in the same column as the Attacker,\n",
    "to indicate that that Attacker will destroy one of the defending player's Bases upon combat resolution.\n",
    "\n",
    "Step 3: Attack focus.  If applicable, attacking player assigns how his undefended units will attack.\n",
    "Undefended attackers may assist other defended Attackers or attack Base units (default is to attack Base units, one Attacker per Base.\n",
    "\n",
    "Step 4: Reinforcements.  Defending player may add units in Reserves to Defending units to enhance their Power, but only to a maximum of 9.\n",
    "For example, a Power 1 unit added to a Power 2 unit turns it into a Power 3 unit.\n",
    "However, a Power 5 unit added to a Power 6 unit will only turn it into a Power 9 unit.  Reinforcements may NOT be removed later.\n",
    "In response, the attacking player may do the same for his Attack units.\n",
    "The attacking player may also permanently move any Defense units to attack.\n",
    "However, for this round, these attackers may only assist other attackers in fighting the opponent's Defenders - \n",
    "they may not attack the bases.  The following round, they remain as attackers if they're still alive and attack normally.\n",
    "Finally, the defending player may use his Base's Power-up ability if he has at least one unit currently defending and more than one Base.\n",
    "For just this round, and only while he's defending,\n",
    "all of his Bases power up to provide additional temporary power to one Defender equal to the number of Bases the player controls.\n",
    "Once combat resolves the boost disappears.  Additionally, as a side effect, the defending player sacrifices one Base unit.\n",
    "Thus, this ability will not be available if you have only one Base left.\n",
    "Reinforcement step repeats, going back and forth until both players choose to pass.\n",
    "\n",
    "Step 5: Combat resolution.  Damage is dealt to attacking, defending, and base units.  Damage is resolved in a basic Power value comparison.\n",
    "Higher Power units survive while lower Power units are destroyed.  If both units are the same Power, both are destroyed.\n",
    "Any base unit attacked is destroyed (and if its attacker is a Power level 1, it's destroyed as well).\n",
    "\n",
    "Once a player's base units are gone, that player loses and the game ends.\n",
    "\n",
};

// How play goes, told plainly for --rules and the manual: what the rules
// above leave for the player to find out.
static const char* const kHowPlayGoes =
    "HOW PLAY GOES\n"
    "-------------\n"
    "Fights. When a combat resolves, each column of the attacker's Attacking\n"
    "row faces the same column of the defender's Defending row, and the units\n"
    "between one pair of bars fight one another. Where one attacker meets one\n"
    "defender, the higher Power survives and equal Powers destroy each other.\n"
    "Units that join a fight (a second defender set against the same attacker,\n"
    "an attacker refocused or advanced onto a defender) stand in the columns\n"
    "after the unit they joined: they add their Power to their side's total,\n"
    "and only an attacker advanced against one of them strikes it. A unit\n"
    "survives only when its Power is greater than the whole total set against\n"
    "it. Survivors go back to Att Units or Def Units with the Power they had\n"
    "in the fight.\n"
    "\n"
    "Bases. An attacker that no defender opposes shows an ! opposite it in the\n"
    "Defending row. It destroys one Base of the defender and goes back to Att\n"
    "Units, unless its Power is 1: then it falls with the Base. The end of each\n"
    "combat says how many Bases were lost.\n"
    "\n"
    "Attack Focus. Once the defender has set its defenders, the attacker may\n"
    "send attackers that nobody opposes to join the fight of a defended column\n"
    "instead of hitting a Base: each moves to the column right after the one\n"
    "it joins, and the columns between shift along.\n"
    "\n"
    "Reinforcements. The defender moves first, then the attacker, in turn,\n"
    "until both pass one after the other. Reinforce adds a unit of the\n"
    "Reserves to a unit in the fight: its Power rises by the Reserve unit's, up\n"
    "to 9, for good, and whatever lies beyond 9 is lost.\n"
    "\n"
    "Base Power-up. The defender, with a defender in the fight and more than\n"
    "one Base, may give up one Base once a combat: one of its defenders gains\n"
    "as much Power as there were Bases before the sacrifice, up to 9, for this\n"
    "combat only, and returns to Def Units with its own Power.\n"
    "\n"
    "Advance Defender. The attacker may move a Def Unit into the attack against\n"
    "one of the defender's units (never against an !). It hits no Base this\n"
    "combat, and if it survives it comes back as an Att Unit.\n"
    "\n"
    "The end. At the start of every round each side gets one new unit for\n"
    "every Base the other side holds. A side whose last Base falls loses at\n"
    "once, even in the middle of a round, and the game says in which round.\n";

static std::string RulesText()
{
    std::string rules;
    for (const char* text : kRules) {
        rules += text;
    }
    return rules;
}

// The rules, all at once, or a screenful at a time on a terminal too short
// for them; then a pause.
void Instructions()
{
    PrintPaged(RulesText());
    Pause("Press Return/Enter to begin the game.");
}

void PrintRules()
{
    PrintThroughPager(RulesText() + kHowPlayGoes);
}

void InitStorage()
{
    for (PlayerInfo& p : player) {
        p.iBases = 1;
        p.iBoostCol = kNoBoost;
        p.iBoostAdded = 0;
        p.iAtt.fill(0);
        p.iDef.fill(0);
        // Every entry, also those above this game's maximum Power, so nothing
        // of an earlier game can surface.
        p.iRes.fill(0);
        p.iRes[0] = 1;
        p.iRes[1] = 1;
        p.iResNum = 2;
        p.pAttHead = nullptr;
        p.pDefHead = nullptr;
        p.iCurAttNum = 0;
        p.iCurDefNum = 0;
        p.iAttNum = 0;
        p.iDefNum = 0;
    }
    QIR_CHECK_STEP(kStartStep);
    if (Listening()) {
        Announce(Event{.kind = EventKind::kGameStart, .side = giPlayerNum, .power = giFullPower});
    }
}
