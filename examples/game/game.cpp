// Game: a small complete game. The arrow keys move the ship, gems score a
// point and a sound, and a bouncing mine that touches the ship, pixel for
// pixel, ends the round; Space starts the next one, Escape quits. The
// pictures are drawn in code, the score is in an outline font, and the best
// score is kept between runs in the game's own data folder.
#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480;
constexpr float ShipSpeed = 220;

struct Thing {
    float x = 0, y = 0, dx = 0, dy = 0, angle = 0;
};

// A picture from a rule that says, for each point of [-1, 1]², its colour
// (0 for transparent).
template <class Paint> Ref<TImage> Sprite(int size, Paint paint) {
    auto image = CreateImage(size, size, 1, ImageFlags::Filtered);
    auto& pixels = LockImage(image);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            WritePixel(pixels, x, y, paint(2 * (x + 0.5f) / size - 1, 2 * (y + 0.5f) / size - 1));
    UnlockImage(image);
    CentreImageHandle(image);
    return image;
}

Ref<TImage> MakeShip() {
    return Sprite(40, [](float x, float y) -> uint32_t {
        bool hull = y > -0.9f && y < 0.8f && std::abs(x) < (y + 0.9f) * 0.55f;
        bool window = std::hypot(x, y + 0.1f) < 0.2f;
        return window ? 0xFF9AE6FFu : hull ? 0xFFE8EEF8u : 0;
    });
}

Ref<TImage> MakeMine() {
    return Sprite(36, [](float x, float y) -> uint32_t {
        float r = std::hypot(x, y), spikes = 0.75f + 0.2f * std::cos(8 * std::atan2(y, x));
        return r < 0.35f ? 0xFFFFE070u : r < spikes ? 0xFFE04848u : 0;
    });
}

Ref<TImage> MakeGem() {
    return Sprite(24, [](float x, float y) -> uint32_t {
        float d = std::abs(x) + std::abs(y);
        return d < 0.5f ? 0xFFD0FFF0u : d < 0.95f ? 0xFF40E0A0u : 0;
    });
}

Thing Somewhere(float speed) {
    Thing t;
    t.x = static_cast<float>(RandomRange(40, Width - 40));
    t.y = static_cast<float>(RandomRange(80, Height - 40));
    double heading = RandomRange(0, 360);
    t.dx = static_cast<float>(CosDeg(heading) * speed);
    t.dy = static_cast<float>(SinDeg(heading) * speed);
    return t;
}

// Moves and bounces off the screen's edges.
void Move(Thing& t, float seconds) {
    t.x += t.dx * seconds;
    t.y += t.dy * seconds;
    if (t.x < 20 || t.x > Width - 20) t.dx = -t.dx;
    if (t.y < 20 || t.y > Height - 20) t.dy = -t.dy;
    t.angle += 90 * seconds;
}

bool Touch(const Ref<TImage>& a, const Thing& ta, const Ref<TImage>& b, const Thing& tb) {
    return ImagesCollideTransformed({.image = a, .x = ta.x, .y = ta.y, .rotation = ta.angle},
                                    {.image = b, .x = tb.x, .y = tb.y, .rotation = tb.angle});
}

struct Game {
    Thing ship;
    std::vector<Thing> mines, gems;
    int score = 0;
    bool over = false;

    void Start() {
        ship = Thing{Width / 2.0f, Height - 60, 0, 0, 0};
        mines.assign(5, Thing());
        for (auto& mine : mines)
            do
                mine = Somewhere(120);
            while (std::abs(mine.y - ship.y) < 120);
        gems.assign(3, Thing());
        std::generate(gems.begin(), gems.end(), [] { return Somewhere(0); });
        score = 0;
        over = false;
    }
};

// The best score so far, from the game's data folder; 0 the first time.
String BestScoreFile() {
    String folder = UserDataFolder("zandrel-gem-run");
    return folder.empty() ? String() : folder + u"/best.txt";
}

int LoadBest(const String& file) {
    return PathKind(file) == FileKind::Regular ? ToInt(LoadByteString(file)) : 0;
}

void DrawThings(const Ref<TImage>& image, const std::vector<Thing>& things) {
    for (const auto& t : things) {
        SetRotation(t.angle);
        DrawImage(image, t.x, t.y);
    }
    SetRotation(0);
}

void DrawCentred(const std::string& text, float y) {
    DrawText(text, (Width - TextWidth(text)) / 2.0f, y);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Gem Run");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        auto ship = MakeShip(), mine = MakeMine(), gem = MakeGem();
        auto chime = LoadSound("chime.wav");
        auto font = LoadImageFont("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 28,
                                  FontStyle::Smooth); // none: the built-in font
        SetBlendMode(BlendMode::Alpha);
        SetClearColor(16, 20, 44);
        String bestFile = BestScoreFile();
        int best = LoadBest(bestFile);
        Game game;
        game.Start();
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            float seconds = std::min(FrameSeconds(), 0.05f);
            if (game.over && TakeKeyHits(Key::Space) > 0) game.Start();
            if (!game.over) {
                game.ship.x += (IsKeyDown(Key::Right) - IsKeyDown(Key::Left)) * ShipSpeed * seconds;
                game.ship.y += (IsKeyDown(Key::Down) - IsKeyDown(Key::Up)) * ShipSpeed * seconds;
                game.ship.x = std::clamp(game.ship.x, 20.0f, Width - 20.0f);
                game.ship.y = std::clamp(game.ship.y, 20.0f, Height - 20.0f);
                for (auto& m : game.mines)
                    Move(m, seconds);
                for (auto& g : game.gems) {
                    g.angle += 120 * seconds;
                    if (!Touch(ship, game.ship, gem, g)) continue;
                    g = Somewhere(0);
                    ++game.score;
                    PlaySound(chime);
                }
                for (auto& m : game.mines)
                    game.over = game.over || Touch(ship, game.ship, mine, m);
                if (game.over && game.score > best) {
                    best = game.score;
                    try {
                        if (!bestFile.empty()) SaveByteString(FromInt(best), bestFile);
                    } catch (const RuntimeError&) {
                        // a full disk: the best score is only not kept
                    }
                }
            }

            ClearScreen();
            SetColor(255, 255, 255);
            DrawThings(gem, game.gems);
            DrawThings(mine, game.mines);
            if (game.over) SetColor(255, 120, 120);
            DrawImage(ship, game.ship.x, game.ship.y);
            SetImageFont(font);
            SetColor(255, 214, 90);
            DrawText("Score: " + std::to_string(game.score), 16, 10);
            std::string bestText = "Best: " + std::to_string(std::max(best, game.score));
            DrawText(bestText, Width - 16 - TextWidth(bestText), 10);
            SetImageFont(nullptr);
            SetColor(170, 190, 230);
            DrawText("Arrows move, gems score, mines end the round. Escape quits.", 16, 456);
            if (game.over) {
                SetImageFont(font);
                SetColor(255, 255, 255);
                DrawCentred("Game over", Height / 2.0f - 30);
                SetImageFont(nullptr);
                DrawCentred("Space plays again", Height / 2.0f + 10);
            }
            Flip();
        }
        return 0;
    });
}
