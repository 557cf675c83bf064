// SPDX-License-Identifier: MIT
// The command line: help, version and usage errors, each with its exact
// output, its stream and its exit status, and never a game.
#include "support.h"

namespace {

std::string UsageError(const std::string& problem)
{
    return "qir: " + problem + ". Try 'qir --help'.\n";
}

using UsageCase = std::pair<std::vector<std::string>, std::string>;  // the arguments, and the problem said

// Each is refused with its one line on stderr, status 2 and no game.
void ExpectRefused(std::initializer_list<UsageCase> cases)
{
    for (const auto& [args, problem] : cases) {
        SCOPED_TRACE(args.front());
        const RunResult refused = RunQir(args, "n\n");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors, UsageError(problem));
    }
}

TEST(Options, HelpAndVersionPrintAndExitWithoutAGame)
{
    const RunResult help = RunQir({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: qir [OPTION]...\n")) << help.output;
    EXPECT_NE(help.output.find("man 6 qir"), std::string::npos);
    EXPECT_EQ(help.errors, "");
    for (const auto& same : {std::vector<std::string>{"-h"}, {"--he"}, {"--version", "--help"}, {"-V", "-h"}}) {
        EXPECT_EQ(RunQir(same).output, help.output);
    }
    for (const auto& version : {std::vector<std::string>{"-V"}, {"--version"}}) {
        const RunResult shown = RunQir(version);
        EXPECT_EQ(shown.status, 0);
        EXPECT_EQ(shown.output, "qir " QIR_VERSION "\n");
        EXPECT_EQ(shown.errors, "");
    }
}

TEST(Options, UsageErrorsSayOneLineOnStderrAndWinOverHelp)
{
    ExpectRefused({
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--bogus=3"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-hx"}, "unknown option '-x'"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"extra", "--help"}, "unexpected argument 'extra'"},
        {{"--help", "extra"}, "unexpected argument 'extra'"},
        {{"--", "--help"}, "unexpected argument '--help'"},
        {{"--help=yes"}, "option '--help' takes no argument"},
        {{"-h", "--help"}, "option '--help' given twice"},
        {{"-VV"}, "option '--version' given twice"},
        {{"--explain=1"}, "option '--explain' takes no argument"},
        {{"-e"}, "unknown option '-e'"},
        {{"--explain", "--explain"}, "option '--explain' given twice"},
        {{"--seed"}, "option '--seed' needs an argument"},
        {{"--record"}, "option '--record' needs an argument"},
        {{"-s", "5"}, "unknown option '-s'"},
        {{"--seed", "1", "--seed", "1"}, "option '--seed' given twice"},
        {{"--record", "a", "--record", "b"}, "option '--record' given twice"},
        {{"--resume", "a", "--seed", "1"}, "option '--resume' does not go with '--seed'"},
        {{"--resume", "a", "--record", "b"}, "option '--resume' does not go with '--record'"},
        {{"--replay", "a", "--seed", "1"}, "option '--replay' does not go with '--seed'"},
        {{"--resume", "a", "--replay", "a"}, "option '--resume' does not go with '--replay'"},
        {{"--daily", "--seed", "1"}, "option '--daily' does not go with '--seed'"},
        {{"--daily=2026-12-24", "--resume", "a"}, "option '--daily' does not go with '--resume'"},
        {{"--replay", "a", "--daily"}, "option '--daily' does not go with '--replay'"},
        {{"--daily", "--daily"}, "option '--daily' given twice"},
        {{"--daily="}, "invalid date '' for '--daily' (YYYY-MM-DD, such as 2026-12-24)"},
    });
}

// A seed is decimal digits, no sign or spaces, at most 2147483647; its
// leading zeros change nothing.
TEST(Options, SeedsOutsideTheirRangeAreUsageErrors)
{
    for (const char* seed : {"-1", "+5", " 5", "5 ", "5x", "0x10", "", "2147483648", "99999999999", "002147483648"}) {
        SCOPED_TRACE(seed);
        const RunResult refused = RunQir({std::string("--seed=") + seed}, "n\n");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors,
                  UsageError(std::string("invalid seed '") + seed + "' (a whole number from 0 to 2147483647)"));
    }
    for (const char* seed : {"0", "2147483647", "0000000007", "00000000001", "0000000000007", "000"}) {
        SCOPED_TRACE(seed);
        const RunResult game = RunQir({"--seed", seed});
        EXPECT_EQ(game.status, 0);
        EXPECT_TRUE(game.output.starts_with("Welcome to QIR!\n")) << game.output;
        EXPECT_EQ(game.errors, "");
    }
}

// A long option may be shortened to any beginning that names it alone; a
// beginning of several is refused by name.
TEST(Options, ALongOptionMayBeShortenedWhereItIsNotAmbiguous)
{
    const RunResult whole = RunQir({"--seed", "12"}, "n\n1\n");
    for (const auto& same : {std::vector<std::string>{"--se", "12"}, {"--s=12"}, {"--seed=012"}}) {
        EXPECT_EQ(RunQir(same, "n\n1\n").output, whole.output) << same.front();
    }
    EXPECT_EQ(RunQir({"--vers"}).output, "qir " QIR_VERSION "\n");
    ExpectRefused({
        {{"--re", "x"}, "option '--re' is ambiguous"},
        {{"--r=x"}, "option '--r' is ambiguous"},
        {{"--rec"}, "option '--record' needs an argument"},
        {{"--res"}, "option '--resume' needs an argument"},
        {{"--rep"}, "option '--replay' needs an argument"},
        {{"--rep", "a", "--res", "b"}, "option '--resume' does not go with '--replay'"},
        {{"--d", "1"}, "option '--d' is ambiguous"},
        {{"--de", "1"}, "option '--delay' goes only with '--replay'"},
        {{"--delay", "1", "--seed", "1"}, "option '--delay' goes only with '--replay'"},
        {{"--delay", "1", "--delay", "2"}, "option '--delay' given twice"},
    });
}

// A delay is seconds from 0 to 60, with a fraction down to the millisecond.
TEST(Options, DelaysOutsideTheirRangeAreUsageErrors)
{
    for (const char* delay : {"", "-1", "+1", "61", "60.001", "1.", ".5", "1.5s", "1,5", " 1", "0x1", "1e1"}) {
        SCOPED_TRACE(delay);
        const RunResult refused = RunQir({"--replay", "none", std::string("--delay=") + delay});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.errors,
                  UsageError(std::string("invalid delay '") + delay + "' (seconds from 0 to 60, such as 2 or 0.5)"));
    }
    for (const char* delay : {"0", "60", "60.000", "0.5", "007", "1.23456"}) {
        SCOPED_TRACE(delay);
        const RunResult missing = RunQir({"--replay", "none", "--delay", delay});
        EXPECT_EQ(missing.status, 1);
        EXPECT_TRUE(missing.errors.starts_with("qir: cannot open the record none")) << missing.errors;
    }
}

}  // namespace
