#include "ui/win32/picture_win.h"

#include <wincodec.h>

#include "ui/win32/dpi_win.h"

namespace win {
namespace {

// WIC is created through COM rather than linked, so that windowscodecs.dll is never a static
// import (it is not one of the DLLs Windows protects from planting).
constexpr CLSID kWicImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
// Missing from some SDK headers; Windows 10 and later.
constexpr auto kHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);
constexpr GUID kPixelFormat32bppBGR = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0e}};

}  // namespace

Picture LoadPicture(HINSTANCE instance, int id, UINT dpi) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD length = resource ? SizeofResource(instance, resource) : 0;
    if (!bytes || !length) return {};

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(kWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                                factory.PutVoid())) ||
        FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), length)) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), kPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom))) {
        return {};
    }

    UINT width = 0, height = 0;
    converter->GetSize(&width, &height);
    IWICBitmapSource* source = converter.Get();
    ComPtr<IWICBitmapScaler> scaler;
    if (dpi != kDesignDpi) {
        const UINT scaledWidth = MulDiv(static_cast<int>(width), static_cast<int>(dpi), kDesignDpi);
        const UINT scaledHeight = MulDiv(static_cast<int>(height), static_cast<int>(dpi), kDesignDpi);
        // High-quality cubic arrived with Windows 10; Fant is the best filter before it.
        if (SUCCEEDED(factory->CreateBitmapScaler(scaler.Put())) &&
            (SUCCEEDED(scaler->Initialize(converter.Get(), scaledWidth, scaledHeight,
                                          kHighQualityCubic)) ||
             SUCCEEDED(scaler->Initialize(converter.Get(), scaledWidth, scaledHeight,
                                          WICBitmapInterpolationModeFant)))) {
            source = scaler.Get();
            width = scaledWidth;
            height = scaledHeight;
        }
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like WIC's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Picture picture{unique_hbitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)),
                    {static_cast<LONG>(width), static_cast<LONG>(height)}};
    if (!picture.bitmap || FAILED(source->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(bits)))) {
        return {};
    }
    return picture;
}

}  // namespace win
