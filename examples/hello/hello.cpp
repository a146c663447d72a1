// Hello: a window, a turning picture, a sound, text and the keyboard.
#include <zandrel/zandrel.hpp>

using namespace zandrel;

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        SetApplicationTitle("Hello, Zandrel");
        if (!OpenGraphics(640, 480, 0, 60)) ExitWithError(LastLoadError()); // prints why
        auto picture = LoadImage("hello.png"); // beside the program, its working folder
        auto sound = LoadSound("hello.wav");
        if (!picture || !sound) ExitWithError(LastLoadError());
        CentreImageHandle(picture);
        // The default blend mode, Mask, keeps or drops whole pixels, so text
        // and turned pictures look jagged; Alpha blends their edges smoothly.
        SetBlendMode(BlendMode::Alpha);
        SetClearColor(30, 40, 70);
        PlaySound(sound);
        for (float angle = 0; !TakeKeyHits(Key::Escape) && !TakeTerminateRequest(); angle += 2) {
            ClearScreen();
            SetRotation(angle);
            DrawImage(picture, 320, 260);
            SetRotation(0);
            SetScale(3, 3);
            SetColor(255, 210, 90);
            DrawText("Hello, Zandrel!", 16, 16);
            SetScale(1, 1);
            SetColor(200, 220, 255);
            DrawText("Space plays the sound, Escape quits.", 16, 448);
            if (TakeKeyHits(Key::Space) > 0) PlaySound(sound);
            Flip();
        }
        return 0;
    });
}
