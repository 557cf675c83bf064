// SPDX-License-Identifier: MIT
// Qir: the records, the globals and every function of the game, and the
// headers of the layers around it: the system's calls below everything, the
// screen above them, the dialogue that the game's rules print and ask
// through, and the record that gives the dialogue its answers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The system's calls (src/os), one file per system.
#include "os/os.h"
// The screen (src/screen): what is not yet written, the layout and the redraw.
#include "screen/screen.h"

// One entry of an Attacking or Defending row. The k-th node of a row always
// stands in column k; iTarget names the column whose fight the unit joins.
struct UnitNode {
    UnitNode* pNext;  // the node of the next column, or null at the last
    int32_t iPower;   // 1 to 9, or 0 for a placeholder (no unit in this column)
    int32_t iCol;     // always the node's position in its row
    int32_t iTarget;  // the column whose fight the unit joins
};

constexpr int kMaxPower = 9;
// A placement is refused once a count is above this, so each count stops at 26.
constexpr int kFieldLimit = 25;
constexpr int kColumns = 26;        // the columns 'A' to 'Z' of the board's Unit ID line
constexpr int kNoWinner = -1;       // what a round returns while both players hold Bases
constexpr int kNoBoost = -1;        // iBoostCol while no Defender holds the Base Power-up
constexpr int kAttackingRow = 0;    // InsertNode's row: the player's own Attacking row
constexpr int kDefendingRow = 1;    // or his own Defending row
constexpr int kReinforceAgain = 1;  // a reinforcement step that ends with a move or Finish
constexpr int kPassed = 0;          // one that passes

// The other player of the two.
constexpr int Opponent(int playerIdx)
{
    return 1 - playerIdx;
}

using PowerCounts = std::array<int32_t, kMaxPower>;  // entry p-1 counts Power p

struct PlayerInfo {
    int32_t iBases;       // Bases on the field; none left loses the game
    int32_t iBoostCol;    // column of the Defender holding the Base Power-up, or -1
    PowerCounts iAtt;     // Att Units not committed to the current combat
    UnitNode* pAttHead;   // the Attacking row, or null
    int32_t iCurAttNum;   // real attackers in the Attacking row
    int32_t iAttNum;      // sum of iAtt
    PowerCounts iDef;     // Def Units not committed to the current combat
    UnitNode* pDefHead;   // the Defending row, or null
    int32_t iCurDefNum;   // real defenders in the Defending row
    int32_t iDefNum;      // sum of iDef
    PowerCounts iRes;     // Reserves; only Powers 1 to giFullPower are used
    int32_t iResNum;      // sum of iRes
    int32_t iBoostAdded;  // Power the Base Power-up really added, after the cap at 9
};

extern std::array<PlayerInfo, 2> player;  // index 0 is Player 1
extern int32_t giPlayerNum;               // the human's index
extern int32_t giAINum;                   // the computer's index
extern int32_t giFullPower;               // highest Power the dice give, 2 to 9
extern char gDiffLevel;                   // 'd' for Dravik; anything else is Quelby

// The dialogue (src/dialogue): everything printed and every answer and pause
// goes through it.
#include "dialogue/dialogue.h"

// options.cpp: the command line.
struct Options {
    bool help = false;
    bool version = false;
    bool rules = false;   // --rules: the rules and an account of play, and exit
    bool seeded = false;  // --seed: the dice follow this seed instead of the clock
    std::uint32_t seed = 0;
    // The files of --record, --resume and --replay, when given (an empty
    // name is a file that cannot be opened, not a missing option).
    std::optional<std::string> record;
    std::optional<std::string> resume;
    std::optional<std::string> replay;
    bool compact = false;           // --compact: the compact board on every screen
    bool noClear = false;           // --no-clear: screens are separated by a line, never cleared
    std::optional<int> delay;       // --delay: milliseconds between the screens of a replay
    bool explain = false;           // --explain: the other side's moves, each combat and each refusal told in words
    Colour colour = Colour::kAuto;  // --color
    std::optional<int> day;         // --daily: the day whose game is played, in days since 1 January 1970
};
Options ReadOptions(int argc, char* argv[]);  // a usage error ends the program with status 2
void PrintUsage();
void PrintVersion();

// The record (src/record): a game's answers and dice, kept, resumed or replayed.
#include "record/record.h"
// The seats (src/seat): front ends that listen to the game.
#include "seat/seat.h"

// playQir.cpp: the program's body, which main calls with its command line,
// and so can a test, after ResetQir, as often as it likes. `seat` hears the
// game unless --explain asks for its own. Returns the exit status of a run
// that ends by the player's choice; any other end is an OsExit.
int PlayQir(int argc, char* argv[], const Listener& seat = {});
void ResetQir();

