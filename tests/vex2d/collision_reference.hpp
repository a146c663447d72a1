// The plain way to find where two placed images overlap: map every pixel
// centre of their bounding-box intersection back into both pictures.
#pragma once

#include <zandrel/vex2d.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace zandrel::test {

// An image placed as drawing would place it, without an origin.
struct Placement {
    Ref<TImage> image;
    float x = 0, y = 0;
    int frame = 0;
    float rotation = 0, scaleX = 1, scaleY = 1;
};

class PlacedPicture {
public:
    explicit PlacedPicture(const Placement& p)
        : pixmap_(LockImage(p.image, p.frame, LockFor::Reading)), x_(p.x), y_(p.y),
          w_(p.image->width), h_(p.image->height), handleX_(p.image->handleX),
          handleY_(p.image->handleY) {
        double radians = p.rotation * std::numbers::pi / 180;
        double c = std::cos(radians), s = std::sin(radians);
        ix_ = c * p.scaleX;
        iy_ = -s * p.scaleY;
        jx_ = s * p.scaleX;
        jy_ = c * p.scaleY;
        det_ = ix_ * jy_ - iy_ * jx_;
        for (auto [ux, uy] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
            double lx = ux * w_ - handleX_, ly = uy * h_ - handleY_;
            double px = x_ + lx * ix_ + ly * iy_, py = y_ + lx * jx_ + ly * jy_;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
    }

    bool SolidAt(double px, double py) const {
        if (det_ == 0) return false;
        double dx = px - x_, dy = py - y_;
        double u = ((jy_ * dx - iy_ * dy) / det_ + handleX_) / w_;
        double v = ((ix_ * dy - jx_ * dx) / det_ + handleY_) / h_;
        if (!(u >= 0 && u < 1 && v >= 0 && v < 1)) return false;
        int column = static_cast<int>(u * pixmap_->Width());
        int row = static_cast<int>(v * pixmap_->Height());
        return ReadPixel(pixmap_, column, row) >> 31;
    }

    // The bounding box of the placed picture.
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;

private:
    Ref<TPixmap> pixmap_;
    double x_, y_, w_, h_, handleX_, handleY_;
    double ix_, iy_, jx_, jy_, det_;
};

// Pixels whose centres both placements cover with a solid texel, counted up
// to `limit`.
inline int SolidOverlap(const PlacedPicture& a, const PlacedPicture& b, int limit = INT32_MAX) {
    int x0 = static_cast<int>(std::floor(std::max(a.minX, b.minX)));
    int x1 = static_cast<int>(std::ceil(std::min(a.maxX, b.maxX)));
    int y0 = static_cast<int>(std::floor(std::max(a.minY, b.minY)));
    int y1 = static_cast<int>(std::ceil(std::min(a.maxY, b.maxY)));
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (a.SolidAt(x + 0.5, y + 0.5) && b.SolidAt(x + 0.5, y + 0.5) && ++count == limit)
                return count;
    return count;
}

inline int SolidOverlap(const Placement& a, const Placement& b, int limit = INT32_MAX) {
    return SolidOverlap(PlacedPicture(a), PlacedPicture(b), limit);
}

} // namespace zandrel::test
