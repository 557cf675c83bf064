// SPDX-License-Identifier: MIT
// Qir: the records, the globals and every function of the game.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// console.cpp: everything printed and every answer and pause goes through these.
#if defined(__GNUC__)
#define QIR_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QIR_PRINTF(fmt, args)
#endif
void Print(const char* format, ...) QIR_PRINTF(1, 2);
void VPrint(const char* format, std::va_list args) QIR_PRINTF(1, 0);
void PrintText(std::string_view text);
void FlushOutput();          // a failed write ends the program with status 1
void HoldOutput(bool hold);  // while held, only the output since the last board is kept
void GuardStandardStreams();
// What clears the screen before every board, unless screens are separated.
inline constexpr std::string_view kClearScreen = "\033[H\033[2J";
// Where answers come from before the player types them, and who hears of
// each one he types: the record, when a game is kept, resumed or replayed.
// The console knows no more of it than these calls.
struct AnswerLog {
    bool (*replayAnswer)(char* buf) = nullptr;  // false once it gives no more answers
    bool (*replayKey)(int& c) = nullptr;
    void (*noteAnswer)(const char* buf, int length) = nullptr;
    void (*noteKey)(int c) = nullptr;
    void (*newScreen)() = nullptr;  // told before each new screen is drawn, the screen before it shown whole
};
void SetAnswerLog(const AnswerLog& log);
void ReadAnswer(char* buf);  // buf holds 3 bytes; at most two characters of a line per read
char AskChoice(const char* allowed, const char* retry);
bool AskYesNo();  // after a question that ends "y or n: "
int AskReservePower(const PowerCounts& reserves);
int AskUnitPower(const char* prompt, const PowerCounts& counts);
bool Nameable(int col);  // some key names this column as a Unit ID
int AskUnitId(const char* prompt, const char* retry, const std::function<bool(int)>& names);
void WaitForReturn();
bool ViewerGoesOn();  // waits for a line from the keyboard: false for q or at the end of input
bool NothingLeft(int count, const char* message);
void ShowBoard(std::string_view board);  // on a new screen
[[noreturn]] void EndOfInput();

// options.cpp: the command line.
struct Options {
    bool help = false;
    bool version = false;
    bool seeded = false;  // --seed: the dice follow this seed instead of the clock
    std::uint32_t seed = 0;
    // The files of --record, --resume and --replay, when given (an empty
    // name is a file that cannot be opened, not a missing option).
    std::optional<std::string> record;
    std::optional<std::string> resume;
    std::optional<std::string> replay;
    bool compact = false;      // --compact: the compact board on every screen
    bool noClear = false;      // --no-clear: screens are separated by a line, never cleared
    std::optional<int> delay;  // --delay: milliseconds between the screens of a replay
};
Options ReadOptions(int argc, char* argv[]);  // a usage error ends the program with status 2
void PrintUsage();
void PrintVersion();

// record.cpp: the record of a game's answers and dice, written, resumed or replayed.
constexpr std::uint32_t kHighestSeed = 2147483647;  // the largest seed --seed takes
// How every record begins: its first line is these words and its format.
inline constexpr std::string_view kRecordMagic = "Qir record ";
bool ReadSeed(std::string_view text, std::uint32_t& seed, std::uint32_t highest);
// Anything from outside the game (a file's name, an option's value, a piece
// of a record) as a message shows it: valid UTF-8 as it is, control bytes and
// bytes that are no UTF-8 as \xNN escapes. Cut short with "..." after
// `longest` bytes if given; a name is shown whole.
std::string Shown(std::string_view text, size_t longest = std::string_view::npos);
void StartRecord(const Options& options);  // a record that cannot be used ends the program with status 1
std::uint32_t DiceSeed();                  // the seed of the next acquisition's dice
bool ResumedGameIsOver();                  // the game ended inside the record it resumed

