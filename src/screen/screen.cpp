// SPDX-License-Identifier: MIT
// The screen the game's output lands on. A terminal too short for the full
// board and its dialogue gets the compact board, and before every read the
// board is drawn again whenever what came since would push it off the top:
// the board and the question are always in view together. A screen starts
// on a cleared terminal; on a dumb terminal, and with --no-clear, the old
// screens stay and an empty line separates them. What the game prints waits
// here until the dialogue has it written, before each read, so a pipe sees
// each question whole before the game waits for its answer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qir.h"

namespace {

constexpr size_t kNone = std::string::npos;
constexpr int kDialogueRows = 14;    // what the full layout needs below its board
constexpr int kLowestFullPower = 2;  // what a game's layout is chosen for before its maximum Power is known
constexpr int kDefaultRows = 24;     // what --compact lays out for when the size is not known
constexpr int kDefaultColumns = 80;
constexpr long kLargestSize = 10000;           // a larger COLUMNS or LINES is no real screen
constexpr std::string_view kSeparator = "\n";  // the line between two screens that are not cleared
// Where the screen's model breaks a line for the width: written as a newline,
// but a redraw starts below the game's own line ends where it can.
constexpr char kSoftBreak = '\v';
constexpr const char* kRowEnds = "\n\v";
// What a resumed game keeps of the dialogue it replays below its last board:
// more than a screen of a thousand rows of a thousand columns shows.
constexpr size_t kLargestHeld = 1 << 20;

bool gCompactAsked = false;  // --compact
bool gEcho = false;          // the answers are typed on a terminal, which shows them as they are typed
bool gTerminal = false;      // the output goes to a terminal, whose size is read before every board
bool gCompact = false;       // the compact layout is in use
bool gSeparate = false;      // a new screen is separated from the old one, not cleared
int gRows = kDefaultRows;
int gColumns = kDefaultColumns;
bool gAtLineStart = true;  // the screen's cursor stands at the start of a row

std::string gPending;   // printed since the last write, laid out as it will be written
OsStatus gOutputError;  // why the output cannot be written, once known
bool gHeld = false;     // a resumed game is being replayed: show nothing yet
size_t gHeldFrom = 0;   // where the dialogue below the last board starts in gPending

// In the compact layout, what the screen shows: the board, and what came
// below it since, the echo of typed answers included.
std::string gBoard;      // empty while no board is in view
std::string gDialogue;   // everything below the board, or the current row while none is in view
size_t gUnflushed = 0;   // where the part of gDialogue not yet written starts: the output ends with it
size_t gEchoAt = kNone;  // where more of the line being read would have been echoed, while it is still in view
bool gLineOpen = false;  // the last typed read did not reach the end of its line

// A size from the environment, or `fallback` when it is unset or no size.
int SizeFromEnvironment(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && value > 0 && value <= kLargestSize ? static_cast<int>(value) : fallback;
}

// Reads the terminal's size, which a player may change at any time, and
// chooses the layout for a game of this maximum Power. Only the compact
// layout needs the size.
void ReadScreen(int fullPower)
{
    int rows = 0;
    int columns = 0;
    if (gTerminal) {
        OsScreenSize(1, rows, columns);
    }
    const bool known = rows > 0 && columns > 0;
    gCompact = gCompactAsked || (gTerminal && known && rows < BoardRows(false, fullPower) + kDialogueRows);
    if (gCompact && !known) {
        rows = SizeFromEnvironment("LINES", kDefaultRows);
        columns = SizeFromEnvironment("COLUMNS", kDefaultColumns);
    }
    gRows = rows;
    gColumns = columns;
}

// The rows a line of `length` characters takes: the terminal wraps what does not fit.
int RowsOf(size_t length)
{
    const auto width = static_cast<size_t>(gColumns);
    return length == 0 ? 1 : static_cast<int>((length + width - 1) / width);
}

// The rows `text` takes; its last line, after the last newline, takes a row
// too when the cursor stands there.
int RowsOf(std::string_view text, bool cursorRow)
{
    int rows = 0;
    size_t start = 0;
    for (size_t end; (end = text.find_first_of(kRowEnds, start)) != kNone; start = end + 1) {
        rows += RowsOf(end - start);
    }
    return cursorRow ? rows + RowsOf(text.size() - start) : rows;
}

// Where the dialogue's row that ends at `end` starts.
size_t LineStart(size_t end)
{
    const size_t newline = end == 0 ? kNone : gDialogue.find_last_of(kRowEnds, end - 1);
    return newline == kNone ? 0 : newline + 1;
}

// Appends the dialogue from `from` on to what is to be written, as the
// terminal gets it.
void AppendDialogue(size_t from)
{
    const size_t at = gPending.size();
    gPending.append(gDialogue, from);
    std::replace(gPending.begin() + static_cast<std::ptrdiff_t>(at), gPending.end(), kSoftBreak, '\n');
}

// Breaks every row from the one holding `from` that is wider than the screen
// at its last space that fits, the spaces around it dropped. Only what has
// not been written yet can change: a written space at the row's end stays,
// and a row without a space to break at is left for the terminal to wrap.
// Returns where the first change stands, or `from`.
size_t BreakRows(size_t from)
{
    const auto width = static_cast<size_t>(gColumns);
    size_t changed = from;
    for (size_t row = LineStart(from); gDialogue.size() - row > width;) {
        const size_t end = gDialogue.find_first_of(kRowEnds, row);
        if (end != kNone && end - row <= width) {
            row = end + 1;
            continue;
        }
        const size_t space = gDialogue.rfind(' ', row + width);
        size_t first = space;
        size_t last = space;
        while (first != kNone && first > row + 1 && gDialogue[first - 1] == ' ') {
            --first;
        }
        while (last != kNone && last + 1 < gDialogue.size() && gDialogue[last + 1] == ' ') {
            ++last;
        }
        if (space == kNone || first <= row || last + 1 < gUnflushed) {
            row += width;
            continue;
        }
        first = std::max(first, gUnflushed);
        gDialogue.replace(first, last + 1 - first, 1, kSoftBreak);
        changed = std::min(changed, first);
        row = first + 1;
    }
    return changed;
}

// What starts a new screen: the clearing sequence, or an empty line of its own.
std::string_view Clearing()
{
    if (!gSeparate) {
        return kClearScreen;
    }
    return gAtLineStart ? kSeparator : "\n\n";
}

// What a terminal shows of typed characters: control characters as ^X and
// tabs as spaces. The game shows it again only as plain text.
std::string Echoed(std::string_view typed, size_t column)
{
    std::string shown;
    for (const char c : typed) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            shown.append(8 - (column + shown.size()) % static_cast<size_t>(gColumns) % 8, ' ');
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += '^';
            shown += static_cast<char>(byte ^ 0x40);
        } else if (byte >= 0x80) {
            shown += '?';
        } else {
            shown += c;
        }
    }
    return shown;
}

