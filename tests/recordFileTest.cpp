// SPDX-License-Identifier: MIT
// The record's file as the system sees it: one game at a time holds it, every
// line is on the disk before the game goes on, and a record from anybody is
// read within bounds, refused when it is no regular file or cannot be read
// whole, and never reaches the terminal raw. Faults of the file system come
// from a preloaded library (faultShim.cpp).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string_view>
#include <thread>

#include "support.h"

namespace {

namespace fs = std::filesystem;

const std::string kHeader = "Qir record 1\ngame " QIR_VERSION "\n";
// The answers and dice of a seeded game up to its first board and pause.
const std::string kToTheFirstBoard = "answer n\\n\nanswer 1\\n\nanswer 2\\n\nanswer d\\n\ndice 5\nkey \\n\n";

class RecordFile : public TempFolderTest {};

// Its parts one after another: in a loop, without a temporary per `+`.
std::string Cat(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

// The first `lines` lines of `text`.
std::string FirstLines(const std::string& text, int lines)
{
    size_t end = 0;
    for (int i = 0; i < lines && end != std::string::npos; ++i) {
        end = text.find('\n', end) + 1;
    }
    return text.substr(0, end);
}

// A record of `size` bytes: `start`, then "key x" lines (six characters) and
// "key \t" lines (seven) to come to `size` exactly.
std::string Keys(const std::string& start, size_t size)
{
    const size_t sevens = (size - start.size()) % 6;
    std::string text = start;
    text.reserve(size + 1);
    for (size_t i = 0; i < (size - start.size() - 7 * sevens) / 6; ++i) {
        text += "key x\n";
    }
    for (size_t i = 0; i < sevens; ++i) {
        text += "key \\t\n";
    }
    return text;
}

// Whether a terminal shown `text` sees nothing but printable characters and newlines.
bool Harmless(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= ' ' && c < 0x7f); });
}

// A record of tests/data/records as this version would have made it: the
// same lines under this version's `game` line, so no version warning comes.
std::string AsThisVersion(const std::string& name)
{
    std::string record = ReadTestData("records/" + name + ".qir");
    const size_t game = record.find("\ngame ") + 1;
    return record.replace(game, record.find('\n', game) - game, "game " QIR_VERSION);
}

std::string Answers()
{
    return ReadSession("round-as-player1").answers;
}

// A second qir on a record in play stops at once and changes nothing, while
// a replay shows the game as far as it goes; the game that holds the record
// then plays on as if alone.
TEST_F(RecordFile, OneGamePerRecord)
{
    const std::string answers = Answers();
    const std::string start = FirstLines(answers, 6);
    const std::string whole = File("whole");
    ASSERT_EQ(RunQir({"--seed", "5", "--record", whole}, answers).status, 0);
    const std::string record = File("game");
    for (const bool resumed : {false, true}) {
        SCOPED_TRACE(resumed ? "held by --resume" : "held by --record");
        fs::remove(record);
        std::vector<std::string> holding{QIR_EXE, "--seed", "5", "--record", record};
        std::string typed = answers;
        if (resumed) {
            ASSERT_EQ(RunQir({"--seed", "5", "--record", record}, start).status, 0);
            holding = {QIR_EXE, "--resume", record};
            typed = answers.substr(start.size());
        }
        GameProcess holder(holding, {});
        ASSERT_TRUE(holder.ReadUntil(": ")) << holder.Report();
        const std::string kept = ReadFile(record);

        const std::pair<const char*, std::string> seconds[] = {
            {"--resume", "qir: the record " + record + " is in use by another qir\n"},
            {"--record", "qir: cannot create the record " + record + ": File exists\n"},
        };
        for (const auto& [second, refusal] : seconds) {
            const RunResult refused = RunQir({second, record}, "n\n");
            EXPECT_EQ(refused.status, 1) << second;
            EXPECT_EQ(refused.output, "") << second;
            EXPECT_EQ(refused.errors, refusal);
        }
        const RunResult shown = RunQir({"--replay", record});
        EXPECT_EQ(shown.status, 0);
        EXPECT_TRUE(shown.output.starts_with("Welcome to QIR!\n")) << shown.output;
        EXPECT_EQ(ReadFile(record), kept);

        ASSERT_TRUE(holder.Write(typed));
        EXPECT_EQ(holder.Finish(), 0) << holder.Report();
        EXPECT_EQ(ReadFile(record), ReadFile(whole));
    }
}

