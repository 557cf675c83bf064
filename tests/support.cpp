// SPDX-License-Identifier: MIT
#include "support.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How the scripted program ended: thrown by its exit, caught by RunScripted.
struct ScriptedExit {
    int status;
};

// The scripted system in use, and what the program did through it.
struct Scripted {
    ScriptedSystem system;
    size_t typed = 0;            // the answers' bytes read so far
    std::array<int, 9> calls{};  // how often each call that can fail was made
    std::string output;
    std::string errors;
};
Scripted* gScripted = nullptr;

// The words a system of this test's kind has for each result.
const char* WordsFor(OsResult result)
{
    switch (result) {
    case OsResult::kDone:
    case OsResult::kNotAFile: return "";
    case OsResult::kInUse: return std::strerror(EAGAIN);
    case OsResult::kCannotLock: return std::strerror(ENOLCK);
    case OsResult::kFolder: return std::strerror(EISDIR);
    case OsResult::kExists: return std::strerror(EEXIST);
    case OsResult::kNotFound: return std::strerror(ENOENT);
    case OsResult::kNoSpace: return std::strerror(ENOSPC);
    case OsResult::kClosed: return std::strerror(EBADF);
    default: return std::strerror(EIO);
    }
}

// Counts a call, and says whether the script makes it fail.
bool Fails(SystemCall call, OsStatus& status)
{
    const ScriptedSystem::Fault& fault = gScripted->system.fault;
    const int made = ++gScripted->calls[static_cast<size_t>(call)];
    if (fault.at == 0 || call != fault.call || made < fault.at) {
        return false;
    }
    status = {fault.result, WordsFor(fault.result)};
    return true;
}

// A call of the real system on the test's files, unless the script makes it fail.
template <SystemCall call, auto real, typename... Args>
OsStatus Faulty(Args... args)
{
    OsStatus status;
    return Fails(call, status) ? status : (kOsCalls.*real)(args...);
}

const OsCalls kScriptedCalls = {
    .setUpStreams = [](OsStatus&, OsStatus&) {},
    .show =
        [](std::string_view text) {
            OsStatus status;
            if (!Fails(SystemCall::kShow, status)) {
                gScripted->output += text;
            }
            return status;
        },
    .showError = [](std::string_view text) { gScripted->errors += text; },
    .readByte =
        [](OsStatus& status) {
            const std::string& answers = gScripted->system.answers;
            OsStatus fault;
            if (Fails(SystemCall::kReadByte, fault) || gScripted->typed == answers.size()) {
                status = OsFailed(fault) ? fault : status;
                return EOF;
            }
            return static_cast<int>(static_cast<unsigned char>(answers[gScripted->typed++]));
        },
    .isTerminal = [](int fd) { return fd >= 0 && fd <= 2 && gScripted->system.terminal[static_cast<size_t>(fd)]; },
    .showsColour = [] { return gScripted->system.terminal[1]; },
    // Answers scripted ahead are typed ahead, as a paste would be.
    .inputWaiting = [] { return gScripted->typed < gScripted->system.answers.size(); },
    .page = [](std::string_view) { return false; },  // no pager: the text is shown on the screen
    .setInterruptNote = [](std::string_view) {},
    .screenSize =
        [](int fd, int& rows, int& columns) {
            const bool terminal = kScriptedCalls.isTerminal(fd);
            rows = terminal ? gScripted->system.rows : 0;
            columns = terminal ? gScripted->system.columns : 0;
            return terminal;
        },
    .sleep = [](int) {},
    .clock = [] { return gScripted->system.clock; },
    .exit = [](int status) { throw ScriptedExit{status}; },
    .openRecord = Faulty<SystemCall::kOpenRecord, &OsCalls::openRecord, const char*, RecordUse, int&>,
    .placeRecord = Faulty<SystemCall::kPlaceRecord, &OsCalls::placeRecord, const char*, int&>,
    .sameFile = [](int, int) { return false; },  // the scripted streams are no files
    .lockRecord = Faulty<SystemCall::kLockRecord, &OsCalls::lockRecord, int>,
    .write =
        [](int fd, std::string_view text) {
            if (fd == 1 || fd == 2) {
                (fd == 1 ? gScripted->output : gScripted->errors) += text;
                return OsStatus{};
            }
            return Faulty<SystemCall::kWrite, &OsCalls::write, int, std::string_view>(fd, text);
        },
    .readRecord = Faulty<SystemCall::kReadRecord, &OsCalls::readRecord, int, char*, size_t, size_t&>,
    .cutRecord = Faulty<SystemCall::kCutRecord, &OsCalls::cutRecord, int, long long>,
    .syncRecord = Faulty<SystemCall::kSyncRecord, &OsCalls::syncRecord, int>,
    .closeRecord = [](int fd) { kOsCalls.closeRecord(fd); },
};

