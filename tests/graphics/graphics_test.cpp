#include <gtest/gtest.h>
#include <zandrel/graphics.hpp>

#include "graphics/gl_context.hpp"
#include "graphics/graphics_parts.hpp"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zandrel;

namespace {

std::string RunCapturing(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

// RGBA of one pixel of the back buffer, y counted from the top.
uint32_t PixelAt(int x, int y) {
    uint8_t rgba[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(x, GraphicsHeight() - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return static_cast<uint32_t>(rgba[0]) << 24 | rgba[1] << 16 | rgba[2] << 8 | rgba[3];
}

void ClearBlack() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

} // namespace

class Graphics : public testing::Test {
protected:
    void TearDown() override { EndGraphics(); }
};

TEST(GraphicsMode, TextForm) {
    TGraphicsMode mode;
    mode.width = 640;
    mode.height = 480;
    mode.depth = 32;
    mode.hertz = 75;
    EXPECT_EQ(mode.ToString(), u"640,480,32 75Hz");
}

TEST(GraphicsSeq, NeverZero) {
    EXPECT_EQ(NextGraphicsSeq(1), 2u);
    EXPECT_EQ(NextGraphicsSeq(0xFFFFFFFFu), 1u);
}

TEST_F(Graphics, WindowHasItsClientAreaAt32And32) {
    auto g = GLGraphics(640, 480);
    ASSERT_TRUE(g);
    EXPECT_EQ(GraphicsWidth(), 640);
    EXPECT_EQ(GraphicsHeight(), 480);
    EXPECT_EQ(GraphicsDepth(), 0);
    EXPECT_EQ(CurrentGraphicsFlags(), GraphicsFlags::BackBuffer);
    auto* record = As<TGLGraphics>(g)->Context();
    EXPECT_EQ(record->kind, WindowedContext);
    // What the X server itself says about this very window.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(record->window, &info));
    std::string geometry =
        RunCapturing("xdotool getwindowgeometry " + std::to_string(info.info.x11.window));
    EXPECT_NE(geometry.find("Position: 32,32"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 640x480"), std::string::npos) << geometry;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_STREQ(SDL_GetWindowTitle(record->window), "Zandrel Application");
}

TEST_F(Graphics, FullScreenAtTheDisplaysSize) {
    SDL_DisplayMode desktop;
    auto g = GLGraphics(1024, 768, 32);
    ASSERT_TRUE(g);
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    auto* record = As<TGLGraphics>(g)->Context();
    EXPECT_EQ(record->kind, FullScreenContext);
    int x = -1, y = -1, width = 0, height = 0;
    SDL_GetWindowPosition(record->window, &x, &y);
    SDL_GetWindowSize(record->window, &width, &height);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_TRUE(SDL_GetWindowFlags(record->window) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(GraphicsDepth(), 32);
    EndGraphics();
    SDL_DisplayMode after;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &after), 0);
    EXPECT_EQ(after.w, desktop.w);
    EXPECT_EQ(after.h, desktop.h);
}

TEST_F(Graphics, FullScreenTakesTheClosestDepthOfThatSize) {
    EXPECT_TRUE(GLGraphics(1024, 768, 16));
}

// The display (1024 x 768) has no 800 x 600 mode: the desktop keeps its mode,
// and the context draws into a picture of its own size.
TEST_F(Graphics, FullScreenSizeTheDisplayLacksIsShownScaled) {
    auto g = GLGraphics(800, 600, 16);
    ASSERT_TRUE(g);
    auto* record = As<TGLGraphics>(g)->Context();
    EXPECT_TRUE(record->Scaled());
    EXPECT_EQ(GraphicsWidth(), 800);
    EXPECT_EQ(GraphicsHeight(), 600);
    int width = 0, height = 0;
    SDL_GetWindowSize(record->window, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    ClearBlack();
    glEnable(GL_SCISSOR_TEST);
    glScissor(799, 0, 1, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(PixelAt(799, 599), 0xFF0000FFu); // the picture's own bottom-right pixel
    Flip(FlipSync::Immediate);
    EXPECT_EQ(PixelAt(799, 599), 0xFF0000FFu); // still drawing into the picture
}

// Not even a picture of that size can be made.
TEST_F(Graphics, FullScreenThatCannotBeGivenFails) {
    SetGraphicsDriver(GLGraphicsDriver());
    try {
        GLGraphicsDriver()->CreateGraphics(40000, 30000, 16, 0, GraphicsFlags::BackBuffer);
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"GLGraphicsDriver failed to set display mode");
    }
    EXPECT_EQ(native::FirstGLContext(), nullptr); // nothing left behind
    EXPECT_FALSE(OpenGraphics(40000, 30000, 16));
    EXPECT_FALSE(CurrentGraphics());
}

TEST(ScaledArea, FitsTheWindowWithItsAspectKept) {
    const struct {
        int windowWidth, windowHeight;
        ScaledArea area;
        bool whole;
    } cases[] = {
        {1920, 1080, {240, 0, 1440, 1080}, false}, // bars left and right
        {1024, 768, {0, 0, 1024, 768}, false},     // no bars
        {800, 1000, {0, 200, 800, 600}, true},     // bars above and below
        {1600, 1200, {0, 0, 1600, 1200}, true},    // twice the size
        {640, 480, {0, 0, 640, 480}, false},       // smaller than the picture
    };
    for (const auto& c : cases) {
        ScaledArea area = FitScaled(800, 600, c.windowWidth, c.windowHeight);
        EXPECT_EQ(area, c.area) << c.windowWidth << " x " << c.windowHeight;
        EXPECT_EQ(WholeScale(area, 800, 600), c.whole) << c.windowWidth << " x " << c.windowHeight;
    }
}

TEST(ScaledPresent, TellsRasterisersOnTheProcessorFromGpus) {
    const struct {
        const char* renderer;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Google SwiftShader", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", false},
        {nullptr, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SoftwareRenderer(c.renderer), c.software) << (c.renderer ? c.renderer : "null");
}

TEST_F(Graphics, SeqAdvancesOnOpenAndClose) {
    uint32_t start = GraphicsSeq();
    ASSERT_TRUE(GLGraphics(200, 100));
    EXPECT_EQ(GraphicsSeq(), start + 1);
    ASSERT_TRUE(GLGraphics(200, 100)); // closes the first
    EXPECT_EQ(GraphicsSeq(), start + 3);
    EndGraphics();
    EXPECT_EQ(GraphicsSeq(), start + 4);
    EndGraphics(); // nothing open: nothing changes
    EXPECT_EQ(GraphicsSeq(), start + 4);
    EXPECT_FALSE(OpenGraphics(40000, 30000, 16)); // a failed open does not advance it
    EXPECT_EQ(GraphicsSeq(), start + 4);
}

TEST_F(Graphics, FlipSetsTheSwapIntervalOnlyWhenItChanges) {
    ASSERT_TRUE(GLGraphics(160, 120));
    Flip(FlipSync::Immediate);
    int before = native::SwapIntervalCalls();
    Flip(FlipSync::VerticalBlank);
    Flip(FlipSync::VerticalBlank);
    EXPECT_EQ(native::SwapIntervalCalls(), before + 1);
    Flip(FlipSync::Immediate);
    EXPECT_EQ(native::SwapIntervalCalls(), before + 2);
}

TEST_F(Graphics, FlipRunsTheFlipHook) {
    static int runs = 0;
    auto count = [](int, const Ref<Object>& data, const Ref<Object>&) -> Ref<Object> {
        ++runs;
        return data;
    };
    AddHook(FlipHook(), count);
    ASSERT_TRUE(GLGraphics(160, 120));
    Flip(FlipSync::Immediate);
    Flip();
    EXPECT_EQ(runs, 2);
    RemoveHook(FlipHook(), count);
}

TEST_F(Graphics, TexturesAreSharedBetweenContexts) {
    auto first = GLGraphics(64, 64);
    ASSERT_TRUE(first);
    GLuint texture = 0;
    const uint32_t red[4] = {0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, red);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glFinish();

    auto second = CreateGraphics(64, 64);
    ASSERT_TRUE(second);
    SetGraphics(second);
    EXPECT_EQ(native::CurrentGLContext(), As<TGLGraphics>(second)->Context());
    EXPECT_TRUE(glIsTexture(texture));
    if (CurrentGLProfile() != GLProfile::Compatibility) {
        CloseGraphics(second); // no fixed-function drawing to show it with
        return;
    }
    ClearBlack();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(PixelAt(32, 32), 0xFF0000FFu);
    CloseGraphics(second);
}

TEST_F(Graphics, ClosingTheCurrentContextLeavesNoneCurrent) {
    auto g = GLGraphics(64, 64);
    ASSERT_TRUE(g);
    CloseGraphics(g);
    EXPECT_FALSE(CurrentGraphics());
    EXPECT_EQ(GraphicsWidth(), 0);
    EXPECT_EQ(native::CurrentGLContext(), nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    EXPECT_EQ(As<TGLGraphics>(g)->Context(), nullptr);
    g->Close(); // a second close does nothing
}

TEST_F(Graphics, DrawTextDrawsTheFontsPixels) {
    ASSERT_TRUE(GLGraphics(320, 64));
    ClearBlack();
    glColor3f(1, 1, 1);
    GLDrawText(u"A\u0001~", 10, 20);
    auto* font = static_cast<const uint8_t*>(EmbeddedData(S("gldrawtextfont.bin")));
    ASSERT_EQ(EmbeddedSize(S("gldrawtextfont.bin")), 1536);
    int lit = 0;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 8; ++column) {
            bool a = font[row * 96 + ('A' - 32)] >> column & 1;
            bool tilde = font[row * 96 + ('~' - 32)] >> column & 1;
            lit += a;
            ASSERT_EQ(PixelAt(10 + column, 20 + row), a ? 0xFFFFFFFFu : 0x000000FFu)
                << "A row " << row << " column " << column;
            // The character outside 32-127 leaves a gap of 8 pixels.
            ASSERT_EQ(PixelAt(18 + column, 20 + row), 0x000000FFu);
            ASSERT_EQ(PixelAt(26 + column, 20 + row), tilde ? 0xFFFFFFFFu : 0x000000FFu);
        }
    }
    EXPECT_GT(lit, 20);
    if (CurrentGLProfile() != GLProfile::Compatibility) return; // no matrices there
    // The caller's matrices are back as they were.
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_EQ(projection[0], 1.0);
    EXPECT_EQ(projection[12], 0.0);
}

TEST_F(Graphics, AdjustTexSizeRoundsUpToPowersOfTwo) {
    ASSERT_TRUE(GLGraphics(64, 64));
    int width = 300, height = 20;
    GLAdjustTexSize(width, height);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 32);
    width = 1;
    height = 0;
    GLAdjustTexSize(width, height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1);
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    width = largest * 4;
    height = 3;
    GLAdjustTexSize(width, height);
    EXPECT_EQ(width, largest);
    EXPECT_EQ(height, 1);
}

TEST_F(Graphics, TexFromPixmapMakesEveryLevelAndLeavesTheBindingAlone) {
    ASSERT_TRUE(GLGraphics(64, 64));
    auto pixmap = CreatePixmap(300, 20, PixelFormat::FormatRGB888);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 300; ++x)
            pixmap->WritePixel(x, y, 0xFF0A141Eu);
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    GLuint texture = GLTexFromPixmap(pixmap, true);
    GLint binding = 0, rowLength = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(static_cast<GLuint>(binding), other);
    EXPECT_EQ(rowLength, 7);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    auto levelSize = [](int level) {
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
        return std::pair{width, height};
    };
    EXPECT_EQ(levelSize(0), std::pair(512, 32));
    EXPECT_EQ(levelSize(5), std::pair(16, 1));
    EXPECT_EQ(levelSize(9), std::pair(1, 1));
    uint8_t texel[4] = {};
    std::vector<uint8_t> level0(512 * 32 * 4);
    if (CurrentGLProfile() == GLProfile::Compatibility) { // elsewhere texels cannot be read back
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level0.data());
        std::copy_n(level0.begin() + (511 * 4), 4, texel);
        EXPECT_EQ(texel[0], 10);
        EXPECT_EQ(texel[1], 20);
        EXPECT_EQ(texel[2], 30);
        EXPECT_EQ(texel[3], 255);
    }
    GLuint single = GLTexFromPixmap(CreatePixmap(4, 4, PixelFormat::FormatRGBA8888), false);
    glBindTexture(GL_TEXTURE_2D, single);
    EXPECT_EQ(levelSize(1).first, 0);
    EXPECT_THROW(GLTexFromPixmap(nullptr, false), RuntimeError);
}

TEST(GraphicsWithoutContext, AdjustTexSizeFailsClearly) {
    int width = 300, height = 20;
    try {
        GLAdjustTexSize(width, height);
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"Unable to calculate tex size");
    }
}

