// SPDX-License-Identifier: MIT
// What a listener hears: whole seeded games played in this process, with
// junk among the answers. At every read, what the question accepts agrees
// with how the game answers it, and a refusal is heard for exactly the reads
// it does not accept; the events alone rebuild every board the game prints
// and the board the records hold, and the records hold each printed board as
// it is about to be printed. --explain, telling a seat of its own, prints
// nothing. Then each kind of refusal, as --explain tells it.
#include <algorithm>
#include <functional>
#include <random>

#include "support.h"

namespace {

// A seeded player that answers from what the question accepts, or with junk,
// and what it heard, with how much output stood written at each read and event.
struct Play {
    std::mt19937 random;
    std::string settings;  // its answers to the player order, the maximum Power and the opponent
    std::string line;      // the rest of the line being typed
    std::vector<std::pair<long, Question>> asked;
    std::vector<std::string> given;
    std::vector<bool> refused;
    std::vector<std::pair<long, Event>> events;
    Board live;                  // the board as the events have it so far
    std::vector<size_t> unlike;  // the reads where it is not the board the records hold
    std::vector<Board> shown;    // the records as each board was about to be printed
    Listener explain;            // --explain, telling `told` instead of printing
    std::string told;
};
Play* gPlay = nullptr;

long Written()
{
    return static_cast<long>(ScriptedOutputSize());
}

// Every target from column `from` on moves `by` columns.
void Shift(Board& board, int from, int by)
{
    for (BoardColumn& c : board.columns) {
        c.attackTarget += c.attackTarget >= from ? by : 0;
        c.defenseTarget += c.defenseTarget >= from ? by : 0;
    }
}

// Whatever a listener is told changes the board this way, and only this way.
void Apply(Board& board, const Event& e)
{
    BoardSide& own = board.sides[e.side];
    const int p = std::max(e.power, 1) - 1;
    auto& cols = board.columns;
    auto join = [&](bool attacking) {
        board.attacker = attacking ? e.side : 1 - e.side;
        if (e.col == e.target && e.col < static_cast<int>(cols.size())) {
            (attacking ? cols[e.col].attack : cols[e.col].defense) = e.power;  // its own column's empty slot
            return;
        }
        Shift(board, e.col, 1);
        cols.insert(cols.begin() + e.col, attacking ? BoardColumn{e.power, e.target, 0, e.col, false}
                                                    : BoardColumn{0, e.col, e.power, e.target, false});
    };
    switch (e.kind) {
    case EventKind::kGameStart:
        board = Board{};
        for (BoardSide& side : board.sides) {
            side.bases = side.reserves[0] = side.reserves[1] = 1;
        }
        break;
    case EventKind::kDice:
        for (int i = 0; i < kMaxPower; ++i) {
            own.reserves[i] += e.dice[i];
        }
        break;
    case EventKind::kPlaced:
        own.reserves[p] -= e.count;
        (e.place == Place::kBase       ? own.bases
         : e.place == Place::kDefender ? own.defUnits[p]
                                       : own.attUnits[p]) += e.count;
        break;
    case EventKind::kCommitted: --own.attUnits[p], join(true); break;
    case EventKind::kAdvanced: --own.defUnits[p], join(true); break;
    case EventKind::kDefended: --own.defUnits[p], join(false); break;
    case EventKind::kRefocused: {
        BoardColumn moved = cols[e.from];
        cols.erase(cols.begin() + e.from);
        Shift(board, e.from + 1, -1);
        Shift(board, e.col, 1);
        moved.attackTarget = e.target;
        moved.defenseTarget = e.col;
        cols.insert(cols.begin() + e.col, moved);
        break;
    }
    case EventKind::kReinforced:
    case EventKind::kPoweredUp:
        (board.attacker == e.side ? cols[e.col].attack : cols[e.col].defense) = e.after;
        e.kind == EventKind::kReinforced ? --own.reserves[e.reserve - 1] : own.bases = e.count;
        break;
    case EventKind::kFight:
        own.attUnits[p] += e.power > 0 && !e.attackerFalls ? 1 : 0;
        board.sides[1 - e.side].defUnits[std::max(e.after, 1) - 1] += e.defense > 0 && !e.defenderFalls ? 1 : 0;
        break;
    case EventKind::kCombatEnd:
        board.sides[1 - e.side].bases -= e.count;
        cols.clear();
        board.attacker = -1;
        break;
    default: break;
    }
    for (int k = 0; k < static_cast<int>(cols.size()); ++k) {
        BoardColumn& c = cols[k];
        c.unopposed = c.attack > 0 && c.defense == 0 && c.attackTarget == k && c.defenseTarget == k;
    }
}

// The board as the game prints it from these values.
std::string Printed(const Board& board, int human)
{
    auto units = [](const PowerCounts& counts) {
        std::string text = " ";
        for (int power = 1; power <= kMaxPower; ++power) {
            for (int n = 0; n < counts[power - 1]; ++n) {
                text += std::to_string(power) + " ";
            }
        }
        return text;
    };
    auto paired = [&](int side, bool defending) {
        const auto& cols = board.columns;
        const bool shown = !cols.empty() && (board.attacker == side) != defending;
        std::string text = shown ? "|" : " ";
        for (size_t k = 0; shown && k < cols.size(); ++k) {
            const int power = defending ? cols[k].defense : cols[k].attack;
            text += power > 0 ? static_cast<char>('0' + power) : defending && cols[k].unopposed ? '!' : ' ';
            const bool opens = k + 1 == cols.size() || (cols[k + 1].attackTarget == static_cast<int>(k + 1) &&
                                                        cols[k + 1].defenseTarget == static_cast<int>(k + 1));
            text += opens ? '|' : ' ';
        }
        return text + "\n";
    };
    auto frame = [&](int side) {
        const char* name = side == human ? "-YOU--" : gDiffLevel == 'd' ? "DRAVIK" : "QUELBY";
        return "          |----------------------" + std::string(name) + "-----------------------|\n";
    };
    const std::string ids = "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n";
    const BoardSide& p1 = board.sides[0];
    const BoardSide& p2 = board.sides[1];
    std::string text =
        frame(0) + ids + "Bases     " + units(PowerCounts{p1.bases}) + "\nDef Units " + units(p1.defUnits) +
        "\nAtt Units " + units(p1.attUnits) + "\nDefending " + paired(0, true) + "Attacking " + paired(0, false) +
        "          |---------------------------------------------------|\nAttacking " + paired(1, false) +
        "Defending " + paired(1, true) + "Att Units " + units(p2.attUnits) + "\nDef Units " + units(p2.defUnits) +
        "\nBases     " + units(PowerCounts{p2.bases}) + "\n" + ids + frame(1) + "\n";
    std::string reserves;
    int count = 0;
    for (int power = 1; power <= giFullPower; ++power) {
        count += board.sides[human].reserves[power - 1];
        reserves +=
            "Power " + std::to_string(power) + ": " + std::to_string(board.sides[human].reserves[power - 1]) + "\n";
    }
    return text + "You have " + std::to_string(count) + " units in your Reserves:\n" + reserves;
}

// The player's next line: more often an answer the question accepts than
// junk; the settings the seed chose; after a while only passes, so that the
// computer wins.
std::string NextLine(Play& play, const Question& q)
{
    static const char* const kJunk[] = {"",  "Y", "x", "0", "99", "yes please", "\r", "\t",  "Z",
                                        "A", "[", "z", "!", "p",  "f",          "9",  "\xe9"};
    if (q.kind == QuestionKind::kSetup) {
        const size_t which = q.accepts == "12" ? 0 : q.accepts == "dq" ? 2 : 1;
        return std::string(1, play.random() % 4 == 0 ? 'x' : play.settings[which]);
    }
    const bool passes = play.given.size() > 1500;
    if (!passes && (play.random() % 4 == 0 || q.accepts.empty())) {
        return kJunk[play.random() % std::size(kJunk)];
    }
    for (const char c : std::string_view(passes ? "\npfn" : play.random() % 2 == 0 ? "ybdra" : "")) {
        if (q.accepts.find(c) != std::string::npos) {
            return c == '\n' ? "" : std::string(1, c);
        }
    }
    const char c = q.accepts[play.random() % q.accepts.size()];
    return c == '\n' || c == '\r' ? "" : std::string(1, c);
}

// A read: at most `most` characters of the line being typed. The board the
// events built must be the records' (but while a committed Power's Unit ID
// is asked for, which no event has told yet).
Replayed Give(char* buf, size_t most)
{
    Play& play = *gPlay;
    if (play.line.empty()) {
        play.line = NextLine(play, CurrentQuestion()) + "\n";
    }
    const size_t n = std::min({most, play.line.size(), play.line.find('\n') + 1});
    std::copy_n(play.line.begin(), n, buf);
    buf[n] = '\0';
    play.asked.emplace_back(Written(), CurrentQuestion());
    play.given.push_back(play.line.substr(0, n));
    play.refused.push_back(false);
    play.line.erase(0, n);
    if (!play.events.empty() && CurrentQuestion().kind != QuestionKind::kUnitId && play.live != ReadBoard()) {
        play.unlike.push_back(play.given.size());  // gtest's report would land in the game's output
    }
    return Replayed::kGiven;
}

// How the game answered a read, from what it printed up to the next one: a
// retry text, the same prompt again, or a pause that reads on.
bool RefusedByGame(const Question& q, const std::string& reaction, const Question* next)
{
    if (q.kind == QuestionKind::kPause) {
        return reaction.empty() && next != nullptr && next->text == q.text;
    }
    for (const char* retry : {"You did not type", "Sorry, you did not type", "You have no units of that Power",
                              "That is not a valid", "You already have too many units"}) {
        if (reaction.starts_with(retry)) {
            return true;
        }
    }
    return q.kind == QuestionKind::kPower && reaction.starts_with(q.text);
}

TEST(Listener, HearsWhatEveryReadAcceptsAndEveryChangeOfTheBoard)
{
    size_t reads = 0;
    size_t boards = 0;
    for (std::uint32_t seed = 1; seed <= 300 && !::testing::Test::HasFailure(); ++seed) {
        Play play;
        play.random.seed(seed);
        play.settings = {"12"[seed % 2], static_cast<char>('2' + seed % 8), "dq"[seed / 2 % 2]};
        gPlay = &play;
        AnswerSource source;
        source.replayAnswer = [](char* buf) { return Give(buf, 2); };
        source.replayKey = [](int& c) {
            char key[2];
            const Replayed given = Give(key, 1);
            c = static_cast<unsigned char>(key[0]);
            return given;
        };
        play.explain = ExplainSeat([](std::string_view lines) { gPlay->told += lines; });
        const Listener listener{[](const Question& q) { gPlay->explain.question(q); },
                                [](const Refusal& r) {
                                    gPlay->refused.back() = true;
                                    gPlay->explain.refusal(r);
                                },
                                [](const Event& e) {
                                    gPlay->events.emplace_back(Written(), e);
                                    Apply(gPlay->live, e);
                                    gPlay->explain.event(e);
                                },
                                [] { gPlay->shown.push_back(ReadBoard()); }};
        const std::string out = RunWithInput(
            "",
            [&] {
                SetScreenOptions(false, false);  // the output is a file now
                SetAnswerSource(source);
                SetListener(listener);
                PlayOneGame();
            },
            seed);
        SetListener({});
        SetAnswerSource({});
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_EQ(play.unlike, std::vector<size_t>{}) << "reads where the events' board is not the records'";

        for (size_t i = 0; i < play.asked.size(); ++i) {
            const auto& [at, q] = play.asked[i];
            const bool last = i + 1 == play.asked.size();
            const auto end = static_cast<size_t>(last ? static_cast<long>(out.size()) : play.asked[i + 1].first);
            const bool accepted = q.accepts.find(play.given[i][0]) != std::string::npos;
            EXPECT_NE(accepted, RefusedByGame(q, out.substr(at, end - at), last ? nullptr : &play.asked[i + 1].second))
                << "read " << i << " of \"" << q.text << "\" typed \"" << play.given[i] << "\", accepts \"" << q.accepts
                << "\"; the game went on with: " << out.substr(at, 80);
            EXPECT_EQ(play.refused[i], !accepted) << "read " << i << " of \"" << q.text << "\"";
        }
        Board board;
        auto e = play.events.begin();
        auto shown = play.shown.begin();
        const int human = play.events.front().second.side;
        for (size_t at = out.find(kClear); at != std::string::npos; at = out.find(kClear, at + 1), ++boards) {
            for (; e != play.events.end() && e->first <= static_cast<long>(at); ++e) {
                Apply(board, e->second);
            }
            const std::string printed = Printed(board, human);
            EXPECT_EQ(out.substr(at + kClear.size(), printed.size()), printed) << "the board at " << at;
            ASSERT_NE(shown, play.shown.end()) << "a board printed unheard at " << at;
            EXPECT_EQ(Printed(*shown++, human), printed) << "the records as the board at " << at << " was printed";
        }
        EXPECT_EQ(shown, play.shown.end()) << "a board heard and never printed";
        const auto refusals = std::count(play.refused.begin(), play.refused.end(), true);
        const auto pauses = std::count_if(play.asked.begin(), play.asked.end(), [&](const auto& a) {
            return a.second.kind == QuestionKind::kPause && play.refused[&a - play.asked.data()];
        });
        EXPECT_EQ(out.find("Refused: "), std::string::npos) << "--explain printed, telling a seat of its own";
        size_t told = 0;
        for (size_t at = play.told.find("Refused: "); at != std::string::npos;
             at = play.told.find("Refused: ", at + 1)) {
            ++told;
        }
        EXPECT_EQ(static_cast<long>(told), refusals - pauses) << "refusals told to the seat";
        reads += play.asked.size();
    }
    std::printf("%zu reads and %zu boards checked\n", reads, boards);
}

std::vector<RefusalKind> gRefusals;
Listener gSeat;

// Each kind of refusal, made by the game's own questions: heard once, told by
// --explain below the refused answer with what the question takes, and then
// an answer taken.
class Refusals : public GameTest {};

TEST_F(Refusals, EachKindIsHeardAndTold)
{
    auto yesNo = [] { AskYesNo("Ready? y or n: "); };
    auto reserve = [this] { AskReservePower(Human().iRes); };
    auto defend = [this] {
        Fight(1, 0, {3, 2}, {});
        SetCounts(Human().iDef, Human().iDefNum, {0, 1});
        PlyrAssignDef();
    };
    const struct {
        RefusalKind kind;
        const char* typed;
        std::function<void()> step;
        const char* told;  // nothing for a pause, which reads on without a word
    } cases[] = {
        {RefusalKind::kEmpty, "\ny\n", yesNo, "an answer is needed; you can answer n or y"},
        {RefusalKind::kNotOffered, "x\nn\n", yesNo, "\"x\" is not on offer; you can answer n or y"},
        {RefusalKind::kNotADigit, "x\n1\n", reserve, "\"x\" is not a Power; you can answer 1 or 2"},
        {RefusalKind::kPowerOutOfRange, "7\n1\n", reserve, "there is no Power 7 to name here; you can answer 1 or 2"},
        {RefusalKind::kNoUnitOfPower, "3\n1\n", reserve, "you hold no unit of Power 3 for this; you can answer 1 or 2"},
        {RefusalKind::kNotCapital, "d\n2\na\nA\n\n", defend, "\"a\" is not a capital letter; you can answer A or B"},
        {RefusalKind::kNoUnitInColumn, "d\n2\nC\nA\n\n", defend,
         "no unit of that row stands in column C; you can answer A or B"},
        {RefusalKind::kWrongUnit, "r\nA\nC\nA\nf\n",
         [this] {
             Fight(0, 0, {2, 3, 4}, {{0, 5}});  // the attacker in A is defended
             PlyrAttFocus();
         },
         "the unit in column A is not one you can name here; you can answer B or C"},
        {RefusalKind::kFieldFull, "y\n2\na\nn\n",
         [this] {
             SetCounts(Human().iAtt, Human().iAttNum, {26});
             PlyrPlacement();
         },
         "26 units of that kind stand on the field already; you can answer d"},
        {RefusalKind::kNotReturn, "x\n", [] { Pause("Press Return: "); }, nullptr},
    };
    gSeat = ExplainSeat();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        FreeAllRows();  // a fight of the case before
        NewGame(0, 4, 'd');
        gRefusals.clear();
        const std::string out = RunWithInput(c.typed, [&] {
            SetScreenOptions(false, false);
            SetListener(Listener{gSeat.question,
                                 [](const Refusal& r) {
                                     gRefusals.push_back(r.kind);
                                     gSeat.refusal(r);
                                 },
                                 gSeat.event});
            c.step();
        });
        SetListener({});
        EXPECT_EQ(gRefusals, std::vector<RefusalKind>{c.kind});
        EXPECT_EQ(out.find("Refused: "), out.rfind("Refused: ")) << out;  // one refusal, told once
        EXPECT_TRUE(c.told == nullptr ? out == "Press Return: "
                                      : out.find("\nRefused: " + std::string(c.told) + ".\n") != std::string::npos)
            << out;
    }
}

}  // namespace