// Runs `body` on the scripted system instead of the real one: the status
// the program exited with, or -1 when it did not exit.
int OnScript(Scripted& scripted, const std::function<void()>& body)
{
    gScripted = &scripted;
    OsUseCalls(kScriptedCalls);
    int status = -1;
    try {
        body();
    } catch (const ScriptedExit& end) {
        status = end.status;
    }
    OsUseCalls(kOsCalls);
    gScripted = nullptr;
    return status;
}

}  // namespace

std::string RunWithInput(const std::string& input, const std::function<void()>& piece, long long clock)
{
    Scripted scripted;
    scripted.system.answers = input;
    scripted.system.clock = clock;
    // The game ends the program when its input runs out; inside a test that
    // means the script was too short, which must not pass unnoticed.
    EXPECT_EQ(OnScript(scripted,
                       [&] {
                           piece();
                           FlushOutput();
                       }),
              -1)
        << "the game ran out of scripted input";
    return scripted.output;
}

size_t ScriptedOutputSize()
{
    FlushOutput();
    return gScripted->output.size();
}

std::string ReadFile(const std::string& path)
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

// The game syncs every line of a record to the disk, which costs a disk's
// latency per answer: the tests' records live in memory where the system
// offers a memory file system, and the syncs themselves are counted by a
// test of their own (RecordFile.EveryLineIsSyncedBeforeTheGameGoesOn).
void TempFolderTest::SetUp()
{
    std::string name = access("/dev/shm", W_OK) == 0 ? "/dev/shm/qir-testXXXXXX" : "/tmp/qir-testXXXXXX";
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    folder_ = name;
}

void TempFolderTest::TearDown()
{
    std::filesystem::remove_all(folder_);
}

std::string TempFolderTest::File(const std::string& name) const
{
    return (folder_ / name).string();
}

