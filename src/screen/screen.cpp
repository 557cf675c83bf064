// SPDX-License-Identifier: MIT
// The screen the game's output lands on. On a terminal the size is read
// before every read, and the board is drawn again whenever what came since
// would push it off the top or the window changed its size, so the board and
// everything printed since the last answer are in view together; a terminal
// too short for the full board and its dialogue gets the compact board, and
// the dialogue breaks at spaces to the width. A screen starts on a cleared
// terminal; on a dumb terminal, and with --no-clear, the old screens stay
// and an empty line separates them. On a coloured screen the player's half,
// the opponent's, the unopposed marker and the question each have a style.
// What the game prints waits here until the dialogue has it written, before
// each read, so a pipe sees each question whole before the game waits.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// The styles of a coloured screen, from the eight basic colours and bold.
// The two sides differ in weight as well as in colour, and their colours
// stand on the blue-yellow axis, which every common kind of colour blindness
// still tells apart by lightness: the player's half bold and blue, the
// opponent's plain yellow. The marker of an attacker that will hit a Base is
// bold red, darker than yellow and lighter than blue for every eye; the
// question the player answers is bold.
constexpr std::string_view kYourStyle = "\033[1;34m";
constexpr std::string_view kTheirStyle = "\033[33m";
constexpr std::string_view kUnopposedStyle = "\033[1;31m";
constexpr std::string_view kQuestionStyle = "\033[1m";
constexpr std::string_view kPlainStyle = "\033[0m";

bool gCompactAsked = false;  // --compact
bool gEcho = false;          // the answers are typed on a terminal, which shows them as they are typed
bool gTerminal = false;      // the output goes to a terminal, whose size is read before every write
bool gCompact = false;       // the compact layout is in use
bool gSeparate = false;      // a new screen is separated from the old one, not cleared
bool gColour = false;        // the sides, the marker and the question are coloured
int gRows = kDefaultRows;    // the screen's size, or 0 for a terminal that cannot tell
int gColumns = kDefaultColumns;
int gLayoutPower = kLowestFullPower;  // the maximum Power the layout was chosen for
bool gAtLineStart = true;             // the screen's cursor stands at the start of a row

// What is to be written before the unwritten part of the dialogue: clearings,
// boards, and on a screen that is not laid out (a pipe) everything printed.
std::string gPending;
OsStatus gOutputError;  // why the output cannot be written, once known
bool gHeld = false;     // a resumed game is being replayed: show nothing yet
size_t gHeldFrom = 0;   // where the dialogue below the last board starts in gPending

// On a screen that is laid out (a terminal, or --compact), what it shows:
// the board, and what came below it since, the echo of typed answers included.
std::string gBoard;          // as the board code gave it; empty while no board is in view
bool gBoardCompact = false;  // the layout of the last board given
int gBoardRows = 0;          // the rows the board takes as it is shown
std::string gDialogue;       // everything below the board, or the current row while none is in view
size_t gUnflushed = 0;       // where the part of gDialogue not yet written starts; it is not laid out yet
size_t gReadAt = 0;          // where what came since the last read starts in gDialogue
size_t gEchoAt = kNone;      // where more of the line being read would have been echoed, while it is still in view
bool gLineOpen = false;      // the last typed read did not reach the end of its line
int gShownRows = 0;          // the size the screen was last written at
int gShownColumns = 0;
bool gResized = false;  // the window changed its size since the board was last drawn

// A screen whose rows the game keeps count of: what a terminal shows, or
// what --compact lays out for.
bool LaidOut()
{
    return gCompactAsked || gTerminal;
}

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
// chooses the layout for a game of this maximum Power.
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
    if (gColumns <= 0) {
        return 1;
    }
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

bool EndsRow(char c)
{
    return c == '\n' || c == kSoftBreak;
}

