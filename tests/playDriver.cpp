// SPDX-License-Identifier: MIT
#include "playDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include "support.h"

namespace {

bool EndsWith(const std::string& text, const char* tail)
{
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// The kinds of question the player tells apart, by how their last line ends.
enum class Ask {
    None,
    Pause,
    Instructions,
    Order,
    MaxPower,
    Level,
    Place,
    Kind,
    Attack,
    Defend,
    Focus,
    Menu,
    Power,
    UnitId,
    Again
};

Ask Classify(const std::string& line)
{
    struct Tail {
        const char* text;
        Ask ask;
    };
    static const Tail kTails[] = {
        {"instructions? y or n: ", Ask::Instructions},
        {"Enter 1 or 2: ", Ask::Order},
        {"between 2 and 9: ", Ask::MaxPower},
        {"Enter d or q: ", Ask::Level},
        {"on the field? y or n: ", Ask::Place},
        {"(a or d): ", Ask::Kind},
        {"(a, d or b): ", Ask::Kind},
        {"Enter a or f: ", Ask::Attack},
        {"Enter d or f: ", Ask::Defend},
        {"Enter r or f: ", Ask::Focus},
        {"in parentheses from above: ", Ask::Menu},
        {"play again? y or n: ", Ask::Again},
        {"to attack: ", Ask::Power},
        {"to defend: ", Ask::Power},
        {"row: ", Ask::UnitId},
        {"(A-Z): ", Ask::UnitId},
    };
    if (line.find("Press Return/Enter") != std::string::npos && (EndsWith(line, ": ") || EndsWith(line, "."))) {
        return Ask::Pause;
    }
    // The Reserve Power question ends in the game's maximum Power.
    if (line.find("Type a number 1-") != std::string::npos && EndsWith(line, ": ")) {
        return Ask::Power;
    }
    for (const Tail& t : kTails) {
        if (EndsWith(line, t.text)) {
            return t.ask;
        }
    }
    return Ask::None;
}

class Player {
public:
    explicit Player(const PlayPolicy& policy) : policy_(policy), random_(policy.seed) {}

    // The answer to the question that ends `output`, whose last line is `line`.
    std::string Answer(Ask ask, const std::string& output)
    {
        if (ask == Ask::None) {
            ask = last_;  // a retry message: the question stands
        }
        tries_ = ask == last_ ? tries_ + 1 : 0;
        last_ = ask;
        if (tries_ == 0) {
            first_ = Pick(32);
        }
        if (ask != Ask::Pause && Chance(policy_.junkPercent)) {
            return Junk();
        }
        switch (ask) {
        case Ask::Instructions: return Chance(10) ? "y" : "n";
        case Ask::Order: return std::string(1, policy_.order);
        case Ask::MaxPower: return std::string(1, policy_.maxPower);
        case Ask::Level: return std::string(1, policy_.level);
        case Ask::Place: return Chance(90) ? "y" : "n";
        case Ask::Kind: return EndsWith(output, "(a, d or b): ") && Chance(75) ? "b" : Chance(50) ? "a" : "d";
        case Ask::Attack: return Chance(70) ? "a" : "f";
        case Ask::Defend: return Chance(85) ? "d" : "f";
        case Ask::Focus: return Chance(60) ? "r" : "f";
        case Ask::Menu: return MenuChoice(output);
        case Ask::Again: return ++played_ < policy_.games ? "y" : "n";
        // Powers and Unit IDs: try one candidate after another until one is taken.
        case Ask::Power: return std::string(1, static_cast<char>('1' + (first_ + tries_) % 9));
        case Ask::UnitId: return std::string(1, static_cast<char>('A' + (first_ + tries_) % 32));
        default: return "";
        }
    }

    int Tries() const { return tries_; }

private:
    bool Chance(int percent) { return static_cast<int>(random_() % 100) < percent; }
    int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

    std::string MenuChoice(const std::string& output)
    {
        const size_t menu = output.rfind("What would you like to do?");
        std::string offered;
        for (const char* option : {"(r):", "(b):", "(a):"}) {
            if (output.find(option, menu) != std::string::npos) {
                offered += option[1];
            }
        }
        if (!offered.empty() && Chance(60)) {
            return std::string(1, offered[static_cast<size_t>(Pick(static_cast<int>(offered.size())))]);
        }
        return Chance(50) ? "p" : "f";
    }

    std::string Junk()
    {
        static const std::string kJunk[] = {"",
                                            "Y",
                                            "N",
                                            "x",
                                            "0",
                                            "99",
                                            "yes please, all of them",
                                            "\r",
                                            std::string(300, 'Z'),
                                            "\xe9\xff",
                                            "A",
                                            "z",
                                            "!",
                                            "-1",
                                            "  ",
                                            "p",
                                            "f",
                                            "9",
                                            "\t"};
        return kJunk[Pick(static_cast<int>(std::size(kJunk)))];
    }

    const PlayPolicy& policy_;
    std::mt19937 random_;
    Ask last_ = Ask::None;
    int tries_ = 0;  // how often in a row this kind of question was asked
    int first_ = 0;  // where the candidates of this question start
    int played_ = 0;
};

}  // namespace

PlayedGame PlayGame(const std::vector<std::string>& command, const PlayPolicy& policy)
{
    std::vector<std::string> environment = policy.environment;
    environment.push_back("QIR_TEST_CLOCK=" + std::to_string(policy.clock));
    GameProcess process(command, environment);
    Player scripted(policy);
    PlayedGame game;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(policy.timeoutSeconds);
    auto msLeft = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    };
    size_t answered = 0;  // how much of the output has been answered
    bool inputOpen = true;
    while (msLeft() > 0 && process.ReadSome(msLeft())) {
        // A question is waiting when the output stops on a line the player knows.
        const std::string& text = process.Output();
        if (!inputOpen || text.size() == answered || text.back() == '\n') {
            continue;
        }
        // The question is the last line of what came since the last answer.
        const size_t lineStart = text.rfind('\n');
        const std::string line = text.substr(std::max(answered, lineStart == std::string::npos ? 0 : lineStart + 1));
        const Ask ask = Classify(line);
        if (ask == Ask::None && line.find("Please try again") == std::string::npos) {
            continue;  // the rest of the line is still on its way
        }
        answered = text.size();
        const bool giveUp = scripted.Tries() > 64;  // no answer of ours is taken here
        if (giveUp || (policy.answerLimit >= 0 && game.answers >= policy.answerLimit) ||
            !process.Write(scripted.Answer(ask, text) + "\n")) {
            process.CloseInput();
            inputOpen = false;
            continue;
        }
        ++game.answers;
    }
    game.status = process.Finish(std::max(msLeft(), 1));
    game.timedOut = process.End().timedOut;
    game.signal = process.End().signal;
    game.transcript = process.Output();
    game.errors = process.Errors();
    game.peakKilobytes = process.PeakKilobytes();
    game.input = process.Input();
    if (game.status != 0 || !game.errors.empty()) {
        game.report = process.Report();
    }
    for (const char* result : {"You win!", "You lose!"}) {
        for (size_t at = game.transcript.find(result); at != std::string::npos;
             at = game.transcript.find(result, at + 1)) {
            ++game.results;
        }
    }
    return game;
}
