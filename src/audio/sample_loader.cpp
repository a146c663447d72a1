#include "loaders.hpp"

namespace zandrel {

namespace {
// The stream is closed however the loaders end.
struct ClosingGuard {
    TStream& stream;
    ~ClosingGuard() { stream.Close(); }
};

} // namespace

Ref<TAudioSample> TAudioSampleLoader::LoadAudioSample(const Ref<TStream>&) {
    ThrowAbstract();
}

TAudioSampleLoader* FirstAudioSampleLoader() {
    return Registered<TAudioSampleLoader>::First();
}

Ref<TAudioSample> LoadAudioSample(const Url& url) {
    auto stream = OpenReadStream(url);
    if (!stream) return nullptr;
    ClosingGuard guard{*stream};
    int start = stream->Pos();
    if (start == -1) throw RuntimeError("Stream is not seekable");
    for (auto* loader = FirstAudioSampleLoader(); loader; loader = loader->Next()) {
        stream->Seek(start);
        try {
            if (auto sample = loader->LoadAudioSample(stream)) return sample;
        } catch (const TStreamError&) {
            // Data this loader could not read is simply not its kind.
        }
    }
    RefusedAs("a WAV or Ogg Vorbis file");
    return nullptr;
}

} // namespace zandrel
