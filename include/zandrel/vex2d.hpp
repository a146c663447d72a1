// The 2D renderer: per-context render state and drawing, images and their
// driver frames, the OpenGL 2D drivers (GLVex2DDriver, fixed-function, and
// GLES2DDriver, on shaders), fonts and image fonts.
// Extension points: 2D drivers (TVex2DDriver, TImageFrame) and font loaders
// (TFontLoader, TFont, TGlyph). StartVex2DModule() makes the OpenGL 2D driver
// the graphics driver (StartZandrel() calls it). Threads: main thread only.
#pragma once

#include <zandrel/graphics.hpp>
#include <zandrel/pixmap.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zandrel {

// Starts the 2D renderer and makes the OpenGL 2D driver the graphics driver.
void StartVex2DModule();

// How drawing combines with the pixels already there (SetBlendMode).
enum class BlendMode : int {
    Mask = 1,  // no blending; pixels with alpha below one half are dropped
    Solid = 2, // no blending
    Alpha = 3, // source over destination by the source's alpha
    Light = 4, // added to the destination
    Shade = 5, // multiplied with the destination
};

// A flag set; Auto is no flag but asks the image functions for the
// automatic flags (AutoImageFlags).
enum class ImageFlags : int {
    Auto = -1,
    NoFlags = 0,
    Masked = 1,    // pixels of the mask colour become transparent
    Filtered = 2,  // bilinear filtering when drawn scaled
    Mipmapped = 4, // mipmap levels for drawing smaller
    Dynamic = 8,   // made by CreateImage
};
ZANDREL_FLAG_SET(ImageFlags);

class TImageFont;
class TImage;
class TShader2D;

// A view of the 2D world: the world point drawn at the centre of the
// viewport, how much larger the world is drawn, and how far it is turned
// about that point (degrees, clockwise on screen, as SetRotation turns).
struct Camera2D {
    float centreX = 0;  // the world point at the viewport's centre: x
    float centreY = 0;  // and y
    float zoom = 1;     // 2 draws the world twice as large; not 0
    float rotation = 0; // degrees the world turns about the centre
};

// A picture the current 2D driver made drawable. A local point (x, y) goes to
// the screen at (x ix + y iy + tx, x jx + y jy + ty) with the driver's matrix.
class TImageFrame : public Object {
public:
    // The whole picture onto the local rectangle x0, y0 to x1, y1.
    virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
};

// A 2D driver: a graphics driver that also draws. The renderer keeps the
// state and hands every change to the driver at once.
class TVex2DDriver : public TGraphicsDriver {
public:
    // A drawable frame of the pixmap made with the flags (Filtered, Mipmapped).
    // The OpenGL driver throws RuntimeError "Pixmap is no object" for no pixmap.
    virtual Ref<TImageFrame> CreateFrame(const Ref<TPixmap>& pixmap, ImageFlags flags) = 0;
    // A value outside the five modes draws as Solid.
    virtual void SetBlend(BlendMode mode) = 0;
    // Alpha as SetAlpha sets it. The setters below take the state as the free functions of the same
    // names do (SetClsColor for SetClearColor; SetTransform takes rotation and scale as a matrix).
    virtual void SetAlpha(float alpha) = 0;
    // Drawing colour, 0-255 each.
    virtual void SetColor(int red, int green, int blue) = 0;
    // Drawing colour as fractions 0-1 at single precision, clamped
    // (SetFineColor). The base sets the nearest of SetColor's steps.
    virtual void SetFineColor(float red, float green, float blue);
    // Clear colour, 0-255 each.
    virtual void SetClsColor(int red, int green, int blue) = 0;
    // Clipping rectangle in pixels from the top-left.
    virtual void SetViewport(int x, int y, int width, int height) = 0;
    // Rotation and scale as the matrix ix, iy, jx, jy.
    virtual void SetTransform(float ix, float iy, float jx, float jy) = 0;
    // Line width in pixels.
    virtual void SetLineWidth(float width) = 0;
    // Fills the viewport with the clear colour.
    virtual void Cls() = 0;
    // Absolute pixel position: no matrix.
    virtual void Plot(float x, float y) = 0;
    // Local coordinates, mapped by the matrix and moved by tx, ty.
    virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
    // A filled rectangle, in local coordinates mapped as DrawLine's.
    virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
    // A filled oval in the rectangle, in local coordinates mapped as DrawLine's.
    virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
    // xy: x0, y0, x1, y1, ...; at least three points.
    virtual void DrawPoly(const std::vector<float>& xy, float handleX, float handleY, float originX,
                          float originY) = 0;
    // A pixmap drawn unblended with its top-left at x, y, no matrix.
    virtual void DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y) = 0;
    // The back buffer's pixels of the rectangle as a new RGBA8888 pixmap.
    virtual Ref<TPixmap> GrabPixmap(int x, int y, int width, int height) = 0;
    // Draws into the frame (one this driver made, of a `width` x `height`
    // picture) from now on, or into the context again for no frame;
    // SetRenderTarget calls it. Pixel positions, clipping and GrabPixmap
    // then count from the picture's top-left. The base throws RuntimeError
    // "This 2D driver cannot draw into images".
    virtual void SetTarget(const Ref<TImageFrame>& frame, int width, int height);
    // A shader of the body for this driver's contexts (CreateShader2D), made
    // for the current context. The base throws RuntimeError "This 2D driver
    // cannot run shaders".
    virtual Ref<TShader2D> CreateShader(const String& body);
    // Draws everything that follows through the shader (one this driver made),
    // or as usual for no shader; SetShader calls it, and again after the
    // shader's uniforms change. The base throws as CreateShader's does.
    virtual void SetShader(const Ref<TShader2D>& shader);
    // Copies the rectangle at x, y of what is being drawn (pixels from the
    // top-left) into the frame's top-left corner on the GPU; CopyToImage
    // calls it. The base throws RuntimeError "This 2D driver cannot copy
    // into images".
    virtual void CopyToFrame(const Ref<TImageFrame>& frame, int x, int y, int width, int height);
};

