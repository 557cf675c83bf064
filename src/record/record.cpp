// SPDX-License-Identifier: MIT
// The game's record: every answer the player gives and every seeding of the
// dice, one line each, on the disk before the game acts on it. A record lets
// a game go on after a closed terminal or a stopped machine (--resume) and be
// shown again (--replay). A record may come from anybody: it is read within
// bounds, and nothing of it reaches the terminal unescaped.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "qir.h"

namespace {

constexpr int kRecordFormat = 1;
// A game of 3,000 answers keeps about 30 KB, and its longest line is its
// `game` line: these bounds leave room for any game and refuse a file that is
// no record before it can take the memory of one.
constexpr size_t kLargestRecord = 16 << 20;
constexpr size_t kLongestLine = 256;
constexpr size_t kLongestQuote = 60;  // of a record's text in a message
constexpr int kWatchingPause = 1000;  // milliseconds per screen of a replay that nobody paces

enum class Mode {
    kLive,       // answers come from the player, nothing is recorded
    kRecording,  // answers come from the player and are appended to the record
    kResuming,   // answers come from the record, then from the player
    kReplaying,  // answers come from the record alone
};

// One line of the record that the game takes: a seeding of the dice or what
// one read returned. Kept small, as a record may hold millions of them.
struct Entry {
    char kind;                  // 'd' for dice, 'a' for an answer, 'k' for a key
    std::uint8_t length;        // the characters the read returned, 1 or 2
    std::array<char, 2> chars;  // those characters
    std::uint32_t seed;         // the dice's seed
    int line;                   // where it stands in the file
};

Mode gMode = Mode::kLive;
std::string gPath;            // the record's file
std::string gName;            // its name as messages show it
int gFile = -1;               // its descriptor, open from the start to the end of a game that writes it
std::vector<Entry> gEntries;  // what a resumed or replayed record holds
size_t gNext = 0;             // the next entry to give
long long gWholeLength = -1;  // the file's length without a cut last line
size_t gLength = 0;           // what the record holds once a cut last line is gone, and what is appended
bool gSeeded = false;         // --seed was given, here or in the record
std::uint32_t gSeed = 0;
std::uint32_t gSeedings = 0;   // how often the dice were seeded in this process
bool gEchoedLineOpen = false;  // a resumed game has shown a line whose later reads are still to come

const char* KindName(char kind)
{
    return kind == 'd' ? "dice" : kind == 'a' ? "answer" : "key";
}

// A record that is still being made is removed with its descriptor: no game
// began in it.
[[noreturn]] void Fail(const std::string& message)
{
    OsShowError("qir: " + message + "\n");
    if (gFile >= 0) {
        OsCloseRecord(gFile);
    }
    OsExit(1);
}

[[noreturn]] void RecordError(int line, const std::string& problem)
{
    Fail(gName + " line " + std::to_string(line) + ": " + problem);
}

[[noreturn]] void CannotWrite(const OsStatus& status)
{
    Fail("cannot write the record " + gName + ": " + status.message);
}

[[noreturn]] void CannotRead(const std::string& reason)
{
    Fail("cannot read the record " + gName + ": " + reason);
}

// Appends one line (or the header) and waits until it is on the disk: the
// game acts on nothing that a stopped machine could take from the record. A
// record never grows past what a record may hold, so every record the game
// wrote can be read again: the game ends where the next line would not fit.
void Append(const std::string& text)
{
    if (gLength + text.size() > kLargestRecord) {
        Fail("the record " + gName + " is full (16 MiB, the most a record holds): the game ends here, and its " +
             "record replays up to this point");
    }
    OsStatus status = OsWrite(gFile, text);
    if (!OsFailed(status)) {
        status = OsSyncRecord(gFile);
    }
    if (OsFailed(status)) {
        CannotWrite(status);
    }
    gLength += text.size();
}

// Printable characters stand as they are; the rest, the space and the
// backslash itself are escaped, so the record reads and diffs as plain text.
// The characters of `plain` stand as they are too.
std::string Escaped(std::string_view chars, std::string_view plain)
{
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (const char ch : chars) {
        const auto c = static_cast<unsigned char>(ch);
        if (plain.find(ch) != std::string_view::npos || (c > ' ' && c < 0x7f && c != '\\')) {
            text += ch;
        } else if (c == '\\') {
            text += "\\\\";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\t') {
            text += "\\t";
        } else {
            text += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return text;
}

// The length of the UTF-8 character that starts at `at`, or 0 where the
// bytes there are none: a stray continuation byte, an overlong form, a
// surrogate, a code beyond U+10FFFF, or a character cut short.
size_t Utf8Length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0U; };
    const unsigned lead = byte(0);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xc2 && lead <= 0xdf ? 2
                          : lead >= 0xe0 && lead <= 0xef ? 3
                          : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                         : 0;
    // The second byte's range is what keeps out the overlong forms, the
    // surrogates and what lies beyond U+10FFFF.
    const unsigned low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    for (size_t i = 1; i < length; ++i) {
        if (byte(i) < (i == 1 ? low : 0x80) || byte(i) > (i == 1 ? high : 0xbf)) {
            return 0;
        }
    }
    return length;
}

}  // namespace

