#include "core/name_score.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/codepage.h"

namespace fate {
namespace {

struct NameSum {
    std::int64_t sum;  // exact: neither wraps nor saturates
    std::int64_t length;
};

std::optional<NameSum> SumOf(std::u16string_view name) {
    if (name.empty() || name.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    std::int64_t sum = 0;
    for (const char16_t unit : name) sum += CharacterCode(unit);
    return NameSum{sum, static_cast<std::int64_t>(name.size())};
}

}  // namespace

std::int16_t CharacterCode(char16_t unit) {
    const auto bytes = codepage::EncodeUnit(unit);
    if (!bytes) return '?';
    const auto lead = static_cast<unsigned char>((*bytes)[0]);
    if (bytes->size() == 1) return lead;
    const auto trail = static_cast<unsigned char>((*bytes)[1]);
    return static_cast<std::int16_t>(lead * 256 + trail - 65536);
}

// Every step is one double operation in the order written: the order shows in the results (29 / 100
// * 100 is 28.999999999999996, so dividing first gives 28 where multiplying first would give 29).
std::optional<double> NameScore(std::u16string_view first, std::u16string_view second) {
    const auto a = SumOf(first);
    const auto b = SumOf(second);
    if (!a || !b) return std::nullopt;
    const std::int64_t totalLength = a->length + b->length;
    if (totalLength > std::numeric_limits<std::int32_t>::max()) return std::nullopt;

    const auto absA = static_cast<double>(std::llabs(a->sum));
    const auto absB = static_cast<double>(std::llabs(b->sum));
    const double gap =
        std::floor(std::fabs(absA / static_cast<double>(a->length) - absB / static_cast<double>(b->length)));
    const double overall =
        std::floor(static_cast<double>(std::llabs(a->sum) + std::llabs(b->sum)) / static_cast<double>(totalLength));
    if (overall == 0) return std::nullopt;

    double score = std::floor(gap / overall * 100);
    if (score > 100) score = std::floor((score - 100) / score * 100);  // the fold
    if (score < 25) score = score * 1.5;                               // the stretch of small scores
    if (score < 50) score = score * 2;
    return score;
}

}  // namespace fate
