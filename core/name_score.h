#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace fate {

// The value of one UTF-16 unit in code page 936: a single byte b gives b, a double-byte character
// lead * 256 + trail - 65536 (always negative). A unit that 936 cannot write, or a lone surrogate,
// gives the code of '?' (63).
std::int16_t CharacterCode(char16_t unit);

// The fate score of two names: a whole number from 0 to 100. Nothing when the pair has no score:
// the overall average is 0, a name is empty, or the lengths do not fit a 32-bit sum.
std::optional<double> NameScore(std::u16string_view first, std::u16string_view second);

}  // namespace fate
