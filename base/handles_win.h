// One small move-only owner per kind of Windows handle, and scope objects for the GDI pairs
// that must be undone in order.
#pragma once

#include <windows.h>

#include <utility>

namespace oruvel {

template <typename T, auto Close, T Invalid = T{}>
class UniqueAny {
  public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : value_(value) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid; }
    T release() { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) {
        if (value_ != Invalid) {
            Close(value_);
        }
        value_ = value;
    }

  private:
    T value_ = Invalid;
};

inline void CloseKernelHandle(HANDLE h) {
    CloseHandle(h);
}
inline void DeleteGdiObject(HGDIOBJ h) {
    DeleteObject(h);
}
inline void DestroyIconHandle(HICON h) {
    DestroyIcon(h);
}
inline void DestroyMenuHandle(HMENU h) {
    DestroyMenu(h);
}
inline void UnmapView(void* view) {
    UnmapViewOfFile(view);
}
inline void DeleteMemoryDc(HDC dc) {
    DeleteDC(dc);
}
inline void CloseFind(HANDLE search) {
    FindClose(search);
}

using UniqueHandle = UniqueAny<HANDLE, CloseKernelHandle>;
using UniqueIcon = UniqueAny<HICON, DestroyIconHandle>;
using UniqueFont = UniqueAny<HFONT, DeleteGdiObject>;
using UniqueBitmap = UniqueAny<HBITMAP, DeleteGdiObject>;
using UniqueBrush = UniqueAny<HBRUSH, DeleteGdiObject>;
using UniqueRgn = UniqueAny<HRGN, DeleteGdiObject>;
using UniqueMenu = UniqueAny<HMENU, DestroyMenuHandle>;
using UniqueMapView = UniqueAny<void*, UnmapView>;
// A memory DC, from CreateCompatibleDC.
using UniqueMemoryDc = UniqueAny<HDC, DeleteMemoryDc>;
using UniqueFind = UniqueAny<HANDLE, CloseFind>;  // holds null where FindFirstFileW failed

// Selects an object into a DC for one scope and puts the previous one back.
class ScopedSelect {
  public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() { SelectObject(dc_, previous_); }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint and EndPaint as one scope.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }
    HDC dc() const { return dc_; }
    const RECT& area() const { return paint_.rcPaint; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace oruvel
