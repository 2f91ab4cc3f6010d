#include "ui/win32/picture_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ui/win32/dpi_win.h"

namespace win {
namespace {

// WIC is created through COM rather than linked, so that windowscodecs.dll is never a static
// import (it is not one of the DLLs Windows protects from planting).
constexpr CLSID kWicImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID kPixelFormat32bppBGR = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0e}};

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> data;  // 0x00RRGGBB, rows top down
};

// The JPEG resource as 32-bit pixels, at its natural size.
Pixels Decode(const void* bytes, DWORD length) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(kWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                                factory.PutVoid())) ||
        FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), length)) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), kPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 4096 || height > 4096) {
        return {};
    }
    Pixels pixels{static_cast<int>(width), static_cast<int>(height), std::vector<std::uint32_t>(width * height)};
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     reinterpret_cast<BYTE*>(pixels.data.data())))) {
        return {};
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
