#include "app/win32/offscreen_image.h"

#include <stdexcept>

namespace win32 {

OffscreenImage::OffscreenImage(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = Bitmap(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    if (dc_.Get() == nullptr || !bitmap_ || bits_ == nullptr) {
        throw std::runtime_error("Cannot create an off-screen picture");
    }
    selected_.emplace(dc_.Get(), bitmap_.Get());
}

std::uint32_t OffscreenImage::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    GdiFlush();
    const auto* row = static_cast<const std::uint32_t*>(bits_) + static_cast<std::size_t>(y) * width_;
    return row[x] & 0x00FFFFFFu;  // blue, green, red, unused in memory order
}

}  // namespace win32