// kill -9, as a closed terminal or a crash: the lock goes with the game, the
// record resumes at once, and no lock file is left anywhere.
TEST_F(RecordFile, AKilledGameLeavesNoLockBehind)
{
    const std::string answers = Answers();
    const std::string record = File("game");
    std::vector<std::string> command{QIR_EXE, "--seed", "5", "--record", record};
    for (int kill = 0; kill < 2; ++kill) {
        GameProcess killed(command, {});
        ASSERT_TRUE(killed.ReadUntil(": ")) << killed.Report();
        killed.Kill();
        killed.Finish();
        command = {QIR_EXE, "--resume", record};
    }
    const RunResult resumed = RunQir({"--resume", record}, answers);
    EXPECT_EQ(resumed.status, 0) << resumed.report;
    EXPECT_EQ(resumed.errors, "");
    const std::string whole = File("whole");
    ASSERT_EQ(RunQir({"--seed", "5", "--record", whole}, answers).status, 0);
    EXPECT_EQ(ReadFile(record), ReadFile(whole));
    fs::remove(whole);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(RecordFile, WhereNothingCanBeLockedAWarningSaysSo)
{
    const std::string record = File("game");
    const std::string cannot = "qir: the record " + record +
                               " cannot be locked on its file system (No locks available); start no other qir on it\n";
    const RunResult recorded = RunFaulty({"QIR_FAULT_NO_LOCKS=1"}, {"--seed", "5", "--record", record}, "n\n1\n");
    EXPECT_EQ(recorded.status, 0);
    EXPECT_EQ(recorded.errors, cannot);
    const RunResult resumed = RunFaulty({"QIR_FAULT_NO_LOCKS=1"}, {"--resume", record}, "4\nd\n");
    EXPECT_EQ(resumed.status, 0);
    EXPECT_EQ(resumed.errors, cannot);
    EXPECT_EQ(ReadFile(record), kHeader + "seed 5\nanswer n\\n\nanswer 1\\n\nanswer 4\\n\nanswer d\\n\ndice 5\n");
}

// Every line is written and synced before the next one, and before the game
// acts on it; a new record's folder is synced once, after its header, and a
// cut line is cut and synced before the resumed game appends.
TEST_F(RecordFile, EveryLineIsSyncedBeforeTheGameGoesOn)
{
    const std::string record = File("game");
    const std::string log = File("log");
    const std::string answers = Answers();
    const RunResult recorded = RunFaulty({"QIR_FAULT_LOG=" + log}, {"--seed", "5", "--record", record}, answers);
    ASSERT_EQ(recorded.status, 0) << recorded.report;
    const std::string kept = ReadFile(record);
    const auto lines = std::count(kept.begin(), kept.end(), '\n');
    EXPECT_TRUE(std::regex_match(ReadFile(log), std::regex("wsf(ws)+"))) << ReadFile(log);
    EXPECT_EQ(ReadFile(log).size(), 1 + 2 * (lines - 2)) << "one write and one sync for the header, then per line";

    WriteFile(record, FirstLines(kept, 8) + "answ");
    const RunResult resumed = RunFaulty({"QIR_FAULT_LOG=" + log}, {"--resume", record}, answers.substr(8));
    ASSERT_EQ(resumed.status, 0) << resumed.report;
    EXPECT_TRUE(std::regex_match(ReadFile(log), std::regex("cs(ws)+"))) << ReadFile(log);
}

TEST_F(RecordFile, OnlyARegularFileIsRead)
{
    const std::string fifo = File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", "not a regular file"},
        {fifo, "not a regular file"},  // opening it must not wait for a writer
        {folder_.string(), "Is a directory"},
    };
    for (const auto& [path, reason] : cases) {
        for (const char* mode : {"--resume", "--replay"}) {
            SCOPED_TRACE(Cat({path, " ", mode}));
            const RunResult refused = RunQir({mode, path}, "n\n");
            EXPECT_EQ(refused.status, 1) << refused.report;
            EXPECT_EQ(refused.output, "");
            EXPECT_EQ(refused.errors, Cat({"qir: cannot read the record ", path, ": ", reason, "\n"}));
        }
    }
}

