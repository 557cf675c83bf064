// Inserting and moving units in the paired rows: columns, targets, groups, counters.
#include "support.h"

namespace {

class RowsTest : public GameTest {
protected:
    void SetUp() override { NewGame(0, 9, 'd'); }
};

TEST_F(RowsTest, FirstAttackerOpensBothRows)
{
    SetCounts(Human().iAtt, Human().iAttNum, {0, 0, 1});
    Human().iAtt[2] = 0;
    InsertNode(0, 0, 3, 0);
    EXPECT_EQ(RowText(player[0].pAttHead), "3:0");
    EXPECT_EQ(RowText(player[1].pDefHead), "0:0");
    EXPECT_EQ(player[0].iCurAttNum, 1);
    EXPECT_EQ(player[0].iAttNum, 0);
}

}  // namespace
