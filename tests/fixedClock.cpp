// SPDX-License-Identifier: MIT
// The tests' clock. The dice are seeded from the calendar time, so a clock
// that stands still gives a scripted session the same dice on every run.
#include <cstdlib>
#include <ctime>

extern std::time_t gTestClock;

std::time_t gTestClock = [] {
    const char* text = std::getenv("QIR_TEST_CLOCK");
    return text != nullptr ? static_cast<std::time_t>(std::strtoll(text, nullptr, 10)) : std::time_t{1000};
}();

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the C library's own name is reserved
extern "C" std::time_t time(std::time_t* out) noexcept
{
    if (out != nullptr) {
        *out = gTestClock;
    }
    return gTestClock;
}