// Valid UTF-8 stands as it is, so a name with accents reads as the player
// wrote it; every control character, C0, DEL or C1, and every byte that is
// no UTF-8 is escaped, so nothing from outside can send the terminal a
// sequence of its own. Spaces and backslashes stay as they are.
std::string Shown(std::string_view text, size_t longest)
{
    std::string shown;
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        length = Utf8Length(text, at);
        // A C1 control is one of the characters C2 80 to C2 9F.
        const bool c1 = length == 2 && text[at] == '\xc2' && static_cast<unsigned char>(text[at + 1]) < 0xa0;
        if (length == 0 || c1) {
            length = 1;  // each byte of it escaped on its own
        }
        const std::string next =
            length == 1 ? Escaped(text.substr(at, 1), " \\") : std::string(text.substr(at, length));
        if (longest != std::string_view::npos && shown.size() + next.size() > longest) {
            return shown + "...";
        }
        shown += next;
    }
    return shown;
}

namespace {

bool Unescaped(std::string_view text, std::string& chars)
{
    chars.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c <= ' ' || c == 0x7f || (c & 0x80) != 0) {
            return false;
        }
        if (c != '\\') {
            chars += c;
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        const char e = text[i];
        if (e == '\\' || e == 'n' || e == 'r' || e == 't') {
            chars += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : '\\';
        } else if (e == 'x' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            chars += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// One line of the record after its header, as the entry the game will take.
bool ReadEntry(std::string_view line, int number, Entry& entry)
{
    const size_t space = line.find(' ');
    const std::string_view kind = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
    entry = {'\0', 0, {}, 0, number};
    if (kind == "dice") {
        entry.kind = 'd';
        return ReadSeed(value, entry.seed, 4294967295U);
    }
    std::string chars;
    if ((kind != "answer" && kind != "key") || !Unescaped(value, chars) || chars.empty() ||
        chars.size() > (kind == "key" ? 1U : 2U)) {
        return false;
    }
    // A read ends with the end of a line, so no answer holds a newline before its end.
    if (chars.find('\n') < chars.size() - 1) {
        return false;
    }
    entry.kind = kind[0];
    entry.length = static_cast<std::uint8_t>(chars.size());
    chars.copy(entry.chars.data(), chars.size());
    return true;
}

// The number of the first line longer than any line of a record, or 0.
int OverlongLine(std::string_view text)
{
    int number = 1;
    for (size_t start = 0; start < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (end - start > kLongestLine) {
            return number;
        }
        start = end + 1;
    }
    return 0;
}

// The record from its start, at most limit bytes, or why a read failed.
OsStatus ReadRecordText(std::string& text, size_t limit)
{
    text.clear();
    std::array<char, 65536> chunk{};
    for (size_t got = 1; got != 0 && text.size() < limit;) {
        if (OsStatus status = OsReadRecord(gFile, chunk.data(), std::min(chunk.size(), limit - text.size()), got);
            OsFailed(status)) {
            return status;
        }
        text.append(chunk.data(), got);
    }
    return {};
}

// Reads the record whole and checks every line before the game starts, so a
// damaged record is refused before anything is shown or changed. A read that
// fails is no cut line: it is reported and the file is left as it is.
void LoadRecord(bool resuming)
{
    std::string text;
    if (const OsStatus status = ReadRecordText(text, kLargestRecord + 1); OsFailed(status)) {
        CannotRead(status.message);
    }
    if (text.empty()) {
        Fail("the record " + gName + " is empty: no game began in it");
    }
    if (text.size() > kLargestRecord) {
        CannotRead("it is larger than 16 MiB, which no game's record is");
    }
    if (const int line = OverlongLine(text); line != 0) {
        RecordError(line, "longer than 256 characters, which no line of a record is");
    }

    // A write cut short by a crash leaves a last line without its newline:
    // that answer never reached the game.
    const size_t whole = text.rfind('\n') + 1;  // 0 when there is no newline at all
    gLength = whole;
    std::string_view rest(text.data(), whole);
    std::string_view line;
    int number = 0;
    auto next = [&] {
        if (rest.empty()) {
            return false;
        }
        const size_t end = rest.find('\n');
        line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);  // a record that went through mail or an editor
        }
        return ++number > 0;
    };
    if (!next() || !line.starts_with(kRecordMagic)) {
        RecordError(1, "not a Qir record");
    }
    if (line.substr(kRecordMagic.size()) != std::to_string(kRecordFormat)) {
        RecordError(1, "record format '" + Shown(line.substr(kRecordMagic.size()), kLongestQuote) +
                           "' is unknown to qir " QIR_VERSION);
    }
    if (!next() || !line.starts_with("game ") || line.size() == 5) {
        RecordError(2, "the game's version is missing");
    }
    if (line != "game " QIR_VERSION) {
        OsShowError("qir: " + gName + " was recorded by qir " + Shown(line.substr(5), kLongestQuote) + "; " +
                    (resuming ? "resuming" : "replaying") + " it with qir " QIR_VERSION "\n");
    }
    if (whole < text.size()) {
        gWholeLength = static_cast<long long>(whole);
        OsShowError("qir: " + gName + ": its last line was cut short and is left out" +
                    (resuming ? " (removed from the file when the game goes on)\n" : "\n"));
    }
    gEntries.reserve(static_cast<size_t>(std::count(rest.begin(), rest.end(), '\n')));
    while (next()) {
        Entry entry{};
        std::uint32_t seed = 0;
        if (line.starts_with("seed ") && gEntries.empty() && !gSeeded && ReadSeed(line.substr(5), seed, kHighestSeed)) {
            gSeeded = true;
            gSeed = seed;
        } else if (ReadEntry(line, number, entry)) {
            gEntries.push_back(entry);
        } else {
            RecordError(number, "cannot read '" + Shown(line, kLongestQuote) + "'");
        }
    }
}

// A record that is one of the game's own streams would feed the game its own
// lines as answers, or take the game's output or errors among its lines: it is
// refused before anything is read or written. A replay reads no answers, so
// it may read its record from its input. The refusal goes where it cannot
// touch the record: the error output, or else a terminal, or nowhere.
void RefuseOwnStreams(RecordUse use)
{
    static const char* const kStreams[] = {"input", "output", "error output"};
    for (int stream = use == RecordUse::kContinue ? 0 : 1; stream <= 2; ++stream) {
        if (!OsSameFile(gFile, stream)) {
            continue;
        }
        const std::string message =
            "qir: cannot use the record " + gName + ": it is also the game's standard " + kStreams[stream] + "\n";
        if (!OsSameFile(gFile, 2)) {
            OsShowError(message);
        } else if (!OsSameFile(gFile, 1) && OsIsTerminal(1)) {
            OsWrite(1, message);
        }
        OsExit(1);
    }
}

// The new record takes its name only now, whole and locked: a --resume that
// starts before finds no file, and one that starts after finds it in use.
void PlaceRecord()
{
    if (const OsStatus status = OsPlaceRecord(gPath.c_str(), gFile); OsFailed(status)) {
        Fail("cannot create the record " + gName + ": " + status.message);
    }
}

// Opens the record once for the whole run. A game that writes it holds its
// lock from before the first read to the end, so a second qir on the same
// record stops before it can mix its answers in.
void OpenRecord(RecordUse use)
{
    gName = Shown(gPath);
    if (const OsStatus status = OsOpenRecord(gPath.c_str(), use, gFile); OsFailed(status)) {
        const bool noFile = status.result == OsResult::kNotAFile || status.result == OsResult::kFolder;
        const char* failed = use == RecordUse::kCreate ? "cannot create" : noFile ? "cannot read" : "cannot open";
        Fail(std::string(failed) + " the record " + gName + ": " +
             (status.result == OsResult::kNotAFile ? "not a regular file" : status.message));
    }
    RefuseOwnStreams(use);
    if (use == RecordUse::kShow) {
        return;
    }
    const OsStatus status = OsLockRecord(gFile);
    if (status.result == OsResult::kInUse) {
        Fail("the record " + gName + " is in use by another qir");
    }
    if (status.result == OsResult::kCannotLock) {
        OsShowError("qir: the record " + gName + " cannot be locked on its file system (" + status.message +
                    "); start no other qir on it\n");
    } else if (OsFailed(status)) {
        Fail("cannot lock the record " + gName + ": " + status.message);
    }
}

// The record has given all it holds: the game goes on with the player, and
// what he answers is appended. A cut last line is removed first.
void ContinueRecording()
{
    if (gWholeLength >= 0) {
        OsStatus status = OsCutRecord(gFile, gWholeLength);
        if (!OsFailed(status)) {
            status = OsSyncRecord(gFile);
        }
        if (OsFailed(status)) {
            CannotWrite(status);
        }
    }
    gMode = Mode::kRecording;
}

// The next entry, which must be of the kind the game asks for; null once the
// record has nothing more to give. From then on a resumed game goes on with
// the player, and what he answers is appended.
const Entry* NextEntry(char kind, const char* asked)
{
    if (gNext < gEntries.size()) {
        const Entry& entry = gEntries[gNext++];
        if (entry.kind != kind) {
            RecordError(entry.line, std::string("the game asks for ") + asked + " here, not for the record's " +
                                        KindName(entry.kind));
        }
        return &entry;
    }
    if (gMode == Mode::kResuming) {
        ContinueRecording();
    }
    return nullptr;
}

// What the record gives for a read it holds no entry for: a replay has
// nothing more to show, a resumed game is the player's from here.
Replayed NothingMore()
{
    return gMode == Mode::kReplaying ? Replayed::kEnded : Replayed::kPlayersTurn;
}

Replayed ReplayAnswer(char* buf)
{
    const Entry* entry = NextEntry('a', "an answer");
    if (entry == nullptr) {
        return NothingMore();
    }
    std::memcpy(buf, entry->chars.data(), entry->length);
    buf[entry->length] = '\0';
    return Replayed::kGiven;
}

Replayed ReplayKey(int& c)
{
    const Entry* entry = NextEntry('k', "a key");
    if (entry == nullptr) {
        return NothingMore();
    }
    c = static_cast<unsigned char>(entry->chars[0]);
    return Replayed::kGiven;
}

// A replayed answer as a replay on a terminal shows it: escaped, as
// everything a record holds, with its Return as it was typed.
std::string EchoedAnswer(std::string_view answer)
{
    return Escaped(answer, " \\\n");
}

// A resumed game on a terminal shows each recorded line where the player
// typed it, as his terminal echoed it: whole, at the first read of the line,
// with what the later reads of the same line took; escaped, as a replay
// shows it.
std::string EchoedLine(std::string_view answer)
{
    const bool opened = !gEchoedLineOpen;
    gEchoedLineOpen = !answer.ends_with('\n');
    if (!opened) {
        return "";
    }
    std::string line(answer);
    for (size_t next = gNext; !line.ends_with('\n') && next < gEntries.size(); ++next) {
        const Entry& entry = gEntries[next];
        if (entry.kind != 'd') {  // the dice are rolled between two reads of a line, never typed
            line.append(entry.chars.data(), entry.length);
        }
    }
    return EchoedAnswer(line);
}

void NoteAnswer(const char* buf, int length)
{
    if (gMode == Mode::kRecording) {
        Append("answer " + Escaped(std::string_view(buf, static_cast<size_t>(length)), "") + "\n");
    }
}

void NoteKey(int c)
{
    if (gMode == Mode::kRecording) {
        const char key = static_cast<char>(c);
        Append("key " + Escaped(std::string_view(&key, 1), "") + "\n");
    }
}

// On a terminal a replay is for watching: each answer shows where the player
// typed it, and each new screen waits for the viewer's Return, or plays on
// after a pause when no keyboard is there or --delay sets the pace. To a pipe
// or a file it shows exactly what the game showed, at --delay's pace if given.
void PaceReplay(const Options& options, AnswerSource& source)
{
    const bool watched = OsIsTerminal(1);
    source.echo = watched ? EchoedAnswer : nullptr;
    if (options.delay) {
        source.screenPause = *options.delay;
    } else if (!watched) {
        return;
    } else if (OsIsTerminal(0)) {
        source.screenPause = kViewerPaces;
        OsShowError("qir: Return shows the next screen of the replay; q and Return stops it\n");
    } else {
        source.screenPause = kWatchingPause;
    }
}

}  // namespace

