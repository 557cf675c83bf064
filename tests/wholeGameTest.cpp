// SPDX-License-Identifier: MIT
// Whole games, played to a win or a loss by the scripted player at both
// levels and in both player orders. The test build of the game checks its
// records after every step and stops at the first broken rule. And whole
// games in the test's own process, through a scripted system, faults
// included, each as qir plays it as a process.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "playDriver.h"
#include "support.h"

namespace {

TEST(WholeGames, EveryLevelAndOrderPlaysThroughEveryStepToTheEnd)
{
    std::string all;
    for (const char order : {'1', '2'}) {
        for (const char level : {'d', 'q'}) {
            for (std::uint32_t seed = 1; seed <= 20; ++seed) {
                PlayPolicy policy;
                policy.order = order;
                policy.level = level;
                policy.seed = seed;
                policy.maxPower = "23456789"[seed % 8];
                const PlayedGame game = PlayGame(QIR_FIXED_CLOCK_EXE, policy);
                SCOPED_TRACE(std::string("player ") + order + " against " + level + ", seed " + std::to_string(seed));
                ASSERT_EQ(game.errors, "") << game.report;
                ASSERT_EQ(game.status, 0) << game.report;
                ASSERT_EQ(game.results, 1);
                all += game.transcript;
            }
        }
    }
    // Between them the games went through every kind of move.
    for (const char* move : {"is set to defend against", "has refocused its attack", "has been reinforced",
                             "has been Powered-up", "has advanced to attack", "has completed his reinforcement",
                             "Attack Focus phase is complete", "lost 2 Bases!", "You win!", "You lose!"}) {
        EXPECT_NE(all.find(move), std::string::npos) << move;
    }
}

namespace fs = std::filesystem;

// What a run printed and left in its record, whichever way it ran.
struct Ran {
    RunResult run;
    std::string record;  // the record's file, or "" when there is none
};

// Where two runs part, for a failure message.
std::string Parting(const std::string& scripted, const std::string& process)
{
    const size_t at = static_cast<size_t>(
        std::mismatch(scripted.begin(), scripted.end(), process.begin(), process.end()).first - scripted.begin());
    const size_t from = at > 60 ? at - 60 : 0;
    return "they part at byte " + std::to_string(at) + "\n  in process: " + scripted.substr(from, 120) +
           "\n  as qir:     " + process.substr(from, 120);
}

void ExpectSame(const Ran& scripted, const Ran& process)
{
    EXPECT_EQ(scripted.run.status, process.run.status);
    EXPECT_TRUE(scripted.run.output == process.run.output) << Parting(scripted.run.output, process.run.output);
    EXPECT_EQ(scripted.run.errors, process.run.errors);
    EXPECT_TRUE(scripted.record == process.record) << Parting(scripted.record, process.record);
}

// The real qir with these arguments, laid out for 80x24 when compact.
std::vector<std::string> Qir(const std::vector<std::string>& args)
{
    std::vector<std::string> command{"/usr/bin/env", "-u", "LINES", "-u", "COLUMNS", QIR_EXE};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

class ScriptedGames : public TempFolderTest {
protected:
    // Runs `run` on a record file that holds `start` ("" for none), and
    // takes the record away again.
    Ran WithRecord(const std::string& start, const std::function<RunResult()>& run)
    {
        fs::remove(Record());
        if (!start.empty()) {
            WriteFile(Record(), start);
        }
        Ran ran{run(), fs::exists(Record()) ? ReadFile(Record()) : ""};
        fs::remove(Record());
        return ran;
    }
    std::string Record() const { return File("game.qir"); }
};

// Fifty whole games of the scripted player, seeded, at both levels, in both
// orders, at every maximum Power, some recorded, some on a terminal of 80x24,
// some played twice in a row: the program in this process, through the
// scripted system, plays each as qir does as a process. Then the faults a
// system can have end games as they end qir.
TEST_F(ScriptedGames, PlayInOneProcessAsQirDoes)
{
    // The screen reads the terminal's kind from the environment.
    const char* term = std::getenv("TERM");
    const std::string termWas = term != nullptr ? term : "";
    setenv("TERM", "xterm", 1);
    std::vector<std::string> inputs;
    for (int i = 0; i < 50; ++i) {
        PlayPolicy policy;
        policy.order = "12"[i % 2];
        policy.level = "ddqq"[i % 4];
        policy.maxPower = "23456789"[i % 8];
        policy.seed = static_cast<std::uint32_t>(100 + i);
        policy.games = i % 12 == 5 ? 2 : 1;
        std::vector<std::string> args{"--seed", std::to_string(policy.seed)};
        if (i % 4 == 3) {
            args.insert(args.end(), {"--record", Record()});
        }
        SCOPED_TRACE("game " + std::to_string(i));
        PlayedGame played;
        Ran process = WithRecord("", [&] {
            played = PlayGame(Qir(args), policy);
            return RunResult{played.status, played.transcript, played.errors, played.report};
        });
        ASSERT_EQ(played.results, policy.games) << played.report;
        inputs.push_back(played.input);
        ScriptedSystem system;
        system.answers = played.input;
        // A terminal of 80x24 is laid out, and coloured, as --compact and
        // --color=always lay out and colour a pipe.
        system.terminal[1] = i % 10 == 7;
        if (system.terminal[1]) {
            std::vector<std::string> piped = args;
            piped.insert(piped.end(), {"--compact", "--color=always"});
            process = WithRecord("", [&] { return RunCommand(Qir(piped), played.input); });
        }
        ExpectSame(WithRecord("", [&] { return RunScripted(args, system); }), process);
    }

    // The faults of the record's file, each through the scripted system and
    // through the library preloaded into qir.
    // A record to resume and replay: the first forty lines of a game.
    std::string resumed = WithRecord("", [&] {
                              return RunQir({"--seed", "7", "--record", Record()}, inputs[3]);
                          }).record;
    for (size_t at = 0, lines = 0; at < resumed.size(); ++at) {
        if (resumed[at] == '\n' && ++lines == 40) {
            resumed.resize(at + 1);
        }
    }
    using enum SystemCall;
    using enum OsResult;
    const std::string syncFails = "QIR_FAULT_SYNC_ERRNO=" + std::to_string(EIO);
    const std::string diskFull = "QIR_FAULT_WRITE_ERRNO=" + std::to_string(ENOSPC);
    struct Fault {
        const char* what;
        const char* mode;  // --record, or --resume or --replay of `resumed`
        ScriptedSystem::Fault fault;
        std::vector<std::string> preloaded;
    };
    const Fault faults[] = {
        {"the header's sync fails", "--record", {kSyncRecord, 1, kFailed}, {syncFails}},
        {"a sync in play fails", "--record", {kSyncRecord, 30, kFailed}, {syncFails, "QIR_FAULT_SPARE=29"}},
        {"a full disk takes the header", "--record", {kWrite, 1, kNoSpace}, {diskFull}},
        {"the disk fills in play", "--record", {kWrite, 60, kNoSpace}, {diskFull, "QIR_FAULT_SPARE=59"}},
        {"a resumed game's disk fills", "--resume", {kWrite, 3, kNoSpace}, {diskFull, "QIR_FAULT_SPARE=2"}},
        {"nothing can be locked", "--record", {kLockRecord, 1, kCannotLock}, {"QIR_FAULT_NO_LOCKS=1"}},
        {"a resume cannot lock", "--resume", {kLockRecord, 1, kCannotLock}, {"QIR_FAULT_NO_LOCKS=1"}},
        {"a resume cannot read its record", "--resume", {kReadRecord, 1, kFailed}, {"QIR_FAULT_READ_AFTER=0"}},
        {"a replay cannot read its record", "--replay", {kReadRecord, 1, kFailed}, {"QIR_FAULT_READ_AFTER=0"}},
    };
    for (size_t i = 0; i < std::size(faults); ++i) {
        const Fault& fault = faults[i];
        SCOPED_TRACE(fault.what);
        const bool recording = std::string_view(fault.mode) == "--record";
        const std::vector<std::string> args =
            recording ? std::vector<std::string>{"--seed", std::to_string(100 + i), "--record", Record()}
                      : std::vector<std::string>{fault.mode, Record()};
        const std::string start = recording ? "" : resumed;
        const Ran process = WithRecord(start, [&] { return RunFaulty(fault.preloaded, args, inputs[i]); });
        ScriptedSystem system;
        system.answers = inputs[i];
        system.fault = fault.fault;
        ExpectSame(WithRecord(start, [&] { return RunScripted(args, system); }), process);
    }

    // The player's side: the answers end, or a read of them fails, at the
    // start of a line, where qir given only the answers before it finds the
    // end of input. A failed read is no end of input: it is said, with status 1.
    for (size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE("answers cut in game " + std::to_string(i));
        const std::string& input = inputs[i];
        // After a tenth of its lines in the first game, nine tenths in the last.
        const auto lines = static_cast<size_t>(std::count(input.begin(), input.end(), '\n'));
        size_t cut = 0;
        for (size_t line = 0; line < lines * (i + 1) / 9; ++line) {
            cut = input.find('\n', cut) + 1;
        }
        std::vector<std::string> args{"--seed", std::to_string(100 + i)};
        if (i % 3 == 1) {
            args.insert(args.end(), {"--record", Record()});
        }
        const Ran process = WithRecord("", [&] { return RunQir(args, input.substr(0, cut)); });
        ScriptedSystem system;
        system.answers = input;
        system.fault = {kReadByte, static_cast<int>(cut) + 1, i % 2 == 0 ? kDone : kFailed};
        Ran scripted = WithRecord("", [&] { return RunScripted(args, system); });
        if (system.fault.result == kFailed) {
            EXPECT_EQ(scripted.run.status, 1);
            EXPECT_EQ(scripted.run.errors,
                      process.run.errors + "qir: cannot read the player's answers: " + std::strerror(EIO) + "\n");
            scripted.run = {0, scripted.run.output + "\n", process.run.errors, ""};
        }
        ExpectSame(scripted, process);
    }

    // A record that another qir holds, and an output that cannot be written.
    ScriptedSystem refused;
    refused.fault = {kLockRecord, 1, kInUse};
    const Ran inUse = {{1, "", "qir: the record " + Record() + " is in use by another qir\n", ""}, resumed};
    ExpectSame(WithRecord(resumed, [&] { return RunScripted({"--resume", Record()}, refused); }), inUse);
    ScriptedSystem full;
    full.answers = inputs[0];
    full.fault = {kShow, 1, kNoSpace};
    const std::vector<std::string> toFullDisk = {"/bin/sh", "-c", "exec \"$0\" --seed 100 >/dev/full", QIR_EXE};
    ExpectSame(WithRecord("",
                          [&] {
                              return RunScripted({"--seed", "100"}, full);
                          }),
               WithRecord("", [&] { return RunCommand(toFullDisk, inputs[0]); }));
    if (term != nullptr) {
        setenv("TERM", termWas.c_str(), 1);
    } else {
        unsetenv("TERM");
    }
}

}  // namespace