// Before a write: the board is drawn again when what came below it since the
// last write would push it off the top.
void FitScreen()
{
    if (gCompact && !gBoard.empty()) {
        const int boardRows = RowsOf(gBoard, false);
        // The question's last row and as many rows before it as fit below the
        // board, from the start of one of the game's own lines where one fits.
        size_t start = LineStart(gDialogue.size());
        int rows = RowsOf(gDialogue.size() - start);
        if (boardRows + RowsOf(gDialogue, true) > gRows && boardRows + rows <= gRows) {
            auto ownLine = [](size_t at) { return at == 0 || gDialogue[at - 1] == '\n'; };
            size_t lineStart = ownLine(start) ? start : kNone;
            while (start > 0) {
                const size_t previous = LineStart(start - 1);
                rows += RowsOf(start - 1 - previous);
                if (boardRows + rows > gRows) {
                    break;
                }
                start = previous;
                lineStart = ownLine(start) ? start : lineStart;
            }
            lineStart = lineStart != kNone ? lineStart : start;
            gDialogue.erase(0, lineStart);
            gPending += Clearing();
            gPending += gBoard;
            AppendDialogue(0);
            gEchoAt = kNone;  // the rest of a line being read was shown on the old screen
        }
    } else if (gBoard.empty() && !gDialogue.empty()) {
        gDialogue.erase(0, LineStart(gDialogue.size()));  // only the current row matters
        gEchoAt = kNone;
    }
    gUnflushed = gDialogue.size();
}

// While held, the dialogue below the last board is let go from its start once
// it is twice what any screen shows, down to the last line start that keeps
// that much, so a record of a million refused answers takes no more memory
// than its screen. In the compact layout the output ends with the unwritten
// part of gDialogue, and both lose the same characters.
void DropWhatScrolledAway()
{
    const size_t from = gCompact ? gPending.size() - (gDialogue.size() - gUnflushed) : gHeldFrom;
    if (gPending.size() - from <= 2 * kLargestHeld) {
        return;
    }
    const size_t keepFrom = gPending.size() - kLargestHeld;
    const size_t lineEnd = gPending.find('\n', keepFrom);
    const size_t dropped = (lineEnd == kNone || lineEnd + 1 == gPending.size() ? keepFrom : lineEnd + 1) - from;
    gPending.erase(from, dropped);
    if (gCompact) {
        gDialogue.erase(gUnflushed, dropped);
        gEchoAt = kNone;
    }
}

