// SPDX-License-Identifier: MIT
// Qir: the records, the globals and every function of the game.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

// One entry of an Attacking or Defending row. The k-th node of a row always
// stands in column k; iTarget names the column whose fight the unit joins.
struct UnitNode {
    UnitNode* pNext;
    int32_t iPower;   // 1 to 9, or 0 for a placeholder (no unit in this column)
    int32_t iCol;
    int32_t iTarget;
};

constexpr int kMaxPower = 9;
// A placement is refused once a count is above this, so each count stops at 26.
constexpr int kFieldLimit = 25;

using PowerCounts = std::array<int32_t, kMaxPower>;  // entry p-1 counts Power p

struct PlayerInfo {
    int32_t iBases;
    int32_t iBoostCol;      // column of the Defender holding the Base Power-up, or -1
    PowerCounts iAtt;       // Att Units not committed to the current combat
    UnitNode* pAttHead;
    int32_t iCurAttNum;     // real attackers in the Attacking row
    int32_t iAttNum;        // sum of iAtt
    PowerCounts iDef;       // Def Units not committed to the current combat
    UnitNode* pDefHead;
    int32_t iCurDefNum;     // real defenders in the Defending row
    int32_t iDefNum;        // sum of iDef
    PowerCounts iRes;       // Reserves; only Powers 1 to giFullPower are used
    int32_t iResNum;        // sum of iRes
    int32_t iBoostAdded;    // Power the Base Power-up really added, after the cap at 9
};

extern std::array<PlayerInfo, 2> player;  // index 0 is Player 1
extern int32_t giPlayerNum;               // the human's index
extern int32_t giAINum;                   // the computer's index
extern int32_t giFullPower;               // highest Power the dice give, 2 to 9
extern char gDiffLevel;                   // 'd' for Dravik; anything else is Quelby

// console.cpp: every answer and pause goes through these.
void ReadAnswer(char* buf);  // buf holds 3 bytes; at most two characters of a line per read
char AskChoice(const char* allowed, const char* retry);
int ReadPowerAnswer();
int AskUnitId(const char* prompt, const char* retry, const std::function<bool(int)>& names);
void WaitForReturn();
bool NothingLeft(int count, const char* message);
void ClearScreen();
[[noreturn]] void EndOfInput();
int OutputStatus();  // 0, or 1 with a message on stderr when the output was lost

// options.cpp: the command line.
struct Options {
    bool help = false;
    bool version = false;
};
Options ReadOptions(int argc, char* argv[]);  // a usage error ends the program with status 2
void PrintUsage();
void PrintVersion();

// setup.cpp
const char* OpponentName();
void Welcome();
void Instructions();
void InitStorage();

// insMovNode.cpp
// The walks over rows work on UnitNode and on const UnitNode alike.
template <typename Node>
Node* NodeAt(Node* head, int col)
{
    for (Node* n = head; n != nullptr; n = n->pNext) {
        if (n->iCol == col) {
            return n;
        }
    }
    return nullptr;
}

// The unit in column col, if that column of the row holds a unit and not a placeholder.
template <typename Node>
Node* RealUnitAt(Node* head, int col)
{
    Node* n = NodeAt(head, col);
    return n != nullptr && n->iPower >= 1 ? n : nullptr;
}

// Steps the two nodes of one column of a pairing to the next column.
template <typename Node>
void StepPair(Node*& a, Node*& b)
{
    if (a != nullptr) {
        a = a->pNext;
    }
    if (b != nullptr) {
        b = b->pNext;
    }
}

void InsertNode(int playerIdx, int col, int power, int row);
void MoveNode(int attacker, int fromCol, int toCol);
int GroupPower(const UnitNode* from, int leaderCol);
int UndefendedAttackers(int attacker, int& power);
void FreeRow(UnitNode*& head);
void FreeAllRows();

// drawBrd.cpp
void DrawBoard(int mode);
void FreeBoardMem();

// playOrder.cpp
int PlayPhases(int round);
void RollDice();

// combat.cpp
void CombatOutcome(int attacker);

// The human's steps.
bool PlaceFromReserves(PlayerInfo& who, int power, char kind);
void PlyrPlacement();
int AskReservePower();
int AskUnitPower(const char* prompt, const PowerCounts& counts);
void PlyrAssignAtt();
void PlyrAssignDef();
void PlyrAttFocus();
int PlyrReinforce(bool defending);

// Test builds check the records after every step of a round; the game
// itself carries no such check.
enum CheckedStep { kStartStep, kDiceStep, kPlacementStep, kAttackStep, kDefenseStep, kFocusStep, kReinforceStep, kCombatStep };
#ifdef QIR_CHECKED
void CheckRecords(CheckedStep step);
#define QIR_CHECK_STEP(step) CheckRecords(step)
#else
#define QIR_CHECK_STEP(step) static_cast<void>(step)
#endif

// The computer's steps.
int Weight(const PowerCounts& counts, int maxPower);
void SimpleAIPlacement();
void SmartAIPlacement();
void SimpleAIAssignAtt();
void SmartAIAssignAtt();
void SimpleAIAssignDef();
void SmartAIAssignDef();
void AIAttFocus();
int AIReinforce(bool defending);