// Where the row of `text` that ends at `end` starts.
size_t LineStart(std::string_view text, size_t end)
{
    const auto before = text.substr(0, end);
    return static_cast<size_t>(std::find_if(before.rbegin(), before.rend(), EndsRow).base() - before.begin());
}

// Breaks every row of `text` from the one holding `from` that is wider than
// the screen at its last space that fits, the spaces around it dropped. Only
// what stands from `unwritten` on can change: a written space at the row's
// end stays, and a row without a space to break at is left for the terminal
// to wrap. The text is copied once, so a line of megabytes breaks as fast as
// a short one.
void BreakRows(std::string& text, size_t from, size_t unwritten)
{
    const auto width = static_cast<size_t>(gColumns);
    size_t row = LineStart(text, from);
    if (text.size() - row <= width) {
        return;
    }
    std::string broken(text, 0, row);
    size_t copied = row;  // what stands before this in `text` is in `broken`
    while (text.size() - row > width) {
        // A row end within the width: only so far is looked at, or a long line would be read again for every row.
        const size_t end = std::string_view(text).substr(row, width + 1).find_first_of(kRowEnds);
        if (end != kNone) {
            row += end + 1;
            continue;
        }
        const size_t space = text.rfind(' ', row + width);
        size_t first = space;
        size_t last = space;
        while (first != kNone && first > row + 1 && text[first - 1] == ' ') {
            --first;
        }
        while (last != kNone && last + 1 < text.size() && text[last + 1] == ' ') {
            ++last;
        }
        if (space == kNone || first <= row || last + 1 < unwritten) {
            row += width;
            continue;
        }
        first = std::max(first, unwritten);
        broken.append(text, copied, first - copied).append(1, kSoftBreak);
        copied = last + 1;
        row = last + 1;
    }
    broken.append(text, copied);
    text.swap(broken);
}

// The rows a line of the game's takes once it is laid out: broken at spaces
// in the compact layout, wrapped by the terminal in the full one.
int LaidOutRows(std::string_view line)
{
    if (!gCompact || gColumns <= 0) {
        return RowsOf(line.size());
    }
    std::string rows(line);
    BreakRows(rows, 0, 0);
    return RowsOf(rows, true);
}

// Breaks the unwritten part of the dialogue to the width in the compact layout.
void LayOutDialogue()
{
    if (gCompact && gColumns > 0) {
        BreakRows(gDialogue, gUnflushed, gUnflushed);
    }
    if (!gDialogue.empty()) {
        gAtLineStart = gDialogue.back() == '\n' || gDialogue.back() == kSoftBreak;
    }
}

// What starts a new screen: the clearing sequence, or an empty line of its own.
std::string_view Clearing()
{
    if (!gSeparate) {
        return kClearScreen;
    }
    return gAtLineStart ? kSeparator : "\n\n";
}

// On a coloured screen the question, the line of `out` from `start` to its
// end, which the player answers on, stands in its style; what he types
// after it does not.
void StyleQuestion(std::string& out, size_t start)
{
    if (gColour && start < out.size()) {
        out.insert(start, kQuestionStyle);
        out += kPlainStyle;
    }
}

// Appends the dialogue from `from` on as the terminal gets it; before a
// read, the line the player answers on is the question.
void AppendDialogue(std::string& out, size_t from, bool beforeRead)
{
    const size_t at = out.size();
    out.append(gDialogue, from);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), kSoftBreak, '\n');
    if (beforeRead && !gDialogue.empty() && gDialogue.back() != '\n') {
        const size_t lineEnd = gDialogue.rfind('\n');
        const size_t lineStart = lineEnd == kNone ? 0 : lineEnd + 1;
        StyleQuestion(out, at + std::max(lineStart, from) - from);
    }
}

