// Helpers for the tests: scripted input, captured output, fresh games.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "qir.h"

extern std::time_t gTestClock;  // what time() returns in the tests

// What every board starts with: the console is cleared first.
inline const std::string kClear = "\033[H\033[2J";

// Runs a piece of the game with `input` as the typed answers and returns
// everything it printed. Running out of input inside fails the test run.
std::string RunWithInput(const std::string& input, const std::function<void()>& piece);

struct RunResult {
    int status;
    std::string output;
};
// Runs the whole game (the qir executable, with the test clock) as a player
// on the other end of a pipe would.
RunResult RunGame(const std::string& input, std::time_t clock = 1000);

// The game on the far side of three pipes, driven one answer at a time as a
// program would drive it. Every wait gives up after its timeout, so a game that
// waits without showing its question fails the test instead of hanging it.
class PipedGame {
public:
    // Starts the game with the test clock and `path` as its only PATH.
    PipedGame(std::time_t clock, const std::string& path);
    ~PipedGame();  // kills the game if it is still running
    PipedGame(const PipedGame&) = delete;
    PipedGame& operator=(const PipedGame&) = delete;

    // Reads on until `text` appears in the output not consumed by an earlier
    // call; false when it has not appeared within the timeout.
    bool ReadUntil(const std::string& text, int timeoutMs = 5000);
    void Write(const std::string& text);
    // Ends the input, reads the rest of the output and returns the exit
    // status; -1 when the game had to be killed.
    int Finish(int timeoutMs = 5000);
    const std::string& Output() const { return output_; }
    std::string Errors() const;  // what the game wrote to stderr

private:
    bool ReadSome(int timeoutMs);
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string errPath_;
    std::string output_;
    size_t seen_ = 0;
};

// Reads a file of the test data folder.
std::string ReadTestData(const std::string& name);

// A fresh game without the setup dialogue; the rows are freed after each test.
class GameTest : public ::testing::Test {
protected:
    void NewGame(int humanIdx, int fullPower, char level);
    void TearDown() override;
    PlayerInfo& Human() { return player[giPlayerNum]; }
    PlayerInfo& Ai() { return player[giAINum]; }
};

// Sets a player's counts by Power: {1, 0, 2} gives one Power 1 and two Power 3 units.
void SetCounts(PowerCounts& counts, int32_t& total, std::initializer_list<int> byPower);

// Column texts of a row: "P:T" per node (Power and target), separated by spaces.
std::string RowText(const UnitNode* head);
