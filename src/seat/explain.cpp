// SPDX-License-Identifier: MIT
// --explain: a seat that tells the player in plain words what the other side
// did, how each combat went and why an answer was refused. It hears the game
// as a listener and prints its lines just before the next question, below the
// last board drawn, so that no redraw hides them; a refusal is explained at
// once, below the refused answer.
#include <algorithm>
#include <string>
#include <vector>

#include "qir.h"

namespace {

constexpr size_t kWidth = 80;  // a combat's account fits three lines this wide
constexpr size_t kCombatLines = 3;

std::vector<Event> gHeard;                             // what happened since the last question
std::string gAccount;                                  // the lines being made
void (*gTell)(std::string_view lines) = PrintAccount;  // where the lines go: the game's output, or a seat's own

const char* Owner(int side)
{
    return side == giPlayerNum ? "your" : "his";
}

std::string Column(int col)
{
    return col < kColumns ? std::string(1, static_cast<char>('A' + col)) : std::to_string(col + 1);
}

// Powers as the board shows them: "1 1 3".
std::string Units(const std::vector<int>& powers)
{
    std::string text;
    for (const int power : powers) {
        text += (text.empty() ? "" : " ") + std::to_string(power);
    }
    return text;
}

// "a, b and c"
std::string Joined(const std::vector<std::string>& items, const char* last = " and ", const char* between = ", ")
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? last : between) + items[i];
    }
    return text;
}

// "1 1 falls"
std::string Fell(const std::vector<int>& powers)
{
    return Units(powers) + (powers.size() == 1 ? " falls" : " fall");
}

// A key as the player would name it; nothing typed reaches the screen as it is.
std::string Key(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7f) {
        return std::string(1, c);
    }
    if (c == '\n' || c == '\r') {
        return "Return";
    }
    if (byte >= 0x7f) {
        return "a byte that is no key";
    }
    return c == ' ' ? "a space" : c == '\t' ? "Tab" : std::string("^") + static_cast<char>(byte ^ 0x40);
}

// A typed character in a sentence: quoted where it is a key of its own.
std::string Typed(char c)
{
    const std::string key = Key(c);
    return key.size() == 1 ? "\"" + key + "\"" : key;
}

// Where a column of an earlier event stands once a later one changed the rows.
int Follow(int col, const Event& later)
{
    if (later.kind == EventKind::kRefocused) {
        if (col == later.from) {
            return later.col;
        }
        col = col > later.from ? col - 1 : col;
        return col >= later.col ? col + 1 : col;
    }
    const bool opened =
        later.kind >= EventKind::kCommitted && later.kind <= EventKind::kAdvanced && later.col != later.target;
    return opened && col >= later.col ? col + 1 : col;
}

// The computer's events of one kind, told in one sentence.
std::string Told(const std::vector<Event>& run)
{
    const std::string name = OpponentName();
    std::vector<std::string> parts;
    std::vector<int> powers;
    powers.reserve(run.size());
    for (const Event& e : run) {
        powers.push_back(e.power);
    }
    switch (run.front().kind) {
    case EventKind::kDice: {
        std::vector<int> rolled;
        for (int power = 1; power <= kMaxPower; ++power) {
            rolled.insert(rolled.end(), static_cast<size_t>(run.front().dice[power - 1]), power);
        }
        return name + " gets " + std::to_string(rolled.size()) + (rolled.size() == 1 ? " new unit: " : " new units: ") +
               Units(rolled) + ".";
    }
    case EventKind::kPlaced: {
        int bases = 0;
        std::vector<int> byPlace[2];
        for (const Event& e : run) {
            if (e.place == Place::kBase) {
                bases += e.count;
            } else {
                byPlace[e.place == Place::kAttacker ? 1 : 0].push_back(e.power);
            }
        }
        if (bases > 0) {
            parts.push_back(bases == 1 ? "a Base" : std::to_string(bases) + " Bases");
        }
        for (const int i : {0, 1}) {
            std::sort(byPlace[i].begin(), byPlace[i].end());
            if (!byPlace[i].empty()) {
                parts.push_back((i == 0 ? "Def Units " : "Att Units ") + Units(byPlace[i]));
            }
        }
        return name + " places " + Joined(parts) + ".";
    }
    case EventKind::kCommitted:
        return name + " attacks with " + Units(powers) + " in column" +
               (run.size() == 1 ? " " + Column(run.front().col)
                                : "s " + Column(run.front().col) + " to " + Column(run.back().col)) +
               ".";
    case EventKind::kDefended:
    case EventKind::kAdvanced: {
        // The units set against one column are told together.
        std::vector<std::pair<int, std::vector<int>>> byTarget;
        for (const Event& e : run) {
            auto same =
                std::find_if(byTarget.begin(), byTarget.end(), [&](const auto& t) { return t.first == e.target; });
            if (same == byTarget.end()) {
                same = byTarget.insert(byTarget.end(), {e.target, {}});
            }
            same->second.push_back(e.power);
        }
        for (const auto& [target, set] : byTarget) {
            parts.push_back(Units(set) + " against " + Column(target));
        }
        return name + (run.front().kind == EventKind::kDefended ? " defends: " : " sends Def Units to attack: ") +
               Joined(parts) + ".";
    }
    case EventKind::kRefocused:
        for (const Event& e : run) {
            parts.push_back("his " + std::to_string(e.power) + " joins the fight of " + Column(e.target) + " (now in " +
                            Column(e.col) + ")");
        }
        return name + " refocuses: " + Joined(parts, "; ") + ".";
    case EventKind::kReinforced:
        for (const Event& e : run) {
            parts.push_back("his " + std::to_string(e.power) + " in " + Column(e.col) + " becomes " +
                            std::to_string(e.after) + " with a Reserve " + std::to_string(e.reserve));
        }
        return name + " reinforces: " + Joined(parts, "; ") + ".";
    default: {
        const Event& e = run.front();
        const bool capped = e.power + e.count + 1 > kMaxPower;  // the Bases before the sacrifice lift it
        return name + " sacrificed a Base: his Defender in column " + Column(e.col) + " rises from " +
               std::to_string(e.power) + " to " + std::to_string(e.after) + (capped ? ", the most" : "") + " (" +
               std::to_string(e.count) + (e.count == 1 ? " Base" : " Bases") + " left).";
    }
    }
}