// The render state of one 2D context, wrapping a context of the driver under it.
class TVex2DGraphics : public TGraphics {
public:
    // Drawing colour, 0-255 each, as set.
    int red = 0, green = 0, blue = 0;
    // The colour SetFineColor set, 0-1 each; no value after SetColor.
    std::optional<std::array<float, 3>> fineColour;
    // Alpha, 0-1.
    float alpha = 0;
    // Clear colour, 0-255 each.
    int clsRed = 0, clsGreen = 0, clsBlue = 0;
    // Line width in pixels.
    float lineWidth = 0;
    // Rotation in degrees.
    float rotation = 0;
    // Horizontal and vertical scale.
    float scaleX = 0, scaleY = 0;
    // Rotation and scale as a matrix.
    float ix = 0, iy = 0, jx = 0, jy = 0;
    // Viewport in pixels from the top-left.
    int viewportX = 0, viewportY = 0, viewportWidth = 0, viewportHeight = 0;
    // Added to the position of everything drawn except pixmaps.
    float originX = 0, originY = 0;
    // The handle of shapes and text, kept negated.
    float handleX = 0, handleY = 0;
    // The camera; no value draws the world at the screen's pixels.
    std::optional<Camera2D> camera;
    // The cameras PushCamera kept, the latest last.
    std::vector<std::optional<Camera2D>> cameraStack;
    // The image drawn into instead of the context (SetRenderTarget), and its frame.
    Ref<TImage> renderTarget;
    // The frame of renderTarget drawn into.
    int renderTargetFrame = 0;
    // The context's own viewport, put back when drawing leaves the image.
    int displayViewport[4] = {0, 0, 0, 0};
    // The context's own origin, put back with it.
    float displayOrigin[2] = {0, 0};
    // The image font; no object for the built-in one.
    Ref<TImageFont> imageFont;
    // The shader drawing goes through (SetShader); no object for none.
    Ref<TShader2D> shader;
    // The blend mode.
    BlendMode blendMode{};
    // The wrapped context.
    Ref<TGraphics> graphics;
    // The 2D driver drawing into it.
    Ref<TVex2DDriver> driver;
    // Whether the first activation has set the defaults.
    bool initialised = false;

    // The 2D driver.
    Ref<TGraphicsDriver> Driver() override;
    // The wrapped context's settings, all 0 once closed.
    void GetSettings(int& width, int& height, int& depth, int& hertz,
                     GraphicsFlags& flags) override;
    // Closes the wrapped context. The driver stays, so that making a closed
    // context current again makes nothing current instead of failing.
    void Close() override;
    // Hands every stored setting to the driver again; only the current
    // context's settings can be applied.
    virtual void ApplyState();

    // A state in its zero values over `graphics`; the defaults come with the
    // first activation (ActivateVex2D).
    static Ref<TVex2DGraphics> Create(Ref<TGraphics> graphics, Ref<TVex2DDriver> driver);
};

// Called by a 2D driver when it makes a context current; the first activation
// of a context sets the default state and clears both buffers.
void ActivateVex2D(const Ref<TGraphics>& graphics);

// ---------------------------------------------------------------------------
// Render state. Every function, and every drawing function below, needs a
// current 2D context: each throws RuntimeError "No 2D graphics is current"
// otherwise.

