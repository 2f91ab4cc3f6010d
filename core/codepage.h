#pragma once

// The one place that converts between UTF-16 and code page 936 (GBK). Always 936, whatever the
// system's code page, so that a pair scores the same on every machine and Chinese names survive in
// love.dll on a non-Chinese Windows. No best-fit substitutes: a character 936 lacks has no bytes.

#include <optional>
#include <string>
#include <string_view>

namespace fate::codepage {

// The one or two bytes of a UTF-16 unit in 936; nothing when 936 has none (lone surrogates too).
std::optional<std::string> EncodeUnit(char16_t unit);

// The 936 bytes of text, only when every character converts and comes back unchanged.
std::optional<std::string> EncodeFaithfully(std::u16string_view text);

// The text of 936 bytes; nothing when they are not valid 936.
std::optional<std::u16string> Decode(std::string_view bytes);

}  // namespace fate::codepage
