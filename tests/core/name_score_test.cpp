#include "core/name_score.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CharacterCode, IsTheCodePage936Value) {
    const struct {
        char16_t unit;
        int code;
    } cases[] = {
        {u'A', 65},          {u' ', 32},       {u'张', -10811},
        {u'三', -14083},     {u'\u20AC', 128},  // the euro sign is 936's single byte 0x80
        {u'\uE000', -21855},                    // user-defined area AAA1, as Windows maps it
        {u'\xD800', 63},     {u'\u0E01', 63},   // a lone surrogate; Thai, which 936 lacks
        {u'\u00C0', 63},                        // no best-fit substitute
    };
    for (const auto& c : cases) EXPECT_EQ(fate::CharacterCode(c.unit), c.code) << std::hex << int(c.unit);
}

TEST(NameScore, WorkedExamplesAndBoundaries) {
    const struct {
        std::u16string first, second;
        double score;
    } cases[] = {
        {u"张三", u"李四", 48}, {u"张伟", u"王芳", 56},
        {u"Bob", u"王芳", 59},  // 246 folds to 59
        {u"Tom", u"Mary", 0},   {u"Tom", u"Tom", 0},
        {u"s", u"V", 56},     // D 29, O 100: divided first, 28.999... floors to 28
        {u"ab", u"l", 27},    // D 9.5 floors to 9 before it is divided
        {u"aa", u"k", 30},    // O 101.33 floors to 101
        {u"00", u"w", 100},   // R 100 is not folded
        {u"00", u"y", 0},     // R 101 folds to 0
        {u"a", u"L", 72},     // R 24
        {u"0", u"c", 69},     // R 23: 34.5, then 69
        {u"a", u"K", 50},     // R 25
        {u"m", u"B", 98},     // R 49
        {u"l", u"A", 50},     // R 50
        {u"a张", u"张", 76},  // the absolute value of the whole sum, not of each code (74)
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fate::NameScore(c.first, c.second), c.score) << c.score;
        EXPECT_EQ(fate::NameScore(c.second, c.first), c.score) << c.score;
    }
}

TEST(NameScore, NoScoreInsteadOfDividingByZero) {
    const std::u16string nul(1, u'\0');
    EXPECT_EQ(fate::NameScore(nul, nul), std::nullopt);            // 0 / 0
    EXPECT_EQ(fate::NameScore(nul + nul, u"\x01"), std::nullopt);  // 1 / 0
    EXPECT_EQ(fate::NameScore(u"", u"Tom"), std::nullopt);         // an empty name has no average
}

}  // namespace
