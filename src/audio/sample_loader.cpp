#include "loaders.hpp"

namespace zandrel {

namespace {
TAudioSampleLoader* loaderHead = nullptr;

// The stream is closed however the loaders end.
struct ClosingGuard {
    TStream& stream;
    ~ClosingGuard() { stream.Close(); }
};

} // namespace

TAudioSampleLoader::TAudioSampleLoader() : next_(loaderHead) {
    loaderHead = this;
}

TAudioSampleLoader::~TAudioSampleLoader() {
    for (TAudioSampleLoader** link = &loaderHead; *link; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
}

Ref<TAudioSample> TAudioSampleLoader::LoadAudioSample(const Ref<TStream>&) {
    ThrowAbstract();
}

TAudioSampleLoader* FirstAudioSampleLoader() {
    return loaderHead;
}

Ref<TAudioSample> LoadAudioSample(const Url& url) {
    auto stream = OpenReadStream(url);
    if (!stream) return nullptr;
    ClosingGuard guard{*stream};
    int start = stream->Pos();
    if (start == -1) throw RuntimeError("Stream is not seekable");
    for (auto* loader = loaderHead; loader; loader = loader->Next()) {
        stream->Seek(start);
        try {
            if (auto sample = loader->LoadAudioSample(stream)) return sample;
        } catch (const TStreamError&) {
            // Data this loader could not read is simply not its kind.
        }
    }
    return nullptr;
}

} // namespace zandrel