// A seed as the command line and the record write it: decimal digits, no
// sign or spaces, at most `highest`. Leading zeros change nothing.
bool ReadSeed(std::string_view text, std::uint32_t& seed, std::uint32_t highest)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const std::string_view digits = text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (digits.size() > 10) {
        return false;
    }
    const unsigned long long value = std::stoull(std::string(digits));
    seed = static_cast<std::uint32_t>(value);
    return value <= highest;
}

AnswerSource StartRecord(const Options& options)
{
    AnswerSource source;
    gSeeded = options.seeded;
    gSeed = options.seed;
    if (options.resume || options.replay) {
        const bool resuming = options.resume.has_value();
        gPath = resuming ? *options.resume : *options.replay;
        OpenRecord(resuming ? RecordUse::kContinue : RecordUse::kShow);
        LoadRecord(resuming);
        if (!resuming) {
            OsCloseRecord(gFile);
            gFile = -1;
            PaceReplay(options, source);
        }
        gMode = resuming ? Mode::kResuming : Mode::kReplaying;
        if (resuming && OsIsTerminal(1)) {
            source.echo = EchoedLine;
        }
        source.replayAnswer = ReplayAnswer;
        source.replayKey = ReplayKey;
        source.holdsOutput = resuming;
    } else if (options.record) {
        gPath = *options.record;
        OpenRecord(RecordUse::kCreate);
        gMode = Mode::kRecording;
        std::string header = std::string(kRecordMagic) + std::to_string(kRecordFormat) + "\ngame " QIR_VERSION "\n";
        if (gSeeded) {
            header += "seed " + std::to_string(gSeed) + "\n";
        }
        Append(header);
        PlaceRecord();
    }
    if (gMode == Mode::kRecording || gMode == Mode::kResuming) {
        source.noteAnswer = NoteAnswer;
        source.noteKey = NoteKey;
    }
    return source;
}

