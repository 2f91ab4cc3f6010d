#include "core/utf8.h"

#include <cstdint>

namespace fate {

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int trailCount;
        std::uint32_t point;
        std::uint32_t minimum;
        if (lead < 0x80) {
            trailCount = 0, point = lead, minimum = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            trailCount = 1, point = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailCount = 2, point = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailCount = 3, point = lead & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i <= static_cast<std::size_t>(trailCount)) return std::nullopt;
        for (int k = 1; k <= trailCount; ++k) {
            const auto trail = static_cast<unsigned char>(bytes[i + k]);
            if ((trail & 0xC0) != 0x80) return std::nullopt;
            point = point << 6 | (trail & 0x3F);
        }
        if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return std::nullopt;
        if (point >= 0x10000) {
            point -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(point));
        }
        i += 1 + trailCount;
    }
    return text;
}

}  // namespace fate
