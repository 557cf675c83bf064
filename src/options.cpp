// SPDX-License-Identifier: MIT
// The command line: what a player may ask of the program before a game
// starts. Every argument is read before anything happens, and a usage error
// ends the program with one line on stderr.
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    "\n"
    "The rules are shown at the start of every game on request, and in the\n"
    "manual: man 6 qir\n";

const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
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
    std::fprintf(stderr, "qir: %s. Try 'qir --help'.\n", problem.c_str());
    std::exit(2);
}

// What getopt_long refused, in the words of a usage error.
std::string Refused(int got, char* const argv[])
{
    const std::string arg = optind > 0 ? argv[optind - 1] : "";
    if (got == ':') {
        return "option '" + OptionName(optopt) + "' needs an argument";
    }
    if (optopt != 0 && std::strchr("hV", optopt) != nullptr) {
        return "option '" + OptionName(optopt) + "' takes no argument";
    }
    if (optopt != 0) {
        return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
    }
    return "unknown option '" + arg.substr(0, arg.find('=')) + "'";
}

}  // namespace

Options ReadOptions(int argc, char* argv[])
{
    Options options;
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
        if (got == 'h') {
            options.help = true;
        } else if (got == 'V') {
            options.version = true;
        }
    }
    if (optind < argc) {
        UsageError(std::string("unexpected argument '") + argv[optind] + "'");
    }
    return options;
}

void PrintUsage()
{
    std::fputs(kUsageText, stdout);
}

void PrintVersion()
{
    std::fputs("qir " QIR_VERSION "\n", stdout);
}
