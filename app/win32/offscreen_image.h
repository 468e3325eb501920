#pragma once
// An off-screen picture for GDI drawing: a 32-bit top-down DIB section
// selected into a memory device context of its own. Its pixels can be read
// back exactly, whatever the screen's colour depth.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "app/win32/gdi_objects.h"

namespace win32 {

class OffscreenImage {
public:
    // A `width` x `height` picture; its pixels start out black. Throws
    // std::runtime_error when GDI cannot create it.
    OffscreenImage(int width, int height);
    OffscreenImage(const OffscreenImage&) = delete;
    OffscreenImage& operator=(const OffscreenImage&) = delete;

    HDC DC() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Returns the pixel at `x`, `y` as 0xRRGGBB (red in the high byte, unlike
    // COLORREF), after finishing any drawing still queued.
    std::uint32_t Pixel(int x, int y) const;

private:
    int width_;
    int height_;
    MemoryDC dc_;
    Bitmap bitmap_;
    void* bits_ = nullptr;
    std::optional<Selection> selected_;  // goes first: deselects before the bitmap is deleted
};

}  // namespace win32