// What a terminal shows of typed characters: control characters as ^X and
// tabs as spaces. The game shows it again only as plain text.
std::string Echoed(std::string_view typed, size_t column)
{
    const size_t width = gColumns > 0 ? static_cast<size_t>(gColumns) : kNone;
    std::string shown;
    for (const char c : typed) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            shown.append(8 - (column + shown.size()) % width % 8, ' ');
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

// The compact board's one line of Reserves, where it is wider than the
// screen, breaks between two `Power: count` pairs, never inside one.
std::string BrokenReserves(std::string_view line)
{
    std::string rows(line);
    const size_t pairs = rows.find("Power ");
    const auto width = static_cast<size_t>(gColumns);
    for (size_t row = 0; gColumns > 0 && pairs != kNone && rows.size() - row > width;) {
        const size_t comma = rows.rfind(", ", row + width - 1);
        if (comma == kNone || comma < std::max(row, pairs)) {
            break;  // no pair ends in this row: the terminal wraps it
        }
        rows[comma + 1] = '\n';
        row = comma + 2;
    }
    return rows;
}

bool IsYours(BoardLine kind)
{
    return kind == BoardLine::kYourFrame || kind == BoardLine::kYourUnits;
}

bool IsTheirs(BoardLine kind)
{
    return kind == BoardLine::kTheirFrame || kind == BoardLine::kTheirUnits;
}

// Appends one line of the board as this screen shows it.
void AppendBoardLine(std::string& out, std::string_view line, BoardLine kind)
{
    if (kind == BoardLine::kReserves && gBoardCompact) {
        out += BrokenReserves(line);
        out += '\n';
        return;
    }
    const std::string_view style = !gColour ? "" : IsYours(kind) ? kYourStyle : IsTheirs(kind) ? kTheirStyle : "";
    if (style.empty()) {
        out.append(line);
        out += '\n';
        return;
    }
    out += style;
    for (const char c : line) {
        if (c == '!') {
            out.append(kUnopposedStyle).append(1, c).append(kPlainStyle).append(style);
        } else {
            out += c;
        }
    }
    out.append(kPlainStyle).append(1, '\n');
}

// One line of a board: where it stands in the board's text, what it shows,
// the rows it takes on this screen, and whether a redraw shows it.
struct BoardLineShown {
    std::string_view text;
    BoardLine kind;
    int rows;
    bool shown;
};

std::vector<BoardLineShown> BoardLines(std::string_view board)
{
    std::vector<BoardLineShown> lines;
    int index = 0;
    for (size_t start = 0; start < board.size(); ++index) {
        const size_t newline = board.find('\n', start);
        const size_t end = newline == kNone ? board.size() : newline;
        const std::string_view text = board.substr(start, end - start);
        const BoardLine kind = BoardLineKind(gBoardCompact, index);
        const int rows =
            kind == BoardLine::kReserves && gBoardCompact ? RowsOf(BrokenReserves(text), true) : RowsOf(text.size());
        lines.push_back({text, kind, rows, true});
        start = end + 1;
    }
    return lines;
}

// The board at the top of a new screen, as this screen shows it.
void AppendBoard(std::string_view board)
{
    if (!gColour && !gBoardCompact) {
        gPending += board;
    } else {
        for (const BoardLineShown& line : BoardLines(board)) {
            AppendBoardLine(gPending, line.text, line.kind);
        }
    }
}

int BoardRowsShown(std::string_view board)
{
    int rows = 0;
    for (const BoardLineShown& line : BoardLines(board)) {
        rows += line.rows;
    }
    return rows;
}

// Where the last `rows` rows of the dialogue's line from `start` to `end`
// begin, as the screen lays the line out: broken, and wrapped at the width.
size_t TailOfLine(size_t start, size_t end, int rows)
{
    std::vector<size_t> rowStarts;
    const auto width = static_cast<size_t>(gColumns);
    for (size_t row = start; row <= end;) {
        const size_t rowEnd = std::min(gDialogue.find(kSoftBreak, row), end);
        for (size_t wrapped = row; wrapped == row || wrapped < rowEnd; wrapped += width) {
            rowStarts.push_back(wrapped);
        }
        row = rowEnd + 1;
    }
    return rowStarts.size() <= static_cast<size_t>(rows) ? start : rowStarts[rowStarts.size() - rows];
}

// Draws the board again at the top of a fresh screen, in the layout the
// screen's size now asks for, with as much of the dialogue below it as fits,
// the most needed first: the board's two frame lines and ten rows of units,
// and the question's last line; on a screen of at least 80x24 the rest of
// the board; then what came since the last read, back from the question;
// then the rest of the board, and what came before.
void Redraw()
{
    if (gBoardCompact != gCompact) {
        if (const std::string_view again = BoardForScreen(gCompact); !again.empty()) {
            gBoard = again;
            gBoardCompact = gCompact;
        }
    }
    std::vector<BoardLineShown> lines = BoardLines(gBoard);
    const bool roomy = gRows >= kDefaultRows && gColumns >= kDefaultColumns;
    int budget = gRows;
    for (BoardLineShown& line : lines) {
        line.shown = roomy || IsYours(line.kind) || IsTheirs(line.kind);
        budget -= line.shown ? line.rows : 0;
    }

    // The dialogue's lines, each ended by one of the game's own line ends:
    // the last is the question's, where the cursor stands.
    std::vector<size_t> starts = {0};
    for (size_t at = gDialogue.find('\n'); at != kNone; at = gDialogue.find('\n', at + 1)) {
        starts.push_back(at + 1);
    }
    auto endOf = [&](size_t line) { return line + 1 < starts.size() ? starts[line + 1] - 1 : gDialogue.size(); };
    auto rowsOf = [&](size_t line) {
        return RowsOf(std::string_view(gDialogue).substr(starts[line], endOf(line) - starts[line]), true);
    };
    size_t first = starts.size() - 1;
    // The question's line whole, or as many of its last rows as fit.
    size_t shownFrom = TailOfLine(starts[first], gDialogue.size(), std::max(budget, 1));
    budget -= RowsOf(std::string_view(gDialogue).substr(shownFrom), true);
    // Earlier lines whole while they fit, from `from` on; then the last rows
    // of the one before, so the screen is full.
    auto takeEarlierLines = [&](size_t from) {
        while (shownFrom == starts[first] && first > 0 && starts[first - 1] >= from && budget > 0) {
            const int rows = rowsOf(--first);
            shownFrom = rows <= budget ? starts[first] : TailOfLine(starts[first], endOf(first), budget);
            budget -= std::min(rows, budget);
        }
    };
    takeEarlierLines(gReadAt);
    // The Unit ID lines and the bar one by one, the Reserves whole.
    for (BoardLineShown& line : lines) {
        if (!line.shown && line.kind != BoardLine::kReserves && line.rows <= budget) {
            line.shown = true;
            budget -= line.rows;
        }
    }
    int reserves = 0;
    for (const BoardLineShown& line : lines) {
        reserves += line.shown || line.kind != BoardLine::kReserves ? 0 : line.rows;
    }
    for (BoardLineShown& line : lines) {
        line.shown = line.shown || (line.kind == BoardLine::kReserves && reserves <= budget);
    }
    budget -= reserves <= budget ? reserves : 0;
    takeEarlierLines(0);

    gPending += Clearing();
    gBoardRows = 0;
    for (const BoardLineShown& line : lines) {
        if (line.shown) {
            AppendBoardLine(gPending, line.text, line.kind);
            gBoardRows += line.rows;
        }
    }
    const size_t dropped = shownFrom;
    gDialogue.erase(0, dropped);
    gReadAt = gReadAt > dropped ? gReadAt - dropped : 0;
    AppendDialogue(gPending, 0, true);
    gEchoAt = kNone;  // the rest of a line being read was shown on the old screen
}

// Before a write: the size the terminal has now, which the player may have
// changed since the screen was last written.
void ReadSizeBeforeWrite()
{
    if (!gTerminal) {
        return;
    }
    ReadScreen(gLayoutPower);
    gResized = gResized || (gShownRows != 0 && (gRows != gShownRows || gColumns != gShownColumns));
    gShownRows = gRows;
    gShownColumns = gColumns;
}

// Before a read the player answers: the board is drawn again when what came
// below it would push it off the top, or when the window changed its size.
void FitScreen()
{
    if (gBoard.empty()) {
        // Only the current row matters, and of it only the column the cursor
        // stands in: whole screen widths of a long row are let go, so that a
        // refusal repeated a million times on one row costs what one does.
        const size_t row = LineStart(gDialogue, gDialogue.size());
        const size_t width = gColumns > 0 ? static_cast<size_t>(gColumns) * 8 : 8;  // tabs stop every 8 columns
        gDialogue.erase(0, row + (gDialogue.size() - row) / width * width);
        gReadAt = 0;
        gEchoAt = kNone;
        return;
    }
    if (gRows <= 0 || gColumns <= 0) {
        return;
    }
    if (gResized || gBoardCompact != gCompact || gBoardRows + RowsOf(gDialogue, true) > gRows) {
        Redraw();
        gResized = false;
    }
}

// While held, the dialogue below the last board is let go from its start once
// it is twice what any screen shows, down to the last line start that keeps
// that much, so a record of a million refused answers takes no more memory
// than its screen.
void DropWhatScrolledAway()
{
    std::string& kept = LaidOut() ? gDialogue : gPending;
    const size_t from = LaidOut() ? gUnflushed : gHeldFrom;
    if (kept.size() - from <= 2 * kLargestHeld) {
        return;
    }
    const size_t keepFrom = kept.size() - kLargestHeld;
    const size_t lineEnd = kept.find('\n', keepFrom);
    const size_t dropped = (lineEnd == kNone || lineEnd + 1 == kept.size() ? keepFrom : lineEnd + 1) - from;
    kept.erase(from, dropped);
    if (LaidOut()) {
        gReadAt = gReadAt > from + dropped ? gReadAt - dropped : from;
        gEchoAt = kNone;
    }
}

// An empty screen: nothing on it, printed or held, and no size yet shown.
void ClearModel()
{
    gAtLineStart = true;
    gBoard.clear();
    gDialogue.clear();
    gUnflushed = 0;
    gReadAt = 0;
    gEchoAt = kNone;
    gLineOpen = false;
    gPending.clear();
    gHeld = false;
    gHeldFrom = 0;
    gShownRows = 0;
    gShownColumns = 0;
    gResized = false;
    gLayoutPower = kLowestFullPower;
}

}  // namespace

