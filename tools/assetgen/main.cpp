// Makes the show's data files: the music and the pictures, the same bytes on
// every run. Usage: zandrel-assetgen <output folder>
#include "music.hpp"
#include "ogg_encoder.hpp"

#include <zandrel/zandrel.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    zandrel::StartZandrel();
    std::string folder = argv[1];
    try {
        assetgen::WriteOggVorbis(assetgen::ComposeSong(), folder + "/diskox.ogg", 0.5f);
    } catch (const zandrel::RuntimeError& error) {
        std::fprintf(stderr, "zandrel-assetgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