// The drawing colour, `red`, `green` and `blue` 0-255 (the OpenGL driver clamps what it is given;
// the getters below return it as set). A context starts with white, a black clear colour, alpha 1,
// BlendMode::Mask, line width 1 and the whole context as its viewport.
void SetColor(int red, int green, int blue);
// The drawing colour as set.
void GetColor(int& red, int& green, int& blue);
// The drawing colour as fractions of full intensity, `red`, `green` and
// `blue` 0-1 each (clamped; not a number is 0), handed to the GL at single
// precision rather than in SetColor's 256 steps: many copies added with a
// weight of 0.05 each come out as 0.05 times 255 would, where a step of
// 1/255 would drift. GetColor gives it rounded to 0-255; SetColor goes back
// to whole steps.
void SetFineColor(float red, float green, float blue);
// `alpha` 0 (invisible) to 1 (opaque), clamped.
void SetAlpha(float alpha);
// The alpha as set.
float GetAlpha();
// The colour ClearScreen fills with, 0-255 per channel.
void SetClearColor(int red, int green, int blue);
// The clear colour as set.
void GetClearColor(int& red, int& green, int& blue);
// How drawing combines with what is already there.
// `mode` Mask keeps or drops whole pixels, Solid copies, Alpha blends by the source's alpha (smooth
// text and edges), Light adds and Shade multiplies.
void SetBlendMode(BlendMode mode);
// The blend mode as set.
BlendMode GetBlendMode();
// `width` of lines in pixels.
void SetLineWidth(float width);
// The line width as set.
float GetLineWidth();
// Clips drawing to the rectangle at x, y (pixels from the top-left).
void SetViewport(int x, int y, int width, int height);
// The viewport as set.
void GetViewport(int& x, int& y, int& width, int& height);
// Positive angles turn clockwise on screen; scaling comes before rotation.
void SetRotation(float degrees);
// The rotation as set, in degrees.
float GetRotation();
// Horizontal and vertical scale; 1, 1 draws at the natural size.
void SetScale(float x, float y);
// The scale as set.
void GetScale(float& x, float& y);
// Sets rotation (`degrees`) and scale at once.
void SetTransform(float degrees, float scaleX, float scaleY);
// Added to the position of everything drawn except pixmaps.
void SetOrigin(float x, float y);
// The origin as set.
void GetOrigin(float& x, float& y);
// The point of a shape or text placed at the position given; images use their own.
void SetHandle(float x, float y);
// The handle as set.
void GetHandle(float& x, float& y);
// No object: the built-in font.
void SetImageFont(const Ref<TImageFont>& font);
// The image font; no object for the built-in one.
Ref<TImageFont> GetImageFont();
void ClearScreen(); // fills the viewport with the clear colour

// ---------------------------------------------------------------------------
// Camera. Everything drawn afterwards, and everything placed for collisions,
// is seen through it: positions (with the origin added) are world points,
// and the camera maps them and the rotation and scale onto the screen.
// TileImage, DrawPixmap and GrabPixmap stay in screen pixels. Each context
// keeps its own camera; a new one has none.

// Looks at the world through `camera` from now on. Throws RuntimeError
// "Camera zoom must be a number other than 0" for a zoom of 0, infinite or
// not a number, and "Camera must be finite" for a centre or rotation that is not.
void SetCamera(const Camera2D& camera);
// SetCamera with the camera's fields.
void SetCamera(float centreX, float centreY, float zoom = 1, float rotation = 0);
// No camera: world points are screen pixels again.
void ClearCamera();
// The camera in use; no value when there is none.
std::optional<Camera2D> GetCamera();
// Keeps the camera in use (or its absence) for PopCamera.
void PushCamera();
// Goes back to the camera PushCamera kept last. Throws RuntimeError
// "PopCamera without PushCamera" when none is kept.
void PopCamera();
// The position to give drawing calls (the origin taken off) to draw at the
// screen pixel position `screenX`, `screenY`: the world under the mouse.
void ScreenToWorld(float screenX, float screenY, float& worldX, float& worldY);
// Where a drawing call's position `worldX`, `worldY` lands on screen.
void WorldToScreen(float worldX, float worldY, float& screenX, float& screenY);

// ---------------------------------------------------------------------------
// Drawing