// A disk that fails part way through the record: reported, never taken for a
// cut last line, and the file is not cut to what was read.
TEST_F(RecordFile, AReadThatFailsPartWayChangesNothing)
{
    const std::string record = File("game");
    ASSERT_EQ(RunQir({"--seed", "5", "--record", record}, Answers()).status, 0);
    const std::string kept = ReadFile(record);
    ASSERT_GT(kept.size(), 300U);
    for (const char* mode : {"--resume", "--replay"}) {
        SCOPED_TRACE(mode);
        const RunResult failed = RunFaulty({"QIR_FAULT_READ_AFTER=150"}, {mode, record}, "n\n");
        EXPECT_EQ(failed.status, 1);
        EXPECT_EQ(failed.output, "");
        EXPECT_EQ(failed.errors, "qir: cannot read the record " + record + ": Input/output error\n");
        EXPECT_EQ(ReadFile(record), kept);
    }
}

// A record is read whole before any of it is used, so its size is bounded:
// 16 MiB for the file and 256 characters for a line; reading it takes a small
// multiple of its size in memory.
TEST_F(RecordFile, ARecordBeyondItsBoundsIsRefusedBeforeItIsUsed)
{
    constexpr size_t kLargest = 16 << 20;
    auto keys = [](size_t size) { return Keys(kHeader, size); };
    const std::string line256 = "answer " + std::string(249, 'y');
    const std::string refusedKey = "line 3: the game asks for an answer here, not for the record's key";
    const std::pair<std::string, std::string> cases[] = {
        {kHeader + line256 + "\n", "line 3: cannot read '" + line256.substr(0, 60) + "...'"},
        {kHeader + line256 + "y\n", "line 3: longer than 256 characters, which no line of a record is"},
        {kHeader + "key x\n" + line256 + "yy", "line 4: longer than 256 characters, which no line of a record is"},
        {keys(kLargest), refusedKey},
        {keys(kLargest) + "k", "cannot read the record FILE: it is larger than 16 MiB, which no game's record is"},
    };
    const std::string record = File("large");
    for (const auto& [content, problem] : cases) {
        SCOPED_TRACE(Cat({problem, ", ", std::to_string(content.size()), " bytes"}));
        WriteFile(record, content);
        GameProcess replay({QIR_EXE, "--replay", record}, {});
        EXPECT_EQ(replay.Finish(20000), 1) << replay.Report();
        std::string expected = problem;
        if (const size_t at = expected.find("FILE"); at != std::string::npos) {
            expected.replace(at, 4, record);
        } else {
            expected = Cat({record, " ", expected});
        }
        EXPECT_EQ(replay.Errors(), Cat({"qir: ", expected, "\n"}));
        if (content.size() >= kLargest && !kSanitizedBuild) {
            EXPECT_LT(replay.PeakKilobytes() * 1024, static_cast<long>(4 * kLargest)) << "peak memory";
        }
    }
}

// A resumed game shows what it replayed from its last board on: of a
// record's largest run of refused answers it keeps no more than any screen
// shows, the board above them included, and its memory stays small.
TEST_F(RecordFile, AResumeOfAMillionRefusedAnswersHoldsOnlyWhatItsScreenShows)
{
    constexpr size_t kLargest = 16 << 20;
    const std::string retry = "You did not type a y or n.  Please try again: ";
    const std::string& toTheBoard = kToTheFirstBoard;
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}}, {"", {"--compact"}}, {toTheBoard, {}}, {toTheBoard, {"--compact"}}};
    const std::string record = File("refused");
    for (const auto& [before, options] : cases) {
        SCOPED_TRACE((before.empty() ? "at the first question" : "below the board") +
                     (options.empty() ? std::string() : ", compact"));
        std::string content = kHeader + before;
        content.reserve(kLargest);
        while (content.size() + 9 <= kLargest) {
            content += "answer z\n";
        }
        WriteFile(record, content);
        std::vector<std::string> command = {QIR_EXE, "--resume", record};
        command.insert(command.end(), options.begin(), options.end());
        GameProcess resume(command, {});
        ASSERT_EQ(resume.Finish(60000), 0) << resume.Report();
        const std::string& shown = resume.Output();
        // The last retry, and the end of input's newline, kept; the compact
        // layout then draws the board again, as it would after any run of them.
        EXPECT_NE(shown.find(retry + "\n"), std::string::npos) << LastLines(shown, 2);
        EXPECT_GT(shown.size(), size_t{1} << 20);
        EXPECT_LT(shown.size(), (size_t{2} << 20) + 4096);
        EXPECT_EQ(shown.starts_with(kClear + "          |---"), !before.empty()) << shown.substr(0, 80);
        if (!kSanitizedBuild) {
            EXPECT_LT(resume.PeakKilobytes(), 100 * 1000) << "peak memory";
        }
    }
}

