#include "canvas.hpp"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

constexpr float pi = 3.14159265f;

float Clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

float SmoothStep(float edge0, float edge1, float x) {
    float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// Coverage of a pixel by a shape whose signed distance (negative inside) is d.
float Coverage(float d) {
    return Clamp01(0.5f - d);
}

} // namespace

Colour Rgb(int r, int g, int b, float a) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}

Colour Mix(const Colour& x, const Colour& y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

Colour Hsv(float hue, float saturation, float value, float alpha) {
    float h = (hue - std::floor(hue)) * 6.0f;
    int sector = static_cast<int>(h) % 6;
    float f = h - std::floor(h);
    float p = value * (1 - saturation), q = value * (1 - saturation * f),
          t = value * (1 - saturation * (1 - f));
    switch (sector) {
    case 0:
        return {value, t, p, alpha};
    case 1:
        return {q, value, p, alpha};
    case 2:
        return {p, value, t, alpha};
    case 3:
        return {p, q, value, alpha};
    case 4:
        return {t, p, value, alpha};
    default:
        return {value, p, q, alpha};
    }
}

float Random::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) / 16777216.0f;
}

Canvas::Canvas(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Blend(int x, int y, const Colour& colour, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    float a = Clamp01(colour.a * coverage);
    if (a <= 0) return;
    Colour& dst = pixels_[static_cast<size_t>(y) * width_ + x];
    float outA = a + dst.a * (1 - a);
    if (outA <= 0) return;
    auto over = [&](float s, float d) { return (s * a + d * dst.a * (1 - a)) / outA; };
    dst = {over(colour.r, dst.r), over(colour.g, dst.g), over(colour.b, dst.b), outA};
}

void Canvas::AddLight(int x, int y, const Colour& colour, float amount) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || amount <= 0) return;
    Colour& dst = pixels_[static_cast<size_t>(y) * width_ + x];
    dst.r = std::min(1.0f, dst.r + colour.r * amount);
    dst.g = std::min(1.0f, dst.g + colour.g * amount);
    dst.b = std::min(1.0f, dst.b + colour.b * amount);
}

template <class Paint> void Canvas::ForBox(float cx, float cy, float reach, Paint paint) {
    int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
    int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(cx + reach)));
    int y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
    int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(cy + reach)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            paint(x, y, dx, dy, std::sqrt(dx * dx + dy * dy));
        }
}

void Canvas::VerticalGradient(const Colour& top, const Colour& bottom) {
    for (int y = 0; y < height_; ++y) {
        Colour c = Mix(top, bottom, static_cast<float>(y) / std::max(1, height_ - 1));
        for (int x = 0; x < width_; ++x)
            pixels_[static_cast<size_t>(y) * width_ + x] = c;
    }
}

void Canvas::RadialGradient(float cx, float cy, float radius, const Colour& inner,
                            const Colour& outer) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
            pixels_[static_cast<size_t>(y) * width_ + x] = Mix(inner, outer, Clamp01(d));
        }
}

void Canvas::Disc(float cx, float cy, float radius, const Colour& colour) {
    ForBox(cx, cy, radius + 1,
           [&](int x, int y, float, float, float d) { Blend(x, y, colour, Coverage(d - radius)); });
}

void Canvas::Ring(float cx, float cy, float radius, float width, const Colour& colour) {
    ForBox(cx, cy, radius + width + 1, [&](int x, int y, float, float, float d) {
        Blend(x, y, colour, Coverage(std::fabs(d - radius) - width / 2));
    });
}

void Canvas::Glow(float cx, float cy, float radius, const Colour& colour) {
    ForBox(cx, cy, radius, [&](int x, int y, float, float, float d) {
        float t = 1 - d / radius;
        if (t > 0) AddLight(x, y, colour, t * t);
    });
}

void Canvas::Bubble(float cx, float cy, float radius, float hue, float opacity) {
    ForBox(cx, cy, radius + 2, [&](int x, int y, float dx, float dy, float d) {
        float inside = Coverage(d - radius);
        if (inside <= 0) return;
        float r = d / radius;
        float angle = std::atan2(dy, dx) / (2 * pi);
        // Thin-film colours: the hue runs round the bubble and shifts with depth.
        Colour film = Hsv(hue + angle + 0.6f * r * r, 0.75f, 1.0f);
        float rim = std::pow(Clamp01(r), 6.0f);
        film.a = opacity * (0.10f + 0.80f * rim);
        Blend(x, y, film, inside);
        float edge = SmoothStep(0.90f, 1.0f, r) * (1 - SmoothStep(1.0f, 1.0f + 1.5f / radius, r));
        Blend(x, y, Colour{0.05f, 0.12f, 0.30f, 0.55f * opacity}, edge * inside);
    });
    float hx = cx - 0.38f * radius, hy = cy - 0.40f * radius, hr = 0.22f * radius;
    ForBox(hx, hy, hr + 1, [&](int x, int y, float dx, float dy, float) {
        float e = std::hypot(dx, dy * 1.4f) / hr;
        Blend(x, y, Colour{1, 1, 1, 0.9f * opacity}, Clamp01(1 - e * e));
    });
    float sx = cx + 0.45f * radius, sy = cy + 0.42f * radius, sr = 0.10f * radius;
    ForBox(sx, sy, sr + 1, [&](int x, int y, float, float, float d) {
        Blend(x, y, Colour{1, 1, 1, 0.6f * opacity}, Clamp01(1 - d / sr));
    });
}

