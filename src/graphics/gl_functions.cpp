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

// The shader, or 0 with the GL's log in `log`.
GLuint CompileShader(GLenum kind, const char* const* parts, GLsizei count, std::string& log) {
    auto& gl = GL();
    GLuint shader = gl.CreateShader(kind);
    gl.ShaderSource(shader, count, parts, nullptr);
    gl.CompileShader(shader);
    GLint compiled = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    char text[2048] = {};
    gl.GetShaderInfoLog(shader, sizeof text, nullptr, text);
    gl.DeleteShader(shader);
    log = text;
    return 0;
}

GLProgramBuild Link(const char* const (&vertex)[2], const char* const (&fragment)[2],
                    std::initializer_list<const char*> attributes) {
    auto& gl = GL();
    GLProgramBuild made;
    GLuint vertexShader = CompileShader(GL_VERTEX_SHADER, vertex, 2, made.log);
    if (!vertexShader) return made;
    GLuint fragmentShader = CompileShader(GL_FRAGMENT_SHADER, fragment, 2, made.log);
    if (!fragmentShader) {
        gl.DeleteShader(vertexShader);
        return made;
    }
    made.compiled = true;
    GLuint program = gl.CreateProgram();
    gl.AttachShader(program, vertexShader);
    gl.AttachShader(program, fragmentShader);
    GLuint location = 0;
    for (const char* name : attributes)
        gl.BindAttribLocation(program, location++, name);
    gl.LinkProgram(program);
    gl.DeleteShader(vertexShader);
    gl.DeleteShader(fragmentShader);
    GLint linked = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) {
        made.program = program;
        return made;
    }
    char text[2048] = {};
    gl.GetProgramInfoLog(program, sizeof text, nullptr, text);
    gl.DeleteProgram(program);
    made.log = text;
    return made;
}

} // namespace

GLuint BuildGLProgram(const char* vertexBody, const char* fragmentBody,
                      std::initializer_list<const char*> attributes) {
    const char* version = VersionLine();
    auto made = Link({version, vertexBody}, {version, fragmentBody}, attributes);
    if (made.program) return made.program;
    throw RuntimeError(
        (made.compiled ? S("A shader program does not link: ") : S("A shader does not compile: ")) +
        FromUtf8(made.log));
}

GLProgramBuild LinkGLProgram(const char* vertexSource, const char* fragmentSource,
                             std::initializer_list<const char*> attributes) {
    return Link({"", vertexSource}, {"", fragmentSource}, attributes);
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
