// Shaders of a program's own for both OpenGL 2D drivers: the body wrapped
// for the GLSL of each context profile, one program per profile made in its
// shared context, and the uniform values the program keeps.
#pragma once

#include <zandrel/vex2d.hpp>

#include <array>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace zandrel {

// Where the wrapped program's own inputs are, for the driver drawing with it.
struct Shader2DInputs {
    int toClip = -1, clipShift = -1; // the shader driver's pixel projection
};

class TGLShader2D : public TShader2D {
public:
    // Compiled for the current context's profile at once. Throws as
    // CreateShader2D says.
    explicit TGLShader2D(const String& shaderBody);
    ~TGLShader2D() override;

    void SetFloats(const std::string& name, const float* values, int count) override;
    void SetInt(const std::string& name, int value) override;
    void SetTexture(const std::string& name, const Ref<TImage>& image, int frame) override;

    // Makes the program of the current context's profile current, made first
    // when that profile has none or its shared context is a new one, with
    // the values set since applied and the textures bound. `textured`: the
    // drawing samples the texture bound to unit 0; `alphaTest`: pixels below
    // half alpha are dropped (the fixed-function GL tests alpha itself).
    Shader2DInputs Use(bool textured, bool alphaTest);
    // Compiled for the current context's profile if it is not yet.
    void Prepare() { ProgramOfCurrentProfile(); }

private:
    struct Texture {
        Ref<TImage> image;
        int frame = 0;
        int unit = 0;
    };
    using Value = std::variant<std::array<float, 4>, int, Texture>;
    struct Active {
        int location = -1;
        unsigned type = 0;
    };
    struct Program {
        unsigned name = 0;
        uint64_t sharedContext = 0; // the serial of the shared context it was made in
        uint64_t applied = 0;       // the values' version last applied
        int textured = -1, alphaTest = -1;
        int lastTextured = -1, lastAlphaTest = -1;
        Shader2DInputs inputs;
        std::map<std::string, Active> uniforms;
    };

    Program& ProgramOfCurrentProfile();
    Program Build(GLProfile profile) const;
    void Apply(const Program& program);
    // The uniform's type in the program of the current profile, checked
    // against `types` (0 when unused). Throws "Shader uniform type does not match".
    void Check(const std::string& name, std::initializer_list<unsigned> types);

    std::array<Program, 3> programs_; // by GLProfile
    std::map<std::string, Value> values_;
    uint64_t version_ = 1;
    int texturesUsed_ = 0;
};

// A body wrapped for a profile: the fragment source and, for each of its
// lines from 1, the body's line it came from (0 for the wrapping's own).
struct Shader2DSource {
    std::string text;
    std::vector<int> bodyLines;
};
Shader2DSource Shader2DFragmentSource(const std::string& body, GLProfile profile);
// The GL's log with the fragment source's line numbers made the body's:
// "0:LINE(COL): ..." (Mesa), "ERROR: 0:LINE: ..." (WebGL) and "0(LINE) : ...".
std::string Shader2DBodyLog(const std::string& log, const std::vector<int>& bodyLines);

} // namespace zandrel
