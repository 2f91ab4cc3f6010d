#include "core/verdicts.h"

namespace fate {
namespace {

struct Band {
    int low;  // both bounds inclusive
    int high;
    std::u16string_view text;
};

constexpr Band kBands[] = {
    {0, 9, u"- -b.@#!$%*)#)(#@)"},
    {10, 25, u"无缘之人，唉........."},
    {26, 39, u"花自飘零水自流……"},
    {40, 49, u"在如此无缘的两个人之间如果还能产生什么浪漫邂逅的话应该称的上是奇迹了"},
    {50, 59, u"实在是很一般的缘分，但如果能细心把握的话，也未必不会有结果哦~"},
    {60, 79, u"有点缘分，如果好好把握的话，相信很容易结果的哦~"},
    {80, 89, u"不错的缘分，应该是可以轰轰烈烈爱一场的一对"},
    {90, 95, u"令人羡慕的缘分，除了好好珍惜以外，还有什么好说的呢？"},
    {96, 100, u"千年等一回！"},
};

}  // namespace

std::optional<std::u16string_view> Verdict(double score) {
    for (const Band& band : kBands) {
        if (band.low <= score && score <= band.high) return band.text;
    }
    return std::nullopt;
}

}  // namespace fate
