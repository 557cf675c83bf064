// SPDX-License-Identifier: MIT
// The day's game (--daily): the same game for everyone on a day, so players
// can compare how they did. The date is the seed, and the day also settles
// who goes first, the maximum Power and the opponent, which the game answers
// itself where the player would.
#include <chrono>
#include <string>

#include "qir.h"

namespace {

// The day's three settings, in the order the game asks for them, and how
// many of them were given. Only the first game of a run is the day's.
std::string gDaySettings;
size_t gSettingsGiven = 0;

Replayed GiveDaySetting(char* buf)
{
    if (gSettingsGiven >= gDaySettings.size()) {
        return Replayed::kPlayersTurn;
    }
    buf[0] = gDaySettings[gSettingsGiven++];
    buf[1] = '\n';
    buf[2] = '\0';
    return Replayed::kGiven;
}

std::chrono::year_month_day DateOf(int day)
{
    return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{day}}};
}

}  // namespace

// A date as YYYY-MM-DD, a day that exists in the calendar, from the year 1
// to 9999.
bool ReadDay(std::string_view text, int& day)
{
    const auto digits = [&](size_t at, size_t count) {
        const std::string_view part = text.substr(at, count);
        return part.find_first_not_of("0123456789") == std::string_view::npos ? std::stoi(std::string(part)) : -1;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    const int year = digits(0, 4);
    const int month = digits(5, 2);
    const int date = digits(8, 2);
    if (year < 1 || month < 0 || date < 0) {
        return false;
    }
    const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                          std::chrono::day{static_cast<unsigned>(date)}};
    if (!ymd.ok()) {
        return false;
    }
    day = static_cast<int>(std::chrono::sys_days{ymd}.time_since_epoch().count());
    return true;
}

int Today()
{
    constexpr long long kSecondsADay = 86400;
    const long long now = OsClock();
    // Before 1970 a day still starts at midnight: round down, not towards zero.
    return static_cast<int>(now / kSecondsADay - (now % kSecondsADay < 0 ? 1 : 0));
}

std::uint32_t DaySeed(int day)
{
    const std::chrono::year_month_day ymd = DateOf(day);
    return static_cast<std::uint32_t>(static_cast<int>(ymd.year()) * 10000 +
                                      static_cast<int>(static_cast<unsigned>(ymd.month())) * 100 +
                                      static_cast<int>(static_cast<unsigned>(ymd.day())));
}

// Counting days from 1 January 1970 (day 0), a day's number settles its
// game: even days the player goes first, odd days second; Dravik on the
// days whose number halved (rounded down) is even, Quelby on the others; and
// the maximum Power is 2 plus the number divided by four, rounded down,
// modulo 8. Every combination comes once in 32 days.
std::string DaySettings(int day)
{
    const auto number = static_cast<unsigned>(day) & 0x7fffffffU;  // days before 1970 follow the same cycle
    std::string settings;
    settings += number % 2 == 0 ? '1' : '2';
    settings += static_cast<char>('2' + (number / 4) % 8);
    settings += (number / 2) % 2 == 0 ? 'd' : 'q';
    return settings;
}

void GiveDaySettings(AnswerSource& source, int day)
{
    gDaySettings = DaySettings(day);
    gSettingsGiven = 0;
    source.settingAnswer = GiveDaySetting;
}

void ResetDay()
{
    gDaySettings.clear();
    gSettingsGiven = 0;
}
