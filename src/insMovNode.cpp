// SPDX-License-Identifier: MIT
// The Attacking and Defending rows: adding units to a pairing and moving an
// attacker onto another column's fight, with columns and groups kept whole.
#include "qir.h"

static UnitNode*& RowHead(int playerIdx, int row)
{
    return row == kAttackingRow ? player[playerIdx].pAttHead : player[playerIdx].pDefHead;
}

// The other row of a pairing: an Attacking row is paired with a Defending row.
static int PairedRow(int row)
{
    return row == kAttackingRow ? kDefendingRow : kAttackingRow;
}

// An attacker facing an empty slot of the Defending row. A refocused attacker
// counts too: it moved together with its empty slot.
bool FacesEmptySlot(const UnitNode* attacker, const UnitNode* defender)
{
    return attacker->iPower >= 1 && defender->iPower == 0;
}

// An attacker that nobody opposes: it faces an empty slot and fights its own
// column, so it will strike a Base.
bool Unopposed(const UnitNode* attacker, const UnitNode* defender)
{
    return FacesEmptySlot(attacker, defender) && attacker->iTarget == defender->iCol &&
           defender->iTarget == attacker->iCol;
}

// The Power of a group: the node given and the nodes right behind it, as long
// as they fight the column leaderCol (placeholders add nothing).
int GroupPower(const UnitNode* from, int leaderCol)
{
    int total = 0;
    for (const UnitNode* n = from; n != nullptr && n->iTarget == leaderCol; n = n->pNext) {
        total += n->iPower;
    }
    return total;
}

// Whether a real unit of the row stands in a column that some key names: a
// question about the row's units can then be answered.
bool HasNameableUnit(const UnitNode* head)
{
    for (const UnitNode* n = head; n != nullptr; n = n->pNext) {
        if (n->iPower >= 1 && Nameable(n->iCol)) {
            return true;
        }
    }
    return false;
}

// The attackers that face an empty slot, counted only when the defender has
// set any defender at all (otherwise there is nothing to refocus onto); their
// Power is added to `power`.
int UndefendedAttackers(int attacker, int& power)
{
    const PlayerInfo& defender = player[Opponent(attacker)];
    int count = 0;
    if (defender.iCurDefNum <= 0) {
        return 0;
    }
    const UnitNode* a = player[attacker].pAttHead;
    const UnitNode* d = defender.pDefHead;
    for (; a != nullptr && d != nullptr; StepPair(a, d)) {
        if (FacesEmptySlot(a, d)) {
            ++count;
            power += a->iPower;
        }
    }
    return count;
}

void FreeRow(UnitNode*& head)
{
    while (head != nullptr) {
        UnitNode* next = head->pNext;
        delete head;
        head = next;
    }
}

void FreeAllRows()
{
    for (PlayerInfo& p : player) {
        FreeRow(p.pAttHead);
        FreeRow(p.pDefHead);
        p.iCurAttNum = 0;
        p.iCurDefNum = 0;
    }
}

// A node was linked in at column n: everything behind it moves one column
// right, and so do the targets that named those columns.
static void RenumberAfter(UnitNode* linked, int n)
{
    for (UnitNode* m = linked->pNext; m != nullptr; m = m->pNext) {
        ++m->iCol;
        if (m->iTarget >= n) {
            ++m->iTarget;
        }
    }
}

static void LinkAfter(UnitNode* prev, UnitNode* node)
{
    node->pNext = prev->pNext;
    prev->pNext = node;
}

// The Base Power-up marks its Defender by column; when a node is linked in
// in front of that Defender, the marker moves with it.
static void FollowBoost(int playerIdx, int row, int n)
{
    PlayerInfo& p = player[playerIdx];
    if (row == kDefendingRow && p.iBoostCol >= n) {
        ++p.iBoostCol;
    }
}