void SetScreenOptions(bool compact, bool noClear, Colour colour)
{
    gCompactAsked = compact;
    gEcho = OsIsTerminal(0);
    // Whether the output goes to a terminal cannot change while the game runs.
    int rows = 0;
    int columns = 0;
    gTerminal = OsScreenSize(1, rows, columns);
    const char* term = std::getenv("TERM");
    const bool dumb = term != nullptr && std::strcmp(term, "dumb") == 0;
    gSeparate = noClear || (gTerminal && dumb);
    const char* noColour = std::getenv("NO_COLOR");
    const bool colourRefused = dumb || (noColour != nullptr && *noColour != '\0');
    gColour = colour == Colour::kAlways || (colour == Colour::kAuto && !colourRefused && OsShowsColour());
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
    gColour = false;
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
    gLayoutPower = giFullPower;
    ReadScreen(giFullPower);
    return gCompact;
}

void ForgetBoard()
{
    gBoard.clear();
    gLayoutPower = kLowestFullPower;
    ReadScreen(kLowestFullPower);
}

void StartScreen(std::string_view board)
{
    if (gHeld) {
        gPending.clear();  // a resumed game shows what it replayed from its last board on
    } else if (LaidOut()) {
        LayOutDialogue();
        AppendDialogue(gPending, gUnflushed, false);
    }
    gPending += Clearing();
    gBoardCompact = gCompact;
    AppendBoard(board);
    gHeldFrom = gPending.size();
    gAtLineStart = true;
    if (LaidOut()) {
        gBoard = board;
        gBoardRows = BoardRowsShown(board);
        gShownRows = gRows;  // a fresh screen, laid out for the size it has now
        gShownColumns = gColumns;
        gResized = false;
    }
    gDialogue.clear();
    gUnflushed = 0;
    gReadAt = 0;
    gEchoAt = kNone;
}

