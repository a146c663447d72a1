#include "pictures.hpp"

#include <cmath>

namespace assetgen {

namespace {

constexpr float pi = 3.14159265f;

// Bubbles scattered over a canvas, larger ones drawn last (nearer).
void BubbleField(Canvas& canvas, uint32_t seed, int count, float minRadius, float maxRadius,
                 float opacity) {
    Random random(seed);
    struct Spot {
        float x, y, r, hue;
    };
    std::vector<Spot> spots;
    for (int i = 0; i < count; ++i) {
        float t = random.Next();
        spots.push_back({random.Range(-20, canvas.Width() + 20.0f),
                         random.Range(-20, canvas.Height() + 20.0f),
                         minRadius + (maxRadius - minRadius) * t * t * t, random.Next()});
    }
    std::sort(spots.begin(), spots.end(), [](const Spot& a, const Spot& b) { return a.r < b.r; });
    for (const auto& s : spots)
        canvas.Bubble(s.x, s.y, s.r, s.hue, opacity);
}

void CentredText(Canvas& canvas, const FontBitmap& font, const std::string& text, float y,
                 float scale, const Colour& colour, float outline, const Colour& outlineColour) {
    float x = (canvas.Width() - Canvas::TextWidth(text, scale)) / 2;
    canvas.Text(font, text, x, y, scale, colour, outline, outlineColour);
}

// Light shafts from the top, as if under water.
void LightShafts(Canvas& canvas, uint32_t seed) {
    Random random(seed);
    for (int shaft = 0; shaft < 6; ++shaft) {
        float x0 = random.Range(0, static_cast<float>(canvas.Width()));
        float slope = random.Range(-0.35f, 0.35f), width = random.Range(30, 90);
        for (int y = 0; y < canvas.Height(); ++y) {
            float fade = 0.10f * (1 - static_cast<float>(y) / canvas.Height());
            float centre = x0 + slope * y;
            for (int x = static_cast<int>(centre - width); x <= centre + width; ++x) {
                float t = 1 - std::fabs(x - centre) / width;
                canvas.Blend(x, y, Colour{0.9f, 1, 1, fade}, t);
            }
        }
    }
}

Canvas Saippua(const FontBitmap& font) {
    Canvas canvas(800, 600);
    canvas.VerticalGradient(Rgb(10, 58, 96), Rgb(120, 214, 232));
    LightShafts(canvas, 11);
    BubbleField(canvas, 12, 55, 6, 95, 1.0f);
    CentredText(canvas, font, "SAIPPUA", 60, 9, Rgb(255, 255, 255), 6, Rgb(14, 60, 120));
    CentredText(canvas, font, "a bubble show", 210, 3, Rgb(230, 250, 255), 2, Rgb(14, 60, 120));
    return canvas;
}

Canvas Soaps(const FontBitmap&) {
    Canvas canvas(800, 600);
    canvas.VerticalGradient(Rgb(40, 18, 70), Rgb(12, 6, 30));
    const struct {
        float x, y;
        Colour top, bottom;
    } bars[] = {{90, 330, Rgb(255, 190, 215), Rgb(205, 90, 150)},
                {310, 300, Rgb(200, 255, 200), Rgb(70, 170, 110)},
                {530, 340, Rgb(255, 245, 170), Rgb(215, 165, 60)}};
    for (const auto& bar : bars) {
        canvas.RoundedBox(bar.x + 8, bar.y + 14, 190, 110, 36, Rgb(0, 0, 0, 0.35f),
                          Rgb(0, 0, 0, 0.35f));
        canvas.RoundedBox(bar.x, bar.y, 190, 110, 36, bar.top, bar.bottom);
    }
    // Foam: many small bubbles along the tops of the bars, then a few floating.
    Random random(21);
    for (int i = 0; i < 260; ++i) {
        const auto& bar = bars[i % 3];
        float x = bar.x + random.Range(0, 190), y = bar.y + random.Range(-35, 12);
        float radius = random.Range(5, 22);
        canvas.Disc(x, y, radius * 0.95f, Rgb(255, 255, 255, 0.45f));
        canvas.Bubble(x, y, radius, random.Next(), 0.9f);
    }
    BubbleField(canvas, 22, 30, 10, 70, 0.9f);
    return canvas;
}

Canvas Vurn(const FontBitmap& font) {
    Canvas canvas(800, 600);
    canvas.RadialGradient(400, 300, 520, Rgb(255, 170, 80), Rgb(120, 20, 90));
    // A whirl of bubbles along a logarithmic spiral.
    for (int arm = 0; arm < 3; ++arm)
        for (int i = 0; i < 60; ++i) {
            float t = i / 60.0f, angle = arm * 2 * pi / 3 + t * 3.5f * pi;
            float radius = 20 + 420 * t * t;
            canvas.Bubble(400 + radius * std::cos(angle), 300 + radius * std::sin(angle),
                          4 + 46 * t, t + arm / 3.0f, 0.95f);
        }
    CentredText(canvas, font, "VURN", 250, 6, Rgb(255, 250, 235), 4, Rgb(110, 20, 70));
    return canvas;
}

Canvas TheEnd(const FontBitmap& font) {
    Canvas canvas(800, 600);
    canvas.VerticalGradient(Rgb(6, 10, 40), Rgb(30, 60, 120));
    BubbleField(canvas, 41, 45, 5, 60, 0.85f);
    CentredText(canvas, font, "THE END", 170, 10, Rgb(255, 255, 255), 6, Rgb(20, 40, 110));
    CentredText(canvas, font, "a Zandrel show", 360, 3, Rgb(200, 230, 255), 2, Rgb(20, 40, 110));
    CentredText(canvas, font, "music and pictures made by its own code", 420, 2, Rgb(170, 200, 240),
                1.5f, Rgb(20, 40, 110));
    return canvas;
}

Canvas Blow(const FontBitmap&) {
    Canvas canvas(256, 256);
    canvas.Bubble(128, 128, 120, 0.55f);
    return canvas;
}

Canvas Seta(const FontBitmap&) {
    Canvas canvas(128, 128);
    canvas.Bubble(48, 74, 40, 0.1f);
    canvas.Bubble(88, 48, 30, 0.45f);
    canvas.Bubble(94, 98, 22, 0.8f);
    return canvas;
}

// On black: the black is masked away and the rest is added to the screen.
Canvas Seta2(const FontBitmap&) {
    Canvas canvas(128, 128, Colour{0, 0, 0, 1});
    canvas.Glow(64, 64, 60, Rgb(60, 140, 255));
    for (int i = 0; i < 4; ++i) {
        float angle = i * pi / 4;
        for (float t = -58; t <= 58; t += 0.5f) {
            float fade = 1 - std::fabs(t) / 58;
            canvas.AddLight(static_cast<int>(64 + t * std::cos(angle)),
                            static_cast<int>(64 + t * std::sin(angle)), Rgb(200, 240, 255),
                            fade * fade * (i % 2 ? 0.5f : 1.0f));
        }
    }
    canvas.Ring(64, 64, 40, 3, Rgb(140, 255, 240, 0.9f));
    canvas.Glow(64, 64, 18, Rgb(255, 255, 255));
    return canvas;
}

// A bubble wand: a ring with a soap film, and its handle.
Canvas Ost(const FontBitmap&) {
    Canvas canvas(256, 256);
    for (float t = 0; t <= 1; t += 0.002f) {
        float x = 150 + t * 95, y = 150 + t * 95;
        canvas.Disc(x, y, 9 - 3 * t, Rgb(220, 60, 110));
    }
    canvas.Bubble(100, 100, 84, 0.2f, 0.9f);
    canvas.Ring(100, 100, 86, 12, Rgb(230, 70, 120));
    canvas.Ring(100, 100, 86, 4, Rgb(255, 170, 200));
    return canvas;
}

Canvas ILove(const FontBitmap& font) {
    Canvas canvas(600, 120);
    Colour ink = Rgb(235, 40, 110), edge = Rgb(255, 255, 255), dark = Rgb(60, 10, 40);
    float x = 20;
    x += canvas.Text(font, "I", x, 10, 6, ink, 6, dark);
    canvas.Heart(x + 50, 60, 50, dark);
    canvas.Heart(x + 50, 60, 42, ink);
    x += 100;
    canvas.Text(font, "SOAP", x, 10, 6, ink, 6, dark);
    canvas.Text(font, "SOAP", x, 10, 6, ink, 2, edge);
    return canvas;
}

Canvas ILove2(const FontBitmap& font) {
    Canvas canvas(600, 120, Colour{0, 0, 0, 1});
    Canvas glow(600, 120, Colour{0, 0, 0, 1});
    float x = 20;
    x += glow.Text(font, "I", x, 12, 6, Rgb(80, 240, 255), 5, Rgb(20, 90, 160, 0.8f));
    glow.Heart(x + 48, 60, 44, Rgb(255, 80, 200));
    glow.Text(font, "BUBBLES", x + 96, 12, 6, Rgb(80, 240, 255), 5, Rgb(20, 90, 160, 0.8f));
    for (int y = 0; y < 120; ++y)
        for (int px = 0; px < 600; ++px)
            canvas.AddLight(px, y, glow.At(px, y), 1);
    return canvas;
}

// The grid sprite: a flower of bubbles that reads well when it spins.
Canvas Brenti(const FontBitmap&) {
    Canvas canvas(128, 128);
    for (int i = 0; i < 6; ++i) {
        float angle = i * pi / 3;
        canvas.Bubble(64 + 38 * std::cos(angle), 64 + 38 * std::sin(angle), 22, i / 6.0f);
    }
    canvas.Disc(64, 64, 20, Rgb(255, 230, 90));
    canvas.Bubble(64, 64, 20, 0.15f);
    return canvas;
}

} // namespace

const std::vector<Picture>& ShowPictures() {
    static const std::vector<Picture> pictures = {
        {"saippua.jpg", false, Saippua}, {"blow.png", true, Blow},
        {"seta.png", true, Seta},        {"seta2.png", false, Seta2},
        {"ost.png", true, Ost},          {"soaps.jpg", false, Soaps},
        {"ilove.png", true, ILove},      {"ilove2.png", false, ILove2},
        {"vurn.jpg", false, Vurn},       {"brenti.png", true, Brenti},
        {"thend.jpg", false, TheEnd},
    };
    return pictures;
}

} // namespace assetgen
