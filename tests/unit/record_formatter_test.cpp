#include "readout/RecordFormatter.h"

#include <gtest/gtest.h>

namespace {

// Runs a whole text through the layout, as if every write succeeds; `pos` is
// the line position before the first character and after the last.
std::string Format(const std::string& received, uint8_t& pos)
{
    std::string table;
    for (char ch : received) {
        const RecordChar step = FormatRecordChar(pos, ch);
        if (step.writeChar)
            table += step.ch;
        if (step.separator)
            table += step.separator;
        pos = step.newPos;
    }
    return table;
}

std::string Format(const std::string& received, int startPos = 0)
{
    uint8_t pos = static_cast<uint8_t>(startPos);
    return Format(received, pos);
}

std::string Times(const std::string& text, int n)
{
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

TEST(RecordFormatter, LoggerLineBecomesTableRow)
{
    EXPECT_EQ("05.03.07\t09:05\t 2,5\t 998,0\t\n", Format(" 5 307 9 5 2.5 998.0\r\n"));
    // 10 date and time characters, then fields of 4 and 6, each closed by a tab, up to the 254th.
    EXPECT_EQ("xx.xx.xx\txx:xx\t" + Times("xxxx\txxxxxx\t", 24) + "xxxx\t", Format(std::string(254, 'x')));
}

TEST(RecordFormatter, DisplayRefreshesAtBothDateSeparatorsOnly)
{
    const std::string line = " 5 307 9 5 2.5 998.0\r\n";
    uint8_t pos = 0;
    std::vector<size_t> refreshedAt;
    for (size_t i = 0; i < line.size(); ++i) {
        const RecordChar step = FormatRecordChar(pos, line[i]);
        if (step.refreshDisplay)
            refreshedAt.push_back(i);
        pos = step.newPos;
    }
    // The display shows the count before the current character: 1, then 3.
    EXPECT_EQ((std::vector<size_t>{ 1, 3 }), refreshedAt);
}

TEST(RecordFormatter, LineEndsStartANewLine)
{
    for (const char* end : { "\r", "\n", "\r\n" }) {
        uint8_t pos = 7;
        EXPECT_EQ(end[0] == '\r' && !end[1] ? "" : "\n", Format(end, pos)) << end;
        EXPECT_EQ(0, pos);
    }
    // After a line end, a blank starts a date group again.
    EXPECT_EQ("\n0", Format("\n "));
}

TEST(RecordFormatter, BlanksBecomeZeroOnlyAtTheStartOfDateAndTimeGroups)
{
    EXPECT_EQ("0 .0 .0 \t0 :0 \t    \t      \t", Format(std::string(20, ' ')));
    EXPECT_EQ(' ', FormatRecordChar(200, ' ').ch);
}

TEST(RecordFormatter, PointsBecomeCommasAndZeroBytesOnlyAdvance)
{
    EXPECT_EQ(",,.", Format(".."));
    EXPECT_EQ(',', FormatRecordChar(200, '.').ch);
    const RecordChar step = FormatRecordChar(1, '\0');
    EXPECT_FALSE(step.writeChar);
    EXPECT_FALSE(step.lineEnd);
    EXPECT_EQ(2, step.newPos);
    EXPECT_EQ('.', step.separator);
    EXPECT_EQ("..", Format(std::string(4, '\0')));
}

TEST(RecordFormatter, PositionWrapsAfter255Characters)
{
    uint8_t pos = 0;
    Format(std::string(255, 'x'), pos);
    EXPECT_EQ(255, pos);
    // The 256th character brings the position back to 0 and gets no separator;
    // the 257th is treated like the first of a line, the date points follow again.
    EXPECT_EQ("y0y.zz.", Format("y yzz", pos));
    EXPECT_EQ(4, pos);
}

}  // namespace
