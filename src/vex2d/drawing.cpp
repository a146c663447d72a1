#include "vex2d_parts.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

namespace zandrel {

namespace {

// The first tile position at or before `start` from which steps of `size`
// reach `position` (both floored): the tiles then line up with the image.
int FirstTile(int start, double position, int size) {
    position = std::isfinite(position) ? std::clamp(position, -1e9, 1e9) : 0.0;
    int64_t k = static_cast<int64_t>(std::floor(position)) - start;
    int64_t shift = k >= 0 ? k % size : size - (-k) % size;
    return static_cast<int>(start + shift);
}

// A world point (origin added) on screen.
struct ScreenPoint {
    float x, y;
    ScreenPoint(float worldX, float worldY) : x(worldX), y(worldY) { ToScreen(x, y); }
};

} // namespace

void Plot(float x, float y) {
    auto& s = CurrentVex2D();
    ScreenPoint at(x + s.originX, y + s.originY);
    s.driver->Plot(at.x, at.y);
}

void DrawLine(float x1, float y1, float x2, float y2, bool drawLastPixel) {
    auto& s = CurrentVex2D();
    float dx = s.handleX + x2 - x1, dy = s.handleY + y2 - y1;
    ScreenPoint t(x1 + s.originX, y1 + s.originY);
    s.driver->DrawLine(s.handleX, s.handleY, dx, dy, t.x, t.y);
    const Matrix2D& m = DrawingMatrix();
    if (drawLastPixel) s.driver->Plot(dx * m.ix + dy * m.iy + t.x, dx * m.jx + dy * m.jy + t.y);
}

void DrawRect(float x, float y, float width, float height) {
    auto& s = CurrentVex2D();
    ScreenPoint t(x + s.originX, y + s.originY);
    s.driver->DrawRect(s.handleX, s.handleY, s.handleX + width, s.handleY + height, t.x, t.y);
}

void DrawOval(float x, float y, float width, float height) {
    auto& s = CurrentVex2D();
    ScreenPoint t(x + s.originX, y + s.originY);
    s.driver->DrawOval(s.handleX, s.handleY, s.handleX + width, s.handleY + height, t.x, t.y);
}

void DrawPoly(const std::vector<float>& xy) {
    auto& s = CurrentVex2D();
    ScreenPoint origin(s.originX, s.originY);
    s.driver->DrawPoly(xy, s.handleX, s.handleY, origin.x, origin.y);
}

void DrawText(const String& text, float x, float y) {
    auto& s = CurrentVex2D();
    ScreenPoint pen(x + s.originX + s.handleX * s.ix + s.handleY * s.iy,
                    y + s.originY + s.handleX * s.jx + s.handleY * s.jy);
    const Matrix2D& m = DrawingMatrix();
    s.imageFont->Draw(text, pen.x, pen.y, m.ix, m.iy, m.jx, m.jy);
}

int TextWidth(const String& text) {
    float width = 0;
    ForEachGlyph(*CurrentVex2D().imageFont, text, [&](TImageGlyph& glyph, float kerning) {
        width = std::trunc(width + kerning + glyph.Advance());
    });
    return static_cast<int>(width);
}

// The pen is placed as DrawText places it unturned: glyphs land on whole
// pixels from where the pen's fraction puts them.
void TextBounds(const String& text, int& x, int& y, int& width, int& height) {
    float pen = 0;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    ForEachGlyph(*CurrentVex2D().imageFont, text, [&](TImageGlyph& glyph, float kerning) {
        pen += kerning;
        if (glyph.image && glyph.w > 0 && glyph.h > 0) {
            int gx = static_cast<int>(std::floor(pen)) + glyph.x;
            left = std::min(left, gx);
            right = std::max(right, gx + glyph.w);
            top = std::min(top, glyph.y);
            bottom = std::max(bottom, glyph.y + glyph.h);
        }
        pen += glyph.advance;
    });
    if (left > right) left = right = top = bottom = 0;
    x = left;
    y = top;
    width = right - left;
    height = bottom - top;
}

int TextHeight() {
    return CurrentVex2D().imageFont->Height();
}

void DrawImage(const Ref<TImage>& image, float x, float y, int frame) {
    auto& s = CurrentVex2D();
    auto& i = CheckedImage(image);
    float x0 = -i.handleX, y0 = -i.handleY;
    ScreenPoint t(x + s.originX, y + s.originY);
    i.Frame(frame)->Draw(x0, y0, x0 + static_cast<float>(i.width),
                         y0 + static_cast<float>(i.height), t.x, t.y);
}

void DrawImageRect(const Ref<TImage>& image, float x, float y, float width, float height,
                   int frame) {
    auto& s = CurrentVex2D();
    auto& i = CheckedImage(image);
    ScreenPoint t(x + s.originX, y + s.originY);
    i.Frame(frame)->Draw(-i.handleX, -i.handleY, width - i.handleX, height - i.handleY, t.x, t.y);
}

void TileImage(const Ref<TImage>& image, float x, float y, int frame) {
    auto& s = CurrentVex2D();
    auto& i = CheckedImage(image);
    if (i.width <= 0 || i.height <= 0) return;
    s.driver->SetTransform(1, 0, 0, 1);
    double fx = static_cast<double>(x) + s.originX - i.handleX;
    double fy = static_cast<double>(y) + s.originY - i.handleY;
    auto fracX = static_cast<float>(fx - std::floor(fx));
    auto fracY = static_cast<float>(fy - std::floor(fy));
    int startX = FirstTile(s.viewportX - i.width + 1, fx, i.width);
    int startY = FirstTile(s.viewportY - i.height + 1, fy, i.height);
    auto w = static_cast<float>(i.width), h = static_cast<float>(i.height);
    int64_t right = int64_t{s.viewportX} + s.viewportWidth;
    int64_t bottom = int64_t{s.viewportY} + s.viewportHeight;
    for (int64_t ty = startY; ty < bottom; ty += i.height)
        for (int64_t tx = startX; tx < right; tx += i.width)
            i.Frame(frame)->Draw(0, 0, w, h, static_cast<float>(tx) + fracX,
                                 static_cast<float>(ty) + fracY);
    UpdateTransform(s);
}

void DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y) {
    if (!pixmap) throw RuntimeError("Pixmap is no object");
    CurrentVex2DDriver().DrawPixmap(pixmap, x, y);
}

Ref<TPixmap> GrabPixmap(int x, int y, int width, int height) {
    return CurrentVex2DDriver().GrabPixmap(x, y, width, height);
}

} // namespace zandrel
