#include "core/read_number.h"

#include <gtest/gtest.h>

#include <cmath>

// Blanks, tabs and line feeds are ignored anywhere, a carriage return is not.
TEST(ReadAsNumber, LongestLeadingDecimalNumber) {
    const std::pair<std::u16string_view, double> cases[] = {
        // clang-format off
        {u"85", 85}, {u"8a5", 8}, {u"abc", 0}, {u"", 0}, {u"-5", -5}, {u"9.5", 9.5}, {u".5", 0.5}, {u"5.", 5},
        {u"1e2", 100}, {u"1E+2", 100}, {u"25e-1", 2.5}, {u"+7", 7}, {u" 1 2\t\n3", 123}, {u"1\r2", 1}, {u"1.2.3", 1.2},
        {u"1e", 1}, {u"1e+", 1}, {u"-", 0}, {u".", 0}, {u"&H10", 0}, {u"1d2", 1}, {u"１２", 0}, {u"1e-999", 0},
        {u"1e999", INFINITY}, {u"-1e999", -INFINITY},
        // clang-format on
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(fate::ReadAsNumber(text), value) << value;
}
