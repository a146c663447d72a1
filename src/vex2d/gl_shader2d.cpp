#include "gl_shader2d.hpp"
#include "gl_vex2d.hpp"
#include "graphics/gl_context.hpp"
#include "graphics/gl_functions.hpp"
#include "graphics/gl_graphics.hpp"

#include <regex>
#include <sstream>

namespace zandrel {

namespace {

// The fixed-function driver's vertices are already pixels, which its
// projection maps; the shader driver's come as its batcher streams them.
constexpr const char* LegacyVertexSource = R"(#version 120
varying vec2 zScreen;
void main() {
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    zScreen = gl_Vertex.xy;
}
)";

constexpr const char* VertexBody = R"(
in vec2 position;
in vec2 texCoord;
in vec4 colour;
uniform vec2 toClip;
uniform vec2 clipShift;
out vec2 zUv;
out vec4 zColour;
out vec2 zScreen;
void main() {
    zUv = texCoord;
    zColour = colour;
    zScreen = position;
    gl_Position = vec4(position * toClip + clipShift, 0.0, 1.0);
    gl_PointSize = 1.0;
}
)";

// What differs between GLSL 1.20 and the 3.x dialects, line for line.
struct Dialect {
    const char* version;
    const char* inputs;
    const char* sample; // the texture function
    const char* colour; // the interpolated colour, texture coordinate and output
    const char* uv;
    const char* output;
};

constexpr Dialect Legacy{"#version 120\n", "varying vec2 zScreen;\n", "texture2D",
                         "gl_Color",       "gl_TexCoord[0].st",       "gl_FragColor"};
constexpr Dialect Core{"#version 330 core\n",
                       "in vec2 zUv;\nin vec4 zColour;\nin vec2 zScreen;\nout vec4 zOut;\n",
                       "texture",
                       "zColour",
                       "zUv",
                       "zOut"};
constexpr Dialect ES{"#version 300 es\nprecision highp float;\nprecision highp int;\n",
                     Core.inputs,
                     "texture",
                     "zColour",
                     "zUv",
                     "zOut"};

const Dialect& DialectOf(GLProfile profile) {
    switch (profile) {
    case GLProfile::Core:
        return Core;
    case GLProfile::ES:
        return ES;
    default:
        return Legacy;
    }
}

bool DeclaresUniform(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    return start != std::string::npos && line.compare(start, 8, "uniform ") == 0;
}

// Appends text whose lines are the wrapping's own or, with `bodyLine`,
// the body's.
void Put(Shader2DSource& source, const std::string& text, int bodyLine = 0) {
    source.text += text;
    for (char c : text)
        if (c == '\n') source.bodyLines.push_back(bodyLine);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

[[noreturn]] void ThrowTypeMismatch() {
    throw RuntimeError("Shader uniform type does not match");
}

} // namespace

// The uniforms the body declares go before the function it becomes, which
// keeps their line numbers with them.
Shader2DSource Shader2DFragmentSource(const std::string& body, GLProfile profile) {
    const Dialect& d = DialectOf(profile);
    Shader2DSource source;
    Put(source, d.version);
    Put(source, d.inputs);
    Put(source, "uniform sampler2D picture;\nuniform bool zTextured;\nuniform bool zAlphaTest;\n");
    Put(source, std::string("vec4 pick(sampler2D zTexture, vec2 zAt) { return ") + d.sample +
                    "(zTexture, zAt); }\n");
    auto lines = Lines(body);
    for (size_t k = 0; k < lines.size(); ++k)
        if (DeclaresUniform(lines[k])) Put(source, lines[k] + "\n", static_cast<int>(k) + 1);
    Put(source, "void shade(vec4 colour, vec4 texel, vec2 uv, vec2 screen, inout vec4 result) {\n");
    for (size_t k = 0; k < lines.size(); ++k)
        Put(source, DeclaresUniform(lines[k]) ? "\n" : lines[k] + "\n", static_cast<int>(k) + 1);
    Put(source, std::string("}\nvoid main() {\n") + "    vec4 zTexel = zTextured ? " + d.sample +
                    "(picture, " + d.uv + ") : vec4(1.0);\n" + "    vec4 zResult = " + d.colour +
                    " * zTexel;\n" + "    shade(" + d.colour + ", zTexel, " + d.uv +
                    ", zScreen, zResult);\n" + "    if (zAlphaTest && zResult.a < 0.5) discard;\n" +
                    "    " + d.output + " = zResult;\n}\n");
    return source;
}