std::string ProcessEnd::Describe() const
{
    if (timedOut) {
        return "did not end in time and was killed";
    }
    if (signal != 0) {
        return "ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    }
    if (exitCode < 0) {
        return "ended in a way the harness could not read";
    }
    return "exited with status " + std::to_string(exitCode);
}

std::string LastLines(const std::string& text, int lines)
{
    size_t start = text.size();
    for (int seen = 0; start > 0; --start) {
        if (text[start - 1] == '\n' && start != text.size() && ++seen == lines) {
            break;
        }
    }
    return text.substr(start);
}

std::string KeepInput(const std::string& name, const std::string& input)
{
    std::string path = (std::filesystem::temp_directory_path() / ("qir-" + name + ".in")).string();
    WriteFile(path, input);
    return path;
}

GameProcess::GameProcess(const std::vector<std::string>& command, const std::vector<std::string>& environment)
{
    std::signal(SIGPIPE, SIG_IGN);  // a game that has ended must not take the tests with it
    int toGame[2], fromGame[2], errors[2];
    if (pipe(toGame) != 0 || pipe(fromGame) != 0 || pipe(errors) != 0) {
        ADD_FAILURE() << "cannot open the pipes: " << std::strerror(errno);
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        // The game meets the world as a shell would start it: a pipe whose
        // reader has gone ends it by SIGPIPE.
        std::signal(SIGPIPE, SIG_DFL);
        dup2(toGame[0], 0);
        dup2(fromGame[1], 1);
        dup2(errors[1], 2);
        for (const int fd : {toGame[0], toGame[1], fromGame[0], fromGame[1], errors[0], errors[1]}) {
            close(fd);
        }
        std::vector<std::string> entries = environment;
        for (std::string& entry : entries) {
            putenv(entry.data());
        }
        std::vector<char*> argv;
        argv.reserve(command.size() + 1);
        for (const std::string& arg : command) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(toGame[0]);
    close(fromGame[1]);
    close(errors[1]);
    in_ = toGame[1];
    out_ = fromGame[0];
    err_ = errors[0];
    if (pid < 0) {
        ADD_FAILURE() << "cannot start " << command[0] << ": " << std::strerror(errno);
        return;
    }
    pid_ = pid;
    // Writing never blocks, so a game that stops reading cannot hang the tests.
    fcntl(in_, F_SETFL, fcntl(in_, F_GETFL) | O_NONBLOCK);
}

GameProcess::~GameProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {in_, out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

// Takes what one stream has for us; at its end (or on an error that is not a
// mere interruption) the stream is closed.
void GameProcess::Drain(int& fd)
{
    char chunk[65536];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
        (fd == out_ ? output_ : errors_).append(chunk, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        close(fd);
        fd = -1;
    }
}

bool GameProcess::ReadSome(int timeoutMs)
{
    pollfd ready[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0) {
        return false;
    }
    const int n = poll(ready, 2, std::max(timeoutMs, 0));
    if (n < 0 && errno == EINTR) {
        return true;  // nothing came, but the wait is not over
    }
    if (n <= 0) {
        return false;
    }
    if ((ready[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        Drain(out_);
    }
    if ((ready[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        Drain(err_);
    }
    return true;
}

bool GameProcess::ReadUntil(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t at = output_.find(text, seen_);
        if (at != std::string::npos) {
            seen_ = at + text.size();
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || out_ < 0 || !ReadSome(static_cast<int>(left.count()))) {
            return false;
        }
    }
}

bool GameProcess::Write(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < text.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (in_ < 0 || left.count() <= 0) {
            return false;
        }
        pollfd ready[3] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(ready, 3, static_cast<int>(left.count())) <= 0) {
            continue;  // interrupted, or the deadline: looked at above
        }
        if ((ready[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            Drain(out_);
        }
        if ((ready[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            Drain(err_);
        }
        if ((ready[0].revents & (POLLERR | POLLHUP)) != 0) {
            CloseInput();  // the game has closed its input: it reads no more
            return false;
        }
        if ((ready[0].revents & POLLOUT) != 0) {
            const ssize_t n = write(in_, text.data() + done, text.size() - done);
            if (n > 0) {
                input_.append(text, done, static_cast<size_t>(n));
                done += static_cast<size_t>(n);
            } else if (errno != EINTR && errno != EAGAIN) {
                CloseInput();
                return false;
            }
        }
    }
    return true;
}

void GameProcess::Kill() const
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
    }
}

void GameProcess::CloseInput()
{
    if (in_ >= 0) {
        close(in_);
        in_ = -1;
    }
}

int GameProcess::Finish(int timeoutMs)
{
    CloseInput();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    };
    while ((out_ >= 0 || err_ >= 0) && left() > 0 && ReadSome(left())) {
    }
    // The status is read from the game's own process id and only when
    // wait4 really reports it; anything else is named, never taken for an exit.
    for (;;) {
        int raw = 0;
        rusage usage{};
        const pid_t got = pid_ > 0 ? wait4(pid_, &raw, WNOHANG, &usage) : -1;
        if (got == pid_) {
            pid_ = -1;
            peakKilobytes_ = usage.ru_maxrss;
            if (WIFEXITED(raw)) {
                end_.exitCode = WEXITSTATUS(raw);
            } else if (WIFSIGNALED(raw)) {
                end_.signal = WTERMSIG(raw);
            }
            return end_.exitCode;
        }
        if (got < 0 && errno != EINTR) {
            return -1;  // no process to wait for: ProcessEnd says it could not be read
        }
        if (left() <= 0) {
            end_.timedOut = true;
            return -1;  // the destructor kills it
        }
        usleep(1000);
    }
}

std::string GameProcess::Report() const
{
    // Named after the test, and numbered, so no report overwrites another.
    static int reports = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "run";
    std::replace(name.begin(), name.end(), '/', '-');
    name += "-" + std::to_string(getpid()) + "-" + std::to_string(++reports);
    return "the game " + end_.Describe() + "\n--- last lines of its output:\n" + LastLines(output_, 8) +
           "\n--- its errors:\n" + errors_ + "--- its input, to replay it: " + KeepInput(name, input_) + "\n";
}

namespace {

RunResult Run(const std::vector<std::string>& command, const std::vector<std::string>& environment,
              const std::string& input)
{
    GameProcess game(command, environment);
    game.Write(input);
    const int status = game.Finish(20000);
    return {status, game.Output(), game.Errors(), status == 0 ? "" : game.Report()};
}

}  // namespace

RunResult RunGame(const std::string& input, std::time_t clock, const std::vector<std::string>& args)
{
    std::vector<std::string> command{QIR_FIXED_CLOCK_EXE};
    command.insert(command.end(), args.begin(), args.end());
    return Run(command, {"QIR_TEST_CLOCK=" + std::to_string(clock)}, input);
}

RunResult RunCommand(const std::vector<std::string>& command, const std::string& input)
{
    return Run(command, {}, input);
}

RunResult RunQir(const std::vector<std::string>& args, const std::string& input)
{
    std::vector<std::string> command{QIR_EXE};
    command.insert(command.end(), args.begin(), args.end());
    return Run(command, {}, input);
}

// The program from its start, as main runs it, and every global as it was
// before, whether it ended by the player's choice or by an exit in the middle.
RunResult RunScripted(const std::vector<std::string>& args, const ScriptedSystem& system)
{
    std::vector<std::string> words{"qir"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    Scripted scripted;
    scripted.system = system;
    const int status = OnScript(scripted, [&] {
        ResetQir();
        OsExit(PlayQir(static_cast<int>(words.size()), argv.data()));
    });
    ResetQir();
    return {status, scripted.output, scripted.errors, ""};
}

std::vector<std::string> FaultyQir(const std::vector<std::string>& faults, const std::vector<std::string>& args)
{
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> command{"/usr/bin/env", std::string("LD_PRELOAD=") + QIR_FAULT_LIBRARY,
                                     // A sanitized game must let the library come before its runtime.
                                     std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                                         ":verify_asan_link_order=0"};
    command.insert(command.end(), faults.begin(), faults.end());
    command.push_back(QIR_EXE);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

RunResult RunFaulty(const std::vector<std::string>& faults, const std::vector<std::string>& args,
                    const std::string& input)
{
    return RunCommand(FaultyQir(faults, args), input);
}

std::string ReadTestData(const std::string& name)
{
    return ReadFile(std::string(QIR_TEST_DATA) + "/" + name);
}

Session ReadSession(const std::string& name)
{
    Session session;
    session.answers = ReadTestData(name + ".in");
    while (session.answers.starts_with("# ")) {
        const size_t end = session.answers.find('\n');
        const std::string line = session.answers.substr(0, end);
        if (line.starts_with("# clock ")) {
            session.clock = static_cast<std::time_t>(std::stoll(line.substr(8)));
        }
        std::istringstream args(line.starts_with("# args ") ? line.substr(7) : "");
        for (std::string arg; args >> arg;) {
            session.args.push_back(arg);
        }
        session.answers.erase(0, end == std::string::npos ? end : end + 1);
    }
    return session;
}

std::vector<std::string> SessionNames()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(QIR_TEST_DATA)) {
        if (entry.path().extension() == ".in") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void GameTest::NewGame(int humanIdx, int fullPower, char level)
{
    giPlayerNum = humanIdx;
    giAINum = 1 - humanIdx;
    giFullPower = fullPower;
    gDiffLevel = level;
    InitStorage();
}

void GameTest::Fight(int humanIdx, int attacker, const std::vector<int>& attack,
                     const std::vector<std::pair<int, int>>& defend)
{
    FreeAllRows();
    NewGame(humanIdx, 4, 'q');
    SetCounts(Ai().iRes, Ai().iResNum, {});
    Commit(attacker, attack);
    for (const auto& [col, power] : defend) {
        ++player[1 - attacker].iDefNum;
        InsertNode(1 - attacker, col, power, 1);
    }
}

void Commit(int who, const std::vector<int>& powers)
{
    for (const int power : powers) {
        ++player[who].iAttNum;
        InsertNode(who, player[who].iCurAttNum, power, 0);
    }
}

std::string Dialogue(std::string out)
{
    const std::string lastLine = "Power " + std::to_string(giFullPower) + ": ";
    for (size_t board; (board = out.find(kClear)) != std::string::npos;) {
        out.replace(board, out.find('\n', out.find(lastLine, board)) + 1 - board, "#");
    }
    return out;
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
