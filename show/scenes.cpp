// The sixteen scenes. Float state is single precision; sums that involve a
// sine or cosine are formed in double precision and rounded when stored.
#include "show_state.hpp"

#include <zandrel/system.hpp>

namespace zandrel::show {

namespace {

constexpr BlendMode Alpha = BlendMode::Alpha, Light = BlendMode::Light;

void PhaseStep(ShowState& s) {
    s.phase += 0.5f;
    s.swing = static_cast<float>(600 * SinDeg(s.phase));
}

// Places swarm entry i on its orbit and turns the renderer to its rotation.
void Orbit(ShowState& s, int i) {
    ShowTables& t = s.tables;
    float angle = static_cast<float>(t.swarmAngle[i]) + s.swing;
    t.swarmX[i] = static_cast<float>(400 + SinDeg(angle) * t.swarmRadius[i]);
    t.swarmY[i] = static_cast<float>(300 + CosDeg(angle) * t.swarmRadius[i]);
    SetRotation(static_cast<float>(t.swarmSpin[i]) + s.phase);
}

using Shape = void (*)(float x, float y, float width, float height);

// Entry i on its orbit, turned, drawn as a shape of radius / divisor, with
// `shiftX` added to the drawn x only.
void DrawSwarmShape(ShowState& s, int i, int divisor, Shape shape, float shiftX = 0) {
    ShowTables& t = s.tables;
    Orbit(s, i);
    float size = static_cast<float>(t.swarmRadius[i] / divisor);
    shape(t.swarmX[i] + shiftX, t.swarmY[i], size, size);
}

// The banner over the rings, drawn plainly.
void DrawBanner(const Ref<TImage>& banner) {
    SetAlpha(1);
    SetRotation(0);
    SetColor(255, 255, 255);
    DrawImage(banner, 5, 400, 0);
}

// --- Scene 1: drifting sprites ------------------------------------------------

void DriftEnter(ShowState&) {
    SetBlendMode(BlendMode::Alpha);
    SetClearColor(200, 200, 255);
}

float Drift(float x, float step) {
    x += step;
    return x > 890 ? -240.0f : x;
}

void DriftFrame(ShowState& s) {
    ShowTables& t = s.tables;
    const auto& ost = s.media.ost;
    for (int i = 0; i < driftCount; ++i) {
        t.driftX1[i] = Drift(t.driftX1[i], 1.0f);
        t.driftX2[i] = Drift(t.driftX2[i], 2.0f);
        t.driftX3[i] = Drift(t.driftX3[i], 3.0f);
        SetRotation(t.driftX1[i]);
        SetScale(0.1f, 0.1f);
        SetAlpha(0.2f);
        DrawImage(ost, t.driftX1[i], t.driftY1[i], 0);
        SetScale(0.2f, 0.2f);
        SetAlpha(0.4f);
        DrawImage(ost, t.driftX2[i], t.driftY2[i], 0);
        SetScale(0.4f, 0.4f);
        SetAlpha(1.0f);
        DrawImage(ost, t.driftX3[i], t.driftY3[i], 0);
    }
    FeedbackMirror(0, 1.0f);
}

void DriftLeave(ShowState&) {
    SetScale(1, 1);
    SetRotation(0);
    SetClearColor(0, 0, 0);
}

// --- Still pictures -------------------------------------------------------------

void Nothing(ShowState&) {}

void SaippuaFrame(ShowState& s) {
    DrawImage(s.media.saippua, 0, 0, 0);
}
void SoapsFrame(ShowState& s) {
    DrawImage(s.media.soaps, 0, 0, 0);
}
void VurnFrame(ShowState& s) {
    DrawImage(s.media.vurn, 0, 0, 0);
}
void TheEndFrame(ShowState& s) {
    DrawImage(s.media.thend, 0, 0, 0);
}

// --- Scenes 3 to 5: orbits ------------------------------------------------------

void PulseEnter(ShowState&) {
    SetClearColor(255, 255, 255);
    SetBlendMode(BlendMode::Alpha);
    SetAlpha(0.8f);
    SetScale(0.5f, 0.5f);
}

void PulseFrame(ShowState& s) {
    PhaseStep(s);
    for (int i = 0; i <= 20; ++i) {
        SetScale(s.swing / 600, s.swing / 600);
        s.tables.swarmRadius[i] = WrapRadius(s.tables.swarmRadius[i]);
        Orbit(s, i);
        DrawImage(s.media.blow, s.tables.swarmX[i], s.tables.swarmY[i], 0);
    }
}

void AdditiveOrbitEnter(ShowState&) {
    SetScale(0.4f, 0.4f);
    SetBlendMode(BlendMode::Light);
    SetAlpha(0.3f);
    SetClearColor(0, 0, 0);
}

void OrbitSprites(ShowState& s, const Ref<TImage>& image) {
    PhaseStep(s);
    for (int i = 0; i <= 40; ++i) {
        s.tables.swarmRadius[i] = WrapRadius(s.tables.swarmRadius[i]);
        Orbit(s, i);
        DrawImage(image, s.tables.swarmX[i], s.tables.swarmY[i], 0);
    }
}

void AdditiveOrbitFrame(ShowState& s) {
    OrbitSprites(s, s.media.seta2);
}

void MirroredOrbitEnter(ShowState&) {
    SetBlendMode(BlendMode::Alpha);
    SetAlpha(0.5f);
    SetClearColor(255, 255, 255);
    SetScale(0.4f, 0.4f);
}

void MirroredOrbitFrame(ShowState& s) {
    OrbitSprites(s, s.media.seta);
    FeedbackMirror(0, 1.0f);
}

// --- Scenes 6 to 8: growing rings and squares -------------------------------------

void ColouredRingsEnter(ShowState&) {
    SetClearColor(0, 0, 100);
    SetBlendMode(BlendMode::Light);
    SetAlpha(0.4f);
    SetScale(1, 1);
}

void ColouredRingsFrame(ShowState& s) {
    ShowTables& t = s.tables;
    PhaseStep(s);
    SetAlpha(0.4f);
    for (int i = 0; i < swarmCount; ++i) {
        t.swarmRadius[i] = WrapRadius(t.swarmRadius[i]);
        int blue = static_cast<int>(RandomRange(255, 0));
        int green = static_cast<int>(RandomRange(255, 0));
        int red = static_cast<int>(RandomRange(255, 0));
        SetColor(red, green, blue);
        t.swarmRadius[i] += t.swarmRadius[i] / 15 + 1;
        DrawSwarmShape(s, i, 4, DrawOval);
    }
    DrawBanner(s.media.ilove2);
}

void BlackRingsEnter(ShowState&) {
    SetClearColor(255, 255, 255);
    SetColor(0, 0, 0);
    SetBlendMode(BlendMode::Alpha);
}

void BlackRingsFrame(ShowState& s) {
    ShowTables& t = s.tables;
    PhaseStep(s);
    SetAlpha(0.4f);
    SetColor(0, 0, 0);
    for (int i = 0; i < swarmCount; ++i) {
        t.swarmRadius[i] = GrowRadius(t.swarmRadius[i]);
        DrawSwarmShape(s, i, 4, DrawOval);
    }
    DrawBanner(s.media.ilove);
}

void SquaresEnter(ShowState&) {
    SetClearColor(255, 155, 155);
    SetColor(0, 0, 0);
    SetBlendMode(BlendMode::Alpha);
}

void SquaresFrame(ShowState& s) {
    ShowTables& t = s.tables;
    PhaseStep(s);
    SetAlpha(0.6f);
    SetColor(0, 0, 0);
    for (int i = 0; i < swarmCount; ++i) {
        t.swarmRadius[i] = GrowRadius(t.swarmRadius[i]);
        DrawSwarmShape(s, i, 3, DrawRect, s.swing / 2);
    }
    FeedbackZoom(0.15f, 0.1f, 0.1f, 0.04f, 2.0f);
}

// --- Scene 9 and 10: soaps, then the burst ---------------------------------------

void SoapsEnter(ShowState&) {
    SetClearColor(0, 0, 0);
    SetColor(55, 155, 255);
    SetBlendMode(BlendMode::Light);
    SetRotation(0);
    SetAlpha(1);
    SetScale(1, 1);
    SetColor(255, 255, 255);
}

// `swing` keeps its last value from scene 8, so the ovals fly straight out.
void BurstFrame(ShowState& s) {
    ShowTables& t = s.tables;
    s.phase = 0;
    s.phase += 10;
    SetAlpha(0.5f);
    SetColor(55, 155, 255);
    SetClearColor(1, 10, 50);
    for (int i = 0; i < swarmCount; ++i) {
        t.swarmRadius[i] = WrapRadius(t.swarmRadius[i]);
        t.swarmRadius[i] = static_cast<int>(static_cast<float>(t.swarmRadius[i]) + s.phase);
        DrawSwarmShape(s, i, 4, DrawOval, s.swing / 2);
    }
    FeedbackBlur();
    FeedbackBlur();
    FeedbackThumbnails(0, 0, 1.0f, 0.6f);
}

// --- Scenes 11 to 14: the circling grid ---------------------------------------------

void GridEnter(ShowState&) {
    SetClearColor(210, 115, 50);
    SetColor(255, 255, 255);
    SetBlendMode(BlendMode::Alpha);
}

void DrawGrid(ShowState& s) {
    for (int x0 = -100; x0 <= 1000; x0 += 150) {
        s.gridPhase += 0.1f;
        float dy = static_cast<float>(150 * SinDeg(s.gridPhase));
        float dx = static_cast<float>(150 * CosDeg(s.gridPhase));
        for (int y0 = -100; y0 <= 800; y0 += 150) {
            SetRotation(s.gridPhase);
            DrawImage(s.media.brenti, static_cast<float>(x0) + dx, static_cast<float>(y0) + dy, 0);
        }
    }
    FeedbackZoom(0.05f, 0.05f, 0.05f, 0.01f, 1.0f);
}

void GridFrame(ShowState& s) {
    SetAlpha(1);
    DrawGrid(s);
}

template <int Tiles> void TiledGridFrame(ShowState& s) {
    DrawGrid(s);
    FeedbackTiles(Tiles);
}

void ClosingEnter(ShowState&) {
    SetRotation(0);
    SetAlpha(1);
    SetScale(1, 1);
    SetColor(255, 255, 255);
}

} // namespace

const std::array<Scene, 16>& Scenes() {
    static const std::array<Scene, 16> scenes = {{
        {timeMarks[0], DriftEnter, DriftFrame, DriftLeave},
        {timeMarks[1], Nothing, SaippuaFrame, nullptr},
        {timeMarks[2], PulseEnter, PulseFrame, nullptr},
        {timeMarks[3], AdditiveOrbitEnter, AdditiveOrbitFrame, nullptr},
        {timeMarks[4], MirroredOrbitEnter, MirroredOrbitFrame, nullptr},
        {timeMarks[5], ColouredRingsEnter, ColouredRingsFrame, nullptr},
        {timeMarks[6], BlackRingsEnter, BlackRingsFrame, nullptr},
        {timeMarks[7], SquaresEnter, SquaresFrame, nullptr},
        {timeMarks[8], SoapsEnter, SoapsFrame, nullptr},
        {timeMarks[9], Nothing, BurstFrame, nullptr},
        {timeMarks[10], GridEnter, GridFrame, nullptr},
        {timeMarks[11], Nothing, TiledGridFrame<2>, nullptr},
        {timeMarks[12], Nothing, TiledGridFrame<3>, nullptr},
        {timeMarks[13], Nothing, TiledGridFrame<4>, nullptr},
        {timeMarks[14], ClosingEnter, VurnFrame, nullptr},
        {timeMarks[15], Nothing, TheEndFrame, nullptr},
    }};
    return scenes;
}

} // namespace zandrel::show