// A point at x, y in the current colour, alpha and blend mode, moved by the origin. The shapes
// below move by the origin too, are placed by the handle and are turned and scaled by the rotation
// and scale, which Plot ignores.
void Plot(float x, float y);
// A line from (x1, y1) to (x2, y2); `drawLastPixel` false leaves out its end pixel.
void DrawLine(float x1, float y1, float x2, float y2, bool drawLastPixel = true);
// A filled rectangle of width x height at x, y.
void DrawRect(float x, float y, float width, float height);
// A filled oval of width x height at x, y.
void DrawOval(float x, float y, float width, float height);
// x0, y0, x1, y1, ...: fewer than three points, or an odd count, draw nothing.
void DrawPoly(const std::vector<float>& xy);
// Text in the image font from the pen at x, y, placed by the handle and turned and scaled with the
// rest.
void DrawText(const String& text, float x, float y);
// The width of the text in whole pixels: the advances and the kerning
// between its characters summed.
int TextWidth(const String& text);
// The image font's line height in pixels.
int TextHeight();
// The box the text's ink covers when drawn with DrawText at 0, 0 in the
// current image font, before handle, rotation and scale: `x`, `y` its
// top-left from the pen's start at the line's top, `width` and `height` its
// size in whole pixels. All 0 for a text without ink.
void TextBounds(const String& text, int& x, int& y, int& width, int& height);
// DrawText with UTF-8 text: `DrawText("Score: " + std::to_string(score), 8, 8)`.
inline void DrawText(std::string_view utf8, float x, float y) {
    DrawText(FromUtf8(utf8), x, y);
}
// TextWidth of UTF-8 text.
inline int TextWidth(std::string_view utf8) {
    return TextWidth(FromUtf8(utf8));
}
// TextBounds of UTF-8 text.
inline void TextBounds(std::string_view utf8, int& x, int& y, int& width, int& height) {
    TextBounds(FromUtf8(utf8), x, y, width, height);
}

class TImage;
// The image functions throw RuntimeError "Image is no object" for no image
// and "Image frame index out of range" for a frame it does not have.
// `frame` is the frame to draw, from 0.
void DrawImage(const Ref<TImage>& image, float x, float y, int frame = 0);
// Stretched to width x height; the image's handle stays in pixels.
// `frame` is the frame to draw, from 0.
void DrawImageRect(const Ref<TImage>& image, float x, float y, float width, float height,
                   int frame = 0);
// Covers the viewport with unrotated, unscaled copies, one of them at x, y.
// `frame` is the frame to draw, from 0.
void TileImage(const Ref<TImage>& image, float x = 0, float y = 0, int frame = 0);

// Makes the frame of `image` what every drawing call draws into, instead of
// the context's own picture, until SetRenderTarget(nullptr) goes back to it;
// the image is then drawn like any other with what was drawn into it. While
// drawing into the image, the viewport is the whole image and the origin 0,
// 0 (both are put back afterwards), and GrabPixmap and GrabImage read it.
// The image keeps the alpha drawn into it as well as the colour (Solid and
// Alpha write it), which matters when it is drawn with BlendMode::Mask or
// Alpha. What is drawn lives in the driver's texture: locking the frame for writing
// or setting its pixmap forgets it, and only the largest level of a
// mipmapped image is drawn into. Making another context current goes back to
// the context's own picture first. Throws RuntimeError "Image frame index
// out of range" for a frame the image lacks, "Render target image is empty"
// for an image without pixels, and "Unable to draw into the image" when the
// GL cannot.
void SetRenderTarget(const Ref<TImage>& image, int frame = 0);
// The image drawn into; no object while drawing goes to the context.
Ref<TImage> GetRenderTarget();

// ---------------------------------------------------------------------------
// Shaders of a program's own. A shader is the body of a function that gives
// the colour of each pixel drawn; Zandrel wraps it for the GLSL of the
// context (1.20 under the OpenGL 2D driver, 3.30 core or ES 3.00 under the
// shader driver, and so WebGL 2 in the page) and runs it for every drawing
// call while it is set: images, rectangles, ovals, polygons, lines, points,
// text and pixmaps. ClearScreen is not shaded. The blend mode applies to
// what it gives, Mask included.
//
// The body runs inside `void shade(vec4 colour, vec4 texel, vec2 uv, vec2
// screen, inout vec4 result)`:
//   colour  the drawing colour and alpha (SetColor, SetAlpha), 0-1 each;
//   texel   the drawn image's texel at uv, opaque white for shapes;
//   uv      the texture coordinate into `picture`, 0, 0 at the image's
//           top-left and 1, 1 at its bottom-right when its sides are
//           powers of two (an image of other sizes covers only part of
//           its texture; pick(picture, uv) is its texel either way); 0, 0
//           for shapes;
//   screen  the pixel drawn, from the top-left of the window or of the
//           render target, pixel centres at .5;
//   result  what is drawn: colour * texel on entry, as without a shader.
// Also in scope: `uniform sampler2D picture` (the drawn image's texture) and
// `vec4 pick(sampler2D texture, vec2 at)`, which samples a texture on every
// profile (texture2D or texture). A line whose first word is `uniform`
// declares a uniform of the whole program (float, vec2-vec4, int, bool or
// sampler2D; no arrays); for a sampler2D named NAME, a `uniform vec2
// NAME_extent` when declared gets the texture coordinate of its image's
// bottom-right. What works on every profile is GLSL ES 1.00's language:
// float constants with a point (1.0, not 1), no integer bit operations, no
// functions of one's own, `return;` to leave early, `discard` to drop the
// pixel. Main thread; each context keeps its own shader set, and a shader
// made under one context runs in all of them.

