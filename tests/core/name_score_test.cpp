#include "core/name_score.h"

#include <gtest/gtest.h>

// 936's codes; the euro sign is its single byte 0x80, U+E000 its user-defined AAA1 as Windows maps
// it; a lone surrogate, Thai and À (no best-fit substitute) count as '?'.
TEST(CharacterCode, IsTheCodePage936Value) {
    const std::pair<char16_t, int> cases[] = {{u'A', 65},      {u' ', 32},       {u'张', -10811},
                                              {u'三', -14083}, {u'\u20AC', 128}, {u'\uE000', -21855},
                                              {u'\xD800', 63}, {u'\u0E01', 63},  {u'\u00C0', 63}};
    for (const auto& [unit, code] : cases) EXPECT_EQ(fate::CharacterCode(unit), code) << int(unit);
}

// Either way round. D 29 over O 100 is divided first (28.999... floors to 28); D 9.5 and O 101.33
// are floored before; R 100 is not folded, R 101 and R 246 are; R 24, 23, 25, 49 and 50 at the
// stretch; a mixed name's sum is taken whole (a张 sums to -10714, not 10908). An overall average of
// 0 (0 / 0, 1 / 0), or an empty name, gives no score rather than a division by zero.
TEST(NameScore, WorkedExamplesBoundariesAndNoScore) {
    const std::u16string nul(1, u'\0');
    const std::tuple<std::u16string, std::u16string, std::optional<double>> cases[] = {
        {u"张三", u"李四", 48}, {u"张伟", u"王芳", 56},   {u"Bob", u"王芳", 59}, {u"Tom", u"Mary", 0},
        {u"Tom", u"Tom", 0},    {u"s", u"V", 56},         {u"ab", u"l", 27},     {u"aa", u"k", 30},
        {u"00", u"w", 100},     {u"00", u"y", 0},         {u"a", u"L", 72},      {u"0", u"c", 69},
        {u"a", u"K", 50},       {u"m", u"B", 98},         {u"l", u"A", 50},      {u"a张", u"张", 76},
        {nul, nul, {}},         {nul + nul, u"\x01", {}}, {u"", u"Tom", {}},
    };
    for (const auto& [first, second, score] : cases) {
        EXPECT_EQ(fate::NameScore(first, second), score) << score.value_or(-1);
        EXPECT_EQ(fate::NameScore(second, first), score) << score.value_or(-1);
    }
}