// On a terminal a run of refused answers replays in a time that grows with
// the run, before the first board (where the retries share one row) as below
// it: a hundred thousand take a moment, where a screen that searched its
// whole row again at each answer took many minutes.
TEST_F(RecordFile, ARunOfRefusedAnswersReplaysOnATerminalInLinearTime)
{
    const std::string record = File("refused");
    for (const std::string& before : {std::string(), kToTheFirstBoard}) {
        SCOPED_TRACE(before.empty() ? "at the first question" : "below the board");
        std::string content = kHeader + before;
        for (int answer = 0; answer < 100000; ++answer) {
            content += "answer x\n";  // typed with no Return, so the row never ends
        }
        WriteFile(record, content);
        ScriptedSystem system;
        system.terminal = {false, true, false};
        system.rows = 50;  // the full board's layout, which leaves a long row unbroken
        const auto started = std::chrono::steady_clock::now();
        const RunResult replay = RunScripted({"--replay", record, "--delay", "0"}, system);
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(replay.status, 0) << replay.report << replay.errors;
        EXPECT_NE(replay.output.find("The record stops"), std::string::npos) << LastLines(replay.output, 3);
        EXPECT_LT(took, std::chrono::seconds(60));
    }
}

TEST_F(RecordFile, NothingQuotedFromARecordReachesTheTerminalRaw)
{
    const std::string osc = "\x1b]0;PWNED\x07\x1b[2J";  // sets the terminal's title, clears the screen
    const std::string clipboard = "\x1b]52;c;cm0gLXJmIH4=\x07";
    const std::string version = "qir " QIR_VERSION;
    struct Case {
        std::string content;
        std::string errors;  // after "qir: FILE"
        int status;
    };
    const Case cases[] = {
        {"Qir record 1" + osc + "\n", " line 1: record format '1\\x1b]0;PWNED\\x07\\x1b[2J' is unknown to " + version,
         1},
        {"Qir record 1\ngame 1.0.0" + osc + "\n",
         " was recorded by qir 1.0.0\\x1b]0;PWNED\\x07\\x1b[2J; replaying it with " + version, 0},
        {"Qir record 1\ngame " + std::string("1\0\x9b\x7f", 4) + "\n",
         " was recorded by qir 1\\x00\\x9b\\x7f; replaying it with " + version, 0},
        {"Qir record 1\ngame " + std::string(100, '9') + "\n",
         " was recorded by qir " + std::string(60, '9') + "...; replaying it with " + version, 0},
        {kHeader + "answer " + clipboard + "\n", " line 3: cannot read 'answer \\x1b]52;c;cm0gLXJmIH4=\\x07'", 1},
        {kHeader + "answer \x9b"
                   "2J\n",
         " line 3: cannot read 'answer \\x9b2J'", 1},
        {kHeader + "answer " + std::string("n\0\0\r\t", 5) + "\n", " line 3: cannot read 'answer n\\x00\\x00\\r\\t'",
         1},
        {kHeader + "answer " + std::string(30, '\x1b') + "\n",
         " line 3: cannot read 'answer " +
             std::string("\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b\\x1b") + "...'",
         1},
        // No read ends with a newline before its last character.
        {kHeader + "answer \\nx\n", " line 3: cannot read 'answer \\nx'", 1},
    };
    const std::string record = File("stranger");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errors);
        WriteFile(record, c.content);
        for (const char* mode : {"--replay", "--resume"}) {
            const RunResult run = RunQir({mode, record}, "n\n");
            EXPECT_EQ(run.status, c.status) << mode;
            EXPECT_TRUE(Harmless(run.errors)) << mode << ": " << run.errors;
            if (std::string(mode) == "--replay") {
                EXPECT_EQ(run.errors.substr(0, run.errors.find('\n') + 1), Cat({"qir: ", record, c.errors, "\n"}));
            }
        }
    }
}

