#include "vex2d_parts.hpp"

#include <cmath>

namespace zandrel {

namespace {

// The camera's part of the current context's drawing: world points go to
// camera * point + shift on screen.
struct View {
    bool on = false;
    Matrix2D camera;
    float shiftX = 0, shiftY = 0;
    Matrix2D drawing; // camera * rotation and scale
};

struct Renderer {
    Ref<TVex2DGraphics> state;
    Ref<TVex2DDriver> driver;
    Ref<TImageFont> defaultFont;
    View view;
};

// Never destroyed: what it holds owns GL textures, which must not be deleted
// while the process tears down the GL after the exit handlers.
Renderer& TheRenderer() {
    static auto* renderer = new Renderer;
    return *renderer;
}

[[noreturn]] void ThrowNoState() {
    throw RuntimeError("No 2D graphics is current");
}

void SetDefaultState() {
    SetBlendMode(BlendMode::Mask);
    SetColor(255, 255, 255);
    SetClearColor(0, 0, 0);
    SetMaskColor(0, 0, 0);
    SetAlpha(1);
    SetOrigin(0, 0);
    SetHandle(0, 0);
    SetViewport(0, 0, GraphicsWidth(), GraphicsHeight());
    SetTransform(0, 1, 1);
    SetLineWidth(1);
    SetAutoMidHandle(false);
    AutoImageFlags(ImageFlags::Masked | ImageFlags::Filtered);
    SetImageFont(nullptr);
}

Matrix2D Times(const Matrix2D& a, const Matrix2D& b) {
    return {a.ix * b.ix + a.iy * b.jx, a.ix * b.iy + a.iy * b.jy, a.jx * b.ix + a.jy * b.jx,
            a.jx * b.iy + a.jy * b.jy};
}

// The world's centre point goes to the viewport's centre.
void RefreshView(const TVex2DGraphics& s) {
    View& view = TheRenderer().view;
    Matrix2D transform{s.ix, s.iy, s.jx, s.jy};
    view.on = s.camera.has_value();
    if (!view.on) {
        view.drawing = transform;
        return;
    }
    const Camera2D& c = *s.camera;
    view.camera = RotationScaleMatrix(c.rotation, c.zoom, c.zoom);
    const Matrix2D& m = view.camera;
    float centreX = static_cast<float>(s.viewportX) + static_cast<float>(s.viewportWidth) / 2;
    float centreY = static_cast<float>(s.viewportY) + static_cast<float>(s.viewportHeight) / 2;
    view.shiftX = centreX - (c.centreX * m.ix + c.centreY * m.iy);
    view.shiftY = centreY - (c.centreX * m.jx + c.centreY * m.jy);
    view.drawing = Times(m, transform);
}

// After the camera or the viewport changed: the driver draws with the new matrix.
void ApplyView(TVex2DGraphics& s) {
    RefreshView(s);
    const Matrix2D& m = TheRenderer().view.drawing;
    s.driver->SetTransform(m.ix, m.iy, m.jx, m.jy);
}

void CheckCamera(const Camera2D& c) {
    if (!(std::isfinite(c.zoom) && c.zoom != 0))
        throw RuntimeError("Camera zoom must be a number other than 0");
    if (!(std::isfinite(c.centreX) && std::isfinite(c.centreY) && std::isfinite(c.rotation)))
        throw RuntimeError("Camera must be finite");
}

} // namespace

const Matrix2D& DrawingMatrix() {
    return TheRenderer().view.drawing;
}

void ToScreen(float& x, float& y) {
    const View& view = TheRenderer().view;
    if (!view.on) return;
    const Matrix2D& m = view.camera;
    float sx = x * m.ix + y * m.iy + view.shiftX;
    y = x * m.jx + y * m.jy + view.shiftY;
    x = sx;
}

TVex2DGraphics& CurrentVex2D() {
    auto* state = TheRenderer().state.get();
    if (!state) ThrowNoState();
    return *state;
}

TVex2DGraphics* FindCurrentVex2D() {
    return TheRenderer().state.get();
}

TVex2DDriver& CurrentVex2DDriver() {
    auto* driver = TheRenderer().driver.get();
    if (!driver) ThrowNoState();
    return *driver;
}

const Ref<TImageFont>& DefaultImageFont() {
    auto& renderer = TheRenderer();
    if (!renderer.defaultFont) renderer.defaultFont = TImageFont::CreateDefault();
    return renderer.defaultFont;
}

void TVex2DDriver::SetTarget(const Ref<TImageFrame>&, int, int) {
    throw RuntimeError("This 2D driver cannot draw into images");
}

Ref<TGraphicsDriver> TVex2DGraphics::Driver() {
    return driver;
}

void TVex2DGraphics::GetSettings(int& width, int& height, int& depth, int& hertz,
                                 GraphicsFlags& flags) {
    if (!graphics) {
        width = height = depth = hertz = 0;
        flags = GraphicsFlags::NoFlags;
        return;
    }
    graphics->GetSettings(width, height, depth, hertz, flags);
}

void TVex2DGraphics::Close() {
    if (!graphics) return;
    graphics->Close();
    graphics = nullptr;
}

void TVex2DGraphics::ApplyState() {
    if (TheRenderer().state.get() != this) return;
    auto fine = fineColour;
    SetColor(red, green, blue);
    if (fine) SetFineColor((*fine)[0], (*fine)[1], (*fine)[2]);
    SetAlpha(alpha);
    SetClearColor(clsRed, clsGreen, clsBlue);
    SetLineWidth(lineWidth);
    SetTransform(rotation, scaleX, scaleY);
    SetViewport(viewportX, viewportY, viewportWidth, viewportHeight);
    SetOrigin(originX, originY);
    SetHandle(-handleX, -handleY);
    SetImageFont(imageFont);
    SetBlendMode(blendMode);
    SetShader(shader);
}

Ref<TVex2DGraphics> TVex2DGraphics::Create(Ref<TGraphics> graphics, Ref<TVex2DDriver> driver) {
    auto g = New<TVex2DGraphics>();
    g->graphics = std::move(graphics);
    g->driver = std::move(driver);
    return g;
}

void ActivateVex2D(const Ref<TGraphics>& graphics) {
    auto& renderer = TheRenderer();
    renderer.state = As<TVex2DGraphics>(graphics);
    renderer.driver = renderer.state ? renderer.state->driver : nullptr;
    if (!renderer.driver) renderer.state = nullptr;
    renderer.view = View();
    if (renderer.state) RefreshView(*renderer.state);
    if (!renderer.state || renderer.state->initialised) return;
    DefaultImageFont();
    SetDefaultState();
    // Both buffers start cleared.
    ClearScreen();
    Flip(FlipSync::Immediate);
    ClearScreen();
    Flip(FlipSync::Immediate);
    renderer.state->initialised = true;
}

Matrix2D RotationScaleMatrix(float degrees, float scaleX, float scaleY) {
    double sine = SinDeg(degrees), cosine = CosDeg(degrees);
    return {static_cast<float>(cosine * scaleX), static_cast<float>(-sine * scaleY),
            static_cast<float>(sine * scaleX), static_cast<float>(cosine * scaleY)};
}

void UpdateTransform(TVex2DGraphics& s) {
    auto m = RotationScaleMatrix(s.rotation, s.scaleX, s.scaleY);
    s.ix = m.ix;
    s.iy = m.iy;
    s.jx = m.jx;
    s.jy = m.jy;
    ApplyView(s);
}

void SetColor(int red, int green, int blue) {
    auto& s = CurrentVex2D();
    s.red = red;
    s.green = green;
    s.blue = blue;
    s.fineColour.reset();
    s.driver->SetColor(red, green, blue);
}

void GetColor(int& red, int& green, int& blue) {
    auto& s = CurrentVex2D();
    red = s.red;
    green = s.green;
    blue = s.blue;
}

void SetAlpha(float alpha) {
    auto& s = CurrentVex2D();
    s.alpha = alpha;
    s.driver->SetAlpha(alpha);
}

float GetAlpha() {
    return CurrentVex2D().alpha;
}

void SetClearColor(int red, int green, int blue) {
    auto& s = CurrentVex2D();
    s.clsRed = red;
    s.clsGreen = green;
    s.clsBlue = blue;
    s.driver->SetClsColor(red, green, blue);
}

void GetClearColor(int& red, int& green, int& blue) {
    auto& s = CurrentVex2D();
    red = s.clsRed;
    green = s.clsGreen;
    blue = s.clsBlue;
}

void SetBlendMode(BlendMode mode) {
    auto& s = CurrentVex2D();
    s.blendMode = mode;
    s.driver->SetBlend(mode);
}

BlendMode GetBlendMode() {
    return CurrentVex2D().blendMode;
}

void SetLineWidth(float width) {
    auto& s = CurrentVex2D();
    s.lineWidth = width;
    s.driver->SetLineWidth(width);
}

float GetLineWidth() {
    return CurrentVex2D().lineWidth;
}

void SetViewport(int x, int y, int width, int height) {
    auto& s = CurrentVex2D();
    s.viewportX = x;
    s.viewportY = y;
    s.viewportWidth = width;
    s.viewportHeight = height;
    s.driver->SetViewport(x, y, width, height);
    if (s.camera) ApplyView(s);
}

void GetViewport(int& x, int& y, int& width, int& height) {
    auto& s = CurrentVex2D();
    x = s.viewportX;
    y = s.viewportY;
    width = s.viewportWidth;
    height = s.viewportHeight;
}

void SetRotation(float degrees) {
    auto& s = CurrentVex2D();
    s.rotation = degrees;
    UpdateTransform(s);
}

float GetRotation() {
    return CurrentVex2D().rotation;
}

void SetScale(float x, float y) {
    auto& s = CurrentVex2D();
    s.scaleX = x;
    s.scaleY = y;
    UpdateTransform(s);
}

void GetScale(float& x, float& y) {
    auto& s = CurrentVex2D();
    x = s.scaleX;
    y = s.scaleY;
}

void SetTransform(float degrees, float scaleX, float scaleY) {
    auto& s = CurrentVex2D();
    s.rotation = degrees;
    s.scaleX = scaleX;
    s.scaleY = scaleY;
    UpdateTransform(s);
}

void SetOrigin(float x, float y) {
    auto& s = CurrentVex2D();
    s.originX = x;
    s.originY = y;
}

void GetOrigin(float& x, float& y) {
    auto& s = CurrentVex2D();
    x = s.originX;
    y = s.originY;
}

void SetHandle(float x, float y) {
    auto& s = CurrentVex2D();
    s.handleX = -x;
    s.handleY = -y;
}

void GetHandle(float& x, float& y) {
    auto& s = CurrentVex2D();
    x = -s.handleX;
    y = -s.handleY;
}

void SetImageFont(const Ref<TImageFont>& font) {
    CurrentVex2D().imageFont = font ? font : DefaultImageFont();
}

Ref<TImageFont> GetImageFont() {
    return CurrentVex2D().imageFont;
}

void ClearScreen() {
    CurrentVex2D().driver->Cls();
}

} // namespace zandrel