// A name in a command to type: quoted where a shell or cmd would split it.
static std::string CommandWord(const std::string& name)
{
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("._-/\\:+,", c) != nullptr;
    });
    return plain ? name : "\"" + Escaped(name, " \\") + "\"";
}

std::string StoppedGameNote()
{
    switch (gMode) {
    case Mode::kLive:
        return "qir: this game was not kept; to keep the next one, start it with 'qir --record FILE', and "
               "'qir --resume FILE' goes on with it after a stop";
    case Mode::kReplaying: return "";
    default:
        return "qir: the game is kept in " + Escaped(gPath, " \\") + "; 'qir --resume " + CommandWord(gPath) +
               "' goes on with it";
    }
}

std::uint32_t DiceSeed()
{
    std::uint32_t seed = 0;
    if (const Entry* entry = NextEntry('d', "the dice")) {
        seed = entry->seed;
    } else {
        // The k-th seeding of a seeded game uses the seed plus k.
        seed = gSeeded ? gSeed + gSeedings : static_cast<std::uint32_t>(OsClock());
    }
    ++gSeedings;
    if (gMode == Mode::kRecording) {
        Append("dice " + std::to_string(seed) + "\n");
    }
    return seed;
}

// Called once the player declined another game. A record that holds more
// than the game used is said to do so, once: those lines were never played.
bool ResumedGameIsOver()
{
    if (const size_t unused = gEntries.size() - gNext; unused > 0) {
        OsShowError("qir: " + gName + ": " + std::to_string(unused) + (unused == 1 ? " line" : " lines") +
                    " after the end of the game " + (unused == 1 ? "was" : "were") + " not used\n");
        gNext = gEntries.size();
    }
    if (gMode != Mode::kResuming) {
        return false;  // nothing was resumed, or the player answered after the record
    }
    OsShowError("qir: the game recorded in " + gName + " is over; there is nothing to resume\n");
    return true;
}

// A record closed, and every setting of it as at the start.
void ResetRecord()
{
    if (gFile >= 0) {
        OsCloseRecord(gFile);
    }
    gMode = Mode::kLive;
    gPath.clear();
    gName.clear();
    gFile = -1;
    std::vector<Entry>().swap(gEntries);
    gNext = 0;
    gWholeLength = -1;
    gLength = 0;
    gSeeded = false;
    gSeed = 0;
    gSeedings = 0;
}
