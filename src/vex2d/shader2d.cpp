#include "vex2d_parts.hpp"

namespace zandrel {

namespace {

[[noreturn]] void ThrowNoShaders() {
    throw RuntimeError("This 2D driver cannot run shaders");
}

// What is drawn before a uniform changes keeps the value it was drawn with.
TShader2D& ShaderToChange(TVex2DGraphics& s) {
    if (!s.shader) throw RuntimeError("No shader is set");
    s.driver->Flush();
    return *s.shader;
}

void SetFloats(std::string_view name, std::initializer_list<float> values) {
    auto& s = CurrentVex2D();
    ShaderToChange(s).SetFloats(std::string(name), values.begin(), static_cast<int>(values.size()));
    s.driver->SetShader(s.shader);
}

} // namespace

Ref<TShader2D> TVex2DDriver::CreateShader(const String&) {
    ThrowNoShaders();
}

void TVex2DDriver::SetShader(const Ref<TShader2D>&) {
    ThrowNoShaders();
}

Ref<TShader2D> CreateShader2D(const String& body) {
    return CurrentVex2D().driver->CreateShader(body);
}

void SetShader(const Ref<TShader2D>& shader) {
    auto& s = CurrentVex2D();
    s.driver->SetShader(shader);
    s.shader = shader;
}

Ref<TShader2D> GetShader() {
    return CurrentVex2D().shader;
}

void SetShaderUniform(std::string_view name, float x) {
    SetFloats(name, {x});
}

void SetShaderUniform(std::string_view name, float x, float y) {
    SetFloats(name, {x, y});
}

void SetShaderUniform(std::string_view name, float x, float y, float z) {
    SetFloats(name, {x, y, z});
}

void SetShaderUniform(std::string_view name, float x, float y, float z, float w) {
    SetFloats(name, {x, y, z, w});
}

void SetShaderUniform(std::string_view name, int value) {
    auto& s = CurrentVex2D();
    ShaderToChange(s).SetInt(std::string(name), value);
    s.driver->SetShader(s.shader);
}

void SetShaderTexture(std::string_view name, const Ref<TImage>& image, int frame) {
    auto& s = CurrentVex2D();
    ShaderToChange(s).SetTexture(std::string(name), image, frame);
    s.driver->SetShader(s.shader);
}

} // namespace zandrel
