// The GL functions the shader drivers call, looked up by name through the
// platform rather than linked: what OpenGL ES 3.0 and OpenGL 3.3 core both
// offer, under the names a browser's WebGL 2 binding gives as well. One table
// for the whole process: the platform's addresses do not depend on the context.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES // declared only, for their types; nothing is linked by name
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <initializer_list>
#include <string>

namespace zandrel {

#define ZANDREL_GL_FUNCTIONS(X)                                                                    \
    X(ActiveTexture)                                                                               \
    X(AttachShader)                                                                                \
    X(BindAttribLocation)                                                                          \
    X(BindBuffer)                                                                                  \
    X(BindFramebuffer)                                                                             \
    X(BindRenderbuffer)                                                                            \
    X(BindTexture)                                                                                 \
    X(BindVertexArray)                                                                             \
    X(BlendFunc)                                                                                   \
    X(BlitFramebuffer)                                                                             \
    X(BufferData)                                                                                  \
    X(BufferSubData)                                                                               \
    X(CheckFramebufferStatus)                                                                      \
    X(Clear)                                                                                       \
    X(ClearColor)                                                                                  \
    X(ColorMask)                                                                                   \
    X(CompileShader)                                                                               \
    X(CreateProgram)                                                                               \
    X(CreateShader)                                                                                \
    X(DeleteBuffers)                                                                               \
    X(DeleteFramebuffers)                                                                          \
    X(DeleteProgram)                                                                               \
    X(DeleteRenderbuffers)                                                                         \
    X(DeleteShader)                                                                                \
    X(DeleteTextures)                                                                              \
    X(DeleteVertexArrays)                                                                          \
    X(Disable)                                                                                     \
    X(DrawArrays)                                                                                  \
    X(DrawElements)                                                                                \
    X(Enable)                                                                                      \
    X(EnableVertexAttribArray)                                                                     \
    X(Finish)                                                                                      \
    X(Flush)                                                                                       \
    X(FramebufferRenderbuffer)                                                                     \
    X(FramebufferTexture2D)                                                                        \
    X(GenBuffers)                                                                                  \
    X(GenFramebuffers)                                                                             \
    X(GenRenderbuffers)                                                                            \
    X(GenTextures)                                                                                 \
    X(GenVertexArrays)                                                                             \
    X(GetBooleanv)                                                                                 \
    X(GetError)                                                                                    \
    X(GetFloatv)                                                                                   \
    X(GetActiveUniform)                                                                            \
    X(GetIntegerv)                                                                                 \
    X(GetProgramInfoLog)                                                                           \
    X(GetProgramiv)                                                                                \
    X(GetShaderInfoLog)                                                                            \
    X(GetShaderiv)                                                                                 \
    X(GetString)                                                                                   \
    X(GetUniformLocation)                                                                          \
    X(IsEnabled)                                                                                   \
    X(LineWidth)                                                                                   \
    X(LinkProgram)                                                                                 \
    X(PixelStorei)                                                                                 \
    X(ReadPixels)                                                                                  \
    X(RenderbufferStorage)                                                                         \
    X(Scissor)                                                                                     \
    X(ShaderSource)                                                                                \
    X(TexImage2D)                                                                                  \
    X(TexParameteri)                                                                               \
    X(TexSubImage2D)                                                                               \
    X(Uniform1f)                                                                                   \
    X(Uniform1i)                                                                                   \
    X(Uniform2f)                                                                                   \
    X(Uniform3f)                                                                                   \
    X(Uniform4f)                                                                                   \
    X(UseProgram)                                                                                  \
    X(VertexAttribPointer)                                                                         \
    X(Viewport)

// Members named as the GL functions without their "gl".
struct GLFunctions {
#define ZANDREL_GL_MEMBER(name) decltype(&::gl##name) name = nullptr;
    ZANDREL_GL_FUNCTIONS(ZANDREL_GL_MEMBER)
#undef ZANDREL_GL_MEMBER
};

// Looked up on the first call, which needs a context of this module to have
// been made. Throws RuntimeError "The GL lacks gl..." naming the first
// function the platform does not have.
const GLFunctions& GL();

// A program of the two shader bodies behind the version line of the current
// context's profile ("#version 300 es" or "#version 330 core"), with the
// attributes at locations 0, 1, 2... in the order named. Throws RuntimeError
// with the GL's log when it does not compile or link.
GLuint BuildGLProgram(const char* vertexBody, const char* fragmentBody,
                      std::initializer_list<const char*> attributes);

// What LinkGLProgram gives: the program, or 0 and the GL's log of what failed.
struct GLProgramBuild {
    GLuint program = 0;
    bool compiled = false; // both shaders compiled: a failure is the link's
    std::string log;
};
// A program of two complete sources, version lines included, with the
// attributes bound as BuildGLProgram binds them; throws nothing.
GLProgramBuild LinkGLProgram(const char* vertexSource, const char* fragmentSource,
                             std::initializer_list<const char*> attributes);

} // namespace zandrel
