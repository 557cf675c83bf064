// SPDX-License-Identifier: MIT
// How the game ends as seen by whoever started it: a lost output or answers
// that cannot be read are failures (status 1, a line on stderr), the end of
// the answers is a normal end.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "support.h"

namespace {

struct Redirected {
    const char* what;
    const char* args;
    const char* input;   // a file to read the answers from
    const char* output;  // where the game writes
    int status;
    const char* error;  // expected in stderr; empty when nothing may appear
};

TEST(ExitStatus, FailuresOfInputAndOutputAreNotReportedAsSuccess)
{
    const std::string answers = KeepInput("exit-status-answers-" + std::to_string(getpid()), "n\n1\n");
    const Redirected cases[] = {
        {"answers run out", "", answers.c_str(), "/dev/null", 0, ""},
        {"answers from a folder", "", "/tmp", "/dev/null", 1, "qir: cannot read the answers: "},
        {"a game into a full disk", "", answers.c_str(), "/dev/full", 1, "qir: cannot write the game: "},
        {"the version into a full disk", "--version", "/dev/null", "/dev/full", 1, "qir: cannot write the game: "},
        {"the help into a full disk", "--help", "/dev/null", "/dev/full", 1, "qir: cannot write the game: "},
    };
    const std::string errors = KeepInput("exit-status-errors-" + std::to_string(getpid()), "");
    for (const Redirected& c : cases) {
        const std::string command = std::string(QIR_EXE) + " " + c.args + " <" + c.input + " >" + c.output +
                                    " 2>" + errors;
        const int raw = std::system(command.c_str());
        std::ifstream in(errors);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_TRUE(WIFEXITED(raw)) << c.what;
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.what;
        if (*c.error == '\0') {
            EXPECT_EQ(text.str(), "") << c.what;
        } else {
            EXPECT_EQ(text.str().rfind(c.error, 0), 0u) << c.what << ": " << text.str();
        }
    }
}

}  // namespace