// An empty screen: nothing on it, printed or held.
void ClearModel()
{
    gAtLineStart = true;
    gBoard.clear();
    gDialogue.clear();
    gUnflushed = 0;
    gEchoAt = kNone;
    gLineOpen = false;
    gPending.clear();
    gHeld = false;
    gHeldFrom = 0;
}

}  // namespace

void SetScreenOptions(bool compact, bool noClear)
{
    gCompactAsked = compact;
    gEcho = OsIsTerminal(0);
    // Whether the output goes to a terminal cannot change while the game runs.
    int rows = 0;
    int columns = 0;
    gTerminal = OsScreenSize(1, rows, columns);
    const char* term = gTerminal ? std::getenv("TERM") : nullptr;
    gSeparate = noClear || (term != nullptr && std::strcmp(term, "dumb") == 0);
    ClearModel();
    ReadScreen(kLowestFullPower);
}

void ResetScreen()
{
    ClearModel();
    gCompactAsked = false;
    gEcho = false;
    gTerminal = false;
    gCompact = false;
    gSeparate = false;
    gRows = kDefaultRows;
    gColumns = kDefaultColumns;
    gOutputError = {};
}

void SetOutputError(const OsStatus& status)
{
    gOutputError = status;
}

bool CompactBoard()
{
    ReadScreen(giFullPower);
    return gCompact;
}

void ForgetBoard()
{
    gBoard.clear();
    ReadScreen(kLowestFullPower);
}

void StartScreen(std::string_view board)
{
    if (gHeld) {
        gPending.clear();  // a resumed game shows what it replayed from its last board on
    }
    gPending += Clearing();
    gPending += board;
    gHeldFrom = gPending.size();
    gAtLineStart = true;
    gBoard = gCompact ? board : std::string_view();
    gDialogue.clear();
    gUnflushed = 0;
    gEchoAt = kNone;
}

void ScreenPrint(std::string_view text)
{
    if (text.empty()) {
        return;
    }
    if (!gCompact) {
        gPending += text;
        gAtLineStart = text.back() == '\n';
    } else {
        const size_t from = gDialogue.size();
        gDialogue += text;
        // What is to be written ends with the unwritten part of the dialogue as it stood.
        const size_t changed = BreakRows(from);
        gPending.erase(gPending.size() - (from - changed));
        AppendDialogue(changed);
        gAtLineStart = gDialogue.back() == '\n' || gDialogue.back() == kSoftBreak;
    }
    if (gHeld) {
        DropWhatScrolledAway();
    }
}

void ScreenEcho(std::string_view typed)
{
    if (!gEcho || typed.empty()) {
        return;
    }
    const bool lineEnds = typed.back() == '\n';
    if (lineEnds) {
        typed.remove_suffix(1);
    }
    if (gCompact) {
        if (!gLineOpen) {
            // The terminal showed the whole line, and its end, as it was typed.
            gDialogue += Echoed(typed, gDialogue.size() - LineStart(gDialogue.size()));
            gDialogue += '\n';
            gEchoAt = gDialogue.size() - 1;
        } else if (gEchoAt != kNone) {
            const std::string shown = Echoed(typed, gEchoAt - LineStart(gEchoAt));
            gDialogue.insert(gEchoAt, shown);
            gEchoAt += shown.size();
        }
        gUnflushed = gDialogue.size();  // a typed read comes after the output was written
    }
    // The rest of a line typed before the question was shown with that line:
    // the cursor stays where the question left it.
    gAtLineStart = gAtLineStart || !gLineOpen;
    gLineOpen = !lineEnds;
}

bool ScreenAtLineStart()
{
    return gAtLineStart;
}

void HoldScreen(bool hold)
{
    gHeld = hold;
}

OsStatus WriteScreen()
{
    if (gHeld) {
        return {};
    }
    if (OsFailed(gOutputError)) {
        gPending.clear();  // never to be written
        return gOutputError;
    }
    FitScreen();
    OsStatus status = OsShow(gPending);
    gPending.clear();
    gHeldFrom = 0;
    return status;
}