// A record that went through mail or an editor ends its lines in CR LF: it
// replays as it was, and a resumed game goes on appending plain lines.
TEST_F(RecordFile, CrLfLineEndsAreRead)
{
    std::string crlf;
    for (const char c : AsThisVersion("round-seeded")) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const std::string record = File("mailed");
    WriteFile(record, crlf);
    const RunResult replayed = RunQir({"--replay", record});
    EXPECT_EQ(replayed.status, 0);
    EXPECT_EQ(replayed.errors, "");
    EXPECT_EQ(replayed.output, ReadTestData("records/round-seeded.out"));
    const RunResult resumed = RunQir({"--resume", record}, "a\n");
    EXPECT_EQ(resumed.status, 0) << resumed.report;
    EXPECT_EQ(resumed.errors, "");
    EXPECT_EQ(ReadFile(record), crlf + "answer a\\n\n");
}

// Lines after the end of a finished game are never played: one warning
// counts them.
TEST_F(RecordFile, LinesAfterTheEndOfAFinishedGameAreCounted)
{
    const std::string finished = AsThisVersion("finished-game");
    const std::string record = File("finished");
    const std::pair<std::string, std::string> cases[] = {
        {"answer y\\n\n", "1 line after the end of the game was not used"},
        {"answer y\\n\nanswer 1\\n\ndice 4\n", "3 lines after the end of the game were not used"},
    };
    for (const auto& [trailing, warning] : cases) {
        SCOPED_TRACE(warning);
        WriteFile(record, finished + trailing);
        const RunResult replayed = RunQir({"--replay", record});
        EXPECT_EQ(replayed.status, 0);
        EXPECT_EQ(replayed.output, ReadTestData("records/finished-game.out"));
        EXPECT_EQ(replayed.errors, Cat({"qir: ", record, ": ", warning, "\n"}));
        const RunResult resumed = RunQir({"--resume", record}, "y\n");
        EXPECT_EQ(resumed.status, 0);
        EXPECT_EQ(resumed.output, "");
        EXPECT_EQ(resumed.errors, Cat({"qir: ", record, ": ", warning, "\nqir: the game recorded in ", record,
                                       " is over; there is nothing to resume\n"}));
        EXPECT_EQ(ReadFile(record), finished + trailing);
    }
}

// A limit on the size of files (ulimit -f) must not end the game by a signal.
TEST_F(RecordFile, AFileSizeLimitIsAWriteError)
{
    const std::string record = File("small");
    const RunResult run = RunCommand({"/bin/sh", "-c", "ulimit -f 1; exec \"$0\" --record \"$1\"", QIR_EXE, record},
                                     Answers() + std::string(200, '\n'));
    EXPECT_EQ(run.status, 1) << run.report;
    EXPECT_TRUE(run.errors.starts_with("qir: cannot write the record " + record + ": File too large\n")) << run.errors;
}

// A record is never its own game's input or output: fed its own lines as
// answers it would grow without end, and the game's output or errors among
// its lines would leave a record that no qir reads. Each is refused at once
// and the file stays as it was; a refusal that would land in the record is
// said nowhere. A replay reads no answers, so it may read its record from
// its input.
TEST_F(RecordFile, ARecordIsNeverItsGamesOwnStream)
{
    const std::string record = File("game");
    ASSERT_EQ(RunQir({"--seed", "5", "--record", record}, FirstLines(Answers(), 6)).status, 0);
    const std::string kept = ReadFile(record);
    const std::string own = "qir: cannot use the record " + record + ": it is also the game's standard ";
    const std::pair<std::string, std::string> cases[] = {
        // the shell's redirections, and what is said
        {"--resume \"$1\" < \"$1\"", own + "input\n"},
        {"--resume /dev/stdin < \"$1\"",
         "qir: cannot use the record /dev/stdin: it is also the game's standard input\n"},
        {"--resume \"$1\" >> \"$1\"", own + "output\n"},
        {"--resume \"$1\" 2>> \"$1\"", ""},
        {"--replay \"$1\" >> \"$1\"", own + "output\n"},
        {"--replay \"$1\" 2>> \"$1\"", ""},
        {"--record \"$1\" >> \"$1\"", "qir: cannot create the record " + record + ": File exists\n"},
    };
    for (const auto& [command, said] : cases) {
        SCOPED_TRACE(command);
        const RunResult refused = RunCommand({"/bin/sh", "-c", "exec \"$0\" " + command, QIR_EXE, record}, "n\n");
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors, said);
        EXPECT_EQ(ReadFile(record), kept);
    }
    const RunResult replayed =
        RunCommand({"/bin/sh", "-c", "exec \"$0\" --replay /dev/stdin < \"$1\"", QIR_EXE, record}, "");
    EXPECT_EQ(replayed.status, 0);
    EXPECT_EQ(replayed.output, RunQir({"--replay", record}).output);
}

