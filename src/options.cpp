// SPDX-License-Identifier: MIT
// The command line: what a player may ask of the program before a game
// starts. Every argument is read before anything happens, and a usage error
// ends the program with one line on stderr.
#include <getopt.h>

#include <cstring>
#include <string>
#include <utility>

#include "qir.h"

namespace {

const char* const kUsageText =
    "Usage: qir [OPTION]...\n"
    "Play Qir, a turn-based strategy game for one player against the computer.\n"
    "Both sides place units as Bases, Defenders and Attackers and send them into\n"
    "combat round after round; whoever loses the last Base loses the game.\n"
    "\n"
    "Answer every question with one character and Return: y or n, a digit for a\n"
    "Power, a lower-case letter for a menu choice, or a capital letter for a\n"
    "column (Unit ID) of the Attacking and Defending rows.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "      --seed N     roll the dice from seed N (0 to 2147483647), not the clock,\n"
    "                   so the same answers play the same game\n"
    "      --daily[=DATE]\n"
    "                   play the day's game, the same for everyone on DATE\n"
    "                   (YYYY-MM-DD; today in UTC when not given): its seed is the\n"
    "                   date, and the day sets the order, the maximum Power and\n"
    "                   the opponent; takes no --seed, --resume or --replay\n"
    "      --record FILE\n"
    "                   keep every answer and roll of the dice in FILE, a new file\n"
    "      --resume FILE\n"
    "                   go on with the game recorded in FILE, recording on;\n"
    "                   takes no --seed, --record or --replay\n"
    "      --replay FILE\n"
    "                   show the game recorded in FILE and exit; takes no\n"
    "                   --seed, --record or --resume\n"
    "      --delay SECONDS\n"
    "                   pause SECONDS (0 to 60, such as 2 or 0.5) before each new\n"
    "                   screen of a replay; on a terminal a replay otherwise\n"
    "                   waits for Return\n"
    "      --compact    keep the whole board in view on a terminal of 24 rows:\n"
    "                   the layout a terminal too short for the full board\n"
    "                   gets by itself; on a pipe or a file it is laid out for\n"
    "                   COLUMNS and LINES, or 80x24\n"
    "      --no-clear   never clear the screen: an empty line separates one\n"
    "                   screen from the next, as on a dumb terminal\n"
    "      --explain    explain the computer's moves, each combat and each refusal\n"
    "      --color[=WHEN]\n"
    "                   colour your side, the opponent's and the question: WHEN\n"
    "                   is auto (the default: on a terminal that shows colour,\n"
    "                   unless NO_COLOR is set), always, or never\n"
    "      --rules      show the rules and how play goes, through PAGER, and exit\n"
    "\n"
    "A read takes at most two characters of a line: type yes and the s answers\n"
    "the next question. A game is kept only with --record; started so, it\n"
    "survives a closed terminal: 'qir --resume FILE' shows the board again and\n"
    "asks where you stopped.\n"
    "\n"
    "The rules are shown at the start of every game on request, by --rules,\n"
    "and in the manual: " QIR_MANUAL "\n";

// The long-only options stand for letters that are no short option, so a
// short one typed by mistake is reported as unknown.
const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"seed", required_argument, nullptr, 's'},
    {"daily", optional_argument, nullptr, 'D'},
    {"record", required_argument, nullptr, 'r'},
    {"resume", required_argument, nullptr, 'R'},
    {"replay", required_argument, nullptr, 'p'},
    {"compact", no_argument, nullptr, 'c'},
    {"no-clear", no_argument, nullptr, 'n'},
    {"explain", no_argument, nullptr, 'e'},
    {"delay", required_argument, nullptr, 'd'},  // with --replay only
    {"color", optional_argument, nullptr, 'C'},
    {"rules", no_argument, nullptr, 'u'},
    {nullptr, 0, nullptr, 0},
};

// The long name of an option, for messages.
std::string OptionName(int val)
{
    for (const option* o = kLongOptions; o->name != nullptr; ++o) {
        if (o->val == val) {
            return std::string("--") + o->name;
        }
    }
    return std::string("-") + static_cast<char>(val);
}

[[noreturn]] void UsageError(const std::string& problem)
{
    OsShowError("qir: " + problem + ". Try 'qir --help'.\n");
    OsExit(2);
}

// How many long options begin with what was typed after "--": getopt_long
// takes any beginning that names one option alone.
int OptionsBeginningWith(const std::string& typed)
{
    int count = 0;
    for (const option* o = kLongOptions; o->name != nullptr; ++o) {
        count += std::string(o->name).starts_with(typed) ? 1 : 0;
    }
    return count;
}

// A delay as --delay writes it: whole seconds, and a fraction down to the
// millisecond, from 0 to 60.
bool ReadDelay(const std::string& text, int& milliseconds)
{
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    std::uint32_t seconds = 0;
    if (!ReadSeed(whole, seconds, 60) || fraction.find_first_not_of("0123456789") != std::string::npos ||
        (point != std::string::npos && fraction.empty())) {
        return false;
    }
    milliseconds = static_cast<int>(seconds) * 1000 + std::stoi((fraction + "000").substr(0, 3));
    return milliseconds <= 60000;
}

