#include "core/codepage.h"

#include <climits>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#endif

namespace fate::codepage {
namespace {

#ifdef _WIN32

constexpr UINT kCodePage = 936;

#else

// glibc's GBK agrees with Windows' code page 936 on every one- and two-byte sequence except those of
// the user-defined areas and a few empty cells, which Windows maps to the Private Use Area and glibc
// leaves out. These runs fill the gap, so that both platforms give the same codes: the first
// character, its 936 code, and the length of the run (along one row of trail bytes).
struct PrivateUseRun {
    std::uint16_t unicode;
    std::uint16_t code;
    std::uint16_t length;
};
constexpr PrivateUseRun kPrivateUseRuns[] = {
    {0xE000, 0xAAA1, 94}, {0xE05E, 0xABA1, 94}, {0xE0BC, 0xACA1, 94}, {0xE11A, 0xADA1, 94}, {0xE178, 0xAEA1, 94},
    {0xE1D6, 0xAFA1, 94}, {0xE234, 0xF8A1, 94}, {0xE292, 0xF9A1, 94}, {0xE2F0, 0xFAA1, 94}, {0xE34E, 0xFBA1, 94},
    {0xE3AC, 0xFCA1, 94}, {0xE40A, 0xFDA1, 94}, {0xE468, 0xFEA1, 94}, {0xE4C6, 0xA140, 63}, {0xE505, 0xA180, 33},
    {0xE526, 0xA240, 63}, {0xE565, 0xA280, 33}, {0xE586, 0xA340, 63}, {0xE5C5, 0xA380, 33}, {0xE5E6, 0xA440, 63},
    {0xE625, 0xA480, 33}, {0xE646, 0xA540, 63}, {0xE685, 0xA580, 33}, {0xE6A6, 0xA640, 63}, {0xE6E5, 0xA680, 33},
    {0xE706, 0xA740, 63}, {0xE745, 0xA780, 33}, {0xE766, 0xA2AB, 6},  {0xE76C, 0xA2E3, 2},  {0xE76E, 0xA2EF, 2},
    {0xE770, 0xA2FD, 2},  {0xE772, 0xA4F4, 11}, {0xE77D, 0xA5F7, 8},  {0xE785, 0xA6B9, 8},  {0xE78D, 0xA6D9, 7},
    {0xE794, 0xA6EC, 2},  {0xE796, 0xA6F3, 1},  {0xE797, 0xA6F6, 9},  {0xE7A0, 0xA7C2, 15}, {0xE7AF, 0xA7F2, 13},
    {0xE7BC, 0xA896, 11}, {0xE7C7, 0xA8BC, 1},  {0xE7C8, 0xA8BF, 1},  {0xE7C9, 0xA8C1, 4},  {0xE7CD, 0xA8EA, 21},
    {0xE7E2, 0xA958, 1},  {0xE7E3, 0xA95B, 1},  {0xE7E4, 0xA95D, 3},  {0xE7E7, 0xA989, 13}, {0xE7F4, 0xA997, 13},
    {0xE801, 0xA9F0, 15}, {0xE810, 0xD7FA, 5},  {0xE815, 0xFE50, 47}, {0xE844, 0xFE80, 33},
};

std::string TwoBytes(unsigned code) { return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}; }

// One iconv descriptor per thread and direction: iconv_t is not safe to share, and opening one per
// character would be slow.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            // Without GBK every Chinese name would silently score as '?': refuse loudly instead.
            throw std::system_error(errno, std::generic_category(), "iconv cannot convert code page 936");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The whole input converted, or nothing when any of it does not convert.
    std::optional<std::string> Convert(std::string_view in) {
        char out[8];
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outPtr = out;
        std::size_t outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
            return std::nullopt;
        }
        return std::string(out, outPtr);
    }

  private:
    iconv_t cd_;
};

Converter& Encoder() {
    thread_local Converter converter("GBK", "UTF-16LE");
    return converter;
}

Converter& Decoder() {
    thread_local Converter converter("UTF-16LE", "GBK");
    return converter;
}

#endif

}  // namespace

#ifdef _WIN32

std::optional<std::string> EncodeUnit(char16_t unit) {
    const wchar_t wide = unit;
    char bytes[2];
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(length));
}

std::optional<std::u16string> Decode(std::string_view bytes) {
    if (bytes.empty()) return std::u16string();
    if (bytes.size() > INT_MAX) return std::nullopt;
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                            reinterpret_cast<wchar_t*>(text.data()), length) != length) {
        return std::nullopt;
    }
    return text;
}

#else

std::optional<std::string> EncodeUnit(char16_t unit) {
    if (unit < 0x80) return std::string(1, static_cast<char>(unit));
    if (unit >= 0xD800 && unit <= 0xDFFF) return std::nullopt;
    for (const PrivateUseRun& run : kPrivateUseRuns) {
        if (unit >= run.unicode && unit < run.unicode + run.length) return TwoBytes(run.code + (unit - run.unicode));
    }
    // Windows writes U+F8F5 as the single byte 0xFF, which it does not read back.
    if (unit == 0xF8F5) return std::string(1, '\xFF');
    const char utf16le[] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return Encoder().Convert(std::string_view(utf16le, 2));
}

std::optional<std::u16string> Decode(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text.push_back(lead);
            ++i;
            continue;
        }
        if (lead == 0x80) {  // the euro sign, 936's only single byte above ASCII
            text.push_back(u'\u20AC');
            ++i;
            continue;
        }
        if (lead == 0xFF || i + 1 == bytes.size()) return std::nullopt;
        const unsigned code = lead << 8 | static_cast<unsigned char>(bytes[i + 1]);
        i += 2;
        bool found = false;
        for (const PrivateUseRun& run : kPrivateUseRuns) {
            if (code >= run.code && code < run.code + run.length) {
                text.push_back(static_cast<char16_t>(run.unicode + (code - run.code)));
                found = true;
                break;
            }
        }
        if (found) continue;
        const auto utf16le = Decoder().Convert(TwoBytes(code));
        if (!utf16le || utf16le->size() != 2) return std::nullopt;
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>((*utf16le)[0]) |
                                             static_cast<unsigned char>((*utf16le)[1]) << 8));
    }
    return text;
}

#endif

std::optional<std::string> EncodeFaithfully(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        const auto encoded = EncodeUnit(unit);
        if (!encoded) return std::nullopt;
        bytes += *encoded;
    }
    // The way back catches characters that share bytes with another, or whose bytes 936 does not read.
    const auto back = Decode(bytes);
    if (!back || *back != text) return std::nullopt;
    return bytes;
}

}  // namespace fate::codepage