// One fight of a combat (its first column and those that joined it), or a
// run of attackers that nobody opposed.
std::string FightTold(std::vector<Event>::const_iterator first, std::vector<Event>::const_iterator last)
{
    const int attacker = first->side;
    std::string cols = Column(first->col);
    if (last - first > 1) {
        cols += "-" + Column((last - 1)->col);
    }
    std::vector<int> attack, defense, attackFell, defenseFell;
    int bases = 0;
    for (auto e = first; e != last; ++e) {
        if (e->power > 0) {
            attack.push_back(e->power);
            if (e->attackerFalls) {
                attackFell.push_back(e->power);
            }
        }
        if (e->defense > 0) {
            defense.push_back(e->defense);
            if (e->defenderFalls) {
                defenseFell.push_back(e->defense);
            }
        }
        bases += e->baseTaken ? 1 : 0;
    }
    const std::string own = Owner(attacker);
    const std::string other = Owner(Opponent(attacker));
    std::string told = cols + ": " + own + " " + Units(attack);
    if (defense.empty()) {
        const bool one = attack.size() == 1;
        told += bases == 0   ? (one ? " finds" : " find") + std::string(" no Base left")
                : bases == 1 ? (one ? " takes" : " take") + std::string(" a Base")
                             : " take " + std::to_string(bases) + " Bases";
        if (bases > 0 && bases < static_cast<int>(attack.size())) {
            told += ", " + std::to_string(attack.size() - static_cast<size_t>(bases)) + " find no Base left";
        }
        if (!attackFell.empty()) {
            told += one ? " and falls" : ", " + own + " " + Fell(attackFell);
        }
        return told;
    }
    std::vector<std::string> fell;
    if (!attackFell.empty()) {
        fell.push_back(own + " " + Units(attackFell));
    }
    if (!defenseFell.empty()) {
        fell.push_back(other + " " + Units(defenseFell));
    }
    const size_t fallen = attackFell.size() + defenseFell.size();
    return told + " vs " + other + " " + Units(defense) + ", " +
           (fallen == 0 ? std::string("nothing falls") : Joined(fell) + (fallen == 1 ? " falls" : " fall"));
}

// Breaks a text at spaces into lines no wider than kWidth, where it can.
std::vector<std::string> Wrapped(const std::string& text)
{
    std::vector<std::string> lines(1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(start, end - start);
        if (!lines.back().empty() && lines.back().size() + 1 + word.size() > kWidth) {
            lines.emplace_back();
        }
        lines.back() += (lines.back().empty() ? "" : " ") + word;
        start = end + 1;
    }
    return lines;
}

// Who fell in a combat too wide to tell fight by fight: their Powers, with
// the number of units of each ("4x3" is three units of Power 4).
std::string LostUnits(const std::vector<Event>& fights, bool attackers)
{
    PowerCounts fell{};
    int total = 0;
    for (const Event& e : fights) {
        if (attackers ? e.attackerFalls : e.defenderFalls) {
            ++fell[(attackers ? e.power : e.defense) - 1];
            ++total;
        }
    }
    std::string counted;
    for (int power = 1; power <= kMaxPower; ++power) {
        if (fell[power - 1] > 0) {
            counted += " " + std::to_string(power) + (fell[power - 1] > 1 ? "x" + std::to_string(fell[power - 1]) : "");
        }
    }
    const int side = attackers ? fights.front().side : Opponent(fights.front().side);
    return (side == giPlayerNum ? std::string("You") : std::string(OpponentName())) + " lost " + std::to_string(total) +
           (total == 1 ? " unit" : " units") + (counted.empty() ? "" : ":" + counted) + ".";
}

