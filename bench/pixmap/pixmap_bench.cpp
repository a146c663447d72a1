// Pixmap loading against direct libpng / libjpeg decoding of the same files,
// pixel conversion against memcpy of the same output, resizing and masking;
// saving a PNG whole (new file, flushed to the disk, renamed over the old one)
// against writing it in place.
// Prints the ratios to the baselines after the table.
#include "ratio_reporter.hpp"

#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

using namespace zandrel;

namespace {

constexpr int side = 2048;

std::string TempPath(const char* name) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder ? folder : "/tmp") + "/zandrel-bench-" + name;
}

// A photo-like picture: smooth gradients with a little noise, so that both
// codecs have real work to do.
Ref<TPixmap> Picture(int width, int height) {
    auto p = CreatePixmap(width, height, PixelFormat::FormatRGB888);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p->PixelPtr(0, y);
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            int n = static_cast<int>(noise >> 28);
            row[x * 3] = static_cast<uint8_t>((x * 255 / width + n) & 255);
            row[x * 3 + 1] = static_cast<uint8_t>((y * 255 / height + n) & 255);
            row[x * 3 + 2] = static_cast<uint8_t>(((x + y) * 127 / width + n) & 255);
        }
    }
    return p;
}

using Saver = bool (*)(const Ref<TPixmap>&, const Url&, int);

std::string WritePicture(const char* name, Saver save, int setting) {
    std::string path = TempPath(name);
    save(Picture(side, side), path, setting);
    return path;
}

const std::string& PngFile() {
    static std::string path = WritePicture("2048.png", SavePixmapPNG, 6);
    return path;
}

const std::string& JpegFile() {
    static std::string path = WritePicture("2048.jpg", SavePixmapJPEG, 90);
    return path;
}

// Holds no object with a destructor: libpng errors leave it by longjmp.
bool LibpngRows(png_structp png, png_infop info, FILE* file, uint8_t*& pixels,
                std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

void LibpngDecode(benchmark::State& state) {
    for (auto _ : state) {
        FILE* file = std::fopen(PngFile().c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        uint8_t* pixels = nullptr;
        std::vector<png_bytep> rows;
        benchmark::DoNotOptimize(LibpngRows(png, info, file, pixels, rows));
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        std::free(pixels);
    }
}

void LoadPixmapPng(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPixmap(PngFile()));
}

void LibjpegDecode(benchmark::State& state) {
    for (auto _ : state) {
        FILE* file = std::fopen(JpegFile().c_str(), "rb");
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, file);
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        size_t rowBytes = size_t{cinfo.output_width} * cinfo.output_components;
        auto* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * cinfo.output_height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels + cinfo.output_scanline * rowBytes;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

void LoadPixmapJpeg(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPixmap(JpegFile()));
}

// SavePixmapPNG given a path: a new file beside the old one, synced to the
// disk and renamed over it.
void SavePngReplacing(benchmark::State& state) {
    auto picture = Picture(side, side);
    std::string path = TempPath("saved.png");
    for (auto _ : state)
        benchmark::DoNotOptimize(SavePixmapPNG(picture, path));
}

// The same PNG into a stream the caller opened: the old file is truncated and
// overwritten, nothing waits for the disk.
void SavePngInPlace(benchmark::State& state) {
    auto picture = Picture(side, side);
    std::string path = TempPath("saved.png");
    for (auto _ : state) {
        auto stream = OpenWriteStream(path);
        benchmark::DoNotOptimize(SavePixmapPNG(picture, stream));
        stream->Close();
    }
}

constexpr int runPixels = side * side / 4;

void ConvertRun(benchmark::State& state, PixelFormat from) {
    std::vector<uint8_t> source(size_t{runPixels} * BytesPerPixel[from], 0x5A);
    std::vector<uint8_t> out(size_t{runPixels} * 4);
    for (auto _ : state) {
        ConvertPixels(source.data(), from, out.data(), PixelFormat::FormatRGBA8888, runPixels);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{runPixels} * 4);
}

void ConvertRGB888ToRGBA8888(benchmark::State& state) {
    ConvertRun(state, PixelFormat::FormatRGB888);
}

void ConvertBGRA8888ToRGBA8888(benchmark::State& state) {
    ConvertRun(state, PixelFormat::FormatBGRA8888);
}

void MemcpySameOutput(benchmark::State& state) {
    std::vector<uint8_t> source(size_t{runPixels} * 4, 0x5A), out(size_t{runPixels} * 4);
    for (auto _ : state) {
        std::memcpy(out.data(), source.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{runPixels} * 4);
}

void ResizeHalf(benchmark::State& state) {
    auto source = Picture(side, side)->Convert(PixelFormat::FormatRGBA8888);
    for (auto _ : state)
        benchmark::DoNotOptimize(ResizePixmap(source, side / 2, side / 2));
    state.SetItemsProcessed(state.iterations() * int64_t{side / 2} * (side / 2));
}

void Mask800x600(benchmark::State& state) {
    auto p = Picture(800, 600);
    for (int y = 0; y < 600; ++y) // a third of the picture in the mask colour
        std::memset(p->PixelPtr(0, y), 0, static_cast<size_t>(800 / 3) * 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(MaskPixmap(p, 0, 0, 0));
}

} // namespace

BENCHMARK(LibpngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPixmapPng)->Unit(benchmark::kMillisecond);
BENCHMARK(LibjpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPixmapJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePngInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePngReplacing)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpySameOutput)->Unit(benchmark::kMicrosecond);
BENCHMARK(ConvertRGB888ToRGBA8888)->Unit(benchmark::kMicrosecond);
BENCHMARK(ConvertBGRA8888ToRGBA8888)->Unit(benchmark::kMicrosecond);
BENCHMARK(ResizeHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(Mask800x600)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    StartZandrel();
    RunBenchmarksWithRatios([](const RatioReporter& r) {
        r.PrintRatio("LoadPixmapPng", "LibpngDecode", "mark <= 1.10");
        r.PrintRatio("LoadPixmapJpeg", "LibjpegDecode", "mark <= 1.10");
        r.PrintRatio("ConvertRGB888ToRGBA8888", "MemcpySameOutput", "time over memcpy");
        r.PrintRatio("ConvertBGRA8888ToRGBA8888", "MemcpySameOutput", "time over memcpy");
        r.PrintRatio("SavePngReplacing", "SavePngInPlace", "the cost of saving whole");
    });
    return 0;
}
