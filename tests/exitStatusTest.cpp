// SPDX-License-Identifier: MIT
// How the game ends as seen by whoever started it: output that cannot be
// written and answers that cannot be read are failures (status 1, one line on
// stderr); the end of the answers is a normal end, and a pipe whose reader
// has gone ends the game by SIGPIPE.
#include <csignal>
#include <cstdio>
#include <fstream>

#include "support.h"

namespace {

TEST(ExitStatus, FailuresOfInputAndOutputAreNotReportedAsSuccess)
{
    const std::string answers = KeepInput("exit-status-answers", ReadSession("round-as-player1").answers);
    const std::string cannotWrite = "qir: cannot write the game's output: ";
    const std::string cannotRead = "qir: cannot read the player's answers: ";
    struct Case {
        const char* redirected;  // how the shell starts the game
        int status;
        std::string errors;
    };
    const Case cases[] = {
        {"<ANSWERS >/dev/null", 0, ""},
        {"</dev/null >/dev/null", 0, ""},
        {"<ANSWERS >/dev/full", 1, cannotWrite + "No space left on device\n"},
        {"<ANSWERS >&-", 1, cannotWrite + "Bad file descriptor\n"},
        {"--help >/dev/full", 1, cannotWrite + "No space left on device\n"},
        {"--version >&-", 1, cannotWrite + "Bad file descriptor\n"},
        {"</ >/dev/null", 1, cannotRead + "Is a directory\n"},
        {"<&- >/dev/null", 1, cannotRead + "Bad file descriptor\n"},
        {"<&- >&-", 1, cannotWrite + "Bad file descriptor\n"},  // the question is lost before the answer is missed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.redirected);
        std::string redirected = c.redirected;
        if (const size_t at = redirected.find("ANSWERS"); at != std::string::npos) {
            redirected.replace(at, 7, answers);
        }
        const RunResult run = RunCommand({"/bin/sh", "-c", "exec \"$0\" " + redirected, QIR_EXE}, "");
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors, c.errors);
    }
    // A closed record file must not take the place of a closed output.
    const std::string record = KeepInput("exit-status-record", "") + ".new";
    std::remove(record.c_str());
    const RunResult recorded =
        RunCommand({"/bin/sh", "-c", "exec \"$0\" --record \"$1\" <\"$2\" >&-", QIR_EXE, record, answers}, "");
    EXPECT_EQ(recorded.status, 1);
    std::ifstream kept(record);
    std::string first;
    std::getline(kept, first);
    EXPECT_EQ(first, "Qir record 1");
    std::remove(record.c_str());
}

TEST(ExitStatus, APipeWhoseReaderHasGoneEndsTheGameBySigpipe)
{
    const RunResult run =
        RunCommand({"/bin/bash", "-c", "yes | \"$0\" | head -c 10 >/dev/null; echo ${PIPESTATUS[1]}", QIR_EXE}, "");
    EXPECT_EQ(run.output, std::to_string(128 + SIGPIPE) + "\n");
    EXPECT_EQ(run.errors, "");
}

}  // namespace
