// Text: the built-in 8 x 16 font, plain and scaled, and an outline font
// loaded through FreeType at several sizes, tinted, blended and turning.
// The font is the path given as the first argument, or Debian's DejaVu Sans
// (package fonts-dejavu-core).
#include <zandrel/zandrel.hpp>

#include <utility>
#include <vector>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480;

String FontPath() {
    auto& arguments = CommandArguments();
    if (arguments.size() > 1) return arguments[1];
    return S("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
}

// Text with its handle at its centre, so that it turns about it.
void DrawCentred(const String& text, float x, float y) {
    SetHandle(TextWidth(text) / 2.0f, TextHeight() / 2.0f);
    DrawText(text, x, y);
    SetHandle(0, 0);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Text");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        std::vector<std::pair<int, Ref<TImageFont>>> sizes;
        for (int size : {12, 18, 24, 36, 48}) {
            // Smooth glyphs stay clean when turned or scaled.
            if (auto font = LoadImageFont(FontPath(), size, FontStyle::Smooth))
                sizes.emplace_back(size, font);
        }
        SetClearColor(24, 28, 40);
        float angle = 0;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            ClearScreen();
            SetBlendMode(BlendMode::Alpha);
            SetImageFont(nullptr); // the built-in font
            SetColor(255, 255, 255);
            DrawText("The built-in font: codes 32 to 127, 8 x 16 pixels.", 16, 16);
            SetScale(2, 2);
            SetColor(255, 210, 90);
            DrawText("Scaled twice", 16, 40);
            SetScale(1, 1);

            if (sizes.empty()) {
                SetColor(255, 120, 120);
                DrawText(S("No outline font at ") + FontPath(), 16, 96);
            }
            float y = 90;
            for (auto& [size, font] : sizes) {
                SetImageFont(font);
                SetColor(160 + static_cast<int>(y) / 5, 200, 255);
                DrawText(FromInt(size) + S(" pixels: Zandrel Äö"), 16, y);
                y += TextHeight() + 4;
            }

            SetImageFont(sizes.empty() ? nullptr : sizes.back().second);
            SetAlpha(0.8f);
            SetColor(120, 255, 160);
            SetRotation(angle);
            DrawCentred(u"Turning", 500, 370);
            SetRotation(0);
            SetAlpha(1);
            angle += 1;
            Flip();
        }
        return 0;
    });
}
