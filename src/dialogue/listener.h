// SPDX-License-Identifier: MIT
// What the game asks and what happened, as values: the question every read
// answers, why an answer was refused, what each step changed, and the board.
// A listener set at the start hears them all; with none set the game only
// tests a flag. The dialogue's header includes this, where PowerCounts is
// declared.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class QuestionKind : std::uint8_t {
    kYesNo,   // y or n
    kLetter,  // one of the letters a menu offers
    kSetup,   // a setting of a new game: the player order, the maximum Power, the opponent
    kPower,   // the Power of a unit the player holds
    kUnitId,  // a column of the Attacking and Defending rows
    kPause,   // Return goes on
};

// A read is judged by its first character alone, so what a question takes
// is a set of first characters: exactly those that the game does not answer
// with a refusal (a Power the player holds none of, a column without a unit
// of the kind asked for, a kind of placement that is full: all outside it).
struct Question {
    QuestionKind kind = QuestionKind::kPause;
    std::string text;     // the prompt as the game printed it
    std::string accepts;  // every first character taken now, in ascending order
};

enum class RefusalKind : std::uint8_t {
    kNone,             // not refused: the answer is taken
    kEmpty,            // Return alone where an answer is needed
    kNotOffered,       // not one of the answers on offer
    kNotADigit,        // not a digit, where a Power is asked
    kPowerOutOfRange,  // a digit outside 1 to the highest Power this question takes
    kNoUnitOfPower,    // no unit of that Power where the question needs one
    kNotCapital,       // not a capital letter, where a Unit ID is asked
    kNoUnitInColumn,   // no unit of the row asked about stands in that column
    kWrongUnit,        // the unit in that column is not of the kind asked for
    kFieldFull,        // a placement of a kind that is full: 26 already stand on the field
    kNotReturn,        // a key other than Return at a pause, which reads on (the game prints nothing)
};

struct Refusal {
    RefusalKind kind = RefusalKind::kNone;
    std::string typed;  // the characters of the refused read (at most two, a line's end included)
};

enum class Place : std::uint8_t { kBase, kDefender, kAttacker };

enum class EventKind : std::uint8_t {
    kGameStart,   // side: the human; power: the maximum Power
    kDice,        // side; count: units acquired; dice: their Powers
    kPlaced,      // side, power, count (the units placed at once), place
    kCommitted,   // an attacker from Att Units: side, power, col (= target)
    kDefended,    // a Defender set: side, power, col, target (the attacker's column)
    kAdvanced,    // a Def Unit sent to attack: side, power, col, target (the defender's column)
    kRefocused,   // an attacker moved onto another fight: side, power, from, col, target
    kReinforced,  // side, col, power (before), after, reserve (the Reserve unit's Power)
    kPoweredUp,   // a Base sacrificed for a Power-up: side, col, power (before), after, count (Bases left)
    kFight,       // one column of a combat: side (the attacker), col, target, power, defense, and what fell
    kCombatEnd,   // side (the attacker); count: the Bases the defender lost
    kGameEnd,     // side: the winner; count: the rounds played
};

// One thing a step changed, raised where the shared rules change the records,
// so the computer's steps report the same as the human's. Columns are those
// after the change. A unit that joins the rows takes the empty slot of column
// col when col equals target and that column stood already; otherwise a new
// column col opens for it, with an empty slot in the other row, and every
// column from col on moves one place right (as does every target naming one
// of them). A refocused attacker leaves column from with its empty slot, the
// columns after it close up (as do the targets naming them), and the two open
// column col as above.
struct Event {
    EventKind kind = EventKind::kGameStart;
    int side = 0;     // the player (index into player) whose dice, unit or attack it is
    int power = 0;    // the unit's Power; before a raise; a fight: the attacker's (0: an empty slot)
    int defense = 0;  // a fight: the defender's Power (0: an empty slot)
    int after = 0;    // a raise: the Power after it; a fight: the Power the defender goes back with
    int reserve = 0;  // a reinforcement: the Power of the Reserve unit used
    int col = -1;     // the column the unit stands in
    int target = -1;  // the column whose fight it joins; a fight: the first column of its fight
    int from = -1;    // a refocus: the column it left
    int count = 0;
    Place place = Place::kBase;
    bool attackerFalls = false;  // a fight
    bool defenderFalls = false;
    bool baseTaken = false;
    PowerCounts dice{};  // the Powers rolled, counted by Power
};

// The board as the records hold it at any moment.
struct BoardSide {
    int bases = 0;
    PowerCounts defUnits{};  // counted by Power
    PowerCounts attUnits{};
    PowerCounts reserves{};
    bool operator==(const BoardSide&) const = default;
};
struct BoardColumn {
    int attack = 0;        // the attacker's Power, 0 for an empty slot
    int attackTarget = 0;  // the column whose fight it joins
    int defense = 0;       // the defender's Power, 0 for an empty slot
    int defenseTarget = 0;
    bool unopposed = false;  // an attacker nobody opposes: it will take a Base
    bool operator==(const BoardColumn&) const = default;
};
struct Board {
    std::array<BoardSide, 2> sides;
    int attacker = -1;                 // whose Attacking row the columns pair, -1 between combats
    std::vector<BoardColumn> columns;  // the paired rows, column 'A' first
    bool operator==(const Board&) const = default;
};

// Who hears the game: any of these may be null.
struct Listener {
    void (*question)(const Question& asked) = nullptr;  // before every read, ahead of its prompt or retry text
    void (*refusal)(const Refusal& refused) = nullptr;  // right after a refused read, ahead of the retry text
    void (*event)(const Event& happened) = nullptr;     // once the records show the change
    void (*board)() = nullptr;  // a board is about to be printed: ReadBoard() gives what it shows
};