// osPosix.cpp, osWindows.cpp or osWeb.cpp (the game in a web page), as CMake
// chooses: the calls into the system. Nothing else in the game names a
// system. Each returns 0 or an errno value where it can fail, unless it says
// otherwise.
void OsSetUpStreams(int& inputError, int& outputError);  // notes a standard stream that cannot be used
int OsWrite(int fd, const char* data, size_t length);
int OsShow(std::string_view text);  // the game's output, cleared as the console needs
int OsReadByte(int& error);         // the next byte typed, or EOF at the end of input or on an error
bool OsIsTerminal(int fd);          // a terminal (a console) shows what is written to fd, or echoes what is typed
// Whether fd is a terminal, and the rows and columns of the window it shows,
// or 0 when it shows none or cannot tell.
bool OsScreenSize(int fd, int& rows, int& columns);
void OsSleep(int milliseconds);
// The record's file is opened once and then used through its descriptor.
enum class RecordUse {
    kCreate,    // a new file, read and appended to (--record), nameless until OsPlaceRecord
    kContinue,  // a record that exists, read, cut and appended to (--resume)
    kShow,      // a record that is only read (--replay)
};
constexpr int kNotAFile = -1;  // what OsOpenRecord returns for a pipe or a device: it is not read
int OsOpenRecord(const char* path, RecordUse use, int& fd);  // a regular file only; fd is -1 on failure
// A new record, its header written and synced, takes its name, which it never
// takes from another file (EEXIST), and the name is synced to the disk. Until
// then no other program can open it, and OsCloseRecord leaves nothing of it
// behind. fd may change.
int OsPlaceRecord(const char* path, int& fd);
// Whether fd is the very file of the standard stream `stream` (0, 1 or 2);
// false when either cannot tell.
bool OsSameFile(int fd, int stream);
// An exclusive lock held until the program ends, which takes no lock from a
// reader; EAGAIN when another program holds it, ENOLCK where the file system
// cannot lock.
int OsLockRecord(int fd);
// One read of at most size bytes, on from where the last one ended; got is 0
// at the end of the file.
int OsReadRecord(int fd, char* buffer, size_t size, size_t& got);
int OsCutRecord(int fd, long long length);
int OsSyncRecord(int fd);  // what was written is on the disk when it returns 0
void OsCloseRecord(int fd);

// screen.cpp: the screen the output lands on. The console hands it what it
// prints and what the player types; it lays the text out, clears the screen
// or separates one from the next, and keeps the compact board in view.
void SetScreenOptions(bool compact, bool noClear);  // at the start: nothing is on the screen yet
bool CompactBoard();                                // whether the next board is compact: reads the terminal's size
void ForgetBoard();                                 // a new game: no board is in view until its first
void StartScreen(std::string& out, std::string_view board);
void ScreenPrint(std::string& out, std::string_view text);
void ScreenEcho(std::string_view typed);  // what a read from the player returned
void FitScreen(std::string& out);         // before out is written: draws the board again when it would scroll away

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
bool FacesEmptySlot(const UnitNode* attacker, const UnitNode* defender);
bool Unopposed(const UnitNode* attacker, const UnitNode* defender);
bool HasNameableUnit(const UnitNode* head);
int UndefendedAttackers(int attacker, int& power);
void FreeRow(UnitNode*& head);
void FreeAllRows();

// drawBrd.cpp
constexpr int kNewBoard = 0;      // the first board of a game: the row texts are made
constexpr int kRedrawBoard = 1;   // after a change: the row texts are made anew
constexpr int kReprintBoard = 2;  // after the dice: the row texts are printed as they were
void DrawBoard(int mode);
void FreeBoardMem();

// playOrder.cpp
int PlayPhases(int round);
void RollDice();
void SeedDice(std::uint32_t seed);
int32_t NextDiceNumber();  // 0 to 2147483647, as the GNU C library's rand() gives them

// combat.cpp
void CombatOutcome(int attacker);

// units.cpp: how units move between the Reserves, the field and the rows,
// the same for both sides.
bool PlaceFromReserves(PlayerInfo& who, int power, char kind);
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
