// SPDX-License-Identifier: MIT
// The game's record: every answer the player gives and every seeding of the
// dice, one line each, written before the game acts on it. A record lets a
// game go on after a closed terminal (--resume) and be shown again (--replay).
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qir.h"

namespace {

constexpr int kRecordFormat = 1;
const std::string kMagic = "Qir record ";

enum class Mode {
    kLive,       // answers come from the player, nothing is recorded
    kRecording,  // answers come from the player and are appended to the record
    kResuming,   // answers come from the record, output is held back
    kReplaying,  // answers come from the record, output is shown
};

struct Entry {
    std::string kind;   // "dice", "answer" or "key"
    std::string value;  // the seed, or the characters the read returned
    int line;           // where it stands in the file
};

Mode gMode = Mode::kLive;
std::string gPath;            // the record's file
int gFile = -1;               // open for appending while recording
std::vector<Entry> gEntries;  // what a resumed or replayed record holds
size_t gNext = 0;             // the next entry to give
long long gWholeLength = -1;  // the file's length without a cut last line
bool gSeeded = false;         // --seed was given, here or in the record
std::uint32_t gSeed = 0;
std::uint32_t gSeedings = 0;  // how often the dice were seeded in this process
bool gHoldingOutput = false;  // a resumed game shows nothing until the player's turn

[[noreturn]] void RecordError(int line, const std::string& problem)
{
    std::fprintf(stderr, "qir: %s line %d: %s\n", gPath.c_str(), line, problem.c_str());
    std::exit(1);
}

[[noreturn]] void CannotWrite(int error)
{
    std::fprintf(stderr, "qir: cannot write the record %s: %s\n", gPath.c_str(), std::strerror(error));
    std::exit(1);
}

// Appends one line and hands it to the operating system before the game goes on.
void Append(const std::string& text)
{
    if (const int error = OsWrite(gFile, text.data(), text.size()); error != 0) {
        CannotWrite(error);
    }
}

// Printable characters stand as they are; the rest, the space and the
// backslash itself are escaped, so the record reads and diffs as plain text.
std::string Escaped(const char* chars, int length)
{
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(chars[i]);
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\t') {
            text += "\\t";
        } else if (c > ' ' && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            text += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return text;
}

bool Unescaped(const std::string& text, std::string& chars)
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
            chars += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Reads FILE whole and checks every line before the game starts, so a
// damaged record is refused before anything is shown or changed.
void LoadRecord(bool resuming)
{
    std::ifstream in(gPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qir: cannot read the record %s: %s\n", gPath.c_str(), std::strerror(errno));
        std::exit(1);
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    if (!text.empty() && text.back() != '\n') {
        // A write cut short by a crash: that answer never reached the game.
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        gWholeLength = static_cast<long long>(text.size());
        std::fprintf(stderr, "qir: %s: its last line was cut short and is left out%s\n", gPath.c_str(),
                     resuming ? " (removed from the file when the game goes on)" : "");
    }

    std::istringstream lines(text);
    std::string line;
    int number = 0;
    auto next = [&] { return static_cast<bool>(std::getline(lines, line)) && ++number > 0; };
    if (!next() || line.compare(0, kMagic.size(), kMagic) != 0) {
        RecordError(1, "not a Qir record");
    }
    if (line != kMagic + std::to_string(kRecordFormat)) {
        RecordError(1, "record format '" + line.substr(kMagic.size()) + "' is unknown to qir " QIR_VERSION);
    }
    if (!next() || line.compare(0, 5, "game ") != 0 || line.size() == 5) {
        RecordError(2, "the game's version is missing");
    }
    if (line != "game " QIR_VERSION) {
        std::fprintf(stderr, "qir: %s was recorded by qir %s; %s it with qir " QIR_VERSION "\n", gPath.c_str(),
                     line.c_str() + 5, resuming ? "resuming" : "replaying");
    }
    while (next()) {
        const size_t space = line.find(' ');
        Entry entry{line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1), number};
        std::string chars;
        std::uint32_t seed = 0;
        if (entry.kind == "seed" && gEntries.empty() && !gSeeded && ReadSeed(entry.value, seed, kHighestSeed)) {
            gSeeded = true;
            gSeed = seed;
        } else if (entry.kind == "dice" && ReadSeed(entry.value, seed, 4294967295U)) {
            gEntries.push_back(entry);
        } else if ((entry.kind == "answer" || entry.kind == "key") && Unescaped(entry.value, chars) && !chars.empty() &&
                   chars.size() <= (entry.kind == "key" ? 1U : 2U)) {
            entry.value = chars;
            gEntries.push_back(entry);
        } else {
            RecordError(number, "cannot read '" + line + "'");
        }
    }
}

// The record has given all it holds: the game goes on with the player, and
// what he answers is appended. A cut last line is removed first.
void ContinueRecording()
{
    gFile = OsReopenRecord(gPath.c_str(), gWholeLength);
    if (gFile < 0) {
        CannotWrite(errno);
    }
    gMode = Mode::kRecording;
}

// The next entry, which must be of the kind the game asks for; null once the
// record has nothing more to give. At that point a replay that needs a read
// ends as at the end of input, and a resumed game goes on with the player:
// what it replayed since the last clear of the screen is shown, and what he
// answers is appended.
const Entry* NextEntry(const char* kind, const char* asked, bool isRead)
{
    if (gNext < gEntries.size()) {
        const Entry& entry = gEntries[gNext++];
        if (entry.kind != kind) {
            RecordError(entry.line,
                        std::string("the game asks for ") + asked + " here, not for the record's " + entry.kind);
        }
        return &entry;
    }
    if (gMode == Mode::kResuming) {
        ContinueRecording();
    }
    if (isRead && gMode == Mode::kReplaying) {
        EndOfInput();
    }
    if (isRead && gHoldingOutput) {
        gHoldingOutput = false;
        HoldOutput(false);
        FlushOutput();
    }
    return nullptr;
}

bool ReplayAnswer(char* buf)
{
    const Entry* entry = NextEntry("answer", "an answer", true);
    if (entry == nullptr) {
        return false;
    }
    entry->value.copy(buf, 2);
    buf[entry->value.size()] = '\0';
    return true;
}

bool ReplayKey(int& c)
{
    const Entry* entry = NextEntry("key", "a key", true);
    if (entry == nullptr) {
        return false;
    }
    c = static_cast<unsigned char>(entry->value[0]);
    return true;
}

void NoteAnswer(const char* buf, int length)
{
    if (gMode == Mode::kRecording) {
        Append("answer " + Escaped(buf, length) + "\n");
    }
}

void NoteKey(int c)
{
    if (gMode == Mode::kRecording) {
        const char key = static_cast<char>(c);
        Append("key " + Escaped(&key, 1) + "\n");
    }
}

}  // namespace

