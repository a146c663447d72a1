#include "collision.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace zandrel {

namespace {

constexpr int LayerCount = 32;
constexpr uint32_t ScratchLayer = 1u << 31; // the layer ImagesCollide works in
constexpr int Corners = 4;
enum Channel { X, Y, U, V, Channels };
// Floats stop telling neighbouring pixels apart beyond this; it also keeps
// every row and column an int.
constexpr float MaxCoordinate = 16777216.0f;

// Quads newest last, with their boxes beside them so that looking for boxes
// that overlap reads little memory. Emptying keeps the memory, so that the
// quads of one frame reuse those of the last.
struct Layer {
    std::vector<TQuad> quads;
    std::vector<Box> boxes;

    void Add(const TQuad& quad) {
        quads.push_back(quad);
        boxes.push_back(quad.bounds);
    }
    void Clear() {
        quads.clear();
        boxes.clear();
    }
};

struct CollisionLayers {
    std::array<Layer, LayerCount> layers;
    // Placements follow the current 2D state's matrix; this one serves
    // while no 2D state is current.
    Matrix2D matrix;
};

// Bit n of a mask is layer n; lowest first.
template <class F> void ForEachLayer(uint32_t mask, F&& f) {
    for (; mask; mask &= mask - 1)
        f(std::countr_zero(mask));
}

// Never destroyed, like the renderer, whose state it follows.
CollisionLayers& Layers() {
    static auto* layers = new CollisionLayers;
    return *layers;
}

// Rows and columns alike: the first pixel whose centre lies at or after t.
// Sampling at centres is how the GL fills shapes, and it treats coordinates
// on both sides of 0 alike.
int FirstCentreFrom(float t) {
    return static_cast<int>(std::ceil(t - 0.5f));
}

struct Edge {
    int lower = 0;  // the corner the edge runs down to
    int walked = 0; // corners passed since the top
    std::array<float, Channels> value{}, step{};
};

enum class ScanState { Waiting, Active, Finished };

// Scan-conversion state of one quad.
struct ScanPoly {
    const float* vertices;
    TexelMask texels;
    std::array<int, Corners> rows{}; // the first row at or below each corner
    int leftWalk = -1;               // the right edge walks the other way
    int top = 0, bottom = 0;         // rows top to bottom - 1 are covered
    Edge left, right;
    ScanState state = ScanState::Waiting;

    explicit ScanPoly(const TQuad& quad)
        : vertices(quad.vertices.data()), texels(quad.pixmap.get()) {
        int topCorner = 0;
        for (int i = 0; i < Corners; ++i) {
            rows[i] = FirstCentreFrom(Vertex(i)[Y]);
            if (rows[i] < rows[topCorner]) topCorner = i;
        }
        top = rows[topCorner];
        bottom = *std::max_element(rows.begin(), rows.end());
        left.lower = right.lower = topCorner;
        // Mirrored placements wind the other way round.
        if (!WindsClockwise()) leftWalk = 1;
    }

    const float* Vertex(int i) const { return vertices + i * Channels; }

