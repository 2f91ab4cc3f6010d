#pragma once

#include <cstddef>
#include <string_view>

namespace fate::internal {

// The longest leading decimal number of text: an optional sign, digits with at most one period among
// them (at least one digit), then optionally E or e with an optional sign and digits. Locale-free.
struct DecimalPrefix {
    double value = 0;        // 0 when there is no number; +-infinity beyond the range of a double
    std::size_t length = 0;  // characters taken; 0 when there is no number
};
DecimalPrefix ScanDecimal(std::string_view text);

}  // namespace fate::internal