void ScreenPrint(std::string_view text)
{
    if (text.empty()) {
        return;
    }
    (LaidOut() ? gDialogue : gPending) += text;
    gAtLineStart = text.back() == '\n';
    if (gHeld) {
        DropWhatScrolledAway();
    }
}

void ScreenEcho(std::string_view typed)
{
    if (gEcho && !typed.empty()) {
        const bool lineEnds = typed.back() == '\n';
        if (lineEnds) {
            typed.remove_suffix(1);
        }
        if (LaidOut()) {
            if (!gLineOpen) {
                // The terminal showed the whole line, and its end, as it was typed.
                gDialogue += Echoed(typed, gDialogue.size() - LineStart(gDialogue, gDialogue.size()));
                gDialogue += '\n';
                gEchoAt = gDialogue.size() - 1;
            } else if (gEchoAt != kNone) {
                const std::string shown = Echoed(typed, gEchoAt - LineStart(gDialogue, gEchoAt));
                gDialogue.insert(gEchoAt, shown);
                gEchoAt += shown.size();
            }
            gUnflushed = gDialogue.size();  // a typed read comes after the output was written
        }
        // The rest of a line typed before the question was shown with that
        // line: the cursor stays where the question left it.
        gAtLineStart = gAtLineStart || !gLineOpen;
        gLineOpen = !lineEnds;
    }
    gReadAt = gDialogue.size();  // what is printed from here on came since this read
}