    // Clockwise on screen, where y grows downward: then walking backwards
    // from the top follows the left side.
    bool WindsClockwise() const {
        const float* o = Vertex(0);
        for (int k = 2; k < Corners; ++k) {
            const float* a = Vertex(k - 1);
            const float* b = Vertex(k);
            if ((a[X] - o[X]) * (b[Y] - o[Y]) - (a[Y] - o[Y]) * (b[X] - o[X]) > 0) return true;
        }
        return false;
    }
};

// Moves the edge on to the one that covers row y, passing corners that lie
// above; false once it has been all the way round.
bool FollowEdge(const ScanPoly& p, Edge& e, int walk, int y) {
    if (p.rows[e.lower] > y) return true;
    int upper;
    do {
        if (e.walked == Corners) return false;
        upper = e.lower;
        e.lower = (e.lower + walk + Corners) % Corners;
        ++e.walked;
    } while (p.rows[e.lower] <= y);
    const float* a = p.Vertex(upper);
    const float* b = p.Vertex(e.lower);
    float height = b[Y] - a[Y]; // > 0: the corners lie on different rows
    float down = static_cast<float>(y) + 0.5f - a[Y];
    for (int c = 0; c < Channels; ++c) {
        e.step[c] = (b[c] - a[c]) / height;
        e.value[c] = a[c] + e.step[c] * down;
    }
    return true;
}

bool FollowEdges(ScanPoly& p, int y) {
    return FollowEdge(p, p.left, p.leftWalk, y) && FollowEdge(p, p.right, -p.leftWalk, y);
}

void StepEdges(ScanPoly& p) {
    for (int c = 0; c < Channels; ++c) {
        p.left.value[c] += p.left.step[c];
        p.right.value[c] += p.right.step[c];
    }
}

// Rows firstRow to endRow - 1, as far as the polygons cover them; `test` sees
// the active polygons of each row and ends the scan with a negative answer.
template <size_t N, class SpanTest>
int ScanPolys(std::array<ScanPoly, N>& polys, int firstRow, int endRow, SpanTest&& test) {
    int from = polys[0].top, to = polys[0].bottom;
    for (auto& p : polys) {
        from = std::min(from, p.top);
        to = std::max(to, p.bottom);
    }
    from = std::max(from, firstRow);
    to = std::min(to, endRow);
    std::array<ScanPoly*, N> active{};
    int count = 0, result = 0;
    for (int y = from; y < to; ++y) {
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            if (FollowEdges(*active[i], y))
                active[kept++] = active[i];
            else
                active[i]->state = ScanState::Finished;
        }
        count = kept;
        for (auto& p : polys) {
            if (p.state != ScanState::Waiting || p.top > y) continue;
            p.state = FollowEdges(p, y) ? ScanState::Active : ScanState::Finished;
            if (p.state == ScanState::Active) active[count++] = &p;
        }
        if (count > 0) {
            result = test(active.data(), count, y);
            if (result < 0) return result;
        }
        for (int i = 0; i < count; ++i)
            StepEdges(*active[i]);
    }
    return result;
}

// Texture coordinates along a row: pixel from + i samples (u + du i, v + dv i).
struct TexelRun {
    float u, v, du, dv;

    TexelRun(const ScanPoly& p, int from) {
        const auto& l = p.left.value;
        const auto& r = p.right.value;
        float width = r[X] - l[X]; // > 0 wherever the span is not empty
        du = (r[U] - l[U]) / width;
        dv = (r[V] - l[V]) / width;
        float across = static_cast<float>(from) + 0.5f - l[X];
        u = l[U] + du * across;
        v = l[V] + dv * across;
    }
};

// -1 when the first two active polygons are both solid at a pixel of row y.
// Each pixel is looked at in the second polygon only where the first is
// solid, which is the same as marking the first's pixels and looking for
// marks under the second's, without a pass of its own.
int SpanOverlapTest(ScanPoly* const* active, int count) {
    if (count < 2) return 0;
    const ScanPoly& a = *active[0];
    const ScanPoly& b = *active[1];
    int start = std::max(FirstCentreFrom(a.left.value[X]), FirstCentreFrom(b.left.value[X]));
    int end = std::min(FirstCentreFrom(a.right.value[X]), FirstCentreFrom(b.right.value[X]));
    if (start >= end) return 0;
    TexelRun ra(a, start), rb(b, start);
    for (int i = 0; i < end - start; ++i) {
        auto t = static_cast<float>(i);
        if (a.texels.Solid(ra.u + ra.du * t, ra.v + ra.dv * t) &&
            b.texels.Solid(rb.u + rb.du * t, rb.v + rb.dv * t))
            return -1;
    }
    return 0;
}

