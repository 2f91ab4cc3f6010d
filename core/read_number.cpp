#include "core/read_number.h"

#include <string>

#include "core/decimal.h"

namespace fate {

double ReadAsNumber(std::u16string_view text) {
    std::string ascii;
    for (const char16_t unit : text) {
        if (unit == u' ' || unit == u'\t' || unit == u'\n') continue;
        if (unit >= 0x80) break;  // nothing beyond ASCII belongs to a number
        ascii.push_back(static_cast<char>(unit));
    }
    return internal::ScanDecimal(ascii).value;
}

}  // namespace fate
