// Full-screen passes over the back buffer. They talk to OpenGL beside the 2D
// driver, so each one saves what it touches and puts it back.
#include "show.hpp"

#include <GL/gl.h>

namespace zandrel::show {

namespace {

float screenWidth = 0, screenHeight = 0;
int texWidth = -1, texHeight = -1;
GLuint feedbackTexture = 0, shrinkTexture = 0;
constexpr int largestTexture = 2048;

float S1() {
    return screenWidth / static_cast<float>(texWidth);
}
float T1() {
    return screenHeight / static_cast<float>(texHeight);
}

// Attribute groups hold the server state; the unpack alignment is client
// state and needs its own push.
// The effects draw with the fixed-function GL: on a context of a shader
// profile they are left out until they draw with shaders.
bool EffectsDrawable() {
    return CurrentGLProfile() == GLProfile::Compatibility;
}

void SaveState() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
}

void RestoreState() {
    glPopClientAttrib();
    glPopAttrib();
}

enum class Projection { Flat, Zoom };

// The frame every effect shares: state saved, texturing on, the chosen
// blending, no depth test, identity matrices and the feedback texture bound.
void BeginEffect(bool blend, Projection projection = Projection::Flat) {
    FlushDrawing(); // what the 2D driver holds back is part of the frame they take
    SaveState();
    glEnable(GL_TEXTURE_2D);
    if (blend)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (projection == Projection::Zoom) glFrustum(-0.01f, 0.01f, -0.0075f, 0.0075f, 0.01f, 1135);
    glBindTexture(GL_TEXTURE_2D, feedbackTexture);
}

void CaptureFrame() {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, static_cast<GLsizei>(screenWidth),
                        static_cast<GLsizei>(screenHeight));
}

void BeginDrawing() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void EndEffect() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    RestoreState();
}

void Vertex(float s, float t, float x, float y, float z = 0) {
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

// The captured frame drawn onto a rectangle of device coordinates.
void FrameQuad(float x0, float y0, float x1, float y1, float z = 0) {
    glBegin(GL_QUADS);
    Vertex(0, 0, x0, y0, z);
    Vertex(S1(), 0, x1, y0, z);
    Vertex(S1(), T1(), x1, y1, z);
    Vertex(0, T1(), x0, y1, z);
    glEnd();
}

void FullFrameQuad() {
    FrameQuad(-1, -1, 1, 1);
}

int TextureSizeFor(int size) {
    for (int t = 256; t <= largestTexture; t *= 2)
        if (t >= size) return t;
    return -1;
}

GLuint MakeEffectTexture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texWidth, texHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 nullptr);
    return name;
}

} // namespace

void InitFeedback(int width, int height) {
    if (TextureSizeFor(width) < 0 || TextureSizeFor(height) < 0)
        throw RuntimeError(
            S("Feedback effects need a display of at most 2048 x 2048 pixels, not ") +
            FromInt(width) + S(" x ") + FromInt(height));
    screenWidth = static_cast<float>(width);
    screenHeight = static_cast<float>(height);
    texWidth = TextureSizeFor(width);
    texHeight = TextureSizeFor(height);
    if (!EffectsDrawable()) return;
    SaveState();
    // Made again for a new size: the old textures go.
    if (feedbackTexture) glDeleteTextures(1, &feedbackTexture);
    if (shrinkTexture) glDeleteTextures(1, &shrinkTexture);
    feedbackTexture = MakeEffectTexture();
    shrinkTexture = MakeEffectTexture();
    RestoreState();
}

int FeedbackTextureWidth() {
    return texWidth;
}
int FeedbackTextureHeight() {
    return texHeight;
}

void FeedbackZoom(float red, float green, float blue, float zStep, float angle) {
    if (!EffectsDrawable()) return;
    BeginEffect(true, Projection::Zoom);
    CaptureFrame();
    BeginDrawing();
    glBlendFunc(GL_ONE, GL_ONE);
    for (int pass = 1; pass <= 15; ++pass) {
        glTranslatef(0, 0, zStep);
        glRotatef(angle, 0, 0, 1);
        glColor3f(red, green, blue);
        FrameQuad(-1, -0.75f, 1, 0.75f, -1);
    }
    EndEffect();
}