// The corners of the width x height picture whose top-left lies at -handle,
// placed at x, y as drawing would place it. False for an empty picture or one
// placed beyond MaxCoordinate.
bool PlaceQuad(TQuad& quad, float x, float y, float width, float height, float handleX,
               float handleY) {
    if (width == 0 || height == 0) return false;
    Matrix2D m = Layers().matrix;
    if (auto* state = FindCurrentVex2D()) {
        x += state->originX;
        y += state->originY;
        ToScreen(x, y);
        m = DrawingMatrix();
    }
    static constexpr float unit[Corners][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    Box& b = quad.bounds;
    b.minX = b.minY = MaxCoordinate;
    b.maxX = b.maxY = -MaxCoordinate;
    for (int i = 0; i < Corners; ++i) {
        float lx = unit[i][0] * width - handleX, ly = unit[i][1] * height - handleY;
        float px = x + lx * m.ix + ly * m.iy, py = y + lx * m.jx + ly * m.jy;
        // Written to fail for not-a-number too.
        if (!(std::fabs(px) <= MaxCoordinate && std::fabs(py) <= MaxCoordinate)) return false;
        float* v = &quad.vertices[static_cast<size_t>(i * Channels)];
        v[X] = px;
        v[Y] = py;
        v[U] = unit[i][0];
        v[V] = unit[i][1];
        b.minX = std::min(b.minX, px);
        b.minY = std::min(b.minY, py);
        b.maxX = std::max(b.maxX, px);
        b.maxY = std::max(b.maxY, py);
    }
    return true;
}

bool PlaceImage(TQuad& quad, const Ref<TImage>& image, float x, float y, int frame) {
    auto& picture = CheckedImage(image);
    if (frame < 0 || frame >= picture.FrameCount()) return false;
    if (!PlaceQuad(quad, x, y, static_cast<float>(picture.width),
                   static_cast<float>(picture.height), picture.handleX, picture.handleY))
        return false;
    // Read only, so that the driver frame is not made again.
    const auto& pixmap = LockImage(image, frame, LockFor::Reading);
    if (!pixmap || pixmap->Width() <= 0 || pixmap->Height() <= 0 ||
        !IsPixelFormat(pixmap->Format()))
        return false;
    quad.pixmap = pixmap;
    return true;
}

std::vector<Ref<Object>> CollideQuad(const TQuad& quad, uint32_t collideMask, uint32_t writeMask) {
    auto& layers = Layers().layers;
    std::vector<Ref<Object>> ids;
    ForEachLayer(collideMask, [&](int layer) {
        const auto& [quads, boxes] = layers[layer];
        for (size_t i = boxes.size(); i-- > 0;)
            if (BoxesOverlap(quad.bounds, boxes[i]) && QuadsCollide(quad, quads[i]))
                ids.push_back(quads[i].id);
    });
    ForEachLayer(writeMask, [&](int layer) { layers[layer].Add(quad); });
    return ids;
}

// Rotation and scale for one placement at a time, and back to what was set
// before at the end: through the 2D state when there is one, so that state,
// driver and collisions stay in step; else on the collision matrix alone.
class PlacementTransform {
public:
    PlacementTransform() : state_(FindCurrentVex2D()), matrix_(Layers().matrix) {
        if (!state_) return;
        rotation_ = state_->rotation;
        scaleX_ = state_->scaleX;
        scaleY_ = state_->scaleY;
    }
    ~PlacementTransform() {
        if (state_)
            Set(rotation_, scaleX_, scaleY_);
        else
            Layers().matrix = matrix_;
    }
    PlacementTransform(const PlacementTransform&) = delete;
    PlacementTransform& operator=(const PlacementTransform&) = delete;

    void Set(float rotation, float scaleX, float scaleY) {
        if (!state_) {
            Layers().matrix = RotationScaleMatrix(rotation, scaleX, scaleY);
            return;
        }
        SetRotation(rotation);
        SetScale(scaleX, scaleY);
    }

private:
    TVex2DGraphics* state_;
    Matrix2D matrix_;
    float rotation_ = 0, scaleX_ = 1, scaleY_ = 1;
};

} // namespace