namespace zandrel {

void SetCamera(const Camera2D& camera) {
    auto& s = CurrentVex2D();
    CheckCamera(camera);
    s.camera = camera;
    ApplyView(s);
}

void SetCamera(float centreX, float centreY, float zoom, float rotation) {
    SetCamera(Camera2D{centreX, centreY, zoom, rotation});
}

void ClearCamera() {
    auto& s = CurrentVex2D();
    s.camera.reset();
    ApplyView(s);
}

std::optional<Camera2D> GetCamera() {
    return CurrentVex2D().camera;
}

void PushCamera() {
    auto& s = CurrentVex2D();
    s.cameraStack.push_back(s.camera);
}

void PopCamera() {
    auto& s = CurrentVex2D();
    if (s.cameraStack.empty()) throw RuntimeError("PopCamera without PushCamera");
    s.camera = s.cameraStack.back();
    s.cameraStack.pop_back();
    ApplyView(s);
}

void WorldToScreen(float worldX, float worldY, float& screenX, float& screenY) {
    auto& s = CurrentVex2D();
    screenX = worldX + s.originX;
    screenY = worldY + s.originY;
    ToScreen(screenX, screenY);
}

// The camera's matrix turned back: a rotation and a zoom other than 0 always
// have an inverse.
void ScreenToWorld(float screenX, float screenY, float& worldX, float& worldY) {
    auto& s = CurrentVex2D();
    const View& view = TheRenderer().view;
    double x = screenX, y = screenY;
    if (view.on) {
        const Matrix2D& m = view.camera;
        double dx = x - view.shiftX, dy = y - view.shiftY;
        double det = double{m.ix} * m.jy - double{m.iy} * m.jx;
        x = (m.jy * dx - m.iy * dy) / det;
        y = (m.ix * dy - m.jx * dx) / det;
    }
    worldX = static_cast<float>(x - s.originX);
    worldY = static_cast<float>(y - s.originY);
}

} // namespace zandrel

