// The main window's background picture: a JPEG resource, decoded and scaled to the DPI.
#pragma once

#include <windows.h>

#include "ui/win32/handles_win.h"

namespace win {

struct Picture {
    unique_hbitmap bitmap;  // 32-bit top-down DIB section
    SIZE size{};
};

// Decodes the RCDATA resource `id` and scales it by dpi / 96 with a high-quality filter.
// An empty Picture when anything fails.
Picture LoadPicture(HINSTANCE instance, int id, UINT dpi);

}  // namespace win
