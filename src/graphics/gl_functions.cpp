#include "gl_functions.hpp"
#include "gl_context.hpp"

#include <string>

namespace zandrel {

namespace {

template <class Function> void Load(Function& function, const char* name) {
    function = reinterpret_cast<Function>(native::GLProcAddress(name));
    if (!function) throw RuntimeError(S("The GL lacks ") + FromUtf8(name));
}

GLFunctions Loaded() {
    GLFunctions table;
#define ZANDREL_GL_LOAD(name) Load(table.name, "gl" #name);
    ZANDREL_GL_FUNCTIONS(ZANDREL_GL_LOAD)
#undef ZANDREL_GL_LOAD
    return table;
}

const char* VersionLine() {
    return CurrentGLProfile() == GLProfile::ES ? "#version 300 es\n" : "#version 330 core\n";
}

GLuint CompileShader(GLenum kind, const char* body) {
    auto& gl = GL();
    GLuint shader = gl.CreateShader(kind);
    const char* parts[2] = {VersionLine(), body};
    gl.ShaderSource(shader, 2, parts, nullptr);
    gl.CompileShader(shader);
    GLint compiled = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    char log[1024] = {};
    gl.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    gl.DeleteShader(shader);
    throw RuntimeError(S("A shader does not compile: ") + FromUtf8(log));
}

} // namespace

GLuint BuildGLProgram(const char* vertexBody, const char* fragmentBody,
                      std::initializer_list<const char*> attributes) {
    auto& gl = GL();
    GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexBody);
    GLuint fragment = 0;
    try {
        fragment = CompileShader(GL_FRAGMENT_SHADER, fragmentBody);
    } catch (...) {
        gl.DeleteShader(vertex);
        throw;
    }
    GLuint program = gl.CreateProgram();
    gl.AttachShader(program, vertex);
    gl.AttachShader(program, fragment);
    GLuint location = 0;
    for (const char* name : attributes)
        gl.BindAttribLocation(program, location++, name);
    gl.LinkProgram(program);
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    GLint linked = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) return program;
    char log[1024] = {};
    gl.GetProgramInfoLog(program, sizeof log, nullptr, log);
    gl.DeleteProgram(program);
    throw RuntimeError(S("A shader program does not link: ") + FromUtf8(log));
}

const GLFunctions& GL() {
    static const GLFunctions table = Loaded();
    return table;
}

GLProfile CurrentGLProfile() {
    return native::CurrentGLContextProfile();
}

void* GLProcAddress(const char* name) {
    return name ? native::GLProcAddress(name) : nullptr;
}

} // namespace zandrel
