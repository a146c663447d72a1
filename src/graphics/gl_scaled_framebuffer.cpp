#include "gl_scaled_framebuffer.hpp"
#include "gl_context.hpp"

#include "gl_functions.hpp"

namespace zandrel {

namespace {

GLuint Renderbuffer(GLenum format, int width, int height) {
    auto& gl = GL();
    GLuint name = 0;
    gl.GenRenderbuffers(1, &name);
    gl.BindRenderbuffer(GL_RENDERBUFFER, name);
    gl.RenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
    return name;
}

// The state a present changes besides the draw binding, put back after it.
class PresentState {
public:
    PresentState() {
        scissor_ = GL().IsEnabled(GL_SCISSOR_TEST);
        GL().GetBooleanv(GL_COLOR_WRITEMASK, mask_);
        GL().GetFloatv(GL_COLOR_CLEAR_VALUE, clear_);
        GL().Disable(GL_SCISSOR_TEST);
        GL().ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        GL().ClearColor(0, 0, 0, 1);
    }
    ~PresentState() {
        if (scissor_) GL().Enable(GL_SCISSOR_TEST);
        GL().ColorMask(mask_[0], mask_[1], mask_[2], mask_[3]);
        GL().ClearColor(clear_[0], clear_[1], clear_[2], clear_[3]);
    }
    PresentState(const PresentState&) = delete;
    PresentState& operator=(const PresentState&) = delete;

private:
    GLboolean scissor_ = GL_FALSE;
    GLboolean mask_[4] = {};
    GLfloat clear_[4] = {};
};

} // namespace

ScaledArea FitScaled(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight) {
    ScaledArea area;
    if (pictureWidth <= 0 || pictureHeight <= 0) return area;
    int64_t pw = pictureWidth, ph = pictureHeight;
    if (int64_t{windowWidth} * ph <= int64_t{windowHeight} * pw) {
        area.width = windowWidth;
        area.height = static_cast<int>((windowWidth * ph + pw / 2) / pw);
    } else {
        area.height = windowHeight;
        area.width = static_cast<int>((windowHeight * pw + ph / 2) / ph);
    }
    area.left = (windowWidth - area.width) / 2;
    area.top = (windowHeight - area.height) / 2;
    return area;
}

bool WholeScale(const ScaledArea& area, int pictureWidth, int pictureHeight) {
    return pictureWidth > 0 && pictureHeight > 0 && area.width % pictureWidth == 0 &&
           area.height % pictureHeight == 0 &&
           area.width / pictureWidth == area.height / pictureHeight;
}

bool CreateScaledFramebuffer(ScaledFramebuffer& target, int width, int height,
                             GraphicsFlags flags) {
    auto& gl = GL();
    // GrabPixmap reads alpha: it reads as it would from the window's own buffer.
    GLint alphaBits = 0;
    if (CurrentGLProfile() == GLProfile::Core) // which has no such query
        alphaBits = (flags & GraphicsFlags::AlphaBuffer) ? 8 : 0;
    else
        gl.GetIntegerv(GL_ALPHA_BITS, &alphaBits);
    ScaledFramebuffer made;
    made.width = width;
    made.height = height;
    made.colour = Renderbuffer(alphaBits > 0 ? GL_RGBA8 : GL_RGB8, width, height);
    gl.GenFramebuffers(1, &made.framebuffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, made.framebuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, made.colour);
    if (flags & (GraphicsFlags::DepthBuffer | GraphicsFlags::StencilBuffer)) {
        made.depthStencil = Renderbuffer(GL_DEPTH24_STENCIL8, width, height);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                   made.depthStencil);
    }
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        DeleteScaledFramebuffer(made);
        while (gl.GetError() != GL_NO_ERROR) {
        }
        return false;
    }
    // A context sizes these to its window when first made current.
    gl.Viewport(0, 0, width, height);
    gl.Scissor(0, 0, width, height);
    target = made;
    return true;
}

void DeleteScaledFramebuffer(ScaledFramebuffer& target) {
    auto& gl = GL();
    if (target.framebuffer) gl.DeleteFramebuffers(1, &target.framebuffer);
    GLuint buffers[2] = {target.colour, target.depthStencil};
    gl.DeleteRenderbuffers(2, buffers);
    target = ScaledFramebuffer();
}

void PresentScaled(const ScaledFramebuffer& source, const ScaledArea& area, int windowHeight) {
    if (!source.framebuffer) return;
    auto& gl = GL();
    PresentState saved;
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, source.framebuffer);
    gl.Clear(GL_COLOR_BUFFER_BIT);
    int bottom = windowHeight - area.top - area.height;
    GLenum filter = WholeScale(area, source.width, source.height) ? GL_NEAREST : GL_LINEAR;
    gl.BlitFramebuffer(0, 0, source.width, source.height, area.left, bottom, area.left + area.width,
                       bottom + area.height, GL_COLOR_BUFFER_BIT, filter);
    gl.BindFramebuffer(GL_FRAMEBUFFER, source.framebuffer);
}

} // namespace zandrel
