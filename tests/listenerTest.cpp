// SPDX-License-Identifier: MIT
// What a listener hears: whole seeded games played in this process, with
// junk among the answers. At every read, what the question accepts agrees
// with how the game answers it, and a refusal is heard for exactly the reads
// it does not accept; the events alone rebuild every board the game prints
// and the board the records hold. Then each kind of refusal, as --explain
// tells it.
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "support.h"

namespace {

// A seeded player that answers from what the question accepts, or with junk.
struct Play {
    std::mt19937 random;
    char order = '1';
    char power = '2';
    char level = 'd';
    long reads = 0;
    std::string line;  // the rest of the line being typed
    // What was heard, with how much output stood written at each read and event.
    std::vector<std::pair<long, Question>> asked;
    std::vector<std::string> given;
    std::vector<bool> refused;
    std::vector<std::pair<long, Event>> events;
    Board live;                // the board as the events have it so far
    std::vector<long> unlike;  // the reads where it is not the board the records hold
    int human = 0;
};
Play* gPlay = nullptr;

long Written()
{
    FlushOutput();
    return lseek(1, 0, SEEK_CUR);
}

// Whatever a listener is told changes the board this way, and only this way.
void Apply(Board& board, const Event& e)
{
    BoardSide& own = board.sides[static_cast<size_t>(e.side)];
    const auto p = static_cast<size_t>(std::max(e.power, 1) - 1);
    auto join = [&](bool attacking) {
        board.attacker = attacking ? e.side : 1 - e.side;
        auto& cols = board.columns;
        if (e.col == e.target && static_cast<size_t>(e.col) < cols.size()) {
            (attacking ? cols[static_cast<size_t>(e.col)].attack : cols[static_cast<size_t>(e.col)].defense) = e.power;
            return;
        }
        for (BoardColumn& c : cols) {
            c.attackTarget += c.attackTarget >= e.col ? 1 : 0;
            c.defenseTarget += c.defenseTarget >= e.col ? 1 : 0;
        }
        const BoardColumn joined = attacking ? BoardColumn{e.power, e.target, 0, e.col, false}
                                             : BoardColumn{0, e.col, e.power, e.target, false};
        cols.insert(cols.begin() + e.col, joined);
    };
    switch (e.kind) {
    case EventKind::kGameStart:
        board = Board{};
        for (BoardSide& side : board.sides) {
            side.bases = 1;
            side.reserves[0] = side.reserves[1] = 1;
        }
        break;
    case EventKind::kDice:
        for (size_t i = 0; i < e.dice.size(); ++i) {
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
        auto& cols = board.columns;
        BoardColumn moved = cols[static_cast<size_t>(e.from)];
        cols.erase(cols.begin() + e.from);
        for (BoardColumn& c : cols) {
            c.attackTarget -= c.attackTarget > e.from ? 1 : 0;
            c.defenseTarget -= c.defenseTarget > e.from ? 1 : 0;
            c.attackTarget += c.attackTarget >= e.col ? 1 : 0;
            c.defenseTarget += c.defenseTarget >= e.col ? 1 : 0;
        }
        moved.attackTarget = e.target;
        moved.defenseTarget = e.col;
        cols.insert(cols.begin() + e.col, moved);
        break;
    }
    case EventKind::kReinforced:
    case EventKind::kPoweredUp: {
        BoardColumn& c = board.columns[static_cast<size_t>(e.col)];
        (board.attacker == e.side ? c.attack : c.defense) = e.after;
        if (e.kind == EventKind::kReinforced) {
            --own.reserves[static_cast<size_t>(e.reserve - 1)];
        } else {
            own.bases = e.count;
        }
        break;
    }
    case EventKind::kFight:
        if (e.power > 0 && !e.attackerFalls) {
            ++own.attUnits[p];
        }
        if (e.defense > 0 && !e.defenderFalls) {
            ++board.sides[static_cast<size_t>(1 - e.side)].defUnits[static_cast<size_t>(e.after - 1)];
        }
        break;
    case EventKind::kCombatEnd:
        board.sides[static_cast<size_t>(1 - e.side)].bases -= e.count;
        board.columns.clear();
        board.attacker = -1;
        break;
    default: break;
    }
    for (size_t k = 0; k < board.columns.size(); ++k) {
        BoardColumn& c = board.columns[k];
        const auto col = static_cast<int>(k);
        c.unopposed = c.attack > 0 && c.defense == 0 && c.attackTarget == col && c.defenseTarget == col;
    }
}

// The rows of a board as the game prints them, from Player 1's Bases down to
// Player 2's, and the human's Reserves.
std::vector<std::string> Printed(const Board& board, int human, int fullPower)
{
    auto units = [](const PowerCounts& counts) {
        std::string text = " ";
        for (int power = 1; power <= kMaxPower; ++power) {
            for (int n = 0; n < counts[static_cast<size_t>(power - 1)]; ++n) {
                text += std::to_string(power) + " ";
            }
        }
        return text;
    };
    auto paired = [&](int side, bool defending) {
        const auto& cols = board.columns;
        if (cols.empty() || (board.attacker == side) == defending) {
            return std::string(" ");
        }
        std::string text = "|";
        for (size_t k = 0; k < cols.size(); ++k) {
            const int power = defending ? cols[k].defense : cols[k].attack;
            text += power > 0 ? static_cast<char>('0' + power) : defending && cols[k].unopposed ? '!' : ' ';
            const bool opens = k + 1 == cols.size() || (cols[k + 1].attackTarget == static_cast<int>(k + 1) &&
                                                        cols[k + 1].defenseTarget == static_cast<int>(k + 1));
            text += opens ? '|' : ' ';
        }
        return text;
    };
    std::vector<std::string> rows[2];
    for (int side = 0; side < 2; ++side) {
        const BoardSide& s = board.sides[static_cast<size_t>(side)];
        rows[side] = {"Bases     " + units(PowerCounts{s.bases}), "Def Units " + units(s.defUnits),
                      "Att Units " + units(s.attUnits), "Defending " + paired(side, true),
                      "Attacking " + paired(side, false)};
    }
    std::vector<std::string> lines = rows[0];
    lines.insert(lines.end(), rows[1].rbegin(), rows[1].rend());
    const BoardSide& own = board.sides[static_cast<size_t>(human)];
    int reserves = 0;
    for (int power = 1; power <= fullPower; ++power) {
        reserves += own.reserves[static_cast<size_t>(power - 1)];
        lines.push_back("Power " + std::to_string(power) + ": " +
                        std::to_string(own.reserves[static_cast<size_t>(power - 1)]));
    }
    lines.push_back("You have " + std::to_string(reserves) + " units in your Reserves:");
    return lines;
}

// The same rows read from a board the game printed at `at`.
std::vector<std::string> PrintedAt(const std::string& out, size_t at, int fullPower)
{
    std::vector<std::string> all;
    for (size_t start = at + kClear.size(), end; all.size() < 17 + static_cast<size_t>(fullPower); start = end + 1) {
        end = out.find('\n', start);
        if (end == std::string::npos) {
            return {};
        }
        all.push_back(out.substr(start, end - start));
    }
    std::vector<std::string> lines(all.begin() + 2, all.begin() + 7);
    lines.insert(lines.end(), all.begin() + 8, all.begin() + 13);
    lines.insert(lines.end(), all.begin() + 17, all.end());
    lines.push_back(all[16]);
    return lines;
}

// The player's next line: an answer the question accepts, more often than
// junk; a setting of the game as the seed chose it.
std::string NextLine(Play& play, const Question& q)
{
    static const char* const kJunk[] = {"",  "Y", "x", "0", "99", "yes please", "\r", "\t",  "Z",
                                        "A", "[", "z", "!", "p",  "f",          "9",  "\xe9"};
    if (q.kind == QuestionKind::kSetup) {
        const char setting = q.accepts == "12" ? play.order : q.accepts == "dq" ? play.level : play.power;
        return std::string(1, play.random() % 4 == 0 ? 'x' : setting);
    }
    // The player mostly goes on with the game, and after a while only
    // passes, so that the computer wins.
    const bool passes = play.reads > 1500;
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

// At every read of a game that has started: the live board agrees with the
// records (but while a Power is committed and its Unit ID asked for, which no
// event has told yet).
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
    ++play.reads;
    if (!play.events.empty() && CurrentQuestion().kind != QuestionKind::kUnitId && play.live != ReadBoard()) {
        play.unlike.push_back(play.reads);  // gtest's report would land in the game's output
    }
    return Replayed::kGiven;
}

// How the game answered a read, from what it printed up to the next one.
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
    long reads = 0;
    long boards = 0;
    std::array<int, 23> heard{};  // refusals by kind, then events by kind
    int failures = 0;
    for (std::uint32_t seed = 1; seed <= 300 && failures == 0; ++seed) {
        Play play;
        play.random.seed(seed);
        play.order = "12"[seed % 2];
        play.power = static_cast<char>('2' + seed % 8);
        play.level = "dq"[seed / 2 % 2];
        gPlay = &play;
        gTestClock = static_cast<std::time_t>(seed);
        AnswerSource source;
        source.replayAnswer = [](char* buf) { return Give(buf, 2); };
        source.replayKey = [](int& c) {
            char key[2];
            const Replayed given = Give(key, 1);
            c = static_cast<unsigned char>(key[0]);
            return given;
        };
        static std::array<int, 23>* refusals = nullptr;
        refusals = &heard;
        const Listener listener{nullptr,
                                [](const Refusal& r) {
                                    gPlay->refused.back() = true;
                                    ++(*refusals)[static_cast<size_t>(r.kind)];
                                },
                                [](const Event& e) {
                                    ++(*refusals)[static_cast<size_t>(e.kind) + 11];
                                    gPlay->events.emplace_back(Written(), e);
                                    Apply(gPlay->live, e);
                                    gPlay->human = e.kind == EventKind::kGameStart ? e.side : gPlay->human;
                                }};
        const std::string out = RunWithInput("", [&] {
            SetScreenOptions(false, false);  // the output is a file now
            SetAnswerSource(source);
            SetListener(listener);
            PlayOneGame();
        });
        SetListener({});
        SetAnswerSource({});
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_EQ(play.unlike, std::vector<long>{}) << "reads where the events' board is not the records'";

        for (size_t i = 0; i < play.asked.size(); ++i) {
            const auto& [at, q] = play.asked[i];
            const size_t end = i + 1 < play.asked.size() ? static_cast<size_t>(play.asked[i + 1].first) : out.size();
            const bool accepted = !play.given[i].empty() && q.accepts.find(play.given[i][0]) != std::string::npos;
            const bool refused = RefusedByGame(q, out.substr(static_cast<size_t>(at), end - static_cast<size_t>(at)),
                                               i + 1 < play.asked.size() ? &play.asked[i + 1].second : nullptr);
            EXPECT_NE(accepted, refused) << "read " << i << " of \"" << q.text << "\": typed \"" << play.given[i]
                                         << "\", accepts \"" << q.accepts
                                         << "\"; reaction: " << out.substr(static_cast<size_t>(at), 80) << " at " << at
                                         << " of " << out.size();
            EXPECT_EQ(play.refused[i], !accepted) << "read " << i << " of \"" << q.text << "\"";
        }
        Board board;
        auto e = play.events.begin();
        for (size_t at = out.find(kClear); at != std::string::npos; at = out.find(kClear, at + 1)) {
            for (; e != play.events.end() && static_cast<size_t>(e->first) <= at; ++e) {
                Apply(board, e->second);
            }
            EXPECT_EQ(Printed(board, play.human, giFullPower), PrintedAt(out, at, giFullPower)) << "board at " << at;
            ++boards;
        }
        reads += play.reads;
        failures += ::testing::Test::HasFailure() ? 1 : 0;
    }
    std::printf("%ld reads and %ld boards checked\n", reads, boards);
    for (const int n : heard) {
        std::printf("%d ", n);
    }
    std::printf("\n");
}

