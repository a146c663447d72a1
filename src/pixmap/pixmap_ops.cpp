#include "pixmap_private.hpp"

#include <cmath>
#include <cstring>
#include <vector>

namespace zandrel {

namespace {

Ref<TPixmap> AsRGBA(const Ref<TPixmap>& pixmap) {
    return pixmap->Format() == PixelFormat::FormatRGBA8888
               ? pixmap
               : pixmap->Convert(PixelFormat::FormatRGBA8888);
}

bool HasColour(const uint8_t* p, int r, int g, int b) {
    return p[0] == r && p[1] == g && p[2] == b;
}

// The average colour of the visible pixels around a masked one, alpha 0.
void BleedInto(uint8_t* out, const TPixmap& s, int x, int y, int r, int g, int b) {
    int sum[3] = {0, 0, 0};
    int n = 0;
    for (int ny = y - 1; ny <= y + 1; ++ny) {
        if (ny < 0 || ny >= s.Height()) continue;
        for (int nx = x - 1; nx <= x + 1; ++nx) {
            if (nx < 0 || nx >= s.Width()) continue;
            const uint8_t* p = s.PixelPtr(nx, ny);
            if (HasColour(p, r, g, b)) continue;
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c];
            ++n;
        }
    }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(n ? sum[c] / n : 0);
    out[3] = 0;
}

// Where one result coordinate samples the source: the first neighbour, the
// step to the second (0 at the edges) and the weight of the second.
struct Sample {
    int first;
    int step;
    float weight;
};

Sample SampleAt(int i, float scale, int sourceSize, int neighbourStep) {
    float position = (static_cast<float>(i) + 0.5f) * scale - 0.5f;
    int first = static_cast<int>(std::floor(position));
    float weight = position - static_cast<float>(first);
    if (first < 0) return {0, 0, 0.0f};
    if (first >= sourceSize - 1) return {sourceSize - 1, 0, 0.0f};
    return {first, neighbourStep, weight};
}

uint8_t Bilinear(const uint8_t* p00, int dx, int dy, float tx, float ty) {
    float p10 = p00[dx], p01 = p00[dy], p11 = p00[dx + dy];
    float top = p00[0] + (p10 - p00[0]) * tx;
    float bottom = p01 + (p11 - p01) * tx;
    return static_cast<uint8_t>(top + (bottom - top) * ty);
}

} // namespace

Ref<TPixmap> MaskPixmap(const Ref<TPixmap>& pixmap, int r, int g, int b) {
    auto s = AsRGBA(pixmap);
    auto result = CreatePixmap(s->Width(), s->Height(), PixelFormat::FormatRGBA8888, 4);
    for (int y = 0; y < s->Height(); ++y) {
        const uint8_t* in = s->PixelPtr(0, y);
        uint8_t* out = result->PixelPtr(0, y);
        for (int x = 0; x < s->Width(); ++x, in += 4, out += 4) {
            if (HasColour(in, r, g, b)) {
                BleedInto(out, *s, x, y, r, g, b);
            } else {
                std::memcpy(out, in, 3);
                out[3] = 255;
            }
        }
    }
    return result;
}

Ref<TPixmap> XFlipPixmap(const Ref<TPixmap>& pixmap) {
    int width = pixmap->Width();
    PixelFormat format = pixmap->Format();
    auto result = CreatePixmap(width, pixmap->Height(), format, 4);
    int bytes = IsPixelFormat(format) ? BytesPerPixel[format] : 0;
    for (int y = 0; y < pixmap->Height(); ++y) {
        const uint8_t* in = pixmap->PixelPtr(0, y);
        uint8_t* out = result->PixelPtr(width - 1, y);
        for (int x = 0; x < width; ++x, in += bytes, out -= bytes)
            std::memcpy(out, in, bytes);
    }
    return result;
}

Ref<TPixmap> YFlipPixmap(const Ref<TPixmap>& pixmap) {
    int height = pixmap->Height();
    PixelFormat format = pixmap->Format();
    auto result = CreatePixmap(pixmap->Width(), height, format, 4);
    for (int y = 0; y < height; ++y)
        CopyPixels(pixmap->PixelPtr(0, height - 1 - y), result->PixelPtr(0, y), format,
                   pixmap->Width());
    return result;
}

Ref<TPixmap> ResizePixmap(const Ref<TPixmap>& pixmap, int width, int height) {
    auto s = AsRGBA(pixmap);
    auto result = CreatePixmap(width, height, pixmap->Format(), 4);
    if (s->Width() == 0 || s->Height() == 0) {
        std::memset(result->Pixels(), 0, static_cast<size_t>(result->Capacity()));
        return result;
    }
    float fx = static_cast<float>(s->Width()) / static_cast<float>(width);
    float fy = static_cast<float>(s->Height()) / static_cast<float>(height);
    std::vector<Sample> columns(static_cast<size_t>(width));
    for (int j = 0; j < width; ++j)
        columns[j] = SampleAt(j, fx, s->Width(), 4);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (int i = 0; i < height; ++i) {
        Sample v = SampleAt(i, fy, s->Height(), s->Pitch());
        const uint8_t* line = s->PixelPtr(0, v.first);
        uint8_t* out = row.data();
        for (const Sample& h : columns) {
            const uint8_t* p00 = line + h.first * 4;
            for (int c = 0; c < 4; ++c)
                *out++ = Bilinear(p00 + c, h.step, v.step, h.weight, v.weight);
        }
        ConvertPixels(row.data(), PixelFormat::FormatRGBA8888, result->PixelPtr(0, i),
                      result->Format(), width);
    }
    return result;
}

} // namespace zandrel
