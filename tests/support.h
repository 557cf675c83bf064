// SPDX-License-Identifier: MIT
// Helpers for the tests: scripted input, captured output, fresh games.
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "qir.h"

extern std::time_t gTestClock;  // what time() returns in the tests

// AddressSanitizer's shadow memory makes a game's peak memory no measure.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
inline constexpr bool kSanitizedBuild = __has_feature(address_sanitizer);
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// What every board starts with: the console is cleared first.
inline const std::string kClear = "\033[H\033[2J";

// Runs a piece of the game with `input` as the typed answers and returns
// everything it printed. Running out of input inside fails the test run.
std::string RunWithInput(const std::string& input, const std::function<void()>& piece, long long clock = 1000);
size_t ScriptedOutputSize();  // what the piece running in RunWithInput has written so far

// How a game process ended, as the harness saw it.
struct ProcessEnd {
    int exitCode = -1;      // the status it exited with; -1 when it did not exit
    int signal = 0;         // the signal that ended it, or 0
    bool timedOut = false;  // it had not ended in time, so the harness killed it
    std::string Describe() const;
};

// The game as a separate process on the far side of three pipes, driven one
// answer at a time as a program would drive it. Every wait gives up after its
// timeout, so a game that waits without showing its question fails the test
// instead of hanging it. Everything written to the game is kept, so a failure
// can be replayed from a file.
class GameProcess {
public:
    // Starts `command` with `environment` (NAME=value entries) added to ours.
    GameProcess(const std::vector<std::string>& command, const std::vector<std::string>& environment);
    ~GameProcess();  // kills the game if it is still running
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // Waits up to `timeoutMs` for output or errors and keeps what came; false
    // on timeout or once the game has closed both.
    bool ReadSome(int timeoutMs);
    // Reads on until `text` appears in the output not consumed by an earlier call.
    bool ReadUntil(const std::string& text, int timeoutMs = 5000);
    // Writes all of `text`, reading the game's output meanwhile so that neither
    // side can block the other; false once the game no longer reads.
    bool Write(const std::string& text, int timeoutMs = 20000);
    void CloseInput();
    void Kill() const;  // SIGKILL, as a crash or a closed terminal might end it
    // Ends the input, reads the rest and returns the exit status; -1 when the
    // game did not exit by itself (End() says why).
    int Finish(int timeoutMs = 5000);
    const ProcessEnd& End() const { return end_; }
    const std::string& Output() const { return output_; }
    const std::string& Errors() const { return errors_; }
    const std::string& Input() const { return input_; }
    long PeakKilobytes() const { return peakKilobytes_; }
    // What a failure report needs: how the game ended, the last lines it
    // printed, its errors, and a file holding the exact input it was given.
    std::string Report() const;

private:
    void Drain(int& fd);

    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string input_;
    std::string output_;
    std::string errors_;
    size_t seen_ = 0;
    long peakKilobytes_ = 0;
    ProcessEnd end_;
};

// The last `lines` lines of `text`.
std::string LastLines(const std::string& text, int lines);
// Keeps `input` in a file named after `name` in the temporary folder and
// returns its path.
std::string KeepInput(const std::string& name, const std::string& input);

struct RunResult {
    int status;
    std::string output;
    std::string errors;
    std::string report;  // how the run ended, for a failure message
};
// Runs the whole game (with the test clock) on a script of answers.
RunResult RunGame(const std::string& input, std::time_t clock = 1000, const std::vector<std::string>& args = {});
// Runs the real game with these arguments on a script of answers.
RunResult RunQir(const std::vector<std::string>& args, const std::string& input = "");
RunResult RunCommand(const std::vector<std::string>& command, const std::string& input);
// The real game with the file system's faults of `faults` (NAME=value entries
// of the preloaded library faultShim.cpp), as a command, or run.
std::vector<std::string> FaultyQir(const std::vector<std::string>& faults, const std::vector<std::string>& args);
RunResult RunFaulty(const std::vector<std::string>& faults, const std::vector<std::string>& args,
                    const std::string& input = "");

// The calls of the system a scripted system can make fail.
enum class SystemCall {
    kShow,
    kReadByte,
    kOpenRecord,
    kPlaceRecord,
    kLockRecord,
    kWrite,
    kReadRecord,
    kCutRecord,
    kSyncRecord,
};

// A system scripted by the test: the whole program runs in the test's own
// process, as `qir` with these arguments would, with the answers typed, the
// terminals, the screen and the clock given here, and a fault where the test
// wants one. Its records are real files. It ends as the program would, and
// RunScripted says how.
struct ScriptedSystem {
    std::string answers;             // every byte typed; their end is the end of input
    std::array<bool, 3> terminal{};  // whether the input, the output and the error output are terminals
    int rows = 24;                   // the terminal's size, where the output is one
    int columns = 80;
    long long clock = 1000;  // what the calendar's clock reads
    // From the `at`-th call of `call` on, every call fails with `result` (a
    // read of the answers with kDone finds the end of input there); at 0, none.
    struct Fault {
        SystemCall call = SystemCall::kShow;
        int at = 0;
        OsResult result = OsResult::kFailed;
    } fault;
};
RunResult RunScripted(const std::vector<std::string>& args, const ScriptedSystem& system);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// A fresh folder for a test's files, removed after it.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string File(const std::string& name) const;

    std::filesystem::path folder_;
};

// Reads a file of the test data folder.
std::string ReadTestData(const std::string& name);

// A recorded session: tests/data/NAME.in holds what the player types, after
// header lines that start with "# ": a description, "# clock N" for the
// reading of the test clock (1000 when none is given), and "# args A B" for
// the game's arguments.
struct Session {
    std::string answers;
    std::time_t clock = 1000;
    std::vector<std::string> args;
};
Session ReadSession(const std::string& name);
std::vector<std::string> SessionNames();  // every tests/data/NAME.in

// What the player reads: the output with every board shown as '#'.
std::string Dialogue(std::string out);

// Player `who` commits these Powers to its Attacking row as the attack step does.
void Commit(int who, const std::vector<int>& powers);

// A fresh game without the setup dialogue; the rows are freed after each test.
class GameTest : public ::testing::Test {
protected:
    void NewGame(int humanIdx, int fullPower, char level);
    // A fresh Quelby game at maximum Power 4 with the computer's Reserves
    // empty: `attacker` commits these Powers, and the other player sets a
    // defender of Power p against column c for every pair {c, p}.
    void Fight(int humanIdx, int attacker, const std::vector<int>& attack,
               const std::vector<std::pair<int, int>>& defend);
    void TearDown() override;
    PlayerInfo& Human() { return player[giPlayerNum]; }
    PlayerInfo& Ai() { return player[giAINum]; }
};

// Sets a player's counts by Power: {1, 0, 2} gives one Power 1 and two Power 3 units.
void SetCounts(PowerCounts& counts, int32_t& total, std::initializer_list<int> byPower);

// Column texts of a row: "P:T" per node (Power and target), separated by spaces.
std::string RowText(const UnitNode* head);
