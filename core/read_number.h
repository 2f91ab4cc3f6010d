#pragma once

#include <string_view>

namespace fate {

// Reads text as a number: blanks, tabs and line feeds anywhere are ignored, then the longest leading
// decimal number (optional sign, digits with at most one period, optionally E and a signed exponent)
// gives the value; 0 when there is none. Only the period is a decimal separator. &H/&O prefixes and
// a D exponent are not taken. A value too large for a double reads as infinity.
double ReadAsNumber(std::u16string_view text);

}  // namespace fate
