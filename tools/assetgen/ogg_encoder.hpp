// Ogg Vorbis encoding of the generated music.
#pragma once

#include "synth.hpp"

#include <zandrel/stream.hpp>

namespace assetgen {

// Encodes at the given quality (-0.1 to 1.0) with a fixed stream serial, so
// the same music gives the same file. A RuntimeError when the file cannot be
// written or the encoder refuses its settings.
void WriteOggVorbis(const StereoBuffer& music, const zandrel::Url& url, float quality);

} // namespace assetgen