static void CountNewUnit(int playerIdx, int row, const UnitNode* paired)
{
    PlayerInfo& p = player[playerIdx];
    if (row == kDefendingRow) {
        ++p.iCurDefNum;
        --p.iDefNum;
        return;
    }
    ++p.iCurAttNum;
    // A unit that joins a real defender's fight is an advanced Def Unit.
    if (paired != nullptr && paired->iPower > 0) {
        --p.iDefNum;
    } else {
        --p.iAttNum;
    }
}

// Tells a listener that a unit joined the rows: a Defender set, a Def Unit
// advanced, or an attacker committed from Att Units.
static void AnnounceUnit(int playerIdx, int row, bool fromDefUnits, const UnitNode* unit)
{
    const EventKind kind = row == kDefendingRow ? EventKind::kDefended
                           : fromDefUnits       ? EventKind::kAdvanced
                                                : EventKind::kCommitted;
    Announce(Event{.kind = kind, .side = playerIdx, .power = unit->iPower, .col = unit->iCol, .target = unit->iTarget});
}

void InsertNode(int playerIdx, int col, int power, int row)
{
    QIR_ASSERT(playerIdx == 0 || playerIdx == 1, "a player is 0 or 1");
    QIR_ASSERT(row == kAttackingRow || row == kDefendingRow, "a node goes into an Attacking or a Defending row");
    QIR_ASSERT(power >= 0 && power <= kMaxPower, "a Power is 1 to 9, or 0 for an empty slot");
    const int other = Opponent(playerIdx);
    UnitNode*& own = RowHead(playerIdx, row);

    if (own == nullptr) {
        QIR_ASSERT(col == 0, "an empty row opens at column 'A'");
        QIR_ASSERT(row == kAttackingRow || power == 0, "a defender faces an attacker");
        own = new UnitNode{nullptr, power, col, col};
        if (row == kAttackingRow) {
            InsertNode(other, col, 0, kDefendingRow);
        }
        if (power > 0) {
            CountNewUnit(playerIdx, row, nullptr);
            if (Listening()) {
                AnnounceUnit(playerIdx, row, false, own);
            }
        }
        return;
    }

    if (power == 0) {
        QIR_ASSERT(col >= 1 && NodeAt(own, col - 1) != nullptr,
                   "an empty slot goes into the column after an existing one");
        UnitNode* prev = own;
        while (prev->pNext != nullptr && prev->iCol < col - 1) {
            prev = prev->pNext;
        }
        LinkAfter(prev, new UnitNode{nullptr, 0, col, col});
        RenumberAfter(prev->pNext, col);
        FollowBoost(playerIdx, row, col);
        return;
    }

    UnitNode* n = own;
    UnitNode* q = RowHead(other, PairedRow(row));
    while (n->iCol != col && n->pNext != nullptr) {
        StepPair(n, q);
    }
    QIR_ASSERT(n->iCol == col || (row == kAttackingRow && n->pNext == nullptr && col == n->iCol + 1),
               "a unit joins an existing column, or an attacker opens the next free one");
    QIR_ASSERT(row == kAttackingRow || (q != nullptr && q->iPower >= 1), "a defender faces a real attacker");

    if (n->iPower == 0 && n->iCol == col) {
        // The unit takes the empty slot of its column: no column is added.
        n->iPower = power;
        --player[playerIdx].iDefNum;
        if (row == kAttackingRow) {
            ++player[playerIdx].iCurAttNum;
        } else {
            ++player[playerIdx].iCurDefNum;
        }
        if (Listening()) {
            AnnounceUnit(playerIdx, row, true, n);
        }
        return;
    }

    // Join the group of column col: behind the units already fighting it, or
    // after the last column when col is the next free one.
    int k = 1;
    for (const UnitNode* m = n->pNext; m != nullptr && m->iTarget == col; m = m->pNext) {
        ++k;
    }
    const int newCol = n->iCol + k;
    InsertNode(other, newCol, 0, PairedRow(row));
    for (int i = 1; i < k; ++i) {
        n = n->pNext;
    }
    LinkAfter(n, new UnitNode{nullptr, power, newCol, col});
    RenumberAfter(n->pNext, newCol);
    FollowBoost(playerIdx, row, newCol);
    CountNewUnit(playerIdx, row, q);
    if (Listening()) {
        AnnounceUnit(playerIdx, row, q != nullptr && q->iPower > 0, n->pNext);
    }
}