// A shader made by CreateShader2D with the uniform values set for it.
// Drivers make their own kinds; a program only passes them around.
class TShader2D : public Object {
public:
    // The body as given.
    String body;
    // A float uniform of `count` (1-4) components; the driver's.
    virtual void SetFloats(const std::string& name, const float* values, int count) = 0;
    // An int (or bool) uniform; the driver's.
    virtual void SetInt(const std::string& name, int value) = 0;
    // A sampler2D uniform sampling the image's frame; the driver's.
    virtual void SetTexture(const std::string& name, const Ref<TImage>& image, int frame) = 0;
};

// A shader of the body for the current context's driver. Throws
// RuntimeError "Shader does not compile: " or "Shader does not link: " and
// the GL's log, its line numbers counted from the body's first line as 1
// (the formats vary: Mesa writes "0:3(12): error: ...", WebGL "ERROR: 0:3:
// ..."), and RuntimeError "This 2D driver cannot run shaders" for a driver
// without them.
Ref<TShader2D> CreateShader2D(const String& body);
// CreateShader2D with a UTF-8 body, such as a raw string literal.
inline Ref<TShader2D> CreateShader2D(std::string_view utf8Body) {
    return CreateShader2D(FromUtf8(utf8Body));
}
// Draws through `shader` from now on; no object goes back to drawing as
// usual. Under a context of another kind than the one it was made under
// (ZANDREL_GL), it is compiled for that context first and throws its errors
// as CreateShader2D does.
void SetShader(const Ref<TShader2D>& shader);
// The shader set; no object for none.
Ref<TShader2D> GetShader();
// Sets a uniform of the shader set, by its name in the body, for the drawing
// that follows; the shader keeps the value when it is unset and set again.
// A name the shader does not use (or the GL optimised away) is ignored.
// Throws RuntimeError "No shader is set" without a shader and "Shader
// uniform type does not match" when the uniform is of another type.
void SetShaderUniform(std::string_view name, float x);
// A vec2 uniform.
void SetShaderUniform(std::string_view name, float x, float y);
// A vec3 uniform.
void SetShaderUniform(std::string_view name, float x, float y, float z);
// A vec4 uniform.
void SetShaderUniform(std::string_view name, float x, float y, float z, float w);
// An int or bool uniform.
void SetShaderUniform(std::string_view name, int value);
// A float uniform given a double, as literals such as 0.5 are.
inline void SetShaderUniform(std::string_view name, double x) {
    SetShaderUniform(name, static_cast<float>(x));
}
// A sampler2D uniform samples the frame of the image, with its flags'
// filtering, through a texture unit of its own (the drawn image has unit 0;
// up to 7 textures). The image must not be the render target. Throws as
// SetShaderUniform, as DrawImage for no image or a frame it lacks, and
// RuntimeError "Too many shader textures" for an eighth name.
void SetShaderTexture(std::string_view name, const Ref<TImage>& image, int frame = 0);

// Neither origin nor matrix apply to pixmaps. Throws RuntimeError for no pixmap.
void DrawPixmap(const Ref<TPixmap>& pixmap, int x, int y);
// The pixels of the rectangle as a new RGBA8888 pixmap, from the back buffer
// or the render target.
Ref<TPixmap> GrabPixmap(int x, int y, int width, int height);

// ---------------------------------------------------------------------------
// Images

// What a locked image frame's pixmap is for: reading it only, or changing
// it, after which the next draw rebuilds the frame from it.
enum class LockFor { Reading, Changing };

// A picture of one or more frames of equal size. Each frame keeps its pixmap
// and, made on first draw, a driver frame that is made again when the
// graphics context has changed since (GraphicsSeq) or the pixmap was changed.
class TImage : public TDataObject {
public:
    // Size in pixels.
    int width = 0, height = 0;
    // The flags the image was made with.
    ImageFlags flags = ImageFlags::NoFlags;
    // Mask colour, 0-255 each.
    int maskRed = 0, maskGreen = 0, maskBlue = 0;
    // The handle: pixels from the top-left, the point placed at a draw's position.
    float handleX = 0, handleY = 0;
    // Each frame's pixmap.
    std::vector<Ref<TPixmap>> pixmaps;
    // Each frame's driver frame; no object until made.
    std::vector<Ref<TImageFrame>> frames;
    std::vector<uint32_t> seqs; // GraphicsSeq of each driver frame, 0 for none

    // "kvo.vex2d.TImage"
    Ref<TDataType> DataType() override;
    int FrameCount() const { return static_cast<int>(pixmaps.size()); } // frames in the image

