// Collision quads and the scan that looks for a pixel two of them cover with
// something solid.
#pragma once

#include "vex2d_parts.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

namespace zandrel {

// Answers whether the texel at texture coordinates u, v (0 to 1 across the
// pixmap) is solid, i.e. has alpha 128 or more. Coordinates outside are
// clamped, and 1 reads the last column or row rather than one past it.
class TexelMask {
public:
    // No pixmap: solid everywhere, as a rectangle is.
    explicit TexelMask(const TPixmap* pixmap);
    bool Solid(float u, float v) const {
        if (alphaOffset_ < 0) return true;
        int column = std::min(static_cast<int>(Clamp01(u) * width_), columns_ - 1);
        int row = std::min(static_cast<int>(Clamp01(v) * height_), rows_ - 1);
        return pixels_[row * pitch_ + column * bytesPerPixel_ + alphaOffset_] >= 128;
    }

private:
    // Not-a-number goes to 0 as well.
    static float Clamp01(float t) { return t > 0 ? (t < 1 ? t : 1) : 0; }

    const uint8_t* pixels_ = nullptr;
    ptrdiff_t pitch_ = 0;
    int bytesPerPixel_ = 0;
    int alphaOffset_ = -1; // -1: every texel is solid
    int columns_ = 0, rows_ = 0;
    float width_ = 0, height_ = 0;
};

struct Box {
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Without branches: most boxes of a layer are far apart in ways no branch
// predictor guesses.
inline bool BoxesOverlap(const Box& a, const Box& b) {
    return (a.maxX >= b.minX) & (a.maxY >= b.minY) & (a.minX <= b.maxX) & (a.minY <= b.maxY);
}

// One placed image or rectangle.
struct TQuad {
    Ref<Object> id;
    Ref<TPixmap> pixmap; // none for a rectangle
    Box bounds;
    // x, y, u, v of the corners placed from the top-left, top-right,
    // bottom-right and bottom-left of the picture.
    std::array<float, 16> vertices{};
};

// Bounding boxes first, then a scan of the rows both cover.
bool QuadsCollide(const TQuad& a, const TQuad& b);

} // namespace zandrel