// The folder's files, its hidden ones too, by name.
std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The temporary files of records in the making.
std::vector<std::string> Temporaries(const fs::path& folder)
{
    std::vector<std::string> names = FilesIn(folder);
    std::erase_if(names, [](const std::string& name) { return !name.starts_with(".qir-new-"); });
    return names;
}

// How a file system lets a new record be made: an unnamed file that is
// linked to its name, a temporary file renamed or linked, or, where it can
// do none of these, a file made at its name.
const std::pair<const char*, std::vector<std::string>> kMakings[] = {
    {"unnamed", {}},
    {"renamed", {"QIR_FAULT_NO_TMPFILE=1"}},
    {"linked", {"QIR_FAULT_NO_TMPFILE=1", "QIR_FAULT_NO_RENAME=1"}},
    {"at its name", {"QIR_FAULT_NO_TMPFILE=1", "QIR_FAULT_NO_RENAME=1", "QIR_FAULT_NO_LINKS=1"}},
};

// A new record appears with its header on the disk, or not at all: where the
// header cannot be written, nothing is left at its name or beside it, and a
// second try finds nothing in its way.
TEST_F(RecordFile, ANewRecordAppearsWithItsHeaderOrNotAtAll)
{
    const std::string record = File("game");
    const std::pair<std::string, std::string> faults[] = {
        {"QIR_FAULT_WRITE_ERRNO=" + std::to_string(ENOSPC), "No space left on device"},
        {"QIR_FAULT_WRITE_ERRNO=" + std::to_string(EIO), "Input/output error"},
        {"ulimit -f 0", "File too large"},
    };
    const mode_t mask = umask(0);
    umask(mask);
    for (const auto& [making, faulty] : kMakings) {
        for (const auto& [fault, error] : faults) {
            SCOPED_TRACE(Cat({making, ", ", fault}));
            std::vector<std::string> command{
                "/bin/sh", "-c", fault.starts_with("ulimit") ? fault + "; exec \"$@\"" : "exec \"$@\"", "sh"};
            std::vector<std::string> all = faulty;
            if (!fault.starts_with("ulimit")) {
                all.push_back(fault);
            }
            const std::vector<std::string> game = FaultyQir(all, {"--seed", "5", "--record", record});
            command.insert(command.end(), game.begin(), game.end());
            const RunResult failed = RunCommand(command, "n\n");
            EXPECT_EQ(failed.status, 1);
            // Only the first line: a coverage build's own runtime meets the same limit at exit.
            EXPECT_TRUE(failed.errors.starts_with(Cat({"qir: cannot write the record ", record, ": ", error, "\n"})))
                << failed.errors;
            EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{});
        }
        SCOPED_TRACE(making);
        const RunResult made = RunFaulty(faulty, {"--seed", "5", "--record", record}, "n\n1\n");
        EXPECT_EQ(made.status, 0) << made.report;
        EXPECT_EQ(ReadFile(record), kHeader + "seed 5\nanswer n\\n\nanswer 1\\n\n");
        EXPECT_EQ(fs::status(record).permissions(), static_cast<fs::perms>(0644 & ~mask));
        EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{"game"});
        fs::remove(record);
    }
}