TEST_F(Graphics, ModeListFromTheDisplay) {
    SetGraphicsDriver(GLGraphicsDriver());
    ASSERT_GE(CountGraphicsModes(), 1);
    EXPECT_TRUE(GraphicsModeExists(0, 0, 0, 0));
    EXPECT_TRUE(GraphicsModeExists(1024, 768, 32));
    EXPECT_FALSE(GraphicsModeExists(1023, 0, 0, 0));
    int width, height, depth, hertz;
    GetGraphicsMode(0, width, height, depth, hertz);
    EXPECT_GE(depth, 16);
    EXPECT_THROW(GetGraphicsMode(CountGraphicsModes(), width, height, depth, hertz), RuntimeError);
    for (auto& mode : ListGraphicsModes())
        EXPECT_GE(mode->depth, 16);
}

TEST_F(Graphics, SelectingTheSameDriverKeepsModesButForgetsTheCurrentGraphics) {
    auto g = GLGraphics(64, 64);
    ASSERT_TRUE(g);
    auto modes = ListGraphicsModes();
    ASSERT_FALSE(modes.empty());
    SetGraphicsDriver(GLGraphicsDriver(), GraphicsFlags::NoFlags);
    EXPECT_FALSE(CurrentGraphics());
    EXPECT_EQ(GraphicsWidth(), 0);
    EXPECT_EQ(GraphicsDriverFlags(), GraphicsFlags::NoFlags);
    ASSERT_EQ(ListGraphicsModes().size(), modes.size());
    EXPECT_EQ(ListGraphicsModes()[0], modes[0]); // the same cached objects
    SetGraphics(g);
    EXPECT_EQ(GraphicsWidth(), 64);
}

