// SPDX-License-Identifier: MIT
// The day's game: its date is its seed, the day answers the three settings
// where the player would, and what it shows and records is the seeded game's
// with those answers typed.
#include <set>

#include "support.h"

namespace {

class DailyGame : public TempFolderTest {};

// Some answers after the settings, into the first combat of most games.
const std::string kPlay = "\nA\nb\n\n1\na\n\nA\nb\n\n\n\n\n\n\nn\n";

TEST_F(DailyGame, AnswersItsSettingsAsTheSeededGameWouldHaveThemTyped)
{
    struct Day {
        const char* date;  // as --daily takes it, or null for today by the clock
        long long clock;
        std::string seed;
    };
    const Day kDays[] = {
        {"2026-12-24", 1000, "20261224"},  {"2024-02-29", 1000, "20240229"}, {"1969-12-31", 1000, "19691231"},
        {"0001-01-01", 1000, "10101"},     {"9999-12-31", 1000, "99991231"}, {nullptr, 1000, "19700101"},
        {nullptr, 1798761599, "20261231"}, {nullptr, -1, "19691231"},
    };
    for (const Day& day : kDays) {
        SCOPED_TRACE(day.seed + " at " + std::to_string(day.clock));
        ScriptedSystem system;
        system.clock = day.clock;
        system.answers = "n\n" + kPlay;
        const std::string daily = File("daily-" + std::to_string(&day - kDays) + ".qir");
        const RunResult played = RunScripted(
            {day.date == nullptr ? "--daily" : std::string("--daily=") + day.date, "--record", daily}, system);
        ASSERT_EQ(played.status, 0) << played.errors;

        // The settings the record holds, typed into the same seed, give the same game.
        const std::string record = ReadFile(daily);
        const size_t settings = record.find("answer n\\n\n") + 11;
        const std::string given = record.substr(settings, record.find("dice") - settings);
        ASSERT_EQ(given.size(), 3 * 11) << record;
        std::string typed = "n\n";
        for (size_t at = 0; at < given.size(); at += 11) {
            typed += given.substr(at + 7, 1) + "\n";
        }
        system.answers = typed + kPlay;
        const std::string seeded = File("seeded-" + std::to_string(&day - kDays) + ".qir");
        const RunResult same = RunScripted({"--seed", day.seed, "--record", seeded}, system);
        EXPECT_EQ(played.output, same.output);
        EXPECT_EQ(record, ReadFile(seeded));
        EXPECT_TRUE(record.starts_with("Qir record 1\ngame " QIR_VERSION "\nseed " + day.seed + "\n")) << record;
    }
}

// Every order, Power and opponent comes once in 32 days running, days
// before 1970 among them; the game's dice follow the date.
TEST_F(DailyGame, ThirtyTwoDaysRunningGiveEveryCombinationOnce)
{
    for (const int first : {-40, 0, 20811}) {
        std::set<std::string> seen;
        for (int day = first; day < first + 32; ++day) {
            const std::string settings = DaySettings(day);
            ASSERT_EQ(settings.size(), 3U);
            EXPECT_NE(std::string("12").find(settings[0]), std::string::npos);
            EXPECT_NE(std::string("23456789").find(settings[1]), std::string::npos);
            EXPECT_NE(std::string("dq").find(settings[2]), std::string::npos);
            seen.insert(settings);
        }
        EXPECT_EQ(seen.size(), 32U) << first;
    }
    int day = 0;
    ASSERT_TRUE(ReadDay("2026-12-24", day));
    EXPECT_EQ(DaySeed(day), 20261224U);
    EXPECT_EQ(DaySettings(day), "24q");
}

// A date must be one of the calendar's, written YYYY-MM-DD.
TEST_F(DailyGame, DatesThatAreNoDayAreUsageErrors)
{
    for (const char* date : {"2026-02-29", "2026-13-01", "2026-00-10", "2026-04-31", "0000-01-01", "26-12-24",
                             "2026-1-24", "2026/12/24", "2026-12-24 ", "+026-12-24", "20261224", "today"}) {
        SCOPED_TRACE(date);
        const RunResult refused = RunQir({std::string("--daily=") + date}, "n\n");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors, "qir: invalid date '" + std::string(date) +
                                      "' for '--daily' (YYYY-MM-DD, such as 2026-12-24). Try 'qir --help'.\n");
    }
}

// On a terminal the given settings stand where the player would have typed
// them; the instructions are still his to ask for.
TEST_F(DailyGame, ShowsItsSettingsOnATerminalWhereThePlayerWouldTypeThem)
{
    ScriptedSystem system;
    system.terminal = {true, true, true};
    system.rows = 100;
    system.answers = "y\n\n" + std::string(5, '\n') + "q\nq\n";
    const RunResult played = RunScripted({"--daily=2026-12-24", "--no-clear", "--color=never"}, system);
    EXPECT_NE(played.output.find("INSTRUCTIONS FOR QIR"), std::string::npos);
    EXPECT_NE(played.output.find("Enter 1 or 2: 2\n"), std::string::npos) << played.output;
    EXPECT_NE(played.output.find("Enter a number between 2 and 9: 4\n"), std::string::npos);
    EXPECT_NE(played.output.find("Enter d or q: q\n"), std::string::npos);
}

}  // namespace
