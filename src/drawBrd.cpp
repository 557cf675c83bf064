// SPDX-License-Identifier: MIT
// The board: both players' Bases, units and rows, and the human's Reserves.
#include <string>

#include "qir.h"

// The ten row texts; they live from the first draw of a game until
// FreeBoardMem, and a draw with mode 2 prints them as they were.
static std::string sBasesP1, sBasesP2;
static std::string sDefP1, sDefP2;
static std::string sAttP1, sAttP2;
static std::string sCurDefP1, sCurDefP2;
static std::string sCurAttP1, sCurAttP2;

static std::string BasesText(const PlayerInfo& p)
{
    std::string text = " ";
    for (int i = 0; i < p.iBases; ++i) {
        text += "1 ";
    }
    return text;
}

static std::string UnitsText(const PowerCounts& counts)
{
    std::string text = " ";
    for (int power = 1; power <= kMaxPower; ++power) {
        for (int i = 0; i < counts[power - 1]; ++i) {
            text += static_cast<char>('0' + power);
            text += ' ';
        }
    }
    return text;
}

// One paired row, read against the opponent's row of the same pairing. A bar
// stands between groups; units that fight together share one pair of bars.
static std::string PairedRowText(const UnitNode* own, const UnitNode* opposite, bool defending)
{
    if (own == nullptr) {
        return " ";
    }
    std::string text = "|";
    for (; own != nullptr; own = own->pNext) {
        if (own->iPower >= 1 && own->iPower <= kMaxPower) {
            text += static_cast<char>('0' + own->iPower);
        } else if (defending && opposite != nullptr && opposite->iTarget == own->iCol) {
            text += '!';  // an attacker nobody opposes: it will hit a Base
        } else {
            text += ' ';
        }
        const UnitNode* nextOpposite = opposite != nullptr ? opposite->pNext : nullptr;
        const UnitNode* next = own->pNext;
        const bool newGroup = next == nullptr ||
                              (next->iTarget == next->iCol && nextOpposite != nullptr &&
                               nextOpposite->iTarget == next->iCol);
        text += newGroup ? '|' : ' ';
        opposite = nextOpposite;
    }
    return text;
}

static void BuildTexts()
{
    const PlayerInfo& p1 = player[0];
    const PlayerInfo& p2 = player[1];
    sBasesP1 = BasesText(p1);
    sBasesP2 = BasesText(p2);
    sDefP1 = UnitsText(p1.iDef);
    sDefP2 = UnitsText(p2.iDef);
    sAttP1 = UnitsText(p1.iAtt);
    sAttP2 = UnitsText(p2.iAtt);
    sCurDefP1 = PairedRowText(p1.pDefHead, p2.pAttHead, true);
    sCurDefP2 = PairedRowText(p2.pDefHead, p1.pAttHead, true);
    sCurAttP1 = PairedRowText(p1.pAttHead, p2.pDefHead, false);
    sCurAttP2 = PairedRowText(p2.pAttHead, p1.pDefHead, false);
}

static const char* Label(int playerIdx)
{
    if (playerIdx == giPlayerNum) {
        return "-YOU--";
    }
    return gDiffLevel == 'd' ? "DRAVIK" : "QUELBY";
}

void DrawBoard(int mode)
{
    ClearScreen();
    if (mode == 0 || mode == 1) {
        BuildTexts();
    }
    const char* const unitIds = "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n";
    Print("          |----------------------%s-----------------------|\n", Label(0));
    Print("%s", unitIds);
    Print("Bases     %s\n", sBasesP1.c_str());
    Print("Def Units %s\n", sDefP1.c_str());
    Print("Att Units %s\n", sAttP1.c_str());
    Print("Defending %s\n", sCurDefP1.c_str());
    Print("Attacking %s\n", sCurAttP1.c_str());
    Print("          |---------------------------------------------------|\n");
    Print("Attacking %s\n", sCurAttP2.c_str());
    Print("Defending %s\n", sCurDefP2.c_str());
    Print("Att Units %s\n", sAttP2.c_str());
    Print("Def Units %s\n", sDefP2.c_str());
    Print("Bases     %s\n", sBasesP2.c_str());
    Print("%s", unitIds);
    Print("          |----------------------%s-----------------------|\n", Label(1));
    Print("\n");

    const PlayerInfo& human = player[giPlayerNum];
    Print("You have %d units in your Reserves:\n", human.iResNum);
    for (int power = 1; power <= giFullPower && power <= kMaxPower; ++power) {
        Print("Power %d: %d\n", power, human.iRes[power - 1]);
    }
}

void FreeBoardMem()
{
    for (std::string* text : {&sBasesP1, &sBasesP2, &sAttP1, &sAttP2, &sCurAttP1, &sCurAttP2, &sDefP1,
                              &sDefP2, &sCurDefP1, &sCurDefP2}) {
        std::string().swap(*text);
    }
}
