// SPDX-License-Identifier: MIT
// The command line: help, version and usage errors, each with its exact
// output, its stream and its exit status, and never a game.
#include "support.h"

namespace {

struct Outcome {
    int status;
    std::string output;
    std::string errors;
};

Outcome RunQir(const std::vector<std::string>& args, const std::string& input = "")
{
    std::vector<std::string> command{QIR_EXE};
    command.insert(command.end(), args.begin(), args.end());
    GameProcess game(command, {});
    game.Write(input);
    const int status = game.Finish();
    return {status, game.Output(), game.Errors()};
}

std::string UsageError(const std::string& problem)
{
    return "qir: " + problem + ". Try 'qir --help'.\n";
}

TEST(Options, HelpAndVersionPrintAndExitWithoutAGame)
{
    const Outcome help = RunQir({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: qir [OPTION]...\n")) << help.output;
    EXPECT_NE(help.output.find("man 6 qir"), std::string::npos);
    EXPECT_EQ(help.errors, "");
    for (const auto& same : {std::vector<std::string>{"-h"}, {"--he"}, {"--version", "--help"}, {"-V", "-h"}}) {
        EXPECT_EQ(RunQir(same).output, help.output);
    }
    for (const auto& version : {std::vector<std::string>{"-V"}, {"--version"}}) {
        const Outcome shown = RunQir(version);
        EXPECT_EQ(shown.status, 0);
        EXPECT_EQ(shown.output, "qir " QIR_VERSION "\n");
        EXPECT_EQ(shown.errors, "");
    }
}

TEST(Options, UsageErrorsSayOneLineOnStderrAndWinOverHelp)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
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
    };
    for (const auto& [args, problem] : cases) {
        SCOPED_TRACE(args.front());
        const Outcome refused = RunQir(args, "n\n");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors, UsageError(problem));
    }
}

}  // namespace