TEST_F(Graphics, ContextsTravelThroughDataStreamsAsTheirSettings) {
    auto g = GLGraphics(320, 200);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->DataType()->Name(), u"KVO.Graphics.TGraphics");
    auto bank = CreateBank();
    CreateDataStream(CreateBankStream(bank))->WriteObject(g);
    auto reread = As<TGraphics>(CreateDataStream(CreateBankStream(bank))->ReadObject());
    ASSERT_TRUE(reread);
    EXPECT_NE(reread, g);
    int width, height, depth, hertz;
    GraphicsFlags flags;
    reread->GetSettings(width, height, depth, hertz, flags);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    EXPECT_EQ(CurrentGraphics(), reread); // read back by opening it
}

TEST_F(Graphics, AttachedContextUsesTheCallersWindowAndLeavesIt) {
    SDL_Window* own = SDL_CreateWindow("caller", 100, 100, 120, 90, SDL_WINDOW_SHOWN);
    ASSERT_TRUE(own);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(own, &info));
    auto widget = static_cast<NativeWidget>(info.info.x11.window);
    SetGraphicsDriver(GLGraphicsDriver());
    auto g = AttachGraphics(widget);
    ASSERT_TRUE(g) << SDL_GetError();
    EXPECT_EQ(As<TGLGraphics>(g)->Context()->kind, AttachedContext);
    SetGraphics(g);
    EXPECT_EQ(GraphicsWidth(), 120);
    EXPECT_EQ(GraphicsHeight(), 90);
    ClearBlack();
    EXPECT_EQ(PixelAt(5, 5), 0x000000FFu);
    CloseGraphics(g);
    // The caller's window is still there.
    std::string geometry = RunCapturing("xdotool getwindowgeometry " + std::to_string(widget));
    EXPECT_NE(geometry.find("Geometry: 120x90"), std::string::npos) << geometry;
    SDL_DestroyWindow(own);
}

