// The setting file's text, both ways.
#include "settings/PortSetting.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

TEST(PortSetting, ParsesAsAtoiDoesInRange)
{
    const char* cases[] = { "1", "3\r\n", "", "7", "-1", "  42", "\t\n 5", "+8", "-0", "12abc", "abc", "- 3", "+-2",
                            "0003", " -17x", "2147483647", "-2147483648", "\x01" "5", "3.9" };
    for (const char* text : cases)
        EXPECT_EQ(std::atoi(text), ParsePortIndex(text)) << '"' << text << '"';
}

TEST(PortSetting, SaturatesBeyondTheIntegerRange)
{
    EXPECT_EQ(INT_MAX, ParsePortIndex("2147483648"));
    EXPECT_EQ(INT_MAX, ParsePortIndex("99999999999999999999999999999999"));
    EXPECT_EQ(INT_MIN, ParsePortIndex("-2147483649"));
    EXPECT_EQ(INT_MIN, ParsePortIndex(("-" + std::string(5000, '9') + "x").c_str()));
}

TEST(PortSetting, RandomTextNeverLeavesTheRulesOfAtoi)
{
    std::mt19937 random(7);
    const char alphabet[] = " \t\r\n+-0123456789x.\xFF";
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int j = 0; j < length; ++j)
            text += alphabet[random() % (sizeof alphabet - 1)];
        // Short texts stay inside int's range, where atoi is defined.
        EXPECT_EQ(std::atoi(text.c_str()), ParsePortIndex(text.c_str())) << '"' << text << '"';
    }
}

TEST(PortSetting, FormatsDigitsAndOneLineFeed)
{
    EXPECT_EQ(std::string("1\n"), FormatPortIndex(1));
    EXPECT_EQ(std::string("-1\n"), FormatPortIndex(-1));
    EXPECT_EQ(std::string("0\n"), FormatPortIndex(0));
    EXPECT_EQ(std::string("-2147483648\n"), FormatPortIndex(INT_MIN));
}

}  // namespace
