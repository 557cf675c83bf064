// SPDX-License-Identifier: MIT
// The board: whole text at the start of a game, and the paired row texts.
#include <sstream>
#include <vector>

#include "support.h"

namespace {

class BoardTest : public GameTest {};

std::string Board(int mode = 1)
{
    return RunWithInput("", [mode] { DrawBoard(mode); });
}

// Player 1's Defending and Attacking lines, then Player 2's Attacking and Defending.
std::vector<std::string> PairedRows()
{
    std::istringstream board(Board());
    std::vector<std::string> lines;
    for (std::string line; std::getline(board, line);) {
        lines.push_back(line);
    }
    return {lines.at(5), lines.at(6), lines.at(8), lines.at(9)};
}

TEST_F(BoardTest, StartOfGame)
{
    NewGame(0, 4, 'd');
    // Trailing blanks matter here, so every line is spelled out.
    EXPECT_EQ(Board(0), kClear +
                            "          |-----------------------YOU-------------------------|\n"
                            "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n"
                            "Bases      1 \n"
                            "Def Units  \n"
                            "Att Units  \n"
                            "Defending  \n"
                            "Attacking  \n"
                            "          |---------------------------------------------------|\n"
                            "Attacking  \n"
                            "Defending  \n"
                            "Att Units  \n"
                            "Def Units  \n"
                            "Bases      1 \n"
                            "Unit ID   |A B C D E F G H I J K L M N O P Q R S T U V W X Y Z|\n"
                            "          |----------------------DRAVIK-----------------------|\n"
                            "\n"
                            "You have 2 units in your Reserves:\n"
                            "Power 1: 1\n"
                            "Power 2: 1\n"
                            "Power 3: 0\n"
                            "Power 4: 0\n");
    NewGame(1, 2, 'q');
    const std::string board = Board(0);
    EXPECT_EQ(board.find(kClear + "          |----------------------QUELBY-----------------------|\n"), 0u);
    EXPECT_TRUE(
        board.ends_with("\n          |-----------------------YOU-------------------------|\n\n"
                        "You have 2 units in your Reserves:\nPower 1: 1\nPower 2: 1\n"));
}

TEST_F(BoardTest, UnitsThatFightTogetherShareOnePairOfBars)
{
    NewGame(0, 9, 'd');
    InsertNode(0, 0, 3, 0);
    EXPECT_EQ(PairedRows(), (std::vector<std::string>{"Defending  ", "Attacking |3|", "Attacking  ", "Defending |!|"}));
    InsertNode(1, 0, 2, 1);
    InsertNode(1, 0, 1, 1);
    EXPECT_EQ(PairedRows(),
              (std::vector<std::string>{"Defending  ", "Attacking |3  |", "Attacking  ", "Defending |2 1|"}));
}

TEST_F(BoardTest, RefocusedAttackerLeavesNoExclamationMark)
{
    NewGame(0, 9, 'q');  // the computer, Player 2, attacks
    for (const int power : {4, 5, 6}) {
        InsertNode(1, player[1].iCurAttNum, power, 0);
    }
    InsertNode(0, 0, 2, 1);
    MoveNode(1, 1, 0);
    EXPECT_EQ(PairedRows(),
              (std::vector<std::string>{"Defending |2  |!|", "Attacking  ", "Attacking |4 5|6|", "Defending  "}));
}

TEST_F(BoardTest, RowsPastTwentySixColumnsAreNotCut)
{
    NewGame(0, 9, 'd');
    for (int col = 0; col < 26; ++col) {
        InsertNode(0, col, 1, 0);
    }
    InsertNode(1, 25, 2, 1);
    InsertNode(1, 25, 3, 1);
    std::string attacking = "Attacking |";
    std::string defending = "Defending |";
    for (int col = 0; col < 25; ++col) {
        attacking += "1|";
        defending += "!|";
    }
    EXPECT_EQ(PairedRows(),
              (std::vector<std::string>{"Defending  ", attacking + "1  |", "Attacking  ", defending + "2 3|"}));
}

TEST_F(BoardTest, DrawAfterTheDiceShowsNewReservesOnly)
{
    NewGame(0, 4, 'd');
    InsertNode(0, 0, 3, 0);
    const std::string before = Board(1);
    SetCounts(Human().iRes, Human().iResNum, {0, 2, 0, 1});
    EXPECT_EQ(Board(2), before.substr(0, before.find("You have")) +
                            "You have 3 units in your Reserves:\nPower 1: 0\nPower 2: 2\nPower 3: 0\nPower 4: 1\n");
}

}  // namespace