// Waits up to five seconds for `ready`.
bool WaitFor(const std::function<bool()>& ready)
{
    for (int i = 0; i < 500 && !ready(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ready();
}

// A qir killed while it makes its record leaves nothing at the record's
// name. A temporary file it leaves is removed by the next --record in that
// folder; one that a qir still making its record holds is never touched.
TEST_F(RecordFile, AQirKilledBeforeItsRecordIsNamedLeavesNothingAtTheName)
{
    for (const auto& [making, faulty] : kMakings) {
        SCOPED_TRACE(making);
        const bool temporary = !faulty.empty();  // every making but the unnamed file has a temporary name
        std::vector<std::string> slow = faulty;
        slow.push_back("QIR_FAULT_SLOW_LINK=20000");
        GameProcess killed(FaultyQir(slow, {"--record", File("killed")}), {});
        if (temporary) {
            ASSERT_TRUE(WaitFor([&] { return !Temporaries(folder_).empty(); }));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        killed.Kill();
        killed.Finish();
        EXPECT_FALSE(fs::exists(File("killed")));
        const std::vector<std::string> left = Temporaries(folder_);
        EXPECT_EQ(left.size(), temporary ? 1U : 0U);

        slow.back() = "QIR_FAULT_SLOW_LINK=1000";
        GameProcess starting(FaultyQir(slow, {"--seed", "5", "--record", File("starting")}), {});
        if (temporary) {
            ASSERT_TRUE(WaitFor([&] { return !Temporaries(folder_).empty() && Temporaries(folder_) != left; }));
        }
        EXPECT_EQ(RunQir({"--seed", "5", "--record", File("next")}, "n\n").status, 0);
        EXPECT_EQ(Temporaries(folder_).size(), temporary ? 1U : 0U) << "the starting qir's own";
        ASSERT_TRUE(starting.Write("n\n"));
        EXPECT_EQ(starting.Finish(), 0) << starting.Report();
        EXPECT_EQ(ReadFile(File("starting")), ReadFile(File("next")));
        EXPECT_EQ(FilesIn(folder_), (std::vector<std::string>{"next", "starting"}));
        fs::remove(File("next"));
        fs::remove(File("starting"));
    }
    // Files that only look like a record in the making stay.
    const std::vector<std::string> players = {".qir-new-notes1", ".qir-new-record", ".qir-new-x"};
    WriteFile(File(players[0]), "my own notes\n");
    fs::create_directory(File(players[1]));
    WriteFile(File(players[2]), "Qir record 1\n");
    EXPECT_EQ(RunQir({"--record", File("game")}, "").status, 0);
    EXPECT_EQ(Temporaries(folder_), players);
}

// A --resume that starts while a --record makes the same record finds no
// file, or the whole record in use: never an empty file to lock, so the
// recording goes on whatever the resume does. The folder's sync, after the
// record has its name, is slowed to widen the window.
TEST_F(RecordFile, AResumeRacingARecordingNeverFindsItEmpty)
{
    const std::string record = File("game");
    const std::string answers = FirstLines(Answers(), 4);
    const std::string whole = File("whole");
    ASSERT_EQ(RunQir({"--seed", "5", "--record", whole}, answers).status, 0);
    const std::string none = "qir: cannot open the record " + record + ": No such file or directory\n";
    const std::string inUse = "qir: the record " + record + " is in use by another qir\n";
    std::map<std::string, int> said;
    const int races = kSanitizedBuild ? 25 : 100;  // a sanitized qir starts slowly
    for (int race = 0; race < races; ++race) {
        fs::remove(record);
        GameProcess recording(FaultyQir({"QIR_FAULT_SLOW_FOLDER_SYNC=20"}, {"--seed", "5", "--record", record}), {});
        std::this_thread::sleep_for(std::chrono::microseconds(race * 400));
        const RunResult resumed = RunQir({"--resume", record});
        ++said[resumed.errors];
        ASSERT_TRUE(recording.Write(answers));
        EXPECT_EQ(recording.Finish(), 0) << recording.Report();
        EXPECT_EQ(ReadFile(record), ReadFile(whole));
    }
    for (const auto& [errors, times] : said) {
        EXPECT_TRUE(errors == none || errors == inUse) << times << " resumes said: " << errors;
    }
    std::printf("%d races: %d resumes found no record, %d found it in use\n", races, said[none], said[inUse]);
}

// The game never writes a record that it could not read again: the line that
// would take it past 16 MiB ends the game instead, and the record replays.
TEST_F(RecordFile, ARecordThatIsFullEndsTheGameAndStillReplays)
{
    constexpr size_t kLargest = 16 << 20;
    // The instructions' pause, which takes keys until Return.
    const std::string start = kHeader + "answer y\\n\n";
    const std::string record = File("full");
    const std::string full = "qir: the record " + record +
                             " is full (16 MiB, the most a record holds): the game ends here, and its record "
                             "replays up to this point\n";
    // Room for one "key z" line, which fills it to the byte; the next key is refused.
    WriteFile(record, Keys(start, kLargest - 6));
    const RunResult resumed = RunQir({"--resume", record}, "zzz\n");
    EXPECT_EQ(resumed.status, 1);
    EXPECT_EQ(resumed.errors, full);
    const std::string kept = ReadFile(record);
    EXPECT_EQ(kept.size(), kLargest);
    EXPECT_TRUE(kept.ends_with("\nkey z\n"));
    const RunResult replayed = RunQir({"--replay", record});
    EXPECT_EQ(replayed.status, 0);
    EXPECT_EQ(replayed.errors, "");
    EXPECT_TRUE(replayed.output.ends_with("Press Return/Enter to begin the game.\n")) << LastLines(replayed.output, 2);
    const RunResult again = RunQir({"--resume", record}, "z\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.errors, full) << "a full record stays full";
    EXPECT_EQ(ReadFile(record), kept);
}

// Names and values from outside reach the terminal escaped, wherever a
// message shows them: C0, DEL and C1 controls and bytes that are no UTF-8
// become \xNN; UTF-8 stands as it is, and a name is never cut.
TEST_F(RecordFile, NamesAndValuesReachTheTerminalEscaped)
{
    const std::string osc = "\x1b]0;PWNED\x07\x1b[2J";
    const std::string shownOsc = "\\x1b]0;PWNED\\x07\\x1b[2J";
    // UTF-8, C1 controls, bytes that are no UTF-8 (a stray byte, an overlong
    // form, a surrogate), and more than any piece that is cut short.
    const std::string odd = "x" + osc + "é-ü 𝄞 \xc2\x9b\xff\xc0\xaf\xed\xa0\x80" + std::string(200, 'n');
    const std::string shownOdd =
        "x" + shownOsc + "é-ü 𝄞 \\xc2\\x9b\\xff\\xc0\\xaf\\xed\\xa0\\x80" + std::string(200, 'n');
    const std::string usage = ". Try 'qir --help'.\n";
    struct Case {
        std::vector<std::string> args;
        std::string errors;
        int status;
    };
    const Case cases[] = {
        {{"--seed", osc}, "qir: invalid seed '" + shownOsc + "' (a whole number from 0 to 2147483647)" + usage, 2},
        {{"--replay", "a", "--delay", "\x7f"},
         "qir: invalid delay '\\x7f' (seconds from 0 to 60, such as 2 or 0.5)" + usage,
         2},
        {{"extra" + osc}, "qir: unexpected argument 'extra" + shownOsc + "'" + usage, 2},
        {{"--" + osc}, "qir: unknown option '--" + shownOsc + "'" + usage, 2},
        {{"-\x01"}, "qir: unknown option '-\\x01'" + usage, 2},
        {{"--replay", File(odd)}, "qir: cannot open the record " + File(shownOdd) + ": No such file or directory\n", 1},
        {{"--record", File(odd + "/x")},
         "qir: cannot create the record " + File(shownOdd + "/x") + ": No such file or directory\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errors);
        const RunResult run = RunQir(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors, c.errors);
    }
}

// The records that earlier versions made replay as they were played. A
// version other than theirs says so on stderr, and only there.
TEST(Records, MadeByEarlierVersionsReplayAsTheyWerePlayed)
{
    const fs::path folder = fs::path(QIR_TEST_DATA) / "records";
    const std::string replaying = "; replaying it with qir " QIR_VERSION "\n";
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".qir") {
            continue;
        }
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        const std::string record = ReadFile(path);
        const std::string made = record.substr(record.find("\ngame ") + 6);
        const std::string version = made.substr(0, made.find('\n'));
        const RunResult run = RunQir({"--replay", path});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, ReadFile(fs::path(path).replace_extension(".out").string()));
        EXPECT_EQ(run.errors,
                  version == QIR_VERSION ? "" : Cat({"qir: ", path, " was recorded by qir ", version, replaying}));
        ++replayed;
    }
    EXPECT_GE(replayed, 5);
}

}  // namespace