// daily.cpp: the day's game, its seed and its settings.
bool ReadDay(std::string_view text, int& day);  // YYYY-MM-DD
int Today();                                    // in UTC, by the system's clock
std::uint32_t DaySeed(int day);                 // the date as the number YYYYMMDD
std::string DaySettings(int day);               // the order, the maximum Power and the opponent, as answered
void GiveDaySettings(AnswerSource& source, int day);
void ResetDay();

// setup.cpp
const char* OpponentName();
void Welcome();
void Instructions();
void PrintRules();  // --rules
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
bool FacesEmptySlot(const UnitNode* attacker, const UnitNode* defender);
bool Unopposed(const UnitNode* attacker, const UnitNode* defender);
bool HasNameableUnit(const UnitNode* head);

// Whether a question about the row's units takes column col: only where a
// unit, not an empty slot, stands.
inline RefusalKind UnitAnswer(const UnitNode* head, int col)
{
    return RealUnitAt(head, col) != nullptr ? RefusalKind::kNone : RefusalKind::kNoUnitInColumn;
}
int UndefendedAttackers(int attacker, int& power);
void FreeRow(UnitNode*& head);
void FreeAllRows();

// drawBrd.cpp
constexpr int kNewBoard = 0;      // the first board of a game: the row texts are made
constexpr int kRedrawBoard = 1;   // after a change: the row texts are made anew
constexpr int kReprintBoard = 2;  // after the dice: the row texts are printed as they were
void DrawBoard(int mode);
void FreeBoardMem();
int BoardRows(bool compact, int fullPower);  // the rows a board of this maximum Power takes
Board ReadBoard();                           // the board as the records hold it now
// The board as the last draw showed it, in the full or the compact layout,
// for a screen whose size changed; empty once FreeBoardMem released it.
std::string_view BoardForScreen(bool compact);
// What a line of the board shows, from the player's side: the screen colours
// the two sides and keeps the most needed lines in view.
enum class BoardLine { kYourFrame, kYourUnits, kTheirFrame, kTheirUnits, kUnitIds, kBar, kReserves };
BoardLine BoardLineKind(bool compact, int line);

// playOrder.cpp
void PlayOneGame();
int PlayPhases(int round);
void RollDice();
void SeedDice(std::uint32_t seed);
void ResetDice();          // the dice as never seeded
int32_t NextDiceNumber();  // 0 to 2147483647, as the GNU C library's rand() gives them

// combat.cpp
void CombatOutcome(int attacker);

// units.cpp: how units move between the Reserves, the field and the rows,
// the same for both sides.
bool HasRoomFor(const PlayerInfo& who, int power, char kind);
bool PlaceFromReserves(PlayerInfo& who, int power, char kind);
void PlaceAllAsBases(PlayerInfo& who);
void ReinforceFromReserves(PlayerInfo& who, UnitNode* unit, int power);
void PowerUpWithBases(PlayerInfo& who, UnitNode* unit);
int Weight(const PowerCounts& counts, int maxPower);

// The human's steps.
void PlyrPlacement();
void PlyrAssignAtt();
void PlyrAssignDef();
void PlyrAttFocus();
int PlyrReinforce(bool defending);

// A rule that callers must keep, checked in test and debug builds so that a
// broken one names itself instead of corrupting the game later.
#if defined(QIR_CHECKED) || !defined(NDEBUG)
#define QIR_ASSERT(condition, rule) ((condition) ? static_cast<void>(0) : BrokenRule(rule, __FILE__, __LINE__))
#else
#define QIR_ASSERT(condition, rule) static_cast<void>(0)
#endif
[[noreturn]] void BrokenRule(const char* rule, const char* file, int line);

// Test builds check the records after every step of a round; the game
// itself carries no such check.
enum CheckedStep {
    kStartStep,
    kDiceStep,
    kPlacementStep,
    kAttackStep,
    kDefenseStep,
    kFocusStep,
    kReinforceStep,
    kCombatStep
};
#ifdef QIR_CHECKED
void CheckRecords(CheckedStep step);
#define QIR_CHECK_STEP(step) CheckRecords(step)
#else
#define QIR_CHECK_STEP(step) static_cast<void>(step)
#endif

// The computer's steps.
void SimpleAIPlacement();
void SmartAIPlacement();
void SimpleAIAssignAtt();
void SmartAIAssignAtt();
void SimpleAIAssignDef();
void SmartAIAssignDef();
void AIAttFocus();
int AIReinforce(bool defending);