    // The current 2D driver's frame. Throws RuntimeError "Image frame index
    // out of range" for an index outside the frames, as do Lock and SetPixmap.
    virtual const Ref<TImageFrame>& Frame(int index);
    // The frame's pixmap, made transparent black when it had none;
    // LockFor::Changing makes the next draw rebuild the driver frame.
    virtual const Ref<TPixmap>& Lock(int index, LockFor use);
    // A masked image masks a pixmap without alpha with its mask colour.
    virtual void SetPixmap(int index, const Ref<TPixmap>& pixmap);

    // Throws RuntimeError for dimensions out of range.
    static Ref<TImage> Create(int width, int height, int frameCount, ImageFlags flags, int maskRed,
                              int maskGreen, int maskBlue);
    // The URL may also be a TPixmap. No object when there is no picture.
    static Ref<TImage> Load(const Url& url, ImageFlags flags, int maskRed, int maskGreen,
                            int maskBlue);
    // Cells left to right, then top to bottom; no object when the picture
    // holds too few cells.
    static Ref<TImage> LoadAnim(const Url& url, int cellWidth, int cellHeight, int firstCell,
                                int cellCount, ImageFlags flags, int maskRed, int maskGreen,
                                int maskBlue);
};

// ImageFlags::Auto: the automatic flags (NoFlags, or Masked | Filtered once a 2D
// context has been made current). Black is see-through once a window is open,
// then; ImageFlags::Filtered keeps it. No object when there is no picture.
// `url` names a PNG, JPEG, BMP or TGA file, or is a pixmap, stream or bank; `flags` combine Masked,
// Filtered and Mipmapped.
Ref<TImage> LoadImage(const Url& url, ImageFlags flags = ImageFlags::Auto);
// `cellCount` cells of cellWidth x cellHeight from the picture, left to right and top to bottom,
// starting at cell `firstCell`, as frames. No object when there is no picture.
// `url` and `flags` as for LoadImage.
Ref<TImage> LoadAnimImage(const Url& url, int cellWidth, int cellHeight, int firstCell,
                          int cellCount, ImageFlags flags = ImageFlags::Auto);
// Transparent black frames; Dynamic is added to the flags. Throws
// RuntimeError for dimensions out of range.
// `frameCount` frames of width x height; `flags` as for LoadImage.
Ref<TImage> CreateImage(int width, int height, int frameCount = 1,
                        ImageFlags flags = ImageFlags::Auto);
// The image's size from the back buffer at x, y into the frame.
void GrabImage(const Ref<TImage>& image, int x, int y, int frame = 0);
// Copies the `width` x `height` rectangle at x, y of what has been drawn
// (the back buffer, or the render target) into the frame of `image` with its
// top-left at the frame's top-left, without the pixels leaving the GPU: a
// copy fast enough for every frame. As with SetRenderTarget, the copy lives
// in the driver's texture: locking the frame for writing or setting its
// pixmap forgets it, and only the largest level of a mipmapped image gets
// it. Pixels of the rectangle outside what is drawn leave the frame's as they
// were, and an empty rectangle copies nothing. Throws RuntimeError "Image is
// no object", "Image frame index out of range", "Copy rectangle larger than
// the image" for a size above the image's, "Image cannot be copied into
// itself" for the render target's own frame, and "Unable to draw into the
// image" when the GL cannot.
void CopyToImage(const Ref<TImage>& image, int x, int y, int width, int height, int frame = 0);
// Puts the image's handle at its centre.
void CentreImageHandle(const Ref<TImage>& image);
// The handle `x`, `y` pixels from the image's top-left.
void SetImageHandle(const Ref<TImage>& image, float x, float y);
// The image's width in pixels.
int ImageWidth(const Ref<TImage>& image);
// The image's height in pixels.
int ImageHeight(const Ref<TImage>& image);
// The frame's pixmap to read or change, as TImage::Lock gives it.
// `frame` is the frame from 0; LockFor::Changing makes the next draw rebuild the drawable frame,
// LockFor::Reading leaves it.
const Ref<TPixmap>& LockImage(const Ref<TImage>& image, int frame = 0,
                              LockFor use = LockFor::Changing);
// Does nothing; pairs with LockImage.
// `frame` as given to LockImage.
void UnlockImage(const Ref<TImage>& image, int frame = 0);
// The mask colour given to images as they are made.
void SetMaskColor(int red, int green, int blue);
// The mask colour as set.
void GetMaskColor(int& red, int& green, int& blue);
// Images made afterwards get their handle at their centre.
void SetAutoMidHandle(bool on);
// The flags used for Auto; Auto itself changes nothing.
void AutoImageFlags(ImageFlags flags);
// The flags used for Auto.
ImageFlags GetAutoImageFlags();

