// SPDX-License-Identifier: MIT
// The order of a round: dice, placement, then each player's attack in turn.
#include "qir.h"

namespace {

// The dice draw from the game's own copy of the generator behind the GNU C
// library's rand(): an additive feedback generator over 31 words. Being our
// own, it rolls the same dice from the same seed on every platform.
std::array<std::int32_t, 31> gDiceState{};
size_t gDiceFront = 3;  // the word that receives each sum
size_t gDiceRear = 0;

}  // namespace

void SeedDice(std::uint32_t seed)
{
    // state[i] = 16807 * state[i - 1] % 2147483647, computed without
    // overflow; a seed above 2^31 - 1 starts as the negative word it becomes.
    std::int32_t word = static_cast<std::int32_t>(seed == 0 ? 1 : seed);
    gDiceState[0] = word;
    for (size_t i = 1; i < gDiceState.size(); ++i) {
        const std::int64_t hi = word / 127773;
        const std::int64_t lo = word % 127773;
        word = static_cast<std::int32_t>(16807 * lo - 2836 * hi);
        if (word < 0) {
            word += 2147483647;
        }
        gDiceState[i] = word;
    }
    gDiceFront = 3;
    gDiceRear = 0;
    for (int i = 0; i < 310; ++i) {  // the first numbers are stirred away
        NextDiceNumber();
    }
}

void ResetDice()
{
    gDiceState = {};
    gDiceFront = 3;
    gDiceRear = 0;
}

std::int32_t NextDiceNumber()
{
    const std::uint32_t sum =
        static_cast<std::uint32_t>(gDiceState[gDiceFront]) + static_cast<std::uint32_t>(gDiceState[gDiceRear]);
    gDiceState[gDiceFront] = static_cast<std::int32_t>(sum);
    gDiceFront = (gDiceFront + 1) % gDiceState.size();
    gDiceRear = (gDiceRear + 1) % gDiceState.size();
    return static_cast<std::int32_t>(sum >> 1);
}

void RollDice()
{
    SeedDice(DiceSeed());
    for (int i = 0; i < 2; ++i) {
        PlayerInfo& p = player[i];
        const int count = player[Opponent(i)].iBases;
        p.iResNum += count;
        Print("Player %d gets %d new unit(s) with the following Power(s): ", i + 1, count);
        Event dice{.kind = EventKind::kDice, .side = i, .count = count};
        for (int n = 0; n < count; ++n) {
            const int r = NextDiceNumber() % giFullPower;
            ++p.iRes[r];
            ++dice.dice[r];
            const char die[] = {static_cast<char>('1' + r), ' '};  // a Power is one digit
            PrintText(std::string_view(die, sizeof die));
        }
        PrintText("\n");
        if (Listening()) {
            Announce(dice);
        }
    }
}

static void InitiateCombatResolution()
{
    Pause("Press Return/Enter to initiate Combat Resolution: ");
}

// Dravik plays the Simple strategy of a step, Quelby the Smart one.
static void ComputerStep(void (*simple)(), void (*smart)(), CheckedStep step)
{
    if (gDiffLevel == 'd') {
        simple();
    } else {
        smart();
    }
    QIR_CHECK_STEP(step);
}

// The defender reinforces first; the two alternate until two calls in a row
// have passed.
static void ReinforcementExchange(bool humanDefends)
{
    int defenderResult = kReinforceAgain;
    int attackerResult = kReinforceAgain;
    while (defenderResult == kReinforceAgain || attackerResult == kReinforceAgain) {
        defenderResult = humanDefends ? PlyrReinforce(true) : AIReinforce(true);
        QIR_CHECK_STEP(kReinforceStep);
        if (defenderResult == kReinforceAgain || attackerResult == kReinforceAgain) {
            attackerResult = humanDefends ? AIReinforce(false) : PlyrReinforce(false);
            QIR_CHECK_STEP(kReinforceStep);
        }
    }
}

// The index of the winner once a player has no Bases.
static int Winner()
{
    if (player[0].iBases <= 0) {
        return 1;
    }
    if (player[1].iBases <= 0) {
        return 0;
    }
    return kNoWinner;
}

// The human's attack, from the commitment of attackers to the resolution.
static void HumanAttacks(int round)
{
    if (player[giPlayerNum].iAttNum > 0) {
        PlyrAssignAtt();
        QIR_CHECK_STEP(kAttackStep);
    }
    if (player[giPlayerNum].iCurAttNum <= 0) {
        PrintText("You have chosen not to attack this round\n");
        return;
    }
    Pause(Format("Starting round %d, Combat phase, step 2: Defense. Press Return/Enter to continue: ", round));
    ComputerStep(SimpleAIAssignDef, SmartAIAssignDef, kDefenseStep);
    Print("Starting round %d, Combat phase, step 3: Attack Focus\n", round);
    PlyrAttFocus();
    QIR_CHECK_STEP(kFocusStep);
    DrawBoard(kRedrawBoard);
    Pause(Format("Starting round %d, Combat phase, step 4: Reinforcements. Press Return/Enter to continue: ", round));
    ReinforcementExchange(false);
    InitiateCombatResolution();
    CombatOutcome(giPlayerNum);
    QIR_CHECK_STEP(kCombatStep);
}

