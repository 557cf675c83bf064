// SPDX-License-Identifier: MIT
// The harness that runs the game as a process must tell every kind of end
// apart: a failure that says "status -1" cannot be told from a signal sent by
// someone else, a timeout, or a status read wrongly.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support.h"

namespace {

TEST(Harness, TellsAnExitASignalAndATimeoutApart)
{
    struct Case {
        const char* script;
        int exitCode;
        int signal;
        bool timedOut;
        const char* described;
    };
    const Case cases[] = {
        {"cat >/dev/null; exit 3", 3, 0, false, "exited with status 3"},
        {"kill -TERM $$", -1, SIGTERM, false, "ended by signal 15"},
        {"kill -KILL $$", -1, SIGKILL, false, "ended by signal 9"},
        {"exec sleep 5 </dev/null >/dev/null 2>&1", -1, 0, true, "did not end in time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        GameProcess process({"/bin/sh", "-c", c.script}, {});
        EXPECT_EQ(process.Finish(300), c.exitCode);
        EXPECT_EQ(process.End().exitCode, c.exitCode);
        EXPECT_EQ(process.End().signal, c.signal);
        EXPECT_EQ(process.End().timedOut, c.timedOut);
        EXPECT_NE(process.End().Describe().find(c.described), std::string::npos) << process.End().Describe();
    }
}

// Input far larger than a pipe holds reaches a game that prints as it reads,
// and the report keeps every byte of it for a replay.
TEST(Harness, WritesLongInputWhileReadingAndKeepsItForTheReport)
{
    const std::string input(1 << 20, 'y');
    GameProcess process({"/bin/sh", "-c", "cat; exit 1"}, {});
    ASSERT_TRUE(process.Write(input));
    EXPECT_EQ(process.Finish(), 1);
    EXPECT_EQ(process.Output().size(), input.size());
    const std::string report = process.Report();
    const std::string path = report.substr(report.rfind(": ") + 2, report.size() - report.rfind(": ") - 3);
    EXPECT_EQ(process.Input(), input);
    std::ifstream kept(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), input);
    std::remove(path.c_str());
}

}  // namespace