size_t ScreenPageEnd(std::string_view text)
{
    if (!gTerminal) {
        return text.size();
    }
    ReadScreen(gLayoutPower);
    if (gRows < 2 || gColumns <= 0) {
        return text.size();
    }
    // Whole lines up to the last row but one, which the pager's prompt takes.
    size_t pageEnd = 0;
    int rows = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t newline = text.find('\n', start);
        const size_t end = newline == kNone ? text.size() : newline;
        rows += LaidOutRows(text.substr(start, end - start));
        start = newline == kNone ? text.size() : newline + 1;
        if (rows <= gRows - 1 || pageEnd == 0) {
            pageEnd = start;
        }
    }
    const bool cursorRow = !text.empty() && text.back() == '\n';
    return rows + (cursorRow ? 1 : 0) <= gRows ? text.size() : pageEnd;
}

bool ScreenAtLineStart()
{
    return gAtLineStart;
}

void HoldScreen(bool hold)
{
    gHeld = hold;
}

OsStatus WriteScreen(bool playerWaits)
{
    if (gHeld) {
        return {};
    }
    OsStatus status = gOutputError;
    if (!OsFailed(status)) {
        if (LaidOut()) {
            ReadSizeBeforeWrite();
            LayOutDialogue();
            AppendDialogue(gPending, gUnflushed, true);
            if (playerWaits || gBoard.empty()) {
                FitScreen();
            }
            gUnflushed = gDialogue.size();
        } else if (gColour && !gPending.empty() && gPending.back() != '\n') {
            const size_t lineEnd = gPending.rfind('\n');
            StyleQuestion(gPending, lineEnd == kNone ? 0 : lineEnd + 1);
        }
        status = OsShow(gPending);
    }
    gPending.clear();  // written, or never to be
    gHeldFrom = 0;
    return status;
}
