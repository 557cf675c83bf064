#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool gInsidePiece = false;

// The game ends the process when its input runs out; inside a test that means
// the script was too short, which must not pass unnoticed.
void FailOnEarlyExit()
{
    if (gInsidePiece) {
        const char message[] = "\nthe game ran out of scripted input\n";
        (void)!write(2, message, sizeof message - 1);
        _exit(99);
    }
}

std::string TempPath(const char* stem)
{
    std::string path = std::string("/tmp/") + stem + "XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd >= 0) {
        close(fd);
    }
    return path;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace

std::string RunWithInput(const std::string& input, const std::function<void()>& piece)
{
    static const bool registered = std::atexit(FailOnEarlyExit) == 0;
    (void)registered;

    const std::string inPath = TempPath("qir-in");
    const std::string outPath = TempPath("qir-out");
    WriteFile(inPath, input);
    if (std::freopen(inPath.c_str(), "r", stdin) == nullptr) {
        ADD_FAILURE() << "cannot open the script";
        return {};
    }

    std::fflush(stdout);
    const int saved = dup(1);
    FILE* out = std::fopen(outPath.c_str(), "w");
    dup2(fileno(out), 1);
    gInsidePiece = true;
    piece();
    gInsidePiece = false;
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::fclose(out);

    std::string printed = Slurp(outPath);
    std::remove(inPath.c_str());
    std::remove(outPath.c_str());
    return printed;
}

RunResult RunGame(const std::string& input, std::time_t clock)
{
    const std::string inPath = TempPath("qir-in");
    const std::string outPath = TempPath("qir-out");
    WriteFile(inPath, input);
    const std::string command = "QIR_TEST_CLOCK=" + std::to_string(clock) + " timeout 20 " QIR_FIXED_CLOCK_EXE " <" +
                                inPath + " >" + outPath;
    const int raw = std::system(command.c_str());
    RunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(outPath)};
    std::remove(inPath.c_str());
    std::remove(outPath.c_str());
    return result;
}

std::string ReadTestData(const std::string& name)
{
    return Slurp(std::string(QIR_TEST_DATA) + "/" + name);
}

void GameTest::NewGame(int humanIdx, int fullPower, char level)
{
    giPlayerNum = humanIdx;
    giAINum = 1 - humanIdx;
    giFullPower = fullPower;
    gDiffLevel = level;
    InitStorage();
}

void GameTest::TearDown()
{
    FreeAllRows();
    FreeBoardMem();
}

void SetCounts(PowerCounts& counts, int32_t& total, std::initializer_list<int> byPower)
{
    counts.fill(0);
    total = 0;
    int power = 1;
    for (const int n : byPower) {
        counts[power - 1] = n;
        total += n;
        ++power;
    }
}

std::string RowText(const UnitNode* head)
{
    std::string text;
    for (const UnitNode* n = head; n != nullptr; n = n->pNext) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(n->iPower) + ":" + std::to_string(n->iTarget);
    }
    return text;
}