namespace {

void SendFocus(uint32_t window, Uint8 change) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = change;
    event.window.windowID = window;
    SDL_PushEvent(&event);
}

} // namespace

// Switching away from the full-screen window gives the desktop its mode back;
// coming back sets the display mode again.
TEST_F(Graphics, FullScreenFollowsTheFocus) {
    auto g = GLGraphics(1024, 768, 32);
    ASSERT_TRUE(g);
    auto* record = As<TGLGraphics>(g)->Context();
    DelayMillis(200); // the focus the new window got arrives first
    while (PollEvent() != EventId::NoEvent) {
    }
    SendFocus(record->windowId, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_TRUE(IsAppSuspended());
    EXPECT_FALSE(SDL_GetWindowFlags(record->window) & SDL_WINDOW_FULLSCREEN);
    SendFocus(record->windowId, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(IsAppSuspended());
    EXPECT_TRUE(SDL_GetWindowFlags(record->window) & SDL_WINDOW_FULLSCREEN);
    // The focus set the swap interval: a synchronised flip asks for its own again.
    Flip(FlipSync::VerticalBlank);
    int before = native::SwapIntervalCalls();
    SendFocus(record->windowId, SDL_WINDOWEVENT_FOCUS_LOST);
    SendFocus(record->windowId, SDL_WINDOWEVENT_FOCUS_GAINED);
    PollSystemEvents();
    Flip(FlipSync::VerticalBlank);
    EXPECT_EQ(native::SwapIntervalCalls(), before + 3);
    int suspends = 0, resumes = 0;
    for (EventId id; (id = PollEvent()) != EventId::NoEvent;) {
        suspends += id == EventId::AppSuspend;
        resumes += id == EventId::AppResume;
    }
    // Windows of tests running beside this one may move the real focus too.
    EXPECT_GE(suspends, 1);
    EXPECT_GE(resumes, 1);
}

// What opening graphics changes for the whole process, and the variables
// that keep it as it was. Full screen moves the pointer to the middle of the
// screen unless ZANDREL_KEEP_POINTER=1.
TEST_F(Graphics, FullScreenCentresThePointerUnlessKept) {
    struct Case {
        const char* keep;
        int x, y;
    };
    ASSERT_TRUE(OpenGraphics(320, 240)); // video up, for the pointer
    for (const auto& c : {Case{"", 512, 384}, Case{"1", 10, 20}}) {
        setenv("ZANDREL_KEEP_POINTER", c.keep, 1);
        SDL_WarpMouseGlobal(10, 20);
        ASSERT_TRUE(OpenGraphics(1024, 768, 32));
        int x = -1, y = -1;
        SDL_GetGlobalMouseState(&x, &y);
        EXPECT_EQ(x, c.x) << "ZANDREL_KEEP_POINTER=" << c.keep;
        EXPECT_EQ(y, c.y) << "ZANDREL_KEEP_POINTER=" << c.keep;
    }
    unsetenv("ZANDREL_KEEP_POINTER");
}
