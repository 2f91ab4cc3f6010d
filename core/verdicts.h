#pragma once

#include <optional>
#include <string_view>

namespace fate {

inline constexpr std::u16string_view kVerdictTitle = u"缘分评定";

// The verdict text of the band holding the score; nothing for a score in no band (below 0, above
// 100, or not whole).
std::optional<std::u16string_view> Verdict(double score);

}  // namespace fate
