// Hello: a window, a turning picture, a sound, text and the keyboard.
#include <zandrel/zandrel.hpp>

using namespace zandrel;

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        if (!OpenGraphics(640, 480, 0, 60)) return 1;
        auto picture = LoadImage("hello.png"); // beside the program, its working folder
        auto sound = LoadSound("hello.wav", 0);
        if (!picture || !sound) return 1;
        CentreImageHandle(picture);
        PlaySound(sound);
        for (float angle = 0; !TakeKeyHits(Key::Escape) && !TakeTerminateRequest(); angle += 2) {
            ClearScreen();
            SetRotation(angle);
            DrawImage(picture, 320, 240);
            SetRotation(0);
            DrawText(S("Hello, Zandrel! Space plays the sound, Escape quits."), 16, 16);
            if (TakeKeyHits(Key::Space) > 0) PlaySound(sound);
            Flip();
        }
        return 0;
    });
}
