// SPDX-License-Identifier: MIT
// The board: both players' Bases, units and rows, and the human's Reserves.
#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "qir.h"

// The ten row texts; they live from the first draw of a game until
// FreeBoardMem, and a draw with mode 2 prints them as they were. Each draw
// writes them, and the board, over the texts of the draw before, so drawing
// a board asks the heap for nothing once the texts have their size.
static std::string sBasesP1, sBasesP2;
static std::string sDefP1, sDefP2;
static std::string sAttP1, sAttP2;
static std::string sCurDefP1, sCurDefP2;
static std::string sCurAttP1, sCurAttP2;
static std::string sBoard;

// The labelled rows from Player 1's Bases down to Player 2's, and between the
// two Attacking rows a bar (or, on the compact board, the Unit ID line).
static constexpr std::pair<std::string_view, const std::string*> kRows[] = {
    {"Bases     ", &sBasesP1},  {"Def Units ", &sDefP1}, {"Att Units ", &sAttP1},    {"Defending ", &sCurDefP1},
    {"Attacking ", &sCurAttP1}, {"", nullptr},           {"Attacking ", &sCurAttP2}, {"Defending ", &sCurDefP2},
    {"Att Units ", &sAttP2},    {"Def Units ", &sDefP2}, {"Bases     ", &sBasesP2},
};

// Appends `count` units of this Power, each followed by a space.
static void AppendUnits(std::string& text, int power, int count)
{
    const char unit[] = {static_cast<char>('0' + power), ' '};
    for (int i = 0; i < count; ++i) {
        text.append(unit, 2);
    }
}

static void BasesText(std::string& text, const PlayerInfo& p)
{
    text.assign(1, ' ');
    AppendUnits(text, 1, p.iBases);
}

static void UnitsText(std::string& text, const PowerCounts& counts)
{
    text.assign(1, ' ');
    for (int power = 1; power <= kMaxPower; ++power) {
        AppendUnits(text, power, counts[power - 1]);
    }
}

// One paired row, read against the opponent's row of the same pairing. A bar
// stands between groups; units that fight together share one pair of bars.
static void PairedRowText(std::string& text, const UnitNode* own, const UnitNode* opposite, bool defending)
{
    if (own == nullptr) {
        text.assign(1, ' ');
        return;
    }
    text.assign(1, '|');
    for (; own != nullptr; own = own->pNext) {
        if (own->iPower >= 1 && own->iPower <= kMaxPower) {
            text += static_cast<char>('0' + own->iPower);
        } else if (defending && opposite != nullptr && Unopposed(opposite, own)) {
            text += '!';  // an attacker nobody opposes: it will hit a Base
        } else {
            text += ' ';
        }
        const UnitNode* nextOpposite = opposite != nullptr ? opposite->pNext : nullptr;
        const UnitNode* next = own->pNext;
        const bool newGroup = next == nullptr || (next->iTarget == next->iCol && nextOpposite != nullptr &&
                                                  nextOpposite->iTarget == next->iCol);
        text += newGroup ? '|' : ' ';
        opposite = nextOpposite;
    }
}

static void BuildTexts()
{
    const PlayerInfo& p1 = player[0];
    const PlayerInfo& p2 = player[1];
    BasesText(sBasesP1, p1);
    BasesText(sBasesP2, p2);
    UnitsText(sDefP1, p1.iDef);
    UnitsText(sDefP2, p2.iDef);
    UnitsText(sAttP1, p1.iAtt);
    UnitsText(sAttP2, p2.iAtt);
    PairedRowText(sCurDefP1, p1.pDefHead, p2.pAttHead, true);
    PairedRowText(sCurDefP2, p2.pDefHead, p1.pAttHead, true);
    PairedRowText(sCurAttP1, p1.pAttHead, p2.pDefHead, false);
    PairedRowText(sCurAttP2, p2.pAttHead, p1.pDefHead, false);
}

static const char* Label(int playerIdx)
{
    if (playerIdx == giPlayerNum) {
        return "-YOU--";
    }
    return gDiffLevel == 'd' ? "DRAVIK" : "QUELBY";
}

