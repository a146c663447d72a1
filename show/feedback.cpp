// Full-screen passes over the frame drawn so far, on the 2D renderer: the
// frame is copied into an image on the GPU (CopyToImage) and drawn back over
// itself, turned, scaled, tiled or mirrored. Each effect saves the render
// state it changes and puts it back.
#include "show.hpp"

#include <algorithm>
#include <cmath>

namespace zandrel::show {

namespace {

int screenWidth = 0, screenHeight = 0;
int texWidth = -1, texHeight = -1;
Ref<TImage> frameImage, edgedImage, quarterImage, shrunkImage;
bool lastEdged = false; // whether the latest capture of the frame went into edgedImage
constexpr int largestTexture = 2048;
constexpr int zoomPasses = 15;

// The zoom echo's frustum: left, right, bottom, top, near. A copy of the
// frame at depth -1 + k zStep under it is the frame scaled about the
// screen's centre by near / (right * (1 - k zStep)).
constexpr float frustumRight = 0.01f, frustumNear = 0.01f;

int TextureSizeFor(int size) {
    for (int t = 256; t <= largestTexture; t *= 2)
        if (t >= size) return t;
    return -1;
}

float W() {
    return static_cast<float>(screenWidth);
}
float H() {
    return static_cast<float>(screenHeight);
}

// What the effects change of the render state, put back when it goes.
class SavedState {
public:
    SavedState() {
        GetColor(red_, green_, blue_);
        GetScale(scaleX_, scaleY_);
        GetOrigin(originX_, originY_);
        GetViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        PushCamera();
        ClearCamera();
        SetOrigin(0, 0);
        SetTransform(0, 1, 1);
        SetAlpha(1);
    }
    ~SavedState() {
        SetColor(red_, green_, blue_);
        SetAlpha(alpha_);
        SetBlendMode(blend_);
        SetTransform(rotation_, scaleX_, scaleY_);
        SetOrigin(originX_, originY_);
        SetViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        PopCamera();
    }
    const int (&Viewport() const)[4] { return viewport_; }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    int red_ = 0, green_ = 0, blue_ = 0;
    float alpha_ = GetAlpha(), rotation_ = GetRotation(), scaleX_ = 1, scaleY_ = 1;
    float originX_ = 0, originY_ = 0;
    int viewport_[4] = {};
    BlendMode blend_ = GetBlendMode();
};

void CaptureFrame() {
    CopyToImage(frameImage, 0, 0, screenWidth, screenHeight);
    lastEdged = false;
}

// The captured frame over the rectangle of the screen at x, y.
void DrawFrame(float x, float y, float width, float height) {
    DrawImageRect(frameImage, x, y, width, height);
}

// Opaque black: where copies added over the frame sample past its edges,
// they add nothing.
Ref<TImage> BlackImage(int width, int height) {
    auto image = CreateImage(width, height, 1, ImageFlags::Filtered);
    const Ref<TPixmap>& pixels = LockImage(image);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels->WritePixel(x, y, 0xff000000u);
    UnlockImage(image);
    return image;
}

// The frame inside a border a pixel wide, for copies that sample past its
// top and left edges too; drawn clipped to the frame's own pixels. (A copy
// costs about as much as a pass: the blur takes this one only.)
void CaptureEdged() {
    CopyToImage(edgedImage, -1, -1, screenWidth + 2, screenHeight + 2);
    lastEdged = true;
}

// The first pixel whose centre lies past `edge`, placed as the rasteriser
// places it, on a grid of 1/256 pixel: a centre on the edge belongs to the
// rectangle above or left of it.
int FirstPixel(float edge) {
    double snapped = std::round(static_cast<double>(edge) * 256) / 256;
    return static_cast<int>(std::floor(snapped + 0.5));
}

// The bordered frame with its inside over the rectangle at x, y, clipped to
// the pixels the inside covers within the viewport as it was.
void DrawEdged(const int (&viewport)[4], float x, float y, float width, float height) {
    int left = std::max(viewport[0], FirstPixel(x)), top = std::max(viewport[1], FirstPixel(y));
    int right = std::min(viewport[0] + viewport[2], FirstPixel(x + width));
    int bottom = std::min(viewport[1] + viewport[3], FirstPixel(y + height));
    SetViewport(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
    float borderX = width / W(), borderY = height / H();
    DrawImageRect(edgedImage, x - borderX, y - borderY, width + 2 * borderX, height + 2 * borderY);
}

// An image of size x size for the pixelated frame, made again when the size
// or the filtering changes.
const Ref<TImage>& Shrunk(int size, bool nearest) {
    ImageFlags flags = nearest ? ImageFlags::NoFlags : ImageFlags::Filtered;
    if (!shrunkImage || shrunkImage->width != size || shrunkImage->flags != flags)
        shrunkImage = CreateImage(size, size, 1, flags);
    return shrunkImage;
}

} // namespace

void InitFeedback(int width, int height) {
    if (TextureSizeFor(width) < 0 || TextureSizeFor(height) < 0)
        throw RuntimeError(
            S("Feedback effects need a display of at most 2048 x 2048 pixels, not ") +
            FromInt(width) + S(" x ") + FromInt(height));
    screenWidth = width;
    screenHeight = height;
    texWidth = TextureSizeFor(width);
    texHeight = TextureSizeFor(height);
    frameImage = BlackImage(width, height);
    edgedImage = BlackImage(width + 2, height + 2);
    quarterImage = CreateImage(width / 2, height / 2, 1, ImageFlags::Filtered);
    SetImageHandle(frameImage, 0, 0);
    SetImageHandle(edgedImage, 0, 0);
    SetImageHandle(quarterImage, 0, 0);
    shrunkImage = nullptr;
}

int FeedbackTextureWidth() {
    return texWidth;
}
int FeedbackTextureHeight() {
    return texHeight;
}

void FeedbackZoom(float red, float green, float blue, float zStep, float angle) {
    SavedState saved;
    CaptureFrame();
    SetBlendMode(BlendMode::Light);
    SetFineColor(red, green, blue);
    SetImageHandle(frameImage, W() / 2, H() / 2);
    float depth = 0, turn = 0;
    for (int pass = 1; pass <= zoomPasses; ++pass) {
        depth += zStep;
        turn += angle;
        float scale = frustumNear / (frustumRight * (1 - depth));
        // The frustum turns counter-clockwise with y up: clockwise is negative on screen.
        SetTransform(-turn, scale, scale);
        DrawImage(frameImage, W() / 2, H() / 2);
    }
    SetImageHandle(frameImage, 0, 0);
}

void FeedbackTiles(int n) {
    SavedState saved;
    CaptureFrame();
    SetBlendMode(BlendMode::Solid);
    SetColor(255, 255, 255);
    float nf = static_cast<float>(n);
    for (float row = 0; row <= nf - 1; row += 1)
        for (float column = 0; column <= nf - 1; column += 1)
            DrawFrame(W() * column / nf, H() * row / nf, W() / nf, H() / nf);
}

void FeedbackBlur() {
    // A shift of 0.003 of half the screen each way.
    const float dx = 0.003f * W() / 2, dy = 0.003f * H() / 2;
    const float offsets[8][2] = {{0, -dy},  {0, dy},  {-dx, 0},   {dx, 0},
                                 {dx, -dy}, {dx, dy}, {-dx, -dy}, {-dx, dy}};
    SavedState saved;
    CaptureEdged();
    ClearScreen();
    SetBlendMode(BlendMode::Light);
    SetFineColor(0.125f, 0.125f, 0.125f);
    for (const auto& offset : offsets)
        DrawEdged(saved.Viewport(), offset[0], offset[1], W(), H());
}

void FeedbackThumbnails(int capture, int blend, float brightness, float x) {
    SavedState saved;
    if (capture == 1) CaptureFrame();
    SetBlendMode(blend != 0 ? BlendMode::Light : BlendMode::Solid);
    SetFineColor(brightness, brightness, brightness);
    // Five of a third of the screen, from near the bottom up, x across from
    // the centre, in halves of the screen.
    const float side = 0.33f, step = 0.4f, bottom = -0.975f;
    for (int i = 0; i < 5; ++i) {
        float low = bottom + step * static_cast<float>(i);
        float top = H() / 2 * (1 - (low + side)), left = W() / 2 * (1 + x);
        float width = W() / 2 * side, height = H() / 2 * side;
        if (lastEdged)
            DrawEdged(saved.Viewport(), left, top, width, height);
        else
            DrawFrame(left, top, width, height);
    }
}

void FeedbackMirror(int blend, float brightness) {
    SavedState saved;
    int halfWidth = screenWidth / 2, halfHeight = screenHeight / 2;
    CopyToImage(quarterImage, 0, 0, halfWidth, halfHeight);
    SetBlendMode(blend != 0 ? BlendMode::Light : BlendMode::Solid);
    SetFineColor(brightness, brightness, brightness);
    auto hw = static_cast<float>(halfWidth), hh = static_cast<float>(halfHeight);
    const float quarters[4][4] = {
        {0, 0, 1, 1}, {2 * hw, 0, -1, 1}, {0, 2 * hh, 1, -1}, {2 * hw, 2 * hh, -1, -1}};
    for (const auto& q : quarters) {
        SetScale(q[2], q[3]);
        DrawImage(quarterImage, q[0], q[1]);
    }
}

void FeedbackPixelate(float size, int nearest, int blend, float red, float green, float blue) {
    SavedState saved;
    auto side = static_cast<int>(size);
    if (side < 1 || side > screenWidth || side > screenHeight) return;
    const Ref<TImage>& shrunk = Shrunk(side, nearest == 1);
    CaptureFrame();
    ClearScreen();
    SetBlendMode(BlendMode::Solid);
    SetColor(255, 255, 255);
    DrawFrame(0, 0, size, size);
    CopyToImage(shrunk, 0, 0, side, side);
    if (blend == 1) {
        DrawFrame(0, 0, W(), H());
        SetBlendMode(BlendMode::Light);
    }
    SetFineColor(red, green, blue);
    DrawImageRect(shrunk, 0, 0, W(), H());
}

} // namespace zandrel::show