// ---------------------------------------------------------------------------
// Fonts. Every operation of these classes is for a subclass to give; the
// base throws RuntimeError "Attempt to call abstract method".

// One glyph of a TFont: its pixels, placement and advance.
class TGlyph : public Object {
public:
    // A TPixmap, or no object for a glyph without ink.
    virtual Ref<Object> Pixels();
    // How far the pen moves, in pixels.
    virtual float Advance();
    // The glyph's top-left relative to the pen, and its size.
    virtual void GetRect(int& x, int& y, int& width, int& height);
};

// How a font's glyphs are drawn: Smooth gives them filtered, mipmapped
// images with a transparent border (for scaled or turned text under
// BlendMode::Alpha); Plain gives crisp pixels.
enum class FontStyle : int { Plain = 0, Smooth = 4 };
ZANDREL_FLAG_SET(FontStyle);

// A font at one size, its glyphs numbered 0 to CountGlyphs() - 1.
class TFont : public Object {
public:
    // As the source font's; Plain for the built-in font.
    virtual FontStyle Style();
    // Line height in pixels.
    virtual int Height();
    // How many glyphs the font has.
    virtual int CountGlyphs();
    virtual int CharToGlyph(int character);   // -1 when the font has none
    virtual Ref<TGlyph> LoadGlyph(int index); // the glyph of that index
    // Pixels from the line's top down to the baseline. Unlike the operations
    // above, this one and the two below have a default: Height().
    virtual int Ascend();
    // Pixels from the baseline down to the line's lowest ink, as a negative
    // number (FreeType's sign); 0 by default.
    virtual int Descend();
    // Pixels to add to the pen between the glyphs of indices `left` and
    // `right` drawn in that order (negative: closer); 0 by default.
    virtual float Kerning(int left, int right);
};

// Opens fonts of the formats it knows; joins the list with AddFontLoader.
class TFontLoader : public Object {
public:
    Ref<TFontLoader> next; // the loader asked after this one; set by AddFontLoader
    // The font at `size` pixels in the style, or no object when the URL is
    // not a font this loader reads.
    virtual Ref<TFont> LoadFont(const Url& url, int size, FontStyle style);
};

// The loader added last is asked first; a loader already in the list stays
// where it is.
void AddFontLoader(const Ref<TFontLoader>& loader);
// The first font a loader gives, or no object.
// `url` names a TrueType, OpenType or bitmap font file; `size` is the height in pixels; `style`
// FontStyle::Smooth for text drawn turned or scaled under BlendMode::Alpha, Plain for crisp pixels.
Ref<TFont> LoadFont(const Url& url, int size, FontStyle style = FontStyle::Plain);

// One glyph of a TImageFont, made from a TGlyph.
class TImageGlyph : public Object {
public:
    // The glyph's image; no object for a glyph without ink.
    Ref<TImage> image;
    // How far the pen moves after the glyph, in pixels.
    float advance = 0;
    // The image's top-left relative to the pen, and its size, in pixels.
    int x = 0, y = 0, w = 0, h = 0;

    virtual Ref<TImage> Image() { return image; }             // the image member
    virtual float Advance() { return advance; }               // the advance member
    virtual void GetRect(int& rx, int& ry, int& rw, int& rh); // x, y, w and h
};

// A font whose glyphs are images, drawn with the current colour, alpha, blend
// mode and matrix: made lazily from a loaded font, or the built-in 8 x 16 font.
class TImageFont : public Object {
public:
    // The loaded font; no object for the built-in one.
    Ref<TFont> source;
    // The glyphs made so far; no object where not yet made.
    std::vector<Ref<TImageGlyph>> glyphs;
    // The flags the glyph images get.
    ImageFlags imageFlags = ImageFlags::NoFlags;

    // As the source font's; the built-in font has style Plain, height 16 and
    // the glyphs of codes 32-127 (-1 for any other character).
    virtual FontStyle Style();
    // As the source font's; 16 for the built-in one.
    virtual int Height();
    // As the source font's; the built-in one has the glyphs of codes 32-127.
    virtual int CountGlyphs();
    // The glyph of a character; -1 when the font has none.
    virtual int CharToGlyph(int character);
    // No object for an index outside the font.
    virtual Ref<TImageGlyph> LoadGlyph(int index);
    // As the source font's: pixels from the line's top to the baseline; 14
    // for the built-in font.
    virtual int Ascend();
    // As the source font's: the baseline to the lowest ink, negative; -2 for
    // the built-in font.
    virtual int Descend();
    // As the source font's kerning of the glyph pair; the built-in font has
    // none (0). DrawText and TextWidth add it between characters.
    virtual float Kerning(int left, int right);
    // The pen starts at x, y in screen pixels; ix, iy, jx, jy is the matrix.
    virtual void Draw(const String& text, float x, float y, float ix, float iy, float jx, float jy);

