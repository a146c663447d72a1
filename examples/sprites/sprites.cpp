// Sprites: thousands of turning, alpha-blended sprites, a player that the
// arrow keys move, and a frame counter. Motion is measured in seconds
// (FrameSeconds), so it keeps its speed at any frame rate.
#include <zandrel/zandrel.hpp>

#include <cmath>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480, SpriteCount = 2000;

struct Colour {
    int red, green, blue;
};
constexpr Colour Palette[] = {
    {255, 90, 90}, {255, 200, 60}, {90, 220, 120}, {80, 170, 255}, {200, 110, 255}};

struct Sprite {
    float x, y, dx, dy, angle, spin;
    Colour colour;
};

// A dart pointing right, its handle at its centre, so that it turns about it.
// Filtered and mipmapped, it stays smooth drawn smaller or larger.
Ref<TImage> MakeDart(int size) {
    auto image = CreateImage(size, size, 1, ImageFlags::Filtered | ImageFlags::Mipmapped);
    auto& pixels = LockImage(image);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool inside = std::abs(2 * y + 1 - size) < size - x;
            WritePixel(pixels, x, y, inside ? 0xFFFFFFFFu : 0);
        }
    UnlockImage(image);
    CentreImageHandle(image);
    return image;
}

float Random(double from, double to) {
    return static_cast<float>(RandomRange(from, to));
}

std::vector<Sprite> MakeSprites() {
    std::vector<Sprite> sprites;
    for (int i = 0; i < SpriteCount; ++i)
        sprites.push_back({Random(0, Width), Random(0, Height), Random(-60, 60), Random(-60, 60),
                           Random(0, 360), Random(-180, 180), Palette[RandomInt(0, 4)]});
    return sprites;
}

// Moves by velocity times seconds and wraps round the edges.
void Move(Sprite& s, float seconds) {
    s.x = std::fmod(s.x + s.dx * seconds + Width, static_cast<float>(Width));
    s.y = std::fmod(s.y + s.dy * seconds + Height, static_cast<float>(Height));
    s.angle = std::fmod(s.angle + s.spin * seconds, 360.0f);
}

// Frames shown in the last whole second.
class FrameCounter {
public:
    int Count() {
        ++frames_;
        if (Millisecs() - start_ >= 1000) {
            perSecond_ = frames_;
            frames_ = 0;
            start_ = Millisecs();
        }
        return perSecond_;
    }

private:
    int frames_ = 0, perSecond_ = 0, start_ = Millisecs();
};

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Sprites");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        SetBlendMode(BlendMode::Alpha); // see-through darts, smooth text
        SetClearColor(16, 20, 34);
        auto dart = MakeDart(48);
        auto sprites = MakeSprites();
        float playerX = Width / 2.0f, playerY = Height / 2.0f;
        FrameCounter counter;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            float seconds = FrameSeconds();
            playerX += (IsKeyDown(Key::Right) - IsKeyDown(Key::Left)) * 240 * seconds;
            playerY += (IsKeyDown(Key::Down) - IsKeyDown(Key::Up)) * 240 * seconds;
            ClearScreen();
            SetAlpha(0.6f);
            for (auto& s : sprites) {
                Move(s, seconds);
                SetColor(s.colour.red, s.colour.green, s.colour.blue);
                SetTransform(s.angle, 0.25f, 0.25f); // a quarter of the size
                DrawImage(dart, s.x, s.y);
            }
            SetAlpha(1);
            SetColor(255, 255, 255);
            SetTransform(0, 1, 1);
            DrawImage(dart, playerX, playerY);
            SetAlpha(0.75f);
            SetColor(0, 0, 0);
            DrawRect(0, 0, Width, 62);
            DrawRect(0, Height - 28, Width, 28);
            SetAlpha(1);
            SetScale(3, 3);
            SetColor(255, 210, 90);
            DrawText("Sprites", 12, 8);
            SetScale(1, 1);
            SetColor(200, 220, 255);
            DrawText(std::to_string(SpriteCount) + " turning darts at " +
                         std::to_string(counter.Count()) + " frames a second",
                     200, 24);
            DrawText("Arrow keys move the big dart, Escape quits.", 12, Height - 22);
            Flip();
        }
        return 0;
    });
}
