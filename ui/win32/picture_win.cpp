#include "ui/win32/picture_win.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/win32/dpi_win.h"
#include "ui/win32/trace_win.h"

// Debian's stb_image (libstb-dev), JPEG only, from memory. Decoding here rather than through WIC
// spares the start-up COM and the loading of the codec DLLs: a third of its time under Wine.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 4096
#include <stb_image.h>

namespace win {
namespace {

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> data;  // 0x00RRGGBB, rows top down
};

// The JPEG resource as 32-bit pixels, at its natural size.
Pixels Decode(const void* bytes, DWORD length) {
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<stbi_uc, void (*)(void*)> rgb(
        stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), static_cast<int>(length), &width, &height, &channels, 3),
        stbi_image_free);
    if (!rgb) return {};
    Pixels pixels{width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
    const stbi_uc* in = rgb.get();
    for (std::uint32_t& pixel : pixels.data) {
        pixel = static_cast<std::uint32_t>(in[0]) << 16 | static_cast<std::uint32_t>(in[1]) << 8 | in[2];
        in += 3;
    }
    return pixels;
}

// Catmull-Rom: sharp, without the ringing of sharper cubics.
double Cubic(double x) {
    x = std::abs(x);
    if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

struct Tap {
    int index;
    double weight;
};

// For each destination pixel along one axis, the source pixels and weights that make it. The
// kernel widens when shrinking, so that every source pixel counts.
std::vector<std::vector<Tap>> Taps(int source, int destination) {
    const double scale = static_cast<double>(destination) / source;
    const double widen = std::max(1.0, 1 / scale);
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(destination));
    for (int d = 0; d < destination; ++d) {
        const double center = (d + 0.5) / scale - 0.5;
        double sum = 0;
        for (int s = static_cast<int>(std::floor(center - 2 * widen)) + 1; s <= center + 2 * widen; ++s) {
            const double weight = Cubic((s - center) / widen);
            taps[d].push_back({std::clamp(s, 0, source - 1), weight});
            sum += weight;
        }
        for (Tap& tap : taps[d]) tap.weight /= sum;
    }
    return taps;
}

// Scaled with a cubic filter of our own: WIC's high-quality modes are not implemented everywhere
// (Wine scales by nearest neighbour, which looks blocky at 150 %).
Pixels Resample(const Pixels& in, int width, int height) {
    const auto across = Taps(in.width, width);
    const auto down = Taps(in.height, height);
    std::vector<double> rows(static_cast<size_t>(width) * in.height * 3);  // scaled across first
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < width; ++x) {
            double* out = &rows[(static_cast<size_t>(y) * width + x) * 3];
            for (const Tap& tap : across[x]) {
                const std::uint32_t p = in.data[static_cast<size_t>(y) * in.width + tap.index];
                for (int c = 0; c < 3; ++c) out[c] += tap.weight * ((p >> (8 * c)) & 0xFF);
            }
        }
    }
    Pixels out{width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {};
            for (const Tap& tap : down[y]) {
                const double* p = &rows[(static_cast<size_t>(tap.index) * width + x) * 3];
                for (int c = 0; c < 3; ++c) sum[c] += tap.weight * p[c];
            }
            std::uint32_t pixel = 0;
            for (int c = 0; c < 3; ++c) {
                pixel |= static_cast<std::uint32_t>(std::clamp(std::lround(sum[c]), 0L, 255L)) << (8 * c);
            }
            out.data[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    return out;
}

}  // namespace

Picture LoadPicture(HINSTANCE instance, int id, UINT dpi) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD length = resource ? SizeofResource(instance, resource) : 0;
    if (!bytes || !length) return {};
    Pixels pixels = Decode(bytes, length);
    TraceStage("picture decoded");
    if (pixels.data.empty()) return {};

    if (dpi != kDesignDpi) {
        // Scaled from a crop whose sides are multiples of 4, so that at 125, 150, 175 and 200 %
        // every point of the picture lands exactly where the controls' twips put it. The cut
        // (here 1 pixel right and bottom) lies beyond the window's client area anyway.
        Pixels crop{pixels.width - pixels.width % 4, pixels.height - pixels.height % 4, {}};
        if (crop.width == 0 || crop.height == 0) crop = {pixels.width, pixels.height, {}};
        for (int y = 0; y < crop.height; ++y) {
            const auto row = pixels.data.begin() + static_cast<std::ptrdiff_t>(y) * pixels.width;
            crop.data.insert(crop.data.end(), row, row + crop.width);
        }
        pixels = Resample(crop, MulDiv(crop.width, static_cast<int>(dpi), kDesignDpi),
                          MulDiv(crop.height, static_cast<int>(dpi), kDesignDpi));
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Picture picture{unique_hbitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)),
                    {pixels.width, pixels.height}};
    if (!picture.bitmap) return {};
    std::copy(pixels.data.begin(), pixels.data.end(), static_cast<std::uint32_t*>(bits));
    return picture;
}

}  // namespace win
