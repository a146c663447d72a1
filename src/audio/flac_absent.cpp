// Built where the FLAC library is not found: the format is not read.
#include "sound_decoder.hpp"

namespace zandrel {

std::unique_ptr<SoundDecoder> OpenFlacDecoder(const Ref<TStream>&) {
    return nullptr;
}

} // namespace zandrel
