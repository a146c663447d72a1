// Makes the show's data files: the music and the pictures, the same bytes on
// every run. Usage: zandrel-assetgen <output folder> <8 x 16 font file>
#include "music.hpp"
#include "ogg_encoder.hpp"
#include "pictures.hpp"

#include <zandrel/pixmap.hpp>

#include <cstdio>
#include <cstring>

namespace {

using namespace zandrel;

assetgen::FontBitmap LoadFont(const std::string& path) {
    ByteArray bytes = LoadBytes(path);
    assetgen::FontBitmap font{};
    if (bytes.size() != font.size()) throw RuntimeError("The font file must be 1536 bytes");
    std::memcpy(font.data(), bytes.data(), font.size());
    return font;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void SavePicture(const assetgen::Picture& picture, const assetgen::FontBitmap& font,
                 const std::string& folder) {
    assetgen::Canvas canvas = picture.paint(font);
    std::vector<uint8_t> rgba = canvas.ToRgba8();
    auto pixmap = CreateStaticPixmap(rgba.data(), canvas.Width(), canvas.Height(),
                                     canvas.Width() * 4, PixelFormat::FormatRGBA8888);
    std::string path = folder + "/" + picture.fileName;
    auto stored = picture.alpha ? pixmap : ConvertPixmap(pixmap, PixelFormat::FormatRGB888);
    bool saved =
        EndsWith(path, ".jpg") ? SavePixmapJPEG(stored, path, 92) : SavePixmapPNG(stored, path, 9);
    if (!saved) throw RuntimeError("Unable to write " + path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> <8 x 16 font file>\n", argv[0]);
        return 2;
    }
    StartPixmapModule();
    std::string folder = argv[1];
    try {
        assetgen::FontBitmap font = LoadFont(argv[2]);
        for (const auto& picture : assetgen::ShowPictures())
            SavePicture(picture, font, folder);
        assetgen::WriteOggVorbis(assetgen::ComposeSong(), folder + "/diskox.ogg", 0.5f);
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "zandrel-assetgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