namespace zandrel {

// The context's own viewport and origin are kept only on the way from it, so
// that going from one image to another still comes back to them.
void SetRenderTarget(const Ref<TImage>& image, int frame) {
    auto& s = CurrentVex2D();
    if (!image) {
        if (!s.renderTarget) return;
        s.driver->SetTarget(nullptr, 0, 0);
        s.renderTarget = nullptr;
        const int* v = s.displayViewport;
        SetViewport(v[0], v[1], v[2], v[3]);
        SetOrigin(s.displayOrigin[0], s.displayOrigin[1]);
        return;
    }
    auto& picture = CheckedImage(image);
    const auto& drawn = picture.Frame(frame);
    if (picture.width <= 0 || picture.height <= 0)
        throw RuntimeError("Render target image is empty");
    if (!s.renderTarget) {
        s.displayViewport[0] = s.viewportX;
        s.displayViewport[1] = s.viewportY;
        s.displayViewport[2] = s.viewportWidth;
        s.displayViewport[3] = s.viewportHeight;
        s.displayOrigin[0] = s.originX;
        s.displayOrigin[1] = s.originY;
    }
    s.driver->SetTarget(drawn, picture.width, picture.height);
    s.renderTarget = image;
    s.renderTargetFrame = frame;
    SetViewport(0, 0, picture.width, picture.height);
    SetOrigin(0, 0);
}

Ref<TImage> GetRenderTarget() {
    return CurrentVex2D().renderTarget;
}

// Drawing into an image belongs to the context it was started in.
void LeaveRenderTarget() {
    auto* s = FindCurrentVex2D();
    if (s && s->renderTarget) SetRenderTarget(nullptr);
}

} // namespace zandrel