std::vector<RefusalKind> gRefusals;
Listener gSeat;

// Each kind of refusal, made by the game's own questions: heard once, told by
// --explain below the refused answer with what the question takes, and then
// an answer taken.
class Refusals : public GameTest {};

TEST_F(Refusals, EachKindIsHeardAndTold)
{
    struct Case {
        RefusalKind kind;
        const char* typed;
        std::function<void()> step;
        const char* told;  // nothing for a pause, which reads on without a word
    };
    auto yesNo = [] { AskYesNo("Ready? y or n: "); };
    auto reserve = [this] { AskReservePower(Human().iRes); };
    auto defend = [this] {
        Fight(1, 0, {3, 2}, {});
        SetCounts(Human().iDef, Human().iDefNum, {0, 1});
        PlyrAssignDef();
    };
    const Case cases[] = {
        {RefusalKind::kEmpty, "\ny\n", yesNo, "Refused: an answer is needed; you can answer n or y.\n"},
        {RefusalKind::kNotOffered, "x\nn\n", yesNo, "Refused: \"x\" is not on offer; you can answer n or y.\n"},
        {RefusalKind::kNotADigit, "x\n1\n", reserve, "Refused: \"x\" is not a Power; you can answer 1 or 2.\n"},
        {RefusalKind::kPowerOutOfRange, "7\n1\n", reserve,
         "Refused: there is no Power 7 to name here; you can answer 1 or 2.\n"},
        {RefusalKind::kNoUnitOfPower, "3\n1\n", reserve,
         "Refused: you hold no unit of Power 3 for this; you can answer 1 or 2.\n"},
        {RefusalKind::kNotCapital, "d\n2\na\nA\n\n", defend,
         "Refused: \"a\" is not a capital letter; you can answer A or B.\n"},
        {RefusalKind::kNoUnitInColumn, "d\n2\nC\nA\n\n", defend,
         "Refused: no unit of that row stands in column C; you can answer A or B.\n"},
        {RefusalKind::kWrongUnit, "r\nA\nC\nA\nf\n",
         [this] {
             Fight(0, 0, {2, 3, 4}, {{0, 5}});
             PlyrAttFocus();
         },
         "Refused: the unit in column A is not one you can name here; you can answer B or C.\n"},
        {RefusalKind::kFieldFull, "y\n2\na\nn\n",
         [this] {
             SetCounts(Human().iAtt, Human().iAttNum, {26});
             PlyrPlacement();
         },
         "Refused: 26 units of that kind stand on the field already; you can answer d.\n"},
        {RefusalKind::kNotReturn, "x\n", [] { Pause("Press Return: "); }, nullptr},
    };
    gSeat = ExplainSeat();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
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
        EXPECT_EQ(out.find("Refused: "), out.rfind("Refused: ")) << out;
        if (c.told != nullptr) {
            EXPECT_NE(out.find(c.told), std::string::npos) << out;
        } else {
            EXPECT_EQ(out, "Press Return: ");
        }
    }
}

}  // namespace