// Appends a count as decimal digits.
static void AppendNumber(std::string& text, int number)
{
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

static void AppendFrame(std::string& board, int playerIdx)
{
    board.append("          |----------------------").append(Label(playerIdx)).append("-----------------------|\n");
}

// The full board counts the human's Reserves one Power a line, below a blank line.
static void AppendReserves(std::string& board, const PlayerInfo& human)
{
    board.append("\nYou have ");
    AppendNumber(board, human.iResNum);
    board.append(" units in your Reserves:\n");
    for (int power = 1; power <= giFullPower && power <= kMaxPower; ++power) {
        board.append("Power ");
        AppendNumber(board, power);
        board.append(": ");
        AppendNumber(board, human.iRes[power - 1]);
        board.append("\n");
    }
}

// The compact board counts them on one line: at Power 9 with fewer than ten
// of each, it fits 80 columns.
static void AppendReservesLine(std::string& board, const PlayerInfo& human)
{
    board.append("Reserves, ");
    AppendNumber(board, human.iResNum);
    board.append(human.iResNum == 1 ? " unit: Power " : " units: Power ");
    for (int power = 1; power <= giFullPower && power <= kMaxPower; ++power) {
        AppendNumber(board, power);
        board.append(": ");
        AppendNumber(board, human.iRes[power - 1]);
        board.append(power < giFullPower && power < kMaxPower ? ", " : "\n");
    }
}

// The board from the row texts of the last draw and the Reserves as they
// stand, composed whole: it is most of what the game prints, and one append
// costs far less than a formatted line each. The compact board, for a short
// terminal, keeps every labelled line but has one Unit ID line, between the
// two Attacking rows in place of the bar, and no blank line: with the
// Reserves on one line it takes 14 rows.
static std::string_view Compose(bool compact)
{
    const std::string_view unitIds = "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n";
    const std::string_view bar = "          |---------------------------------------------------|\n";
    std::string& board = sBoard;
    board.clear();
    AppendFrame(board, 0);
    if (!compact) {
        board.append(unitIds);
    }
    for (const auto& [label, text] : kRows) {
        if (text == nullptr) {
            board.append(compact ? unitIds : bar);
        } else {
            board.append(label).append(*text).append("\n");
        }
    }
    if (!compact) {
        board.append(unitIds);
    }
    AppendFrame(board, 1);
    if (compact) {
        AppendReservesLine(board, player[giPlayerNum]);
    } else {
        AppendReserves(board, player[giPlayerNum]);
    }
    return board;
}

void DrawBoard(int mode)
{
    if (mode == kNewBoard || mode == kRedrawBoard) {
        BuildTexts();
    }
    ShowBoard(Compose(CompactBoard()));
}

std::string_view BoardForScreen(bool compact)
{
    return sBasesP1.empty() ? std::string_view() : Compose(compact);
}

// Line `line` of a board: Player 1's frame line and units from the top, the
// middle (the full board's bar, or the compact board's Unit ID line),
// Player 2's units and frame line, and around them the full board's two
// Unit ID lines and the Reserves below.
BoardLine BoardLineKind(bool compact, int line)
{
    constexpr int kField = static_cast<int>(std::size(kRows));
    auto side = [](int playerIdx, bool frame) {
        if (playerIdx == giPlayerNum) {
            return frame ? BoardLine::kYourFrame : BoardLine::kYourUnits;
        }
        return frame ? BoardLine::kTheirFrame : BoardLine::kTheirUnits;
    };
    const int fieldTop = compact ? 1 : 2;  // the line of Player 1's Bases
    const int row = line - fieldTop;
    if (line == 0) {
        return side(0, true);
    }
    if (row < 0) {
        return BoardLine::kUnitIds;
    }
    if (row < kField) {
        if (row == kField / 2) {
            return compact ? BoardLine::kUnitIds : BoardLine::kBar;
        }
        return side(row < kField / 2 ? 0 : 1, false);
    }
    const int below = row - kField;  // on the full board a Unit ID line comes first
    if (below == (compact ? 0 : 1)) {
        return side(1, true);
    }
    return below == 0 ? BoardLine::kUnitIds : BoardLine::kReserves;
}

// The rows DrawBoard fills: the two frame lines and the rows of the field,
// then on the full board two Unit ID lines and the Reserves below a blank
// line, a heading and a line a Power, or on the compact board their one line.
int BoardRows(bool compact, int fullPower)
{
    const int field = 2 + static_cast<int>(std::size(kRows));
    return compact ? field + 1 : field + 2 + 2 + std::min(fullPower, kMaxPower);
}

Board ReadBoard()
{
    Board board;
    for (int i = 0; i < 2; ++i) {
        const PlayerInfo& p = player[i];
        board.sides[i] = BoardSide{p.iBases, p.iDef, p.iAtt, p.iRes};
        board.attacker = p.pAttHead != nullptr ? i : board.attacker;
    }
    if (board.attacker >= 0) {
        const UnitNode* a = player[board.attacker].pAttHead;
        const UnitNode* d = player[Opponent(board.attacker)].pDefHead;
        for (; a != nullptr && d != nullptr; StepPair(a, d)) {
            board.columns.push_back(BoardColumn{a->iPower, a->iTarget, d->iPower, d->iTarget, Unopposed(a, d)});
        }
    }
    return board;
}

void FreeBoardMem()
{
    for (std::string* text : {&sBasesP1, &sBasesP2, &sAttP1, &sAttP2, &sCurAttP1, &sCurAttP2, &sDefP1, &sDefP2,
                              &sCurDefP1, &sCurDefP2, &sBoard}) {
        std::string().swap(*text);
    }
}