void FeedbackTiles(int n) {
    if (!EffectsDrawable()) return;
    BeginEffect(false);
    CaptureFrame();
    BeginDrawing();
    glColor3f(1, 1, 1);
    float nf = static_cast<float>(n);
    for (float row = 0; row <= nf - 1; row += 1)
        for (float column = 0; column <= nf - 1; column += 1)
            FrameQuad(-1 + 2 * column / nf, -1 + 2 * row / nf, -1 + 2 * (column + 1) / nf,
                      -1 + 2 * (row + 1) / nf);
    EndEffect();
}

void FeedbackBlur() {
    if (!EffectsDrawable()) return;
    constexpr float d = 0.003f;
    static const float offsets[8][2] = {{0, d}, {0, -d}, {-d, 0}, {d, 0},
                                        {d, d}, {d, -d}, {-d, d}, {-d, -d}};
    BeginEffect(true);
    CaptureFrame();
    glClear(GL_COLOR_BUFFER_BIT);
    BeginDrawing();
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.125f, 0.125f, 0.125f);
    for (const auto& offset : offsets) {
        glPushMatrix();
        glTranslatef(offset[0], offset[1], 0);
        FullFrameQuad();
        glPopMatrix();
    }
    EndEffect();
}

void FeedbackThumbnails(int capture, int blend, float brightness, float x) {
    if (!EffectsDrawable()) return;
    BeginEffect(blend != 0);
    if (capture == 1) CaptureFrame();
    BeginDrawing();
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(brightness, brightness, brightness);
    glTranslatef(x, -0.975f, 0);
    for (int i = 0; i < 5; ++i) {
        FrameQuad(0, 0, 0.33f, 0.33f);
        glTranslatef(0, 0.4f, 0);
    }
    EndEffect();
}

void FeedbackMirror(int blend, float brightness) {
    if (!EffectsDrawable()) return;
    BeginEffect(blend != 0);
    int halfWidth = static_cast<int>(screenWidth / 2),
        halfHeight = static_cast<int>(screenHeight / 2);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, halfHeight, halfWidth, halfHeight);
    BeginDrawing();
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(brightness, brightness, brightness);
    float sh = S1() / 2, th = T1() / 2;
    glBegin(GL_QUADS);
    Vertex(0, 0, -1, 0), Vertex(sh, 0, 0, 0), Vertex(sh, th, 0, 1), Vertex(0, th, -1, 1);
    Vertex(sh, 0, 0, 0), Vertex(0, 0, 1, 0), Vertex(0, th, 1, 1), Vertex(sh, th, 0, 1);
    Vertex(0, th, -1, -1), Vertex(sh, th, 0, -1), Vertex(sh, 0, 0, 0), Vertex(0, 0, -1, 0);
    Vertex(sh, th, 0, -1), Vertex(0, th, 1, -1), Vertex(0, 0, 1, 0), Vertex(sh, 0, 0, 0);
    glEnd();
    EndEffect();
}

void FeedbackPixelate(float size, int nearest, int blend, float red, float green, float blue) {
    if (!EffectsDrawable()) return;
    BeginEffect(false);
    CaptureFrame();
    glClear(GL_COLOR_BUFFER_BIT);
    BeginDrawing();
    FrameQuad(-1, -1, -1 + 2 * size / screenWidth, -1 + 2 * size / screenHeight);
    glBindTexture(GL_TEXTURE_2D, shrinkTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, static_cast<GLsizei>(size),
                        static_cast<GLsizei>(size));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest == 1 ? GL_NEAREST : GL_LINEAR);
    glColor3f(1, 1, 1);
    glBlendFunc(GL_ONE, GL_ONE);
    if (blend == 1) {
        glBindTexture(GL_TEXTURE_2D, feedbackTexture);
        FullFrameQuad();
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    glColor3f(red, green, blue);
    glBindTexture(GL_TEXTURE_2D, shrinkTexture);
    float s = size / static_cast<float>(texWidth), t = size / static_cast<float>(texHeight);
    glBegin(GL_QUADS);
    Vertex(0, 0, -1, -1), Vertex(s, 0, 1, -1), Vertex(s, t, 1, 1), Vertex(0, t, -1, 1);
    glEnd();
    EndEffect();
}

} // namespace zandrel::show