TexelMask::TexelMask(const TPixmap* pixmap) {
    if (!pixmap || AlphaBits[pixmap->Format()] == 0) return;
    pixels_ = pixmap->PixelPtr(0, 0);
    pitch_ = pixmap->Pitch();
    bytesPerPixel_ = BytesPerPixel[pixmap->Format()];
    alphaOffset_ = pixmap->Format() == PixelFormat::FormatA8 ? 0 : 3;
    columns_ = pixmap->Width();
    rows_ = pixmap->Height();
    width_ = static_cast<float>(columns_);
    height_ = static_cast<float>(rows_);
}

bool QuadsCollide(const TQuad& a, const TQuad& b) {
    if (!BoxesOverlap(a.bounds, b.bounds)) return false;
    std::array<ScanPoly, 2> polys{ScanPoly(a), ScanPoly(b)};
    int firstRow = FirstCentreFrom(std::max(a.bounds.minY, b.bounds.minY));
    int endRow = FirstCentreFrom(std::min(a.bounds.maxY, b.bounds.maxY));
    return ScanPolys(polys, firstRow, endRow, [](ScanPoly* const* active, int count, int) {
               return SpanOverlapTest(active, count);
           }) < 0;
}

void ResetCollisions(uint32_t mask) {
    auto& layers = Layers().layers;
    ForEachLayer(mask ? mask : ~0u, [&](int layer) { layers[layer].Clear(); });
}

std::vector<Ref<Object>> CollideImage(const Ref<TImage>& image, float x, float y, int frame,
                                      uint32_t collideMask, uint32_t writeMask,
                                      const Ref<Object>& id) {
    TQuad quad;
    if (!PlaceImage(quad, image, x, y, frame)) return {};
    quad.id = id;
    return CollideQuad(quad, collideMask, writeMask);
}

std::vector<Ref<Object>> CollideRect(float x, float y, float width, float height,
                                     uint32_t collideMask, uint32_t writeMask,
                                     const Ref<Object>& id) {
    TQuad quad;
    if (!PlaceQuad(quad, x, y, width, height, 0, 0)) return {};
    quad.id = id;
    return CollideQuad(quad, collideMask, writeMask);
}

bool ImagesCollide(const Ref<TImage>& image1, float x1, float y1, int frame1,
                   const Ref<TImage>& image2, float x2, float y2, int frame2) {
    ResetCollisions(ScratchLayer);
    CollideImage(image1, x1, y1, frame1, 0, ScratchLayer);
    return !CollideImage(image2, x2, y2, frame2, ScratchLayer, 0).empty();
}

bool ImagesCollideTransformed(const Ref<TImage>& image1, float x1, float y1, int frame1,
                              float rotation1, float scaleX1, float scaleY1,
                              const Ref<TImage>& image2, float x2, float y2, int frame2,
                              float rotation2, float scaleX2, float scaleY2) {
    PlacementTransform transform;
    ResetCollisions(ScratchLayer);
    transform.Set(rotation1, scaleX1, scaleY1);
    CollideImage(image1, x1, y1, frame1, 0, ScratchLayer);
    transform.Set(rotation2, scaleX2, scaleY2);
    return !CollideImage(image2, x2, y2, frame2, ScratchLayer, 0).empty();
}

bool ImagesCollideTransformed(const PlacedImage& first, const PlacedImage& second) {
    return ImagesCollideTransformed(first.image, first.x, first.y, first.frame, first.rotation,
                                    first.scaleX, first.scaleY, second.image, second.x, second.y,
                                    second.frame, second.rotation, second.scaleX, second.scaleY);
}

} // namespace zandrel