// A seed as the command line and the record write it: 1 to 10 decimal
// digits, no sign or spaces, at most `highest`.
bool ReadSeed(const std::string& text, std::uint32_t& seed, std::uint32_t highest)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long value = std::stoull(text);
    seed = static_cast<std::uint32_t>(value);
    return value <= highest;
}

void StartRecord(const Options& options)
{
    SetAnswerLog({ReplayAnswer, ReplayKey, NoteAnswer, NoteKey});
    gSeeded = options.seeded;
    gSeed = options.seed;
    if (options.resume || options.replay) {
        const bool resuming = options.resume.has_value();
        gPath = resuming ? *options.resume : *options.replay;
        LoadRecord(resuming);
        gMode = resuming ? Mode::kResuming : Mode::kReplaying;
        gHoldingOutput = resuming;
        HoldOutput(resuming);
        return;
    }
    if (!options.record) {
        return;
    }
    gPath = *options.record;
    gFile = OsCreateRecord(gPath.c_str());
    if (gFile < 0) {
        std::fprintf(stderr, "qir: cannot create the record %s: %s\n", gPath.c_str(), std::strerror(errno));
        std::exit(1);
    }
    gMode = Mode::kRecording;
    std::string header = kMagic + std::to_string(kRecordFormat) + "\ngame " QIR_VERSION "\n";
    if (gSeeded) {
        header += "seed " + std::to_string(gSeed) + "\n";
    }
    Append(header);
}

std::uint32_t DiceSeed()
{
    std::uint32_t seed = 0;
    if (const Entry* entry = NextEntry("dice", "the dice", false)) {
        ReadSeed(entry->value, seed, 4294967295U);
    } else {
        // The k-th seeding of a seeded game uses the seed plus k.
        seed = gSeeded ? gSeed + gSeedings : static_cast<std::uint32_t>(std::time(nullptr));
    }
    ++gSeedings;
    if (gMode == Mode::kRecording) {
        Append("dice " + std::to_string(seed) + "\n");
    }
    return seed;
}

bool ResumedGameIsOver()
{
    if (!gHoldingOutput) {
        return false;
    }
    std::fprintf(stderr, "qir: the game recorded in %s is over; there is nothing to resume\n", gPath.c_str());
    return true;
}