std::string Shader2DBodyLog(const std::string& log, const std::vector<int>& bodyLines) {
    static const std::regex located(R"(^((?:ERROR: |WARNING: )?\d+:)(\d+)|^(\d+\()(\d+)(\)))");
    std::string out;
    for (const std::string& line : Lines(log)) {
        std::smatch m;
        if (!std::regex_search(line, m, located)) {
            out += line + "\n";
            continue;
        }
        int group = m[2].matched ? 2 : 4;
        long number = std::stol(m[group].str());
        bool known = number >= 1 && static_cast<size_t>(number) <= bodyLines.size() &&
                     bodyLines[static_cast<size_t>(number) - 1] > 0;
        std::string shown =
            known ? std::to_string(bodyLines[static_cast<size_t>(number) - 1]) : m[group].str();
        out += line.substr(0, static_cast<size_t>(m.position(group))) + shown +
               line.substr(static_cast<size_t>(m.position(group) + m.length(group))) + "\n";
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\0'))
        out.pop_back();
    return out;
}

TGLShader2D::TGLShader2D(const String& shaderBody) {
    body = shaderBody;
    ProgramOfCurrentProfile();
}

// A program is deleted only where its shared context can still be reached;
// one whose contexts are gone went with them.
TGLShader2D::~TGLShader2D() {
    GLContext* current = native::CurrentGLContext();
    if (!current) return;
    Program& p = programs_[static_cast<size_t>(current->profile)];
    GLContext* shared = native::SharedGLContext(current->profile);
    if (!p.name || !shared || shared->serial != p.sharedContext) return;
    InSharedContext inShared;
    GL().DeleteProgram(p.name);
}

TGLShader2D::Program TGLShader2D::Build(GLProfile profile) const {
    auto fragment = Shader2DFragmentSource(ToUtf8(body), profile);
    std::string vertex = profile == GLProfile::Compatibility
                             ? LegacyVertexSource
                             : std::string(DialectOf(profile).version) + VertexBody;
    auto made =
        LinkGLProgram(vertex.c_str(), fragment.text.c_str(), {"position", "texCoord", "colour"});
    if (!made.program)
        throw RuntimeError(
            (made.compiled ? S("Shader does not link: ") : S("Shader does not compile: ")) +
            FromUtf8(Shader2DBodyLog(made.log, fragment.bodyLines)));
    auto& gl = GL();
    Program p;
    p.name = made.program;
    GLint count = 0;
    gl.GetProgramiv(p.name, GL_ACTIVE_UNIFORMS, &count);
    for (GLint k = 0; k < count; ++k) {
        char name[256] = {};
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        gl.GetActiveUniform(p.name, static_cast<GLuint>(k), sizeof name, &length, &size, &type,
                            name);
        p.uniforms[name] = {gl.GetUniformLocation(p.name, name), type};
    }
    auto location = [&](const char* name) {
        auto found = p.uniforms.find(name);
        return found == p.uniforms.end() ? -1 : found->second.location;
    };
    p.textured = location("zTextured");
    p.alphaTest = location("zAlphaTest");
    p.inputs = {location("toClip"), location("clipShift")};
    return p;
}

TGLShader2D::Program& TGLShader2D::ProgramOfCurrentProfile() {
    GLContext* current = native::CurrentGLContext();
    if (!current) throw RuntimeError("No 2D graphics is current");
    GLProfile profile = current->profile;
    Program& p = programs_[static_cast<size_t>(profile)];
    GLContext* shared = native::SharedGLContext(profile);
    uint64_t serial = shared ? shared->serial : current->serial;
    if (p.name && p.sharedContext == serial) return p;
    InSharedContext inShared;
    Program made = Build(profile);
    made.sharedContext = serial;
    p = std::move(made);
    return p;
}

void TGLShader2D::Apply(const Program& p) {
    auto& gl = GL();
    for (const auto& [name, value] : values_) {
        auto found = p.uniforms.find(name);
        if (found == p.uniforms.end()) continue;
        GLint at = found->second.location;
        if (auto* texture = std::get_if<Texture>(&value)) {
            gl.Uniform1i(at, texture->unit);
        } else if (auto* number = std::get_if<int>(&value)) {
            gl.Uniform1i(at, *number);
        } else {
            const auto& f = std::get<std::array<float, 4>>(value);
            switch (found->second.type) {
            case GL_FLOAT:
                gl.Uniform1f(at, f[0]);
                break;
            case GL_FLOAT_VEC2:
                gl.Uniform2f(at, f[0], f[1]);
                break;
            case GL_FLOAT_VEC3:
                gl.Uniform3f(at, f[0], f[1], f[2]);
                break;
            default:
                gl.Uniform4f(at, f[0], f[1], f[2], f[3]);
                break;
            }
        }
    }
}

Shader2DInputs TGLShader2D::Use(bool textured, bool alphaTest) {
    Program& p = ProgramOfCurrentProfile();
    auto& gl = GL();
    gl.UseProgram(p.name);
    if (p.applied != version_) {
        Apply(p);
        p.applied = version_;
    }
    for (auto& [name, value] : values_) {
        auto* texture = std::get_if<Texture>(&value);
        if (!texture) continue;
        auto* frame = dynamic_cast<TGLImageFrame*>(texture->image->Frame(texture->frame).get());
        if (!frame) continue;
        gl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(texture->unit));
        gl.BindTexture(GL_TEXTURE_2D, frame->texture);
        auto extent = p.uniforms.find(name + "_extent");
        if (extent != p.uniforms.end())
            gl.Uniform2f(extent->second.location, frame->uMax, frame->vMax);
    }
    gl.ActiveTexture(GL_TEXTURE0);
    if (p.lastTextured != int{textured}) {
        gl.Uniform1i(p.textured, textured);
        p.lastTextured = textured;
    }
    if (p.lastAlphaTest != int{alphaTest}) {
        gl.Uniform1i(p.alphaTest, alphaTest);
        p.lastAlphaTest = alphaTest;
    }
    return p.inputs;
}

