#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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

PipedGame::PipedGame(std::time_t clock, const std::string& path) : errPath_(TempPath("qir-err"))
{
    std::signal(SIGPIPE, SIG_IGN);  // a game that has ended must not take the tests with it
    int toGame[2];
    int fromGame[2];
    if (pipe(toGame) != 0 || pipe(fromGame) != 0) {
        ADD_FAILURE() << "cannot open the pipes";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toGame[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromGame[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_TRUNC, 0600);
    for (const int fd : {toGame[0], toGame[1], fromGame[0], fromGame[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    std::string clockVar = "QIR_TEST_CLOCK=" + std::to_string(clock);
    std::string pathVar = "PATH=" + path;
    char exe[] = QIR_FIXED_CLOCK_EXE;
    char* argv[] = {exe, nullptr};
    char* env[] = {clockVar.data(), pathVar.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, exe, &actions, nullptr, argv, env) != 0) {
        ADD_FAILURE() << "cannot start " << exe;
    }
    posix_spawn_file_actions_destroy(&actions);
    pid_ = pid;
    close(toGame[0]);
    close(fromGame[1]);
    in_ = toGame[1];
    out_ = fromGame[0];
}

PipedGame::~PipedGame()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {in_, out_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    std::remove(errPath_.c_str());
}

// Waits up to `timeoutMs` for output and appends what came; false on timeout
// or once the game has closed its output.
bool PipedGame::ReadSome(int timeoutMs)
{
    pollfd ready{out_, POLLIN, 0};
    if (out_ < 0 || poll(&ready, 1, timeoutMs) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) {
        return false;
    }
    output_.append(chunk, static_cast<size_t>(n));
    return true;
}

bool PipedGame::ReadUntil(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t at = output_.find(text, seen_);
        if (at != std::string::npos) {
            seen_ = at + text.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) {
            return false;
        }
    }
}

void PipedGame::Write(const std::string& text)
{
    if (in_ >= 0 && write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        ADD_FAILURE() << "the game did not take its input";
    }
}

int PipedGame::Finish(int timeoutMs)
{
    if (in_ >= 0) {
        close(in_);
        in_ = -1;
    }
    while (ReadSome(timeoutMs)) {
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int raw = 0;
    pid_t done = 0;
    while (pid_ > 0 && (done = waitpid(pid_, &raw, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return -1;  // the destructor kills it
        }
        usleep(10000);
    }
    if (done != pid_) {
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string PipedGame::Errors() const
{
    return Slurp(errPath_);
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
