#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fate {

// The text of strictly valid UTF-8 (no overlong forms, no surrogates); nothing otherwise.
std::optional<std::u16string> DecodeUtf8(std::string_view bytes);

}  // namespace fate
