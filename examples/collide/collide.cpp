// Collide: pixel-exact collisions between turning sprites. Each frame every
// ring is tested against the rings already placed in a collision layer and
// then placed there itself; rings that touch turn red. The rings' holes and
// the space round them do not count, only their solid pixels. The arrow
// keys move the player's ring.
#include <zandrel/zandrel.hpp>

#include <cmath>
#include <vector>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480;

// An open ring with a gap, so that boxes would collide long before the ring does.
Ref<TImage> MakeRing(int size) {
    auto image = CreateImage(size, size, 1, ImageFlags::NoFlags);
    auto& pixels = LockImage(image);
    float centre = size / 2.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = x + 0.5f - centre, dy = y + 0.5f - centre;
            float distance = std::hypot(dx, dy) / centre;
            bool solid = distance > 0.7f && distance < 1 && !(dx > 0 && std::abs(dy) < size / 6.0f);
            WritePixel(pixels, x, y, solid ? 0xFFFFFFFFu : 0);
        }
    UnlockImage(image);
    CentreImageHandle(image);
    return image;
}

// The collision ids are objects: each ring is one.
class Ring : public Object {
public:
    float x = 0, y = 0, dx = 0, dy = 0, angle = 0, spin = 0;
    bool hit = false;
};

std::vector<Ref<Ring>> MakeRings(int count) {
    std::vector<Ref<Ring>> rings;
    for (int i = 0; i < count; ++i) {
        auto ring = New<Ring>();
        ring->x = static_cast<float>(RandomRange(40, Width - 40));
        ring->y = static_cast<float>(RandomRange(60, Height - 40));
        ring->dx = static_cast<float>(RandomRange(-80, 80));
        ring->dy = static_cast<float>(RandomRange(-80, 80));
        ring->spin = static_cast<float>(RandomRange(-90, 90));
        rings.push_back(ring);
    }
    return rings;
}

// Bounces off the edges.
void Move(Ring& ring, float seconds) {
    ring.x += ring.dx * seconds;
    ring.y += ring.dy * seconds;
    if (ring.x < 40 || ring.x > Width - 40) ring.dx = -ring.dx;
    if (ring.y < 40 || ring.y > Height - 40) ring.dy = -ring.dy;
    ring.angle += ring.spin * seconds;
}

// Layer 0 holds the rings placed so far this frame.
void FindCollisions(const Ref<TImage>& image, std::vector<Ref<Ring>>& rings) {
    ResetCollisions();
    for (auto& ring : rings)
        ring->hit = false;
    for (auto& ring : rings) {
        SetRotation(ring->angle);
        for (auto& other : CollideImage(image, ring->x, ring->y, 0, 1, 1, ring)) {
            ring->hit = true;
            As<Ring>(other)->hit = true;
        }
    }
    SetRotation(0);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Collide");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        SetBlendMode(BlendMode::Alpha); // smooth edges; the default, Mask, is jagged
        SetClearColor(22, 26, 38);
        auto image = MakeRing(64);
        auto rings = MakeRings(12);
        auto& player = rings.front();
        player->dx = player->dy = 0;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            float seconds = FrameSeconds();
            player->x += (IsKeyDown(Key::Right) - IsKeyDown(Key::Left)) * 160 * seconds;
            player->y += (IsKeyDown(Key::Down) - IsKeyDown(Key::Up)) * 160 * seconds;
            for (auto& ring : rings)
                Move(*ring, seconds);
            FindCollisions(image, rings);

            ClearScreen();
            for (auto& ring : rings) {
                if (ring == player)
                    ring->hit ? SetColor(190, 90, 255) : SetColor(90, 200, 255);
                else
                    ring->hit ? SetColor(255, 70, 70) : SetColor(220, 220, 220);
                SetRotation(ring->angle);
                DrawImage(image, ring->x, ring->y);
            }
            SetRotation(0);
            SetColor(255, 255, 255);
            DrawText("Touching rings turn red, the blue one purple. Arrow keys move it.", 8, 8);
            Flip();
        }
        return 0;
    });
}