// When --color colours, in GNU's words: a bare --color colours always.
bool ReadColourWhen(const char* text, Colour& colour)
{
    const std::pair<const char*, Colour> kWords[] = {
        {"always", Colour::kAlways}, {"yes", Colour::kAlways}, {"force", Colour::kAlways},
        {"never", Colour::kNever},   {"no", Colour::kNever},   {"none", Colour::kNever},
        {"auto", Colour::kAuto},     {"tty", Colour::kAuto},   {"if-tty", Colour::kAuto},
    };
    if (text == nullptr) {
        colour = Colour::kAlways;
        return true;
    }
    for (const auto& [word, when] : kWords) {
        if (std::strcmp(text, word) == 0) {
            colour = when;
            return true;
        }
    }
    return false;
}

// What getopt_long refused, in the words of a usage error.
std::string Refused(int got, char* const argv[])
{
    const std::string arg = optind > 0 ? argv[optind - 1] : "";
    const std::string typed = arg.substr(0, arg.find('='));
    if (optopt == 0 && typed.starts_with("--") && OptionsBeginningWith(typed.substr(2)) > 1) {
        return "option '" + Shown(typed) + "' is ambiguous";
    }
    // Asked first: MinGW's getopt_long reports '--help=x' as a missing
    // argument, where glibc reports an unknown one. A long-only option's
    // letter typed on its own is an unknown short option.
    const bool takesNone =
        std::strchr("hV", optopt) != nullptr || (arg.starts_with("--") && std::strchr("cneu", optopt) != nullptr);
    if (optopt != 0 && takesNone) {
        return "option '" + OptionName(optopt) + "' takes no argument";
    }
    if (got == ':') {
        return "option '" + OptionName(optopt) + "' needs an argument";
    }
    if (optopt != 0) {
        return "unknown option '-" + Shown(std::string(1, static_cast<char>(optopt))) + "'";
    }
    return "unknown option '" + Shown(typed) + "'";
}

}  // namespace

Options ReadOptions(int argc, char* argv[])
{
    Options options;
    optind = 0;  // getopt_long starts afresh, whatever an earlier command line left it
    opterr = 0;  // our own messages, in our own words
    bool seen[256] = {};
    // '+' stops at the first argument that is not an option: there is none
    // the game takes, so it is reported as it stands.
    for (int got; (got = getopt_long(argc, argv, "+:hV", kLongOptions, nullptr)) != -1;) {
        if (got == '?' || got == ':') {
            UsageError(Refused(got, argv));
        }
        if (seen[got]) {
            UsageError("option '" + OptionName(got) + "' given twice");
        }
        seen[got] = true;
        switch (got) {
        case 'h': options.help = true; break;
        case 'V': options.version = true; break;
        case 's':
            if (!ReadSeed(optarg, options.seed, kHighestSeed)) {
                UsageError("invalid seed '" + Shown(optarg) + "' (a whole number from 0 to 2147483647)");
            }
            options.seeded = true;
            break;
        case 'D': {
            int day = 0;
            if (optarg == nullptr) {
                day = Today();
            } else if (!ReadDay(optarg, day)) {
                UsageError("invalid date '" + Shown(optarg) + "' for '--daily' (YYYY-MM-DD, such as 2026-12-24)");
            }
            options.day = day;
            break;
        }
        case 'r': options.record = optarg; break;
        case 'R': options.resume = optarg; break;
        case 'c': options.compact = true; break;
        case 'n': options.noClear = true; break;
        case 'e': options.explain = true; break;
        case 'p': options.replay = optarg; break;
        case 'u': options.rules = true; break;
        case 'C':
            if (!ReadColourWhen(optarg, options.colour)) {
                UsageError("invalid argument '" + Shown(optarg) + "' for '--color' (auto, always or never)");
            }
            break;
        default:
            options.delay = 0;
            if (!ReadDelay(optarg, *options.delay)) {
                UsageError("invalid delay '" + Shown(optarg) + "' (seconds from 0 to 60, such as 2 or 0.5)");
            }
            break;
        }
    }
    if (optind < argc) {
        UsageError("unexpected argument '" + Shown(argv[optind]) + "'");
    }
    // A record already holds its seed, and the game it resumes or shows; how
    // the screen is laid out is no part of it.
    const std::pair<bool, const char*> settledByRecord[] = {{options.resume.has_value(), "--resume"},
                                                            {options.replay.has_value(), "--replay"},
                                                            {options.seeded, "--seed"},
                                                            {options.record.has_value(), "--record"}};
    for (const auto& [reads, name] : {settledByRecord[0], settledByRecord[1]}) {
        for (const auto& [given, other] : settledByRecord) {
            if (reads && given && other != name) {
                UsageError(std::string("option '") + name + "' does not go with '" + other + "'");
            }
        }
    }
    // The day's game is a seeded game of its own, which may be recorded.
    for (const auto& [given, other] : {settledByRecord[0], settledByRecord[1], settledByRecord[2]}) {
        if (options.day && given) {
            UsageError(std::string("option '--daily' does not go with '") + other + "'");
        }
    }
    if (options.day) {
        options.seeded = true;
        options.seed = DaySeed(*options.day);
    }
    if (options.delay && !options.replay) {
        UsageError("option '--delay' goes only with '--replay'");
    }
    return options;
}

void PrintUsage()
{
    PrintText(kUsageText);
}

void PrintVersion()
{
    PrintText("qir " QIR_VERSION "\n");
}
