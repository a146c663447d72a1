// The show, a program on the framework: its timeline and scenes, and the
// frame-buffer feedback effects it runs over its frames. Shared by the
// zandrel-show executable, the capture tool and the show's tests; main thread
// only, after StartZandrel().
#pragma once

#include <zandrel/zandrel.hpp>

#include <array>
#include <functional>

namespace zandrel::show {

// ---------------------------------------------------------------------------
// Feedback effects: each copies what has been drawn into an image and draws
// it back over the frame through the 2D renderer. Every effect leaves the
// render state (colour, alpha, blend mode, rotation, scale, origin, camera)
// as it found it.

// Makes the effect images for a display of that size, with a current 2D
// context. A RuntimeError for a size above 2048 in either direction.
void InitFeedback(int width, int height);
// The power-of-two texture an image of the display's size is drawn from.
int FeedbackTextureWidth();
int FeedbackTextureHeight();
// 15 additive copies, each turned by `angle` more and nearer by `zStep`.
void FeedbackZoom(float red, float green, float blue, float zStep, float angle);
// The frame replaced by n x n reduced copies of itself.
void FeedbackTiles(int n);
// The clear colour plus the average of eight shifted copies.
void FeedbackBlur();
// A column of five thumbnails of the last capture (or of a new one).
void FeedbackThumbnails(int capture, int blend, float brightness, float x);
// The top-left quarter mirrored into the other three.
void FeedbackMirror(int blend, float brightness);
// The frame as blocks of size x size pixels, tinted, alone or added.
void FeedbackPixelate(float size, int nearest, int blend, float red, float green, float blue);

// ---------------------------------------------------------------------------
// The show

// The particle tables, drawn from the unseeded generator at start-up.
struct ShowTables {
    std::array<float, 20> driftX1{}, driftX2{}, driftX3{}, driftY1{}, driftY2{}, driftY3{};
    std::array<int, 350> swarmAngle{}, swarmRadius{}, swarmSpin{};
    std::array<float, 350> swarmX{}, swarmY{};
};

// Draws the tables from the generator's current state, in the show's order.
ShowTables BuildShowTables();

// The swarm's radius rules: wrap back to 1 past 500, and wrap then grow.
int WrapRadius(int radius);
int GrowRadius(int radius);

// Whole seconds of the millisecond clock counted since Start, at the clock's
// own second boundaries; a count that passes 2^31 during a run does not
// disturb it.
class ShowClock {
public:
    void Start();
    float Elapsed() const;

private:
    int startMillis_ = 0;
};

// The show's music and pictures: loaded once, drawn by every run of the
// timeline.
struct ShowMedia {
    Ref<TSound> music;
    Ref<TImage> saippua, blow, seta, seta2, ost, soaps, ilove, ilove2, vurn, brenti, thend;
};

// Opens the 800 x 600 display with the effect textures and the pointer hidden,
// then loads the media from the current folder. False after one line on
// standard error naming what could not be had: the display, or the first file
// that did not load.
bool PrepareShow(ShowMedia& media);

// Plays the lead-in and the 16 scenes once on the current display by the
// clock Millisecs reads (a tool may give it a virtual one) and returns after
// the last mark with the music stopped. Every run starts from a context's
// default render state and draws its particle tables afresh.
void RunTimeline(const ShowMedia& media);

// Runs the whole show: start-up, lead-in, the 16 scenes. Ends the process
// with exit code 0 after the last scene; returns 1 after writing one line to
// standard error when the display or a data file cannot be had.
int RunShow();

// Called once per scene as it begins (after its entry state is applied), for
// tools that run the show and want to know where it is. Scene numbers 1..16;
// 0 is the lead-in.
void SetSceneListener(std::function<void(int scene)> listener);

} // namespace zandrel::show