// A combat in at most three lines: fight by fight where that fits, else who
// fell on each side.
void TellCombat(const std::vector<Event>& fights, int basesLost)
{
    const int attacker = fights.front().side;
    const std::string name = OpponentName();
    const std::string opening = attacker == giPlayerNum ? "Your attack on " + name : name + "'s attack";
    // A fight is a column and the columns that joined it; attackers that
    // nobody opposed, side by side, are told together.
    auto fightAfter = [&](std::vector<Event>::const_iterator from) {
        return std::find_if(from + 1, fights.end(), [&](const Event& e) { return e.target != from->target; });
    };
    std::vector<std::string> told;
    for (auto first = fights.begin(); first != fights.end();) {
        auto last = fightAfter(first);
        while (first->defense == 0 && last != fights.end() && last->defense == 0) {
            last = fightAfter(last);
        }
        told.push_back(FightTold(first, last));
        first = last;
    }
    std::vector<std::string> lines = Wrapped(opening + ": " + Joined(told, "; ", "; ") + ".");
    if (lines.size() > kCombatLines) {
        const std::string loser = attacker == giPlayerNum ? name : "you";
        lines = {opening + ", " + std::to_string(fights.size()) + " columns: " + loser + " lost " +
                     std::to_string(basesLost) + (basesLost == 1 ? " Base." : " Bases."),
                 LostUnits(fights, true), LostUnits(fights, false)};
    }
    for (const std::string& line : lines) {
        gAccount += line + "\n";
    }
}

// Before every question: what was heard since the last one, in runs of one kind.
void TellHeard(const Question&)
{
    for (size_t i = 0; i < gHeard.size(); ++i) {
        for (size_t j = i + 1; j < gHeard.size(); ++j) {
            gHeard[i].col = Follow(gHeard[i].col, gHeard[j]);
            gHeard[i].target =
                gHeard[i].kind == EventKind::kFight ? gHeard[i].target : Follow(gHeard[i].target, gHeard[j]);
        }
    }
    gAccount.clear();
    for (auto first = gHeard.begin(); first != gHeard.end();) {
        auto last = std::find_if(first + 1, gHeard.end(), [&](const Event& e) {
            return e.kind != first->kind || e.side != first->side || e.kind == EventKind::kDice;
        });
        const std::vector<Event> run(first, last);
        if (first->kind == EventKind::kFight) {
            TellCombat(run, last != gHeard.end() && last->kind == EventKind::kCombatEnd ? last->count : 0);
        } else if (first->side == giAINum && first->kind >= EventKind::kDice && first->kind <= EventKind::kPoweredUp) {
            gAccount += Told(run) + "\n";
        }
        first = last;
    }
    gHeard.clear();
    gTell(gAccount);
}

void Hear(const Event& happened)
{
    if (happened.kind == EventKind::kGameStart) {
        gHeard.clear();
    }
    gHeard.push_back(happened);
}

// Why an answer was refused, and what the question would take.
void TellRefusal(const Refusal& refused)
{
    const char c = refused.typed.empty() ? '\0' : refused.typed[0];  // a NUL ends what was kept
    const std::string typed = Typed(c);
    std::string why;
    switch (refused.kind) {
    case RefusalKind::kEmpty: why = "an answer is needed"; break;
    case RefusalKind::kNotOffered: why = typed + " is not on offer"; break;
    case RefusalKind::kNotADigit: why = typed + " is not a Power"; break;
    case RefusalKind::kPowerOutOfRange: why = "there is no Power " + std::string(1, c) + " to name here"; break;
    case RefusalKind::kNoUnitOfPower: why = "you hold no unit of Power " + std::string(1, c) + " for this"; break;
    case RefusalKind::kNotCapital: why = typed + " is not a capital letter"; break;
    case RefusalKind::kNoUnitInColumn: why = "no unit of that row stands in column " + std::string(1, c); break;
    case RefusalKind::kWrongUnit:
        why = "the unit in column " + std::string(1, c) + " is not one you can name here";
        break;
    case RefusalKind::kFieldFull: why = "26 units of that kind stand on the field already"; break;
    default: return;  // a pause reads on until Return, and says nothing
    }
    std::vector<std::string> taken;
    for (const char t : CurrentQuestion().accepts) {
        taken.push_back(Key(t));
    }
    const std::string offer = taken.empty() ? "" : "; you can answer " + Joined(taken, " or ");
    gTell("Refused: " + why + offer + ".\n");
}

}  // namespace

Listener ExplainSeat(void (*tell)(std::string_view lines))
{
    gTell = tell;
    gHeard.clear();
    return Listener{TellHeard, TellRefusal, Hear};
}
