// A floating-point RGBA canvas and the drawing the picture generator needs:
// gradients, anti-aliased discs and rings, soap bubbles, rounded boxes,
// hearts and text from the framework's 8 x 16 bitmap font.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

Colour Rgb(int r, int g, int b, float a = 1.0f);
Colour Mix(const Colour& x, const Colour& y, float t);
// Hue in turns (0..1), saturation and value 0..1.
Colour Hsv(float hue, float saturation, float value, float alpha = 1.0f);

// xorshift32: the same pictures on every run.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    float Next(); // [0, 1)
    float Range(float low, float high) { return low + (high - low) * Next(); }

private:
    uint32_t state_;
};

using FontBitmap = std::array<uint8_t, 1536>;

class Canvas {
public:
    Canvas(int width, int height, Colour fill = {0, 0, 0, 0});

    int Width() const { return width_; }
    int Height() const { return height_; }
    const Colour& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // Paints `colour` over the pixel with the given coverage (0..1).
    void Blend(int x, int y, const Colour& colour, float coverage);
    // Adds light: for glows on the black sprites that are drawn additively.
    void AddLight(int x, int y, const Colour& colour, float amount);

    void VerticalGradient(const Colour& top, const Colour& bottom);
    void RadialGradient(float cx, float cy, float radius, const Colour& inner, const Colour& outer);
    void Disc(float cx, float cy, float radius, const Colour& colour);
    void Ring(float cx, float cy, float radius, float width, const Colour& colour);
    void Glow(float cx, float cy, float radius, const Colour& colour);
    // A soap bubble: a clear body, an iridescent rim, a dark edge so it shows
    // on white, and two reflections. `hue` turns the rim's colours.
    void Bubble(float cx, float cy, float radius, float hue, float opacity = 1.0f);
    void RoundedBox(float x, float y, float w, float h, float corner, const Colour& top,
                    const Colour& bottom);
    void Heart(float cx, float cy, float size, const Colour& colour);
    // Text scaled from the 8 x 16 font with smoothed edges; returns its width.
    float Text(const FontBitmap& font, const std::string& text, float x, float y, float scale,
               const Colour& colour, float outline = 0, const Colour& outlineColour = {});
    static float TextWidth(const std::string& text, float scale) { return text.size() * 8 * scale; }

    // 8-bit RGBA rows, top row first.
    std::vector<uint8_t> ToRgba8() const;

private:
    // Calls paint(x, y, distance from centre) for the pixels of a square box.
    template <class Paint> void ForBox(float cx, float cy, float reach, Paint paint);
    float FontCoverage(const FontBitmap& font, const std::string& text, float u, float v) const;

    int width_, height_;
    std::vector<Colour> pixels_;
};

} // namespace assetgen
