// SPDX-License-Identifier: MIT
// The web page's seat, and the web game's main: the page draws the board,
// offers the answers as buttons and reads out what happened from what this
// seat hands it, while the game's output stays exactly the Linux game's.
// Each question, refusal, event and board printed leaves as one small JSON
// text through one call into the page (web/page.js hands it to
// web/board.js), with the --explain account of it, which never enters the
// game's output. The board's values go with each board the game prints, so
// the page draws exactly the board the game shows.
#include <emscripten.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "qir.h"

namespace {

// NOLINTBEGIN: the page's JavaScript, which the compiler only carries.
EM_JS(void, PageHear, (const char* text, int length), { Module.qirPage.hear(UTF8ToString(text, length)); })
EM_JS(int, PageDraws, (), { return Module.qirPage.draws(); })
// NOLINTEND

Listener gExplain;     // the --explain seat, telling its lines to this one
std::string gAccount;  // what it told since the last message
std::string gMessage;  // the message being made, kept for the next

void Told(std::string_view lines)
{
    gAccount += lines;
}

// A JSON string of plain ASCII: every other byte (a typed key may be any) is
// escaped as the character of that code, so nothing arrives as markup or
// breaks the text.
void AddText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    gMessage += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            gMessage += '\\';
            gMessage += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            gMessage += "\\u00";
            gMessage += kHex[byte >> 4];
            gMessage += kHex[byte & 0xf];
        } else {
            gMessage += c;
        }
    }
    gMessage += '"';
}

void AddNumbers(std::initializer_list<int> numbers)
{
    gMessage += '[';
    for (const int n : numbers) {
        gMessage += std::to_string(n) + ',';
    }
    gMessage.back() = ']';
}

void AddCounts(const PowerCounts& counts)
{
    gMessage += '[';
    for (const int n : counts) {
        gMessage += std::to_string(n) + ',';
    }
    gMessage.back() = ']';
}

// The board as the records hold it: whose side is the player's, both sides'
// Bases and units by Power, and the paired rows column by column.
void AddBoard()
{
    const Board board = ReadBoard();
    gMessage += ",\"board\":{\"human\":" + std::to_string(giPlayerNum) + ",\"full\":" + std::to_string(giFullPower) +
                ",\"opponent\":";
    AddText(OpponentName());
    gMessage += ",\"attacker\":" + std::to_string(board.attacker) + ",\"sides\":[";
    for (const BoardSide& side : board.sides) {
        gMessage += "{\"bases\":" + std::to_string(side.bases) + ",\"def\":";
        AddCounts(side.defUnits);
        gMessage += ",\"att\":";
        AddCounts(side.attUnits);
        gMessage += ",\"res\":";
        AddCounts(side.reserves);
        gMessage += "},";
    }
    gMessage.back() = ']';
    gMessage += ",\"columns\":[";
    for (const BoardColumn& column : board.columns) {
        AddNumbers(
            {column.attack, column.attackTarget, column.defense, column.defenseTarget, column.unopposed ? 1 : 0});
        gMessage += ',';
    }
    if (!board.columns.empty()) {
        gMessage.pop_back();
    }
    gMessage += "]}";
}

// Sends the message made, with the account told meanwhile. What the game
// printed before it reaches the page first, so the page can set the account
// and the question after the lines they follow.
void Send()
{
    gMessage += ",\"account\":";
    AddText(gAccount);
    gMessage += '}';
    gAccount.clear();
    FlushOutput();
    PageHear(gMessage.data(), static_cast<int>(gMessage.size()));
}

void HearQuestion(const Question& asked)
{
    gExplain.question(asked);
    gMessage.assign("{\"question\":{\"kind\":" + std::to_string(static_cast<int>(asked.kind)) + ",\"text\":");
    AddText(asked.text);
    gMessage += ",\"accepts\":";
    AddText(asked.accepts);
    gMessage += '}';
    Send();
}

void HearRefusal(const Refusal& refused)
{
    gExplain.refusal(refused);
    gMessage.assign("{\"refusal\":{\"kind\":" + std::to_string(static_cast<int>(refused.kind)) + ",\"typed\":");
    AddText(refused.typed);
    gMessage += '}';
    Send();
}

// Events travel as one array each, in the order of Event's fields.
void HearEvent(const Event& happened)
{
    gExplain.event(happened);
    gMessage.assign("{\"event\":");
    AddNumbers({static_cast<int>(happened.kind), happened.side, happened.power, happened.defense, happened.after,
                happened.reserve, happened.col, happened.target, happened.from, happened.count,
                static_cast<int>(happened.place), happened.attackerFalls ? 1 : 0, happened.defenderFalls ? 1 : 0,
                happened.baseTaken ? 1 : 0});
    gMessage += ",\"account\":\"\"}";  // --explain tells of events at the next question
    PageHear(gMessage.data(), static_cast<int>(gMessage.size()));
}

// A board is printed next: the page draws this one, ahead of its text.
void HearBoard()
{
    gMessage.assign("{\"shown\":true");
    AddBoard();
    Send();
}

}  // namespace

// The classic view, a terminal, hears nothing: the seat's flushes would
// change how the screen lays out what it shows.
Listener PageSeat()
{
    if (PageDraws() == 0) {
        return {};
    }
    gExplain = ExplainSeat(Told);
    gAccount.clear();
    return Listener{HearQuestion, HearRefusal, HearEvent, HearBoard};
}

// The game in the page: qir, with the page's seat listening.
int main(int argc, char* argv[])
{
    OsExit(PlayQir(argc, argv, PageSeat()));
}
