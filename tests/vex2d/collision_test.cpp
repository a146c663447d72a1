// Collisions of images made from pixmaps, without a display: placement,
// solid texels, layers, rectangles and agreement with a pixel-by-pixel check.
#include "collision_reference.hpp"
#include "vex2d/collision.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <random>

using namespace zandrel;
using namespace zandrel::test;

namespace {

using AlphaAt = std::function<int(int x, int y)>;

Ref<TPixmap> AlphaPixmap(int width, int height, const AlphaAt& alpha) {
    auto pixmap = CreatePixmap(width, height, PixelFormat::FormatRGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->WritePixel(x, y, static_cast<uint32_t>(alpha(x, y)) << 24 | 0xFFFFFFu);
    return pixmap;
}

Ref<TImage> AlphaImage(int width, int height, const AlphaAt& alpha) {
    return TImage::Load(AlphaPixmap(width, height, alpha), ImageFlags::NoFlags, 0, 0, 0);
}

Ref<TImage> OpaqueImage(int width, int height) {
    return AlphaImage(width, height, [](int, int) { return 255; });
}

// Every test starts from empty layers.
class Collision : public testing::Test {
protected:
    void SetUp() override { ResetCollisions(0); }
};

TEST_F(Collision, OpaqueImagesMeetAtTheirEdges) {
    auto image = OpaqueImage(32, 32);
    struct Case {
        float rotation, scale, distance;
        bool collide;
    } cases[] = {
        {0, 1, 31, true},   {0, 1, 32, false},  {0, 1, -31, true},  {0, 1, -32, false},
        {90, 1, 31, true},  {90, 1, 32, false}, {45, 2, 62, true},  {45, 2, 66, false},
        {45, 2, -62, true}, {30, 1, 31, true},  {30, 1, 33, false}, {-120, 0.5, 15, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rotation << " deg, scale " << c.scale << ", " << c.distance << " apart");
        // Apart along the placed image's own x axis.
        double radians = c.rotation * std::numbers::pi / 180;
        float x2 = 100 + static_cast<float>(c.distance * std::cos(radians));
        float y2 = 100 + static_cast<float>(c.distance * std::sin(radians));
        Placement a{image, 100, 100, 0, c.rotation, c.scale, c.scale};
        Placement b{image, x2, y2, 0, c.rotation, c.scale, c.scale};
        EXPECT_EQ(SolidOverlap(a, b) > 0, c.collide);
        EXPECT_EQ(ImagesCollideTransformed(image, 100, 100, 0, c.rotation, c.scale, c.scale, image,
                                           x2, y2, 0, c.rotation, c.scale, c.scale),
                  c.collide);
        EXPECT_EQ(
            ImagesCollideTransformed(PlacedImage{image, 0, 100, 100, c.rotation, c.scale, c.scale},
                                     PlacedImage{image, 0, x2, y2, c.rotation, c.scale, c.scale}),
            c.collide);
        if (c.rotation == 0 && c.scale == 1) {
            EXPECT_EQ(ImagesCollide(image, 100, 100, 0, image, x2, y2, 0), c.collide);
        }
    }
}

TEST_F(Collision, OnlySolidTexelsCollide) {
    // A ring of radius 10 to 15 about the centre of a 32 x 32 picture.
    auto ring = AlphaImage(32, 32, [](int x, int y) {
        double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
        return r >= 10 && r <= 15 ? 255 : 0;
    });
    auto block = OpaqueImage(6, 6);
    EXPECT_FALSE(ImagesCollide(ring, 0, 0, 0, block, 13, 13, 0)); // in the hole
    EXPECT_TRUE(ImagesCollide(ring, 0, 0, 0, block, 13, 0, 0));   // on the ring
    EXPECT_FALSE(ImagesCollide(ring, 0, 0, 0, block, -2, -2, 0)); // in a corner outside it

    struct Case {
        PixelFormat format;
        int alpha;
        bool collide;
    } cases[] = {
        {PixelFormat::FormatRGBA8888, 127, false}, {PixelFormat::FormatRGBA8888, 128, true},
        {PixelFormat::FormatRGBA8888, 0, false},   {PixelFormat::FormatBGRA8888, 127, false},
        {PixelFormat::FormatBGRA8888, 128, true},  {PixelFormat::FormatA8, 127, false},
        {PixelFormat::FormatA8, 255, true},        {PixelFormat::FormatRGB888, 0, true},
        {PixelFormat::FormatI8, 0, true},
    };
    auto solid = OpaqueImage(4, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "format " << ToNumber(c.format) << ", alpha " << c.alpha);
        auto pixmap = ConvertPixmap(AlphaPixmap(4, 4, [&](int, int) { return c.alpha; }), c.format);
        auto image = TImage::Load(pixmap, ImageFlags::NoFlags, 0, 0, 0);
        EXPECT_EQ(ImagesCollide(solid, 10, 10, 0, image, 11, 11, 0), c.collide);
    }
}

TEST_F(Collision, LayersKeepPlacementsUntilReset) {
    auto a = New<Object>(), b = New<Object>(), c = New<Object>(), far = New<Object>();
    CollideRect(0, 0, 10, 10, 0, 1u << 0, a);
    CollideRect(5, 5, 10, 10, 0, 1u << 0 | 1u << 3, b);
    CollideRect(0, 0, 10, 10, 0, 1u << 5, c);
    CollideRect(100, 100, 5, 5, 0, 1u << 0 | 1u << 31, far);
    auto probe = [](uint32_t mask) { return CollideRect(6, 6, 2, 2, mask, 0); };
    using Ids = std::vector<Ref<Object>>;

    EXPECT_EQ(probe(~0u), (Ids{b, a, b, c})); // by layer, newest first
    EXPECT_EQ(probe(1u << 3), (Ids{b}));
    EXPECT_EQ(probe(1u << 1 | 1u << 31), Ids{});
    EXPECT_EQ(CollideRect(101, 101, 1, 1, 1u << 31, 0), (Ids{far}));
    ResetCollisions(1u << 0);
    EXPECT_EQ(probe(~0u), (Ids{b, c}));
    std::weak_ptr<Object> held;
    {
        auto id = New<Object>();
        held = id;
        CollideRect(0, 0, 1, 1, 0, 1u << 6, id);
    }
    EXPECT_FALSE(held.expired());
    ResetCollisions(0);
    EXPECT_TRUE(held.expired()); // emptied layers keep nothing alive
    EXPECT_EQ(probe(~0u), Ids{});
    EXPECT_EQ(CollideRect(101, 101, 1, 1, ~0u, 0), Ids{});

    // A placement is tested before it is written, so it never meets itself.
    EXPECT_EQ(CollideRect(0, 0, 4, 4, 1u << 2, 1u << 2, a), Ids{});
    EXPECT_EQ(CollideRect(0, 0, 4, 4, 1u << 2, 1u << 2, b), (Ids{a}));
    EXPECT_EQ(CollideRect(0, 0, 4, 4, 1u << 2, 0), (Ids{b, a}));
    // Without an id the result still counts the hit.
    CollideRect(0, 0, 4, 4, 0, 1u << 4);
    EXPECT_EQ(CollideRect(0, 0, 4, 4, 1u << 4, 0), Ids{nullptr});

    // ImagesCollide works in layer 31 and empties it first.
    CollideRect(0, 0, 100, 100, 0, 1u << 31);
    auto image = OpaqueImage(4, 4);
    EXPECT_FALSE(ImagesCollide(image, 200, 0, 0, image, 10, 10, 0));
    EXPECT_EQ(CollideRect(50, 50, 1, 1, 1u << 31, 0), Ids{});
}

TEST_F(Collision, RectanglesAreSolidThroughout) {
    CollideRect(10, 10, 20, 20, 0, 1); // pixels 10 to 29
    auto cored = AlphaImage(4, 4, [](int x, int y) { return x % 3 && y % 3 ? 255 : 0; });
    auto opaque = OpaqueImage(4, 4);
    struct Case {
        Ref<TImage> image;
        float x, y;
        bool collide;
    } cases[] = {
        {cored, 12, 12, true},      {cored, 28, 12, true},  {cored, 29, 12, false},
        {cored, 7, 7, false},       {opaque, 29, 12, true}, {opaque, 30, 12, false},
        {opaque, 7, 7, true},       {opaque, 6, 6, false},  {opaque, 26, 29.4f, true},
        {opaque, 26, 29.6f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        EXPECT_EQ(CollideImage(c.image, c.x, c.y, 0, 1, 0).size(), c.collide ? 1u : 0u);
    }
    // A rectangle seen from the image side, rotated with it.
    CollideImage(opaque, 50, 50, 0, 0, 2);
    EXPECT_EQ(CollideRect(53, 53, 1, 1, 2, 0).size(), 1u);
    EXPECT_EQ(CollideRect(54, 50, 1, 4, 2, 0).size(), 0u);
}

TEST_F(Collision, PlacesNothingForMissingFramesOrEmptySizes) {
    auto image = OpaqueImage(8, 8);
    CollideRect(-1000, -1000, 3000, 3000, 0, 1);
    std::function<std::vector<Ref<Object>>()> cases[] = {
        [&] { return CollideImage(image, 0, 0, 1, 1, 2); },
        [&] { return CollideImage(image, 0, 0, -1, 1, 2); },
        [&] { return CollideImage(CreateImage(8, 8, 0, ImageFlags::NoFlags), 0, 0, 0, 1, 2); },
        [&] { return CollideImage(CreateImage(0, 8, 1, ImageFlags::NoFlags), 0, 0, 0, 1, 2); },
        [&] { return CollideRect(0, 0, 0, 5, 1, 2); },
        [&] { return CollideRect(0, 0, 5, 0, 1, 2); },
        [&] { return CollideRect(NAN, 0, 5, 5, 1, 2); },
        [&] { return CollideRect(0, INFINITY, 5, 5, 1, 2); },
        [&] { return CollideRect(1e30f, 0, 5, 5, 1, 2); },
        [&] { return CollideRect(0, 0, 1e30f, 5, 1, 2); },
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(cases[i]().empty());
        EXPECT_TRUE(CollideRect(-1000, -1000, 3000, 3000, 2, 0).empty()); // nothing written
    }
    EXPECT_FALSE(ImagesCollide(image, 0, 0, 3, image, 0, 0, 0));
    EXPECT_THROW(CollideImage(nullptr, 0, 0, 0, 1, 2), RuntimeError);
}

TEST_F(Collision, TexelsAtTheFarEdgeReadTheLastColumnAndRow) {
    // A transparent 3 x 2 window into a pixmap that is opaque beyond it.
    auto whole = AlphaPixmap(4, 3, [](int x, int y) { return x == 3 || y == 2 ? 255 : 0; });
    whole->WritePixel(2, 1, 0xFFFFFFFFu);
    auto window = whole->Window(0, 0, 3, 2);
    TexelMask texels(window.get());
    struct Case {
        float u, v;
        bool solid;
    } cases[] = {
        {1, 1, true},    {0.99f, 0.99f, true}, {1, 0.2f, false},  {0.2f, 1, false}, {5, 5, true},
        {-1, -1, false}, {0.9f, 0.4f, false},  {NAN, NAN, false}, {1, NAN, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.u << ", " << c.v);
        EXPECT_EQ(texels.Solid(c.u, c.v), c.solid);
    }
    EXPECT_TRUE(TexelMask(nullptr).Solid(0.5f, 0.5f));
}

// Placing goes through the 2D state when one is current. A state without a
// window is enough here: collisions read only its origin and matrix.
TEST_F(Collision, FollowsTheCurrentOriginAndTransform) {
    auto state = TVex2DGraphics::Create(nullptr, GLVex2DDriver());
    state->initialised = 1;
    ActivateVex2D(state);
    auto image = OpaqueImage(32, 32);
    SetTransform(0, 2, 2);
    EXPECT_TRUE(ImagesCollide(image, 0, 0, 0, image, 63, 0, 0));
    EXPECT_FALSE(ImagesCollide(image, 0, 0, 0, image, 64, 0, 0));

    SetTransform(10, 1.5f, 0.5f);
    // Turned clockwise about its top-left corner, the second image lies to
    // the left of its position.
    EXPECT_TRUE(ImagesCollideTransformed(image, 0, 0, 0, 0, 1, 1, image, 63, 0, 0, 90, 1, 1));
    EXPECT_FALSE(ImagesCollideTransformed(image, 0, 0, 0, 0, 1, 1, image, 64, 0, 0, 90, 1, 1));
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(GetRotation(), 10);
    EXPECT_EQ(sx, 1.5f);
    EXPECT_EQ(sy, 0.5f);

    SetTransform(0, 1, 1);
    SetOrigin(100, 0);
    CollideImage(image, 0, 0, 0, 0, 1);
    SetOrigin(0, 0);
    EXPECT_EQ(CollideRect(131, 0, 1, 1, 1, 0).size(), 1u);
    EXPECT_EQ(CollideRect(31, 0, 1, 1, 1, 0).size(), 0u);

    // Placed through the camera, as drawn: seen on screen without it.
    state->viewportWidth = 320;
    state->viewportHeight = 240;
    ResetCollisions(0);
    SetCamera(100, 100, 2, 90);
    CollideImage(image, 100, 100, 0, 0, 1); // 64 x 64 left of and below 160, 120
    ClearCamera();
    EXPECT_EQ(CollideRect(150, 170, 1, 1, 1, 0).size(), 1u);
    EXPECT_EQ(CollideRect(161, 121, 1, 1, 1, 0).size(), 0u);
    EXPECT_EQ(CollideRect(98, 110, 1, 1, 1, 0).size(), 0u);
    ActivateVex2D(nullptr);

    // Without a 2D state the matrix alone is set and put back.
    EXPECT_TRUE(ImagesCollideTransformed(image, 0, 0, 0, 90, 2, 2, image, 0, 0, 0, 45, 3, 3));
    EXPECT_TRUE(ImagesCollide(image, 0, 0, 0, image, 31, 0, 0));
    EXPECT_FALSE(ImagesCollide(image, 0, 0, 0, image, 32, 0, 0));
}

// Upright placements between pixels, with pictures whose edges fade out
// across the solid threshold: every disagreement with the reference is a
// pixel centre or a texel picked wrongly, so false hits and misses both
// stay near nothing.
TEST_F(Collision, FractionalPlacementsOfFadingEdgesMatchThePixelReference) {
    std::mt19937 random(99);
    auto uniform = [&](double low, double high) {
        return static_cast<float>(std::uniform_real_distribution<double>(low, high)(random));
    };
    // Solid up to the top and left edges, fading towards the bottom and right.
    auto fading = [](int size) {
        return AlphaImage(size, size, [size](int x, int y) {
            int fromEdge = std::min(size - 1 - x, size - 1 - y);
            return std::min(255, 100 + 27 * fromEdge); // 127 one texel in, 154 two in
        });
    };
    Ref<TImage> images[] = {fading(5), fading(8), fading(11)};
    int falseHits = 0, misses = 0, hits = 0;
    constexpr int Trials = 3000;
    for (int trial = 0; trial < Trials; ++trial) {
        auto place = [&](float x, float y) {
            auto& image = images[random() % std::size(images)];
            return Placement{image, x, y, 0, 0, uniform(0.4, 2.5), uniform(0.4, 2.5)};
        };
        Placement a = place(uniform(0, 30), uniform(0, 30));
        Placement b = place(a.x + uniform(-9, 9), a.y + uniform(-9, 9));
        bool expected = SolidOverlap(a, b) > 0;
        bool collide = ImagesCollideTransformed(a.image, a.x, a.y, 0, 0, a.scaleX, a.scaleY,
                                                b.image, b.x, b.y, 0, 0, b.scaleX, b.scaleY);
        hits += expected;
        falseHits += collide && !expected;
        misses += expected && !collide;
    }
    std::cout << "[ collisions ] " << Trials << " upright placements, " << hits << " colliding, "
              << falseHits << " false hits, " << misses << " misses\n";
    EXPECT_LE(falseHits, Trials / 1000);
    EXPECT_LE(misses, Trials / 1000);
    EXPECT_GT(hits, Trials / 5);
    EXPECT_LT(hits, Trials * 4 / 5);
}

TEST_F(Collision, AgreesWithPixelReferenceOnRandomPlacements) {
    std::mt19937 random(1234);
    auto uniform = [&](double low, double high) {
        return static_cast<float>(std::uniform_real_distribution<double>(low, high)(random));
    };
    std::vector<Ref<TImage>> images;
    for (int i = 0; i < 8; ++i) {
        int width = 3 + static_cast<int>(random() % 10),
            height = 3 + static_cast<int>(random() % 10);
        int density = 20 + static_cast<int>(random() % 80); // percent of solid texels
        images.push_back(AlphaImage(width, height, [&](int, int) {
            return static_cast<int>(random() % 100) < density
                       ? 128 + static_cast<int>(random() % 128)
                       : static_cast<int>(random() % 128);
        }));
    }
    auto place = [&](float x, float y) {
        auto& image = images[random() % images.size()];
        SetImageHandle(image, uniform(0, image->width), uniform(0, image->height));
        float sign = random() % 5 ? 1.0f : -1.0f;
        return Placement{image, x, y, 0, uniform(0, 360), sign * uniform(0.5, 3), uniform(0.5, 3)};
    };
    int hits = 0, disagreements = 0, seriousDisagreements = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        Placement a = place(uniform(0, 40), uniform(0, 40));
        Placement b = place(a.x + uniform(-20, 20), a.y + uniform(-20, 20));
        int overlap = SolidOverlap(a, b);
        bool collide =
            ImagesCollideTransformed(a.image, a.x, a.y, 0, a.rotation, a.scaleX, a.scaleY, b.image,
                                     b.x, b.y, 0, b.rotation, b.scaleX, b.scaleY);
        hits += collide;
        if (collide == (overlap > 0)) continue;
        ++disagreements;
        if (overlap >= 2) {
            ++seriousDisagreements;
            ADD_FAILURE() << "trial " << trial << ": " << overlap << " pixels overlap";
        }
    }
    std::cout << "[ collisions ] 2000 placements, " << hits << " colliding, " << disagreements
              << " disagreeing with the reference (" << seriousDisagreements
              << " of them on 2 pixels or more)\n";
    EXPECT_EQ(seriousDisagreements, 0);
    EXPECT_GT(hits, 400); // both answers are well represented
    EXPECT_LT(hits, 1600);
}

} // namespace