// Unlinks the node at position col and returns it.
static UnitNode* Unlink(UnitNode*& head, int col)
{
    if (col == 0) {
        UnitNode* node = head;
        head = node->pNext;
        return node;
    }
    UnitNode* prev = NodeAt(head, col - 1);
    QIR_ASSERT(prev != nullptr && prev->pNext != nullptr, "the moved node stands in the row");
    UnitNode* node = prev->pNext;
    prev->pNext = node->pNext;
    return node;
}

// Links node in at position pos of a row whose columns are still numbered as
// before the unlink (column `from` is missing). pos is never 0: a moved
// attacker always stands behind the defender it joins.
static void LinkAtPosition(UnitNode* head, UnitNode* node, int pos, int from)
{
    // The node that will stand before it, by its column before the move.
    const int prevOldCol = pos - 1 < from ? pos - 1 : pos;
    UnitNode* prev = NodeAt(head, prevOldCol);
    QIR_ASSERT(prev != nullptr, "the moved node joins a column of the row");
    LinkAfter(prev, node);
}

void MoveNode(int attacker, int fromCol, int toCol)
{
    UnitNode*& attHead = player[attacker].pAttHead;
    UnitNode*& defHead = player[Opponent(attacker)].pDefHead;
    QIR_ASSERT(NodeAt(attHead, fromCol) != nullptr && NodeAt(defHead, fromCol) != nullptr &&
                   FacesEmptySlot(NodeAt(attHead, fromCol), NodeAt(defHead, fromCol)),
               "only an attacker facing an empty slot is refocused");
    QIR_ASSERT(toCol != fromCol && RealUnitAt(defHead, toCol) != nullptr, "it joins a real defender of another column");

    // The moved pair ends directly after the defender's node, in front of the
    // units that had joined its fight already: column toCol + 1 when it moves
    // left, column toCol when it moves right (the columns between close up).
    const int newCol = toCol < fromCol ? toCol + 1 : toCol;
    auto moved = [&](int c) {
        if (c == fromCol) {
            return newCol;
        }
        if (fromCol < newCol && c > fromCol && c <= newCol) {
            return c - 1;
        }
        if (newCol < fromCol && c >= newCol && c < fromCol) {
            return c + 1;
        }
        return c;
    };

    UnitNode* a = nullptr;
    UnitNode* d = nullptr;
    if (newCol == fromCol) {
        a = NodeAt(attHead, fromCol);
        d = NodeAt(defHead, fromCol);
    } else {
        a = Unlink(attHead, fromCol);
        d = Unlink(defHead, fromCol);
        LinkAtPosition(attHead, a, newCol, fromCol);
        LinkAtPosition(defHead, d, newCol, fromCol);
    }

    // Every target follows the column it names, so that groups whose leader
    // shifted stay together, also where their members did not move.
    for (UnitNode* head : {attHead, defHead}) {
        int pos = 0;
        for (UnitNode* n = head; n != nullptr; n = n->pNext, ++pos) {
            n->iCol = pos;
            if (n != a && n != d) {
                n->iTarget = moved(n->iTarget);
            }
        }
    }
    a->iTarget = moved(toCol);
    d->iTarget = d->iCol;
    if (Listening()) {
        Announce(Event{.kind = EventKind::kRefocused,
                       .side = attacker,
                       .power = a->iPower,
                       .col = a->iCol,
                       .target = a->iTarget,
                       .from = fromCol});
    }
}
