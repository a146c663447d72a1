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
    // A loader that knows the data but refuses it says why, and no other is asked.
    String opened = LastLoadError();
    for (auto* loader = FirstAudioSampleLoader(); loader; loader = loader->Next()) {
        stream->Seek(start);
        SetLoadError(String());
        try {
            if (auto sample = loader->LoadAudioSample(stream)) return sample;
        } catch (const TStreamError&) {
            // Data this loader could not read is simply not its kind.
        }
        if (!LastLoadError().empty()) return nullptr;
    }
    SetLoadError(opened);
    RefusedAs("a WAV, Ogg Vorbis, FLAC or MP3 file");
    return nullptr;
}

} // namespace zandrel