// The computer's attack, once it has committed its attackers.
static void ComputerAttacks(int round)
{
    if (player[giAINum].iCurAttNum <= 0) {
        Print("%s has no attackers, so there is no need to defend!\n", OpponentName());
        return;
    }
    Print("Starting round %d, Combat phase, step 2: Defense\n", round);
    PlyrAssignDef();
    QIR_CHECK_STEP(kDefenseStep);
    DrawBoard(kRedrawBoard);
    Pause(Format("Starting round %d, Combat phase, step 3: Attack Focus. Press Return/Enter to continue: ", round));
    AIAttFocus();
    QIR_CHECK_STEP(kFocusStep);
    Print("Starting round %d, Combat phase, step 4: Reinforcements\n", round);
    ReinforcementExchange(true);
    InitiateCombatResolution();
    CombatOutcome(giAINum);
    QIR_CHECK_STEP(kCombatStep);
}

int PlayPhases(int round)
{
    Print("Starting round %d, Unit phase, step 1: Acquisition\n", round);
    RollDice();
    QIR_CHECK_STEP(kDiceStep);
    Pause(Format("Starting round %d, Unit phase, step 2: Placement.  Press Return/Enter to continue: ", round));

    if (giPlayerNum == 0) {
        DrawBoard(kReprintBoard);
        PlyrPlacement();
        QIR_CHECK_STEP(kPlacementStep);
        ComputerStep(SimpleAIPlacement, SmartAIPlacement, kPlacementStep);
        Print("Starting round %d, Combat phase, step 1: Attack\n", round);
        HumanAttacks(round);
        if (Winner() != kNoWinner) {
            return Winner();
        }
        Pause(Format("Restarting the combat phase for %s's turn to attack. Press Return/Enter to continue: ",
                     OpponentName()));
        ComputerStep(SimpleAIAssignAtt, SmartAIAssignAtt, kAttackStep);
        ComputerAttacks(round);
    } else {
        ComputerStep(SimpleAIPlacement, SmartAIPlacement, kPlacementStep);
        PlyrPlacement();
        QIR_CHECK_STEP(kPlacementStep);
        Pause(Format("Starting round %d, Combat phase, step 1: Attack. Press Return/Enter to continue: ", round));
        ComputerStep(SimpleAIAssignAtt, SmartAIAssignAtt, kAttackStep);
        ComputerAttacks(round);
        if (Winner() != kNoWinner) {
            return Winner();
        }
        PrintText("Restarting the combat phase for your turn to attack\n");
        HumanAttacks(round);
    }
    return Winner();
}

// What the run says if it ends in the middle of this round: a game in play
// that the player cut off is told how it goes on, and a replay watched to
// the end of its record says where the recorded game stops.
static void GameInPlay(int round)
{
    SetEndingWords(StoppedGameNote(),
                   "The record stops in round " + std::to_string(round) + ", before the end of the game.");
}

// Once a game has a winner, nothing is cut off by an end there; a replay
// that ends there says who won.
static void GameOver(int result, int round)
{
    const std::string rounds = " in round " + std::to_string(round) + ".";
    SetEndingWords("", result == giPlayerNum
                           ? std::string("The recorded game ended: you beat ") + OpponentName() + rounds
                           : std::string("The recorded game ended: ") + OpponentName() + " won" + rounds);
}

// One whole game, from the greeting to the result; the board's texts are freed after it.
void PlayOneGame()
{
    int result = kNoWinner;
    int round = 0;
    ForgetBoard();
    SetEndingWords("", "The record stops before the first round of a game.");
    Welcome();
    InitStorage();
    DrawBoard(kNewBoard);
    while (result == kNoWinner) {
        ++round;
        GameInPlay(round);
        result = PlayPhases(round);
    }
    GameOver(result, round);

    if (result == giPlayerNum) {
        Print("You win!  You beat the %s in %d round%s\n", OpponentName(), round, round > 1 ? "s." : ".");
    }
    if (result == giAINum) {
        Print("You lose!  %s won in %d round%s.\n", OpponentName(), round, round > 1 ? "s" : "");
    }
    if (Listening()) {
        Announce(Event{.kind = EventKind::kGameEnd, .side = result, .count = round});
    }
    FreeBoardMem();
}
