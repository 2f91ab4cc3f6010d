// Owning wrappers for the Win32 handles the windows create, so that each is freed exactly once
// by whoever made it.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace win {

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
template <typename H>
using unique_gdi = std::unique_ptr<std::remove_pointer_t<H>, GdiObjectDeleter>;
using unique_hfont = unique_gdi<HFONT>;
using unique_hbrush = unique_gdi<HBRUSH>;
using unique_hbitmap = unique_gdi<HBITMAP>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using unique_hicon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using unique_handle = std::unique_ptr<void, HandleCloser>;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using unique_hdc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Selects an object into a DC for the lifetime of the guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectGuard() { SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace win
