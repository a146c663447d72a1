// What the files of the 2D renderer give each other.
#pragma once

#include <zandrel/vex2d.hpp>

namespace zandrel {

// The current 2D context and its driver; "No 2D graphics is current" when
// there is none.
TVex2DGraphics& CurrentVex2D();
TVex2DDriver& CurrentVex2DDriver();

// Hands the current context's rotation and scale to the driver as a matrix.
void UpdateTransform(TVex2DGraphics& state);

// "Image is no object" for no object.
TImage& CheckedImage(const Ref<TImage>& image);

// Each glyph of the text the font has, in order, with the kerning between
// it and the glyph before: visit(glyph, kerning).
template <class Visit> void ForEachGlyph(TImageFont& font, const String& text, Visit&& visit) {
    int previous = -1;
    for (char16_t c : text) {
        int index = font.CharToGlyph(c);
        auto glyph = font.LoadGlyph(index);
        if (!glyph) continue;
        visit(*glyph, previous >= 0 ? font.Kerning(previous, index) : 0.0f);
        previous = index;
    }
}

// The built-in font, made on the first activation of a 2D context.
const Ref<TImageFont>& DefaultImageFont();

void StartImageModule();
void StartImageFontModule();

// The current 2D context, or null when there is none.
TVex2DGraphics* FindCurrentVex2D();

// Drawing goes back to the current context's own picture, if it was going
// into an image: a driver calls it before another context is made current.
void LeaveRenderTarget();

// A local point (x, y) goes to (x ix + y iy, x jx + y jy).
struct Matrix2D {
    float ix = 1, iy = 0, jx = 0, jy = 1;
};
// Scales first, then turns clockwise on screen.
Matrix2D RotationScaleMatrix(float degrees, float scaleX, float scaleY);

// What the current context's camera does to a drawing: the matrix the driver
// draws with (the camera's after the rotation and scale), and where a world
// point (origin added) lands on screen. The camera's part is worked out once
// whenever it, the viewport or the context changes.
const Matrix2D& DrawingMatrix();
void ToScreen(float& x, float& y);

} // namespace zandrel