    // FontStyle::Smooth asks for smooth (filtered, mipmapped) glyph images.
    static Ref<TImageFont> Load(const Url& url, int size, FontStyle style);
    // From the embedded resource "kestrfont.bin": codes 32-127, 8 x 16 pixels.
    static Ref<TImageFont> CreateDefault();
};

// TImageFont::Load: `url` names a font file (TrueType, OpenType or a bitmap
// font, once the font module has started), `size` its height in pixels and
// `style` how its glyphs are drawn. No object when no font loader reads the
// URL (LastLoadError says why).
Ref<TImageFont> LoadImageFont(const Url& url, int size, FontStyle style = FontStyle::Plain);

// ---------------------------------------------------------------------------
// The OpenGL 2D driver ("OpenGL"): immediate-mode drawing over the OpenGL
// graphics driver, images as power-of-two textures made in the shared context.

// The one OpenGL 2D driver; with ZANDREL_GL=es or core (graphics.hpp), the
// shader 2D driver (GLES2DDriver) instead, so that programs which name this
// driver draw through shaders when asked. A context it makes where no
// compatibility context can be had is the shader driver's too.
const Ref<TVex2DDriver>& GLVex2DDriver();

// The shader 2D driver ("OpenGL ES") over GLESGraphicsDriver: an OpenGL ES
// 3.0 context, or an OpenGL 3.3 core one with ZANDREL_GL=core. It draws what
// GLVex2DDriver draws, with the same pixels, through one streamed vertex
// buffer and one shader program: consecutive drawing with the same texture,
// blend mode and kind of primitive (triangles, lines of one width, points)
// goes to the GL as one draw call when something needs it on screen (Flip,
// GrabPixmap, Cls, a viewport change, FlushDrawing, another context).
const Ref<TVex2DDriver>& GLES2DDriver();

// Sends the drawing the current 2D driver holds back to the GL. A program
// that calls GL itself between 2D drawing calls this first; nothing when no
// 2D context is current.
void FlushDrawing();

// ---------------------------------------------------------------------------
// Collisions: pixel-exact tests on the images' pixmaps, no display needed.
// An image is placed as DrawImage would place it, with the current origin,
// rotation and scale (none before a 2D context has been made current); a
// texel is solid at alpha 128 or more and a rectangle is solid throughout.
// Two placements collide when some pixel centre lies in both and both are
// solid there. Placements can be kept in 32 layers (bit n of a mask is layer
// n) to test later ones against. Main thread only, like the whole renderer.

// Empties the layers whose bits are set; 0 empties all of them.
void ResetCollisions(uint32_t mask = 0);
// The ids of the placements in the layers of `collideMask` that the frame
// placed at x, y collides with (lower layers first, newest first within a
// layer); then keeps it, with `id`, in each layer of `writeMask`. A frame
// outside the image, an empty image or a placement beyond 2^24 pixels places
// nothing. Throws "Image is no object".
std::vector<Ref<Object>> CollideImage(const Ref<TImage>& image, float x, float y, int frame,
                                      uint32_t collideMask, uint32_t writeMask,
                                      const Ref<Object>& id = nullptr);
// As CollideImage for a solid rectangle with its top-left corner at x, y.
std::vector<Ref<Object>> CollideRect(float x, float y, float width, float height,
                                     uint32_t collideMask, uint32_t writeMask,
                                     const Ref<Object>& id = nullptr);
// Works in layer 31, which it empties first. Throws "Image is no object".
bool ImagesCollide(const Ref<TImage>& image1, float x1, float y1, int frame1,
                   const Ref<TImage>& image2, float x2, float y2, int frame2);
// As ImagesCollide, each image with its own rotation and scale; the 2D
// rotation and scale are put back afterwards.
bool ImagesCollideTransformed(const Ref<TImage>& image1, float x1, float y1, int frame1,
                              float rotation1, float scaleX1, float scaleY1,
                              const Ref<TImage>& image2, float x2, float y2, int frame2,
                              float rotation2, float scaleX2, float scaleY2);

// One frame of an image as a collision test places it: at x, y with its own
// rotation (degrees) and scale. Designated initialisers keep a call short:
// `PlacedImage{.image = rock, .x = 40, .y = 60, .rotation = 30}`.
struct PlacedImage {
    Ref<TImage> image;  // the image; must not be empty
    int frame = 0;      // frame of the image
    float x = 0;        // position, as DrawImage takes it
    float y = 0;        // position, as DrawImage takes it
    float rotation = 0; // degrees
    float scaleX = 1;   // horizontal scale
    float scaleY = 1;   // vertical scale
};
// ImagesCollideTransformed for two placed images. Throws "Image is no object".
bool ImagesCollideTransformed(const PlacedImage& first, const PlacedImage& second);

} // namespace zandrel
