#include "core/verdicts.h"

#include <gtest/gtest.h>

#include <cmath>

// Each band's edges give its text, known by its length and its first and last characters (where
// the eye is misled: ASCII dots and tildes, ellipses, full-width marks); its neighbours do not.
TEST(Verdict, EachBandCoversItsEdgesWithItsText) {
    const std::tuple<int, int, std::size_t, char16_t, char16_t> bands[] = {
        {0, 9, 18, u'-', u')'},     {10, 25, 15, u'无', u'.'},  {26, 39, 9, u'花', u'\u2026'},
        {40, 49, 34, u'在', u'了'}, {50, 59, 31, u'实', u'~'},  {60, 79, 24, u'有', u'~'},
        {80, 89, 21, u'不', u'对'}, {90, 95, 26, u'令', u'？'}, {96, 100, 6, u'千', u'！'},
    };
    for (const auto& [low, high, length, first, last] : bands) {
        const auto text = fate::Verdict(low).value_or(u"?");
        EXPECT_EQ(fate::Verdict(high), text) << low;
        EXPECT_NE(fate::Verdict(low - 1), text) << low;
        EXPECT_EQ(text.size(), length) << low;
        EXPECT_EQ(std::u16string({text.front(), text.back()}), std::u16string({first, last}));
    }
    for (const double score : {-1.0, 101.0, 32767.0, 9.5, double{NAN}}) EXPECT_EQ(fate::Verdict(score), std::nullopt);
}
