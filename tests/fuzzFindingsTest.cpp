// SPDX-License-Identifier: MIT
// What the fuzzers were given and what they found, replayed by every test
// run in the checked game: answer streams on standard input (a name ending
// .clock-N replays with that clock), records with --replay and with --resume.
// Each must end as the game ends, by itself with status 0 or 1, and without
// a sanitizer's report or a broken rule.
#include <filesystem>

#include "support.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const std::vector<std::string>& folders)
{
    std::vector<fs::path> files;
    for (const std::string& folder : folders) {
        const fs::path path = fs::path(QIR_FUZZ_DATA) / folder;
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path)) {
                files.push_back(entry.path());
            }
        }
    }
    return files;
}

void ExpectACleanEnd(const RunResult& run)
{
    EXPECT_TRUE(run.status == 0 || run.status == 1) << run.report;
    for (const char* fault : {"Sanitizer", "runtime error", "record check", "broken rule"}) {
        EXPECT_EQ(run.errors.find(fault), std::string::npos) << run.errors;
    }
}

class FuzzInputs : public TempFolderTest {};

TEST_F(FuzzInputs, AnswerStreamsEndCleanly)
{
    const auto files = FilesIn({"corpus", "found"});
    EXPECT_GE(files.size(), 10U);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string name = file.filename().string();
        const size_t clock = name.rfind(".clock-");
        ExpectACleanEnd(
            RunGame(ReadFile(file.string()), clock == std::string::npos ? 1000 : std::stoll(name.substr(clock + 7))));
    }
}

TEST_F(FuzzInputs, RecordsEndCleanlyReplayedAndResumed)
{
    auto files = FilesIn({"records", "found-records"});
    EXPECT_GE(files.size(), 4U);
    const std::string copy = File("record");
    for (const fs::path& file : files) {
        for (const char* mode : {"--replay", "--resume"}) {
            SCOPED_TRACE(file.string() + " " + mode);
            fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
            ExpectACleanEnd(RunCommand({QIR_FIXED_CLOCK_EXE, mode, copy}, ""));
        }
    }
}

}  // namespace
