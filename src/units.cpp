// SPDX-License-Identifier: MIT
// How units move between the Reserves, the field and the rows: the rules
// both sides follow, whoever decides the move.
#include <algorithm>

#include "qir.h"

static int SideOf(const PlayerInfo& who)
{
    return static_cast<int>(&who - player.data());
}

// Whether the field takes one more Attacker ('a'), Defender ('d') or Base
// ('b', Power 1 only): a kind is full once its count is above 25.
bool HasRoomFor(const PlayerInfo& who, int power, char kind)
{
    if (kind == 'a') {
        return who.iAttNum <= kFieldLimit;
    }
    if (kind == 'd') {
        return who.iDefNum <= kFieldLimit;
    }
    return power == 1 && who.iBases <= kFieldLimit;
}

static void AnnouncePlaced(const PlayerInfo& who, int power, int count, Place place)
{
    Announce(Event{.kind = EventKind::kPlaced, .side = SideOf(who), .power = power, .count = count, .place = place});
}

// Moves one unit of the given Power from the Reserves to the field as an
// Attacker ('a'), a Defender ('d') or a Base ('b', Power 1 only), where the
// field has room for it.
bool PlaceFromReserves(PlayerInfo& who, int power, char kind)
{
    if (power < 1 || power > giFullPower || who.iRes[power - 1] <= 0 || !HasRoomFor(who, power, kind)) {
        return false;
    }
    if (kind == 'a') {
        ++who.iAtt[power - 1];
        ++who.iAttNum;
    } else if (kind == 'd') {
        ++who.iDef[power - 1];
        ++who.iDefNum;
    } else {
        ++who.iBases;
    }
    --who.iRes[power - 1];
    --who.iResNum;
    if (Listening()) {
        AnnouncePlaced(who, power, 1, kind == 'a' ? Place::kAttacker : kind == 'd' ? Place::kDefender : Place::kBase);
    }
    return true;
}

// Every Power 1 unit of the Reserves becomes a Base at once, whatever the
// count of Bases becomes.
void PlaceAllAsBases(PlayerInfo& who)
{
    const int count = who.iRes[0];
    who.iBases += count;
    who.iResNum -= count;
    who.iRes[0] = 0;
    if (Listening()) {
        AnnouncePlaced(who, 1, count, Place::kBase);
    }
}

// A Reserve unit merges into a fighting unit for good; what lies beyond 9 is lost.
void ReinforceFromReserves(PlayerInfo& who, UnitNode* unit, int power)
{
    QIR_ASSERT(unit != nullptr && unit->iPower >= 1, "only a unit on the field is reinforced");
    QIR_ASSERT(power >= 1 && power <= giFullPower && who.iRes[power - 1] > 0, "the Reserves hold the unit");
    const int before = unit->iPower;
    unit->iPower = std::min(kMaxPower, before + power);
    --who.iRes[power - 1];
    --who.iResNum;
    if (Listening()) {
        Announce(Event{.kind = EventKind::kReinforced,
                       .side = SideOf(who),
                       .power = before,
                       .after = unit->iPower,
                       .reserve = power,
                       .col = unit->iCol});
    }
}

// One Base is given up to lend a Defender as much Power as there were Bases,
// up to 9, for this combat only: combat resolution takes off exactly what
// was added.
void PowerUpWithBases(PlayerInfo& who, UnitNode* unit)
{
    QIR_ASSERT(unit != nullptr && unit->iPower >= 1, "only a Defender on the field is powered up");
    QIR_ASSERT(who.iBoostCol == kNoBoost && who.iBases > 1, "one Power-up a combat, and a Base to spare");
    const int before = unit->iPower;
    unit->iPower = std::min(kMaxPower, before + who.iBases);
    who.iBoostAdded = unit->iPower - before;
    who.iBoostCol = unit->iCol;
    --who.iBases;
    if (Listening()) {
        Announce(Event{.kind = EventKind::kPoweredUp,
                       .side = SideOf(who),
                       .power = before,
                       .after = unit->iPower,
                       .col = unit->iCol,
                       .count = who.iBases});
    }
}

// The weight of a set of counts: each Power times the number of its units.
int Weight(const PowerCounts& counts, int maxPower)
{
    int sum = 0;
    for (int power = 1; power <= maxPower && power <= kMaxPower; ++power) {
        sum += power * counts[power - 1];
    }
    return sum;
}
