// Sound: a looping Ogg Vorbis tune, streamed, on a channel of its own in the
// music group, steered by the mouse (across: pan, up and down: rate, wheel:
// volume), and a WAV blip in the effects group, played on a new channel at
// every click, panned to where the click was. Two sliders at the bottom set
// the music's and the effects' volumes, as an options screen would.
#include <zandrel/zandrel.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

using namespace zandrel;

namespace {

constexpr int Width = 640, Height = 480;
// A program's own numbering: effects stay in group 0, where every channel starts.
constexpr int MusicGroup = 1, EffectsGroup = 0;
constexpr int SliderLeft = 160, SliderWidth = 320, MusicSliderY = 448, EffectsSliderY = 464;

float Pan(int x) {
    return std::clamp(x * 2.0f / Width - 1, -1.0f, 1.0f);
}

// Half speed at the bottom, double at the top.
float Rate(int y) {
    return std::clamp(2.0f - 1.5f * y / Height, 0.5f, 2.0f);
}

// A bar from the centre line: its length is the value, -1 to 1.
void DrawGauge(std::string_view label, float value, int y) {
    SetColor(80, 80, 80);
    DrawRect(160, y, 320, 12);
    SetColor(120, 220, 120);
    float length = value * 160;
    DrawRect(length < 0 ? 320 + length : 320, y, std::abs(length), 12);
    SetColor(255, 255, 255);
    DrawText(label, 16, y - 2);
}

// From 0 at the left end to 1 at the right.
void DrawSlider(std::string_view label, float value, int y) {
    SetColor(80, 80, 80);
    DrawRect(SliderLeft, y, SliderWidth, 10);
    SetColor(120, 160, 240);
    DrawRect(SliderLeft, y, value * SliderWidth, 10);
    SetColor(255, 255, 255);
    DrawText(label, 16, y - 3);
}

// A press on a slider's row moves it; true when the press was on one.
bool MoveSlider(int x, int y) {
    float value = std::clamp(static_cast<float>(x - SliderLeft) / SliderWidth, 0.0f, 1.0f);
    if (y >= MusicSliderY - 3 && y < MusicSliderY + 13) {
        SetGroupVolume(MusicGroup, value);
        return true;
    }
    if (y >= EffectsSliderY - 3 && y < EffectsSliderY + 13) {
        SetGroupVolume(EffectsGroup, value);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Sound");
        if (!OpenGraphics(Width, Height, 0, 60)) ExitWithError(LastLoadError()); // prints why
        SetBlendMode(BlendMode::Alpha); // smooth edges; the default, Mask, is jagged
        SetClearColor(28, 22, 44);
        // Streamed: decoded as it plays, as long music should be.
        auto loop = StreamSound("loop.ogg", SoundFlags::Loop);
        auto blip = LoadSound("blip.wav");
        if (!loop || !blip) return 1;
        auto channel = AllocChannel();
        SetChannelGroup(channel, MusicGroup);
        PlaySound(loop, channel);
        MoveMouse(Width / 2, Height / 2);
        float volume = 0.5f;
        int blips = 0;
        while (!TakeKeyHits(Key::Escape) && !TakeTerminateRequest()) {
            int x = MouseXPos(), y = MouseYPos();
            volume = std::clamp(0.5f + MouseWheelPos() * 0.1f, 0.0f, 1.0f);
            SetChannelVolume(channel, volume);
            SetChannelPan(channel, Pan(x));
            SetChannelRate(channel, Rate(y));
            bool onSlider = IsMouseDown(MouseButton::Left) && MoveSlider(x, y);
            if (TakeMouseHits(MouseButton::Left) > 0 && !onSlider) {
                auto played = PlaySound(blip);
                SetChannelPan(played, Pan(x));
                ++blips;
            }

            ClearScreen();
            DrawGauge("volume", volume, 340);
            DrawGauge("pan", Pan(x), 364);
            DrawGauge("rate - 1", Rate(y) - 1, 388);
            DrawSlider("music", GroupVolume(MusicGroup), MusicSliderY);
            DrawSlider("effects", GroupVolume(EffectsGroup), EffectsSliderY);
            float radius = 20 * Rate(y); // the faster, the larger
            SetColor(90, 60, 20);
            DrawOval(x - radius, y - radius, 2 * radius, 2 * radius);
            SetColor(255, 200, 80);
            DrawLine(x - 12, y, x + 12, y);
            DrawLine(x, y - 12, x, y + 12);
            SetColor(255, 255, 255);
            DrawText("The mouse steers the loop: across pans, up speeds it up,", 16, 16);
            DrawText("the wheel sets the volume. A click plays a blip there.", 16, 36);
            DrawText("The sliders below set the music's and the effects' volumes.", 16, 56);
            char status[80];
            std::snprintf(status, sizeof status, "%d blips, the tune at %.1f s. Escape quits.",
                          blips, ChannelPosition(channel));
            DrawText(status, 16, 76);
            Flip();
        }
        return 0;
    });
}
