// SPDX-License-Identifier: MIT
// Resuming anywhere: games of the random player are cut at many line ends,
// or killed at random moments, and resumed from their records. After a
// resume the player must see exactly what one uninterrupted game shows from
// the last clearing of the screen on, and the record must end as that game's
// does; a replay must show the uninterrupted game whole.
// QIR_RESUME_GAMES=n plays n games in all (the test run plays a sample).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "playDriver.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kShards = 4;
constexpr size_t kCuts = 20;
constexpr int kKills = 5;

// How many typed characters the record's complete lines hold: each answer or
// key entry stands for its characters, an escape for one.
size_t TypedCharacters(const std::string& record)
{
    size_t typed = 0;
    size_t start = 0;
    for (size_t end; (end = record.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = record.substr(start, end - start);
        const size_t space = line.find(' ');
        const std::string kind = line.substr(0, space);
        if (kind != "answer" && kind != "key") {
            continue;
        }
        for (size_t i = space + 1; i < line.size(); ++i, ++typed) {
            if (line[i] == '\\') {
                i += line[i + 1] == 'x' ? 3 : 1;
            }
        }
    }
    return typed;
}

// What a resumed game shows: the uninterrupted output from the last clearing
// before the first read the record did not hold. `replayed` is all the output
// up to that read.
std::string ShownAfterResume(const std::string& uninterrupted, std::string replayed)
{
    replayed.pop_back();  // the newline the end of the record adds
    const size_t clear = replayed.rfind(kClear);
    return uninterrupted.substr(clear == std::string::npos ? 0 : clear);
}

class ResumeAnywhere : public TempFolderTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(ResumeAnywhere, ShowsAndRecordsWhatOneUninterruptedGameDoes)
{
    const char* asked = std::getenv("QIR_RESUME_GAMES");
    const unsigned games = asked != nullptr ? static_cast<unsigned>(std::atoi(asked)) : 12;
    int cuts = 0;
    int kills = 0;
    int killedBeforeRecord = 0;
    int cutLines = 0;  // kills that left a last line without its newline
    int tooShort = 0;  // games that ended before twenty line ends: another seed plays instead
    for (unsigned game = GetParam(), cutGames = 0; cutGames < (games + kShards - 1 - GetParam()) / kShards;
         game += kShards) {
        const std::string seed = std::to_string(2000 + game);
        std::mt19937 random(2000 + game);
        SCOPED_TRACE("seed " + seed);

        PlayPolicy policy;
        policy.seed = 2000 + game;
        policy.order = "12"[random() % 2];
        policy.maxPower = static_cast<char>('2' + random() % 8);
        policy.level = "dq"[random() % 2];
        policy.junkPercent = static_cast<int>(random() % 15);
        policy.answerLimit = 100 + static_cast<long>(random() % 1400);
        const PlayedGame played = PlayGame({QIR_EXE, "--seed", seed}, policy);
        ASSERT_EQ(played.status, 0) << played.report;
        const std::string& input = played.input;

        const auto started = std::chrono::steady_clock::now();
        const std::string wholeRecord = File("whole");
        const RunResult whole = RunQir({"--seed", seed, "--record", wholeRecord}, input);
        const auto took = std::chrono::steady_clock::now() - started;
        ASSERT_EQ(whole.output, played.transcript);
        const std::string record = ReadFile(wholeRecord);
        ASSERT_EQ(RunQir({"--replay", wholeRecord}).output, whole.output);
        fs::remove(wholeRecord);

        // Cut at line ends before the last answer the game reads (the player
        // may have typed on past the end of the game): the first part is
        // played and recorded, the rest is typed into the resumed game.
        std::vector<size_t> lineEnds;
        const size_t read = TypedCharacters(record);
        for (size_t at = input.find('\n'); at != std::string::npos && at + 1 < read; at = input.find('\n', at + 1)) {
            lineEnds.push_back(at + 1);
        }
        if (lineEnds.size() < kCuts) {
            ++tooShort;
            continue;
        }
        ++cutGames;
        std::shuffle(lineEnds.begin(), lineEnds.end(), random);
        lineEnds.resize(kCuts);
        for (const size_t cut : lineEnds) {
            SCOPED_TRACE("cut after " + std::to_string(cut) + " characters");
            const std::string file = File("cut");
            const RunResult first = RunQir({"--seed", seed, "--record", file}, input.substr(0, cut));
            ASSERT_EQ(first.status, 0) << first.report;
            ASSERT_TRUE(whole.output.starts_with(first.output.substr(0, first.output.size() - 1)));
            const RunResult resumed = RunQir({"--resume", file}, input.substr(cut));
            ASSERT_EQ(resumed.status, 0) << resumed.report;
            EXPECT_EQ(resumed.output, ShownAfterResume(whole.output, first.output))
                << resumed.errors << "replay: qir --seed " << seed << " --record F < "
                << KeepInput("first", input.substr(0, cut)) << "; qir --resume F < "
                << KeepInput("rest", input.substr(cut));
            EXPECT_EQ(ReadFile(file), record);
            if (cuts++ % static_cast<int>(kCuts) == 0) {
                EXPECT_EQ(RunQir({"--replay", file}).output, whole.output);
            }
            fs::remove(file);
        }

        // Killed at a random moment while it plays: the resumed game takes
        // the input that follows what the record holds.
        for (int kill = 0; kill < kKills; ++kill) {
            const std::string file = File("killed");
            {
                GameProcess killed({QIR_EXE, "--seed", seed, "--record", file}, {});
                killed.Write(input);
                // The kill falls somewhere in the game, once the record has begun.
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                auto begun = [&] {
                    std::error_code missing;
                    const auto size = fs::file_size(file, missing);
                    return !missing && size >= 24;
                };
                while (!begun() && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::yield();
                }
                std::this_thread::sleep_for(took * std::uniform_real_distribution<double>(0, 1)(random));
                killed.Kill();
                killed.Finish();
            }
            const std::string kept = ReadFile(file);
            if (kept.find('\n', kept.find('\n') + 1) == std::string::npos) {
                ++killedBeforeRecord;  // the header itself was not yet written
                fs::remove(file);
                continue;
            }
            ++kills;
            cutLines += kept.back() != '\n' ? 1 : 0;
            const RunResult replayed = RunQir({"--replay", file});
            const RunResult resumed = RunQir({"--resume", file}, input.substr(TypedCharacters(kept)));
            ASSERT_EQ(resumed.status, 0) << resumed.report;
            if (resumed.errors.find("is over") != std::string::npos) {
                EXPECT_EQ(resumed.output, "");
            } else {
                EXPECT_EQ(resumed.output, ShownAfterResume(whole.output, replayed.output));
            }
            EXPECT_EQ(ReadFile(file), record);
            fs::remove(file);
        }
    }
    std::printf(
        "%d cuts and %d kills resumed (%d of them with a cut last line; %d kills came before the "
        "record began; %d games too short to cut)\n",
        cuts, kills, cutLines, killedBeforeRecord, tooShort);
}

INSTANTIATE_TEST_SUITE_P(Shards, ResumeAnywhere, ::testing::Range<unsigned>(0, kShards));

}  // namespace