void Canvas::RoundedBox(float x, float y, float w, float h, float corner, const Colour& top,
                        const Colour& bottom) {
    float cx = x + w / 2, cy = y + h / 2;
    ForBox(cx, cy, std::max(w, h) / 2 + 1, [&](int px, int py, float dx, float dy, float) {
        float qx = std::fabs(dx) - (w / 2 - corner), qy = std::fabs(dy) - (h / 2 - corner);
        float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        float d = outside + std::min(std::max(qx, qy), 0.0f) - corner;
        float t = Clamp01((py - y) / h);
        Colour c = Mix(top, bottom, t);
        // A soft sheen along the top edge.
        c = Mix(c, Colour{1, 1, 1, c.a}, 0.35f * Clamp01(1 - (py - y) / (0.25f * h)));
        Blend(px, py, c, Coverage(d));
    });
}

// A square turned 45 degrees with a disc on each of its upper sides, as
// signed distances in pixels, so the edges stay crisp at every size.
void Canvas::Heart(float cx, float cy, float size, const Colour& colour) {
    const float centre = 0.07f * size, offset = 0.3536f * size, lobeRadius = 0.5f * size;
    ForBox(cx, cy, size, [&](int x, int y, float dx, float dy, float) {
        float left = std::hypot(dx + offset, dy - centre + offset) - lobeRadius;
        float right = std::hypot(dx - offset, dy - centre + offset) - lobeRadius;
        float u = (dx + dy - centre) * 0.70710678f, v = (dx - dy + centre) * 0.70710678f;
        float square = std::max(std::fabs(u), std::fabs(v)) - 0.5f * size;
        Blend(x, y, colour, Coverage(std::min({left, right, square})));
    });
}

float Canvas::FontCoverage(const FontBitmap& font, const std::string& text, float u,
                           float v) const {
    // u, v in font pixels from the text's top-left; bilinear over the bits.
    auto bit = [&](int px, int py) -> float {
        if (py < 0 || py >= 16 || px < 0) return 0;
        size_t index = static_cast<size_t>(px / 8);
        if (index >= text.size()) return 0;
        int code = static_cast<unsigned char>(text[index]);
        if (code < 32 || code > 127) return 0;
        return (font[static_cast<size_t>(py * 96 + code - 32)] >> (px % 8)) & 1 ? 1.0f : 0.0f;
    };
    float fu = u - 0.5f, fv = v - 0.5f;
    int x0 = static_cast<int>(std::floor(fu)), y0 = static_cast<int>(std::floor(fv));
    float tx = fu - x0, ty = fv - y0;
    float top = bit(x0, y0) * (1 - tx) + bit(x0 + 1, y0) * tx;
    float bottom = bit(x0, y0 + 1) * (1 - tx) + bit(x0 + 1, y0 + 1) * tx;
    return top * (1 - ty) + bottom * ty;
}

float Canvas::Text(const FontBitmap& font, const std::string& text, float x, float y, float scale,
                   const Colour& colour, float outline, const Colour& outlineColour) {
    float width = TextWidth(text, scale), height = 16 * scale;
    int x0 = static_cast<int>(x - outline - 1), x1 = static_cast<int>(x + width + outline + 1);
    int y0 = static_cast<int>(y - outline - 1), y1 = static_cast<int>(y + height + outline + 1);
    float soft = 0.5f / scale; // half a screen pixel, in font pixels
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            float u = (px + 0.5f - x) / scale, v = (py + 0.5f - y) / scale;
            float ink = SmoothStep(0.5f - soft, 0.5f + soft, FontCoverage(font, text, u, v));
            if (outline > 0) {
                float o = outline / scale, halo = 0;
                for (int k = 0; k < 12; ++k) {
                    float a = k * pi / 6;
                    halo = std::max(
                        halo, FontCoverage(font, text, u + o * std::cos(a), v + o * std::sin(a)));
                }
                Blend(px, py, outlineColour, SmoothStep(0.5f - soft, 0.5f + soft, halo));
            }
            Blend(px, py, colour, ink);
        }
    return width;
}

std::vector<uint8_t> Canvas::ToRgba8() const {
    std::vector<uint8_t> bytes(pixels_.size() * 4);
    for (size_t i = 0; i < pixels_.size(); ++i) {
        const Colour& c = pixels_[i];
        bytes[i * 4 + 0] = static_cast<uint8_t>(std::lround(Clamp01(c.r) * 255));
        bytes[i * 4 + 1] = static_cast<uint8_t>(std::lround(Clamp01(c.g) * 255));
        bytes[i * 4 + 2] = static_cast<uint8_t>(std::lround(Clamp01(c.b) * 255));
        bytes[i * 4 + 3] = static_cast<uint8_t>(std::lround(Clamp01(c.a) * 255));
    }
    return bytes;
}

} // namespace assetgen