void TGLShader2D::Check(const std::string& name, std::initializer_list<unsigned> types) {
    const Program& p = ProgramOfCurrentProfile();
    auto found = p.uniforms.find(name);
    if (found == p.uniforms.end()) return;
    for (unsigned type : types)
        if (found->second.type == type) return;
    ThrowTypeMismatch();
}

void TGLShader2D::SetFloats(const std::string& name, const float* values, int count) {
    static constexpr unsigned types[] = {GL_FLOAT, GL_FLOAT_VEC2, GL_FLOAT_VEC3, GL_FLOAT_VEC4};
    if (count < 1 || count > 4) ThrowTypeMismatch();
    Check(name, {types[count - 1]});
    std::array<float, 4> f{};
    for (int k = 0; k < count; ++k)
        f[static_cast<size_t>(k)] = values[k];
    values_[name] = f;
    ++version_;
}

void TGLShader2D::SetInt(const std::string& name, int value) {
    Check(name, {GL_INT, GL_BOOL});
    values_[name] = value;
    ++version_;
}

// Unit 0 is the drawn image's; each texture uniform keeps the unit it got first.
void TGLShader2D::SetTexture(const std::string& name, const Ref<TImage>& image, int frame) {
    constexpr int MaxTextures = 7;
    CheckedImage(image).Frame(frame);
    Check(name, {GL_SAMPLER_2D});
    auto found = values_.find(name);
    int unit = 0;
    if (found != values_.end() && std::holds_alternative<Texture>(found->second)) {
        unit = std::get<Texture>(found->second).unit;
    } else {
        if (texturesUsed_ == MaxTextures) throw RuntimeError("Too many shader textures");
        unit = ++texturesUsed_;
    }
    values_[name] = Texture{image, frame, unit};
    ++version_;
}

} // namespace zandrel
