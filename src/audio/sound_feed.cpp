#include "sound_feed.hpp"

#include "mixer.hpp"

#include <algorithm>
#include <cstring>

namespace zandrel::mix {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr int ChunkFrames = 4096;
std::atomic<int> streamUnderruns{0};

} // namespace

int StreamUnderruns() {
    return streamUnderruns.load(relaxed);
}

void CountStreamUnderrun() {
    streamUnderruns.fetch_add(1, relaxed);
}

void ResetStreamUnderruns() {
    streamUnderruns.store(0, relaxed);
}

SoundFeed::SoundFeed(std::unique_ptr<SoundDecoder> decoder, bool loop)
    : decoder_(std::move(decoder)), channels_(decoder_->Channels()), hertz_(decoder_->Hertz()),
      length_(decoder_->Length()), loop_(loop), ring_(static_cast<size_t>(RingFrames) * channels_),
      window_(static_cast<size_t>(WindowFrames) * channels_) {}

void SoundFeed::Publish() {
    uint64_t word = uint64_t{fillEpoch_} << EpochShift | (ended_ ? EndedBit : 0) |
                    static_cast<uint64_t>(written_);
    filled_.store(word, std::memory_order_release);
}

bool SoundFeed::Rewind() {
    sinceRewind_ = 0;
    return decoder_->Seek(0);
}

// A sound that loops starts over at its end; one that yields nothing from
// its start ends instead of turning for ever.
void SoundFeed::Fill() {
    uint32_t epoch = moveEpoch_.load(std::memory_order_acquire);
    if (epoch != fillEpoch_) {
        // The new frames go after what the mixer may still read of the old
        // ones: a window from where it got to, for the block it may be
        // mixing and the few it may mix before it takes the move up.
        fillEpoch_ = epoch;
        ringStart_ = std::min(ringStart_ + written_,
                              released_.load(std::memory_order_acquire) + 4 * WindowFrames);
        written_ = 0;
        epochStarts_[epoch % EpochStarts].store(ringStart_, relaxed);
        sinceRewind_ = 0;
        ended_ = !decoder_->Seek(moveFrame_.load(relaxed));
        Publish();
    }
    while (!ended_ && moveEpoch_.load(relaxed) == fillEpoch_) {
        int64_t room =
            released_.load(std::memory_order_acquire) + RingFrames - ringStart_ - written_;
        if (room <= 0) return;
        int slot = static_cast<int>((ringStart_ + written_) % RingFrames);
        int chunk = static_cast<int>(std::min<int64_t>({room, RingFrames - slot, ChunkFrames}));
        int n = decoder_->Read(ring_.data() + static_cast<size_t>(slot) * channels_, chunk);
        if (n > 0) {
            written_ += n;
            sinceRewind_ += n;
        } else if (n < 0 || !loop_ || sinceRewind_ == 0 || !Rewind()) {
            ended_ = true;
        }
        Publish();
    }
}

uint32_t SoundFeed::RequestMove(int64_t frame) {
    bool first = !moved_;
    moved_ = true;
    if (first && frame == 0) return 0;
    requestEpoch_ = (requestEpoch_ + 1) & 0xFFFF;
    moveFrame_.store(frame, relaxed);
    moveEpoch_.store(requestEpoch_, std::memory_order_release);
    return requestEpoch_;
}

void SoundFeed::Adopt(uint32_t epoch, int64_t frame) {
    readEpoch_ = epoch;
    origin_ = frame;
}

SoundFeed::Found SoundFeed::Window(uint64_t position, uint64_t maxStep, int frames,
                                   Cursor& cursor) {
    uint64_t filled = filled_.load(std::memory_order_acquire);
    if (filled >> EpochShift != readEpoch_) return Found::Moving;
    readStart_ = epochStarts_[readEpoch_ % EpochStarts].load(relaxed);
    auto written = static_cast<int64_t>(filled & WrittenMask);
    bool ended = (filled & EndedBit) != 0;
    auto first = static_cast<int64_t>(position >> 32);
    uint64_t fraction = position & 0xFFFFFFFF;
    auto need = static_cast<int64_t>((fraction + std::min(maxStep, MaxStep) * frames) >> 32) + 2;
    int64_t have = std::max<int64_t>(written - first, 0);
    if (!ended && have < need) return Found::Short;
    int64_t count = std::min(have, need);
    size_t frameValues = static_cast<size_t>(channels_);
    for (int64_t copied = 0; copied < count;) {
        int64_t slot = (readStart_ + first + copied) % RingFrames;
        int64_t run = std::min(count - copied, RingFrames - slot);
        std::memcpy(window_.data() + copied * channels_, ring_.data() + slot * channels_,
                    static_cast<size_t>(run) * frameValues * sizeof(int16_t));
        copied += run;
    }
    // Past the end, interpolation reads the last frame again, as it does in
    // a sample played once.
    if (count == have) {
        int16_t* extra = window_.data() + count * channels_;
        for (int c = 0; c < channels_; ++c)
            extra[c] = count ? extra[c - channels_] : 0;
    }
    cursor = Cursor{reinterpret_cast<const uint8_t*>(window_.data()), fraction,
                    ended ? static_cast<uint64_t>(have) << 32 : uint64_t{1} << 62, false};
    return Found::Ready;
}

uint64_t SoundFeed::Release(uint64_t position, const Cursor& cursor) {
    uint64_t first = position >> 32;
    uint64_t reached = (first << 32) + cursor.position;
    released_.store(readStart_ + static_cast<int64_t>(reached >> 32), std::memory_order_release);
    return reached;
}

uint64_t SoundFeed::SoundPosition(uint64_t position) const {
    int64_t frame = origin_ + static_cast<int64_t>(position >> 32);
    if (loop_ && length_ > 0) frame %= length_;
    return static_cast<uint64_t>(frame) << 32 | (position & 0xFFFFFFFF);
}

void FeedList::Add(std::shared_ptr<SoundFeed> feed) {
    std::lock_guard guard(lock_);
    feeds_.push_back(std::move(feed));
}

// A feed only the list still holds has no sample left to play it. The
// filling runs outside the lock, so a stream that stalls holds up no one
// but its own sound.
void FeedList::FillAll() {
    {
        std::lock_guard guard(lock_);
        std::erase_if(feeds_, [](const auto& feed) { return feed.use_count() == 1; });
        filling_ = feeds_;
    }
    for (auto& feed : filling_)
        feed->Fill();
    filling_.clear();
}

void FeedList::Clear() {
    std::lock_guard guard(lock_);
    feeds_.clear();
}

} // namespace zandrel::mix
