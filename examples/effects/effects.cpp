// Effects: a world larger than the window, seen through a camera that
// follows the player, drawn into an image (a render target) and then onto
// the screen through a shader of the program's own that ripples it like
// water. The arrow keys steer, Z and X zoom, Escape quits; untouched, the
// player flies a loop by itself. The heading is placed by the font's
// metrics: centred by its width, framed by its ink, set on one baseline.
#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <string>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480;
constexpr float WorldSize = 2000;

// A wave: each pixel of the scene is read from a little beside itself, by
// where it is on the screen and the time. The body runs for every pixel
// drawn while the shader is set, with the drawing `colour`, the image's
// `texel` at `uv`, the `screen` pixel and the `result` to give; `pick`
// samples a texture (here the drawn image, `picture`) on every GL profile.
const char* const WaveShader = R"(
uniform float time;
uniform float strength;
vec2 wave = vec2(sin(screen.y / 18.0 + time * 3.0), cos(screen.x / 24.0 + time * 2.0));
result = colour * pick(picture, uv + wave * strength);
)";

struct Player {
    float x = WorldSize / 2, y = WorldSize / 2, heading = 0;
};

// Where the player is after `seconds` more, steered by the keys or, with no
// key down, flying a wide loop.
void Steer(Player& player, float seconds) {
    int turn = IsKeyDown(Key::Right) - IsKeyDown(Key::Left);
    bool keys = turn != 0 || IsKeyDown(Key::Up);
    player.heading += (keys ? turn * 180.0f : 40.0f) * seconds;
    float speed = keys && !IsKeyDown(Key::Up) ? 0.0f : 220.0f;
    player.x += static_cast<float>(CosDeg(player.heading)) * speed * seconds;
    player.y += static_cast<float>(SinDeg(player.heading)) * speed * seconds;
}

// The world: a floor of tiles and a ring of pillars round its middle.
void DrawWorld(float clock) {
    SetClearColor(12, 18, 34);
    ClearScreen();
    for (int row = 0; row < 20; ++row)
        for (int column = 0; column < 20; ++column) {
            int shade = (row + column) % 2 ? 40 : 28;
            SetColor(shade, shade + 16, shade + 40);
            DrawRect(column * 100.0f, row * 100.0f, 96, 96);
        }
    for (int i = 0; i < 24; ++i) {
        float angle = i * 15.0f + clock * 10;
        float x = WorldSize / 2 + static_cast<float>(CosDeg(angle)) * 300;
        float y = WorldSize / 2 + static_cast<float>(SinDeg(angle)) * 300;
        SetColor(255, 140 + i * 4, 60);
        DrawOval(x - 24, y - 24, 48, 48);
    }
}

// The ship's points are round its own centre; the origin puts it in the world.
void DrawPlayer(const Player& player) {
    SetOrigin(player.x, player.y);
    SetRotation(player.heading);
    SetColor(120, 240, 255);
    DrawPoly({28, 0, -18, -16, -10, 0, -18, 16});
    SetRotation(0);
    SetOrigin(0, 0);
}

// The heading centred by its width, in a box round its ink, with a smaller
// line set on the same baseline after it.
void DrawHeading(const Ref<TImageFont>& big, const std::string& title, const std::string& note) {
    SetImageFont(big);
    int inkX = 0, inkY = 0, inkWidth = 0, inkHeight = 0;
    TextBounds(title, inkX, inkY, inkWidth, inkHeight);
    float left = (Width - TextWidth(title)) / 2.0f, top = 20;
    int baseline = big ? big->Ascend() : 14;
    SetColor(0, 0, 0);
    SetAlpha(0.5f);
    DrawRect(left + inkX - 8, top + inkY - 6, inkWidth + 16.0f, inkHeight + 12.0f);
    SetAlpha(1);
    SetColor(255, 230, 120);
    DrawText(title, left, top);
    float after = left + TextWidth(title) + 12;
    SetImageFont(nullptr);
    SetColor(200, 210, 230);
    DrawText(note, after, top + baseline - 14); // the built-in font's baseline is 14 down
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Effects");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        SetBlendMode(BlendMode::Alpha);
        auto scene = CreateImage(Width, Height, 1, ImageFlags::NoFlags);
        auto wave = CreateShader2D(WaveShader); // throws naming the line at fault
        auto font = LoadImageFont("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 30,
                                  FontStyle::Smooth); // none: the built-in font
        Player player;
        float zoom = 1, clock = 0;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            float seconds = std::min(FrameSeconds(), 0.05f);
            clock += seconds;
            Steer(player, seconds);
            zoom = std::clamp(zoom * (1 + (IsKeyDown(Key::X) - IsKeyDown(Key::Z)) * seconds), 0.4f,
                              3.0f);

            SetRenderTarget(scene); // the world, through the camera, into the image
            SetCamera(player.x, player.y, zoom, -player.heading / 8);
            DrawWorld(clock);
            DrawPlayer(player);
            ClearCamera();
            SetRenderTarget(nullptr);

            SetShader(wave); // the image onto the screen, rippled
            SetShaderUniform("time", clock);
            SetShaderUniform("strength", 0.004f);
            SetColor(255, 255, 255);
            DrawImage(scene, 0, 0);
            SetShader(nullptr);

            DrawHeading(font, "Effects", "a target, a shader, a camera");
            SetColor(170, 190, 230);
            DrawText("Arrows steer, Z and X zoom, Escape quits.", 16, Height - 28);
            Flip();
        }
        return 0;
    });
}
