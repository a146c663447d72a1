// Built where the MP3 library is not found: the format is not read.
#include "sound_decoder.hpp"

namespace zandrel {

std::unique_ptr<SoundDecoder> OpenMp3Decoder(const Ref<TStream>&) {
    return nullptr;
}

} // namespace zandrel
