#include "audio_test_support.hpp"

using namespace zandrel;
using namespace zandrel::test;

namespace {

std::vector<int16_t> Constant(int frames, int16_t value) {
    return std::vector<int16_t>(static_cast<size_t>(frames), value);
}

std::vector<int16_t> Ramp(int frames, int first) {
    std::vector<int16_t> values;
    for (int i = 0; i < frames; ++i)
        values.push_back(static_cast<int16_t>(first + i));
    return values;
}

} // namespace

using MixerCoreTest = OfflineMixer;

TEST_F(MixerCoreTest, HandlesCarryTheIndexAndAGenerationThatMovesOn) {
    auto* blip = MonoSample(Constant(10, 1000), 44100, false);
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    int first = PlayAtOnce(blip, 0, 0);
    EXPECT_EQ(first, 8193);
    EXPECT_EQ(MixerChannelStatus(first), mix::VoicePlaying);
    MixBlock(); // the blip ends; played on no channel, its voice is released
    EXPECT_EQ(MixerChannelStatus(first), mix::VoiceFree);
    MixBlock(); // and recycled

    int second = PlayAtOnce(tone, 0, 0);
    EXPECT_EQ(second, 12289);
    EXPECT_EQ(MixerChannelStatus(first), 0);
    MixerSetChannelVolume(first, 0.0f);
    MixerStopChannel(first);
    auto block = MixBlock();
    EXPECT_EQ(block[0], 16000);
    EXPECT_EQ(MixerChannelStatus(second), mix::VoiceLooping);

    // A stale handle gets a channel of its own; the index's new owner plays on.
    int third = PlayAtOnce(blip, 0, first);
    EXPECT_EQ(third, 8194);
    EXPECT_EQ(MixerChannelStatus(second), mix::VoiceLooping);
    EXPECT_EQ(MixBlock()[1000], 16000);
}

TEST_F(MixerCoreTest, VoicesStartTwentyMillisecondsAfterTheyAreQueued) {
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    MixerPlaySound(tone, 0, 0); // queued at 0, picked up at 0: 882 frames later
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), 0), BlockFrames);
    left = Side(MixBlock(), 0);
    EXPECT_EQ(left[StartDelayFrames - BlockFrames - 1], 0);
    EXPECT_EQ(left[StartDelayFrames - BlockFrames], 16000);

    MixerPlaySound(tone, 0, 0);
    testNow = 10; // picked up 10 ms late: 441 frames to go
    left = Side(MixBlock(), 0);
    EXPECT_EQ(left[440], 16000);
    EXPECT_EQ(left[441], 32000);

    MixerPlaySound(tone, 0, 0);
    testNow = 40; // more than 20 ms late: at once
    EXPECT_EQ(Side(MixBlock(), 0)[0], 48000);
}

TEST_F(MixerCoreTest, SteppingHalfAFrameInterpolatesAcrossTheLoop) {
    std::vector<int16_t> values;
    for (int i = 0; i < 22050; ++i)
        values.push_back(static_cast<int16_t>(i % 1000 * 20 - 10000));
    auto* loop = MonoSample(values, 22050, true);
    PlayAtOnce(loop, 0, 0);
    std::vector<int32_t> left, right;
    for (int block = 0; block < 87; ++block) {
        auto mixed = MixBlock();
        auto l = Side(mixed, 0), r = Side(mixed, 1);
        left.insert(left.end(), l.begin(), l.end());
        right.insert(right.end(), r.begin(), r.end());
    }
    EXPECT_EQ(left, right);
    EXPECT_EQ(left[0], 16 * -10000);
    EXPECT_EQ(left[1], 16 * -9990);      // frame 0.5
    EXPECT_EQ(left[44098], 16 * -9020);  // the last frame
    EXPECT_EQ(left[44099], 16 * -9510);  // halfway back to the first frame
    EXPECT_EQ(left[44100], 16 * -10000); // wrapped without a gap
    EXPECT_EQ(left[44101], 16 * -9990);
}

TEST_F(MixerCoreTest, VolumeChangesRampAcrossOneBlock) {
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    int channel = PlayAtOnce(tone, 0, 0);
    EXPECT_EQ(Side(MixBlock(), 0)[511], 16000);
    MixerSetChannelVolume(channel, 0.0f);
    auto block = MixBlock();
    auto left = Side(block, 0);
    // 4096 - 8 * frame, in 4.12, times 1000 / 256.
    EXPECT_EQ(left[0], 16000);
    EXPECT_EQ(left[1], 15968);
    EXPECT_EQ(left[256], 8000);
    EXPECT_EQ(left[511], 31);
    EXPECT_EQ(Side(block, 1), left);
    auto silent = MixBlock();
    EXPECT_EQ(std::count(silent.begin(), silent.end(), 0), mix::BlockValues);
    EXPECT_EQ(MixerChannelStatus(channel), mix::VoiceLooping);
}

TEST_F(MixerCoreTest, RateChangesRampTheStep) {
    auto* ramp = MonoSample(Ramp(20000, 0), 44100, true);
    int channel = PlayAtOnce(ramp, 0, 0);
    EXPECT_EQ(Side(MixBlock(), 0)[511], 16 * 511);
    MixerSetChannelRate(channel, 2.0f);
    MixBlock(); // steps from 1 to 2 frames: 512 + 255.5 frames in all
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(left[0], 16 * 1279); // position 1279.5
    EXPECT_EQ(left[1] - left[0], 32);
    EXPECT_EQ(left[511] - left[510], 32);
}

TEST_F(MixerCoreTest, PanAndDepthShapeTheTwoSides) {
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    struct Case {
        float pan, depth;
        int left, right;
    };
    for (auto c :
         {Case{-1.0f, 0, 16000, 0}, Case{0.5f, 0, 8000, 16000}, Case{1.0f, 0, 0, 16000},
          Case{0, -0.1f, 16000, -16000}, Case{10.0f, 0, 0, 16000}, Case{-10.0f, 0, 16000, 0}}) {
        int channel = MixerAllocChannel();
        MixerSetChannelPan(channel, c.pan);
        MixerSetChannelDepth(channel, c.depth);
        PlayAtOnce(tone, 0, channel);
        auto block = MixBlock();
        EXPECT_EQ(block[0], c.left) << c.pan << " " << c.depth;
        EXPECT_EQ(block[1], c.right) << c.pan << " " << c.depth;
        MixerStopChannel(channel);
        MixBlock();
    }
}

TEST_F(MixerCoreTest, GroupAndMasterVolumesRampInLikeAChannelVolume) {
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    int music = MixerAllocChannel(), effect = MixerAllocChannel();
    MixerSetChannelGroup(music, 3);
    PlayAtOnce(tone, 0, music);
    MixBlock();
    MixerStopChannel(music);
    PlayAtOnce(tone, 0, music); // the channel keeps its group
    PlayAtOnce(tone, 0, effect);
    MixerSetGroupVolume(3, 0.5f);
    MixerSetMasterVolume(0.5f);
    auto left = Side(MixBlock(), 0);
    // From 2 x 16000 to 4000 + 8000 across the block, as in a volume ramp.
    EXPECT_EQ(left[0], 32000);
    EXPECT_EQ(left[256], 22000);
    EXPECT_EQ(Side(MixBlock(), 0)[0], 12000);
    EXPECT_EQ(MixerGroupVolume(3), 0.5f);

    MixerSetGroupPaused(3, 1);
    EXPECT_EQ(Side(MixBlock(), 0)[0], 8000);
    MixerSetGroupPaused(3, 0);
    EXPECT_EQ(Side(MixBlock(), 0)[0], 12000);
    EXPECT_EQ(MixerChannelPosition(music), 3.0 * BlockFrames); // held while the group paused
}

TEST_F(MixerCoreTest, PositionsFollowPlayingSkippingAndMoving) {
    auto* shortLoop = MonoSample(Ramp(100, 0), 44100, true);
    auto* ramp = MonoSample(Ramp(20000, 0), 44100, false);
    int silent = MixerAllocChannel();
    MixerSetChannelVolume(silent, 0.0f);
    PlayAtOnce(shortLoop, 0, silent);
    int moved = PlayAtOnce(ramp, 0, 0);
    MixerSetChannelPosition(moved, 1000);
    EXPECT_EQ(MixerChannelPosition(moved), 1000.0); // before the mixer has moved it
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(left[0], 16 * 1000);
    EXPECT_EQ(MixerChannelPosition(silent), 12.0); // 512 frames of a 100-frame loop skipped
    EXPECT_EQ(MixerChannelPosition(moved), 1000.0 + BlockFrames);
    MixerSetChannelVolume(silent, 1.0f);
    MixBlock();
    EXPECT_EQ(Side(MixBlock(), 0)[0], 16 * (24 + 1000 + 2 * BlockFrames));

    int cued = MixerPlaySound(ramp, 1, 0);
    auto channel = TMixerChannel::Create(cued);
    SetChannelPosition(channel, 0.5); // half a second: frame 22050, past the end
    EXPECT_EQ(ChannelPosition(channel), 20000.0 / 44100);
    SetChannelPosition(channel, 0.25);
    ResumeChannel(channel);
    testNow += mix::StartDelayMillisecs;
    MixerStopChannel(silent);
    MixerStopChannel(moved);
    EXPECT_EQ(Side(MixBlock(), 0)[0], 16 * 11025);
}

TEST_F(MixerCoreTest, VolumesBeyondTheFixedPointRangeAreClamped) {
    auto* tone = MonoSample(Constant(44100, 1000), 44100, true);
    int channel = MixerAllocChannel();
    MixerSetChannelVolume(channel, 0.5f);
    PlayAtOnce(tone, 0, channel);
    EXPECT_EQ(MixBlock()[0], 8000);
    for (auto [volume, expected] : {std::pair{8.0f, 127996}, {1e9f, 127996}, {-100.0f, -128000}}) {
        MixerSetChannelVolume(channel, volume);
        MixBlock();
        EXPECT_EQ(MixBlock()[0], expected) << volume;
    }
}

TEST_F(MixerCoreTest, AccumulatesWithoutClippingUntilConversion) {
    auto* loud = MonoSample(Constant(1000, 32767), 44100, true);
    auto* low = MonoSample(Constant(1000, -32768), 44100, true);
    int a = PlayAtOnce(loud, 0, 0);
    int b = PlayAtOnce(loud, 0, 0);
    mix::mixer& core = *MixerCore();
    std::vector<int16_t> out(mix::BlockValues);
    core.MixBlock(mix::BlockValues);
    EXPECT_EQ(core.Accumulator()[0], 2 * 16 * 32767);
    core.ConvertBlock(out.data(), mix::BlockValues);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(core.Accumulator()[0], 0);

    MixerStopChannel(b);
    core.MixBlock(mix::BlockValues);
    core.ConvertBlock(out.data(), mix::BlockValues);
    EXPECT_EQ(out[0], 32767); // one voice comes through exactly

    MixerStopChannel(a);
    PlayAtOnce(low, 0, 0);
    PlayAtOnce(low, 0, 0);
    core.MixBlock(mix::BlockValues);
    EXPECT_EQ(core.Accumulator()[0], 2 * 16 * -32768);
    core.ConvertBlock(out.data(), mix::BlockValues);
    EXPECT_EQ(out[0], -32768);
}

TEST_F(MixerCoreTest, ReadsEightBitAndStereoSamples) {
    uint8_t bytes[] = {255, 0};
    int16_t stereo[] = {1000, -2000, 1000, -2000};
    auto* eight = MixerCreateSound(2, 8, 1, 44100, bytes, -1);
    auto* eightStereo = MixerCreateSound(1, 8, 2, 44100, bytes, -1);
    auto* sixteenStereo = MixerCreateSound(2, 16, 2, 44100, stereo, -1);
    samples_.insert(samples_.end(), {eight, eightStereo, sixteenStereo});
    struct Case {
        MixerSample* sample;
        int left, right;
    };
    for (auto c : {Case{eight, 16 * 32512, 16 * 32512}, Case{eightStereo, 16 * 32512, 16 * -32768},
                   Case{sixteenStereo, 16000, -32000}}) {
        int channel = PlayAtOnce(c.sample, 0, 0);
        auto block = MixBlock();
        EXPECT_EQ(block[0], c.left);
        EXPECT_EQ(block[1], c.right);
        MixerStopChannel(channel);
        MixBlock();
    }
}

TEST_F(MixerCoreTest, PausedVoicesKeepTheirPlaceAndTakeSettingsAtOnce) {
    auto* ramp = MonoSample(Ramp(20000, 1000), 44100, false);
    int channel = MixerPlaySound(ramp, 1, 0); // queued at 0 but paused
    EXPECT_EQ(MixerChannelStatus(channel), mix::VoicePlaying | mix::VoicePaused);
    for (int i = 0; i < 4; ++i)
        MixBlock();
    MixerSetChannelVolume(channel, 0.5f);
    MixerSetChannelPaused(channel, 0);
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(left[511], 0); // the start delay is still to run
    left = Side(MixBlock(), 0);
    int start = StartDelayFrames - BlockFrames;
    EXPECT_EQ(left[start - 1], 0);
    EXPECT_EQ(left[start], 8000); // frame 0, at half level without a ramp
    EXPECT_EQ(left[start + 1], 8008);
}

TEST_F(MixerCoreTest, FinishedVoicesLeaveTheirChannelAccordingToHowTheyStarted) {
    auto* blip = MonoSample(Constant(100, 1000), 44100, false);
    int owned = MixerAllocChannel();
    EXPECT_EQ(MixerChannelStatus(owned), mix::VoiceStopped);
    PlayAtOnce(blip, 0, owned);
    int loose = PlayAtOnce(blip, 0, 0);
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(left[99], 32000);
    EXPECT_EQ(left[100], 0);
    EXPECT_EQ(MixerChannelStatus(owned), mix::VoiceStopped);
    EXPECT_EQ(MixerChannelStatus(loose), mix::VoiceFree);

    // Stopping again, or after the voice is gone, changes nothing audible.
    MixerStopChannel(owned);
    MixerStopChannel(owned);
    MixerStopChannel(loose);
    MixBlock();
    int again = PlayAtOnce(blip, 0, 0);
    MixerStopChannel(loose);
    EXPECT_EQ(Side(MixBlock(), 0)[0], 16000);
    EXPECT_EQ(MixerChannelStatus(again), mix::VoiceFree);
}

TEST_F(MixerCoreTest, PausingAStoppedChannelDoesNotReviveIt) {
    int channel = MixerAllocChannel();
    MixerSetChannelPaused(channel, 1);
    EXPECT_EQ(MixerChannelStatus(channel), mix::VoiceStopped);
}

TEST_F(MixerCoreTest, OddSamplesAndRatesAreSafe) {
    EXPECT_FALSE(MixerCreateSound(1, 12, 1, 44100, nullptr, 0));
    EXPECT_FALSE(MixerCreateSound(1, 16, 3, 44100, nullptr, 0));
    EXPECT_FALSE(MixerCreateSound(1, 16, 1, 0, nullptr, 0));
    EXPECT_FALSE(MixerCreateSound(-1, 16, 1, 44100, nullptr, 0));

    auto* empty = MixerCreateSound(0, 16, 1, 44100, nullptr, -1);
    samples_.push_back(empty);
    int channel = PlayAtOnce(empty, 0, 0);
    MixBlock(); // an empty loop ends instead of wrapping forever
    EXPECT_EQ(MixerChannelStatus(channel), mix::VoiceFree);

    auto* ramp = MonoSample(Ramp(100, 500), 44100, false);
    channel = MixerAllocChannel();
    MixerSetChannelRate(channel, -1.0f);
    PlayAtOnce(ramp, 0, channel);
    auto left = Side(MixBlock(), 0);
    EXPECT_EQ(left[0], 16 * 500);
    EXPECT_EQ(left[511], 16 * 500); // held at 0, never stepping backwards

    // Half a frame before the end of a one-shot, the extra frame repeats the last.
    MixerSetChannelRate(channel, 0.5f);
    PlayAtOnce(ramp, 0, channel);
    left = Side(MixBlock(), 0);
    EXPECT_EQ(left[198], 16 * 599);
    EXPECT_EQ(left[199], 16 * 599);
    EXPECT_EQ(left[200], 0);
}

TEST_F(MixerCoreTest, APlayQueueThatIsFullRefusesMore) {
    auto* blip = MonoSample(Constant(10, 1), 44100, false);
    int channel = MixerAllocChannel();
    int started = 0;
    while (MixerPlaySound(blip, 0, channel) == channel)
        ++started;
    EXPECT_EQ(started, mix::RingSlots - 1);
    MixBlock();
    EXPECT_EQ(MixerPlaySound(blip, 0, channel), channel);
}

TEST(MixerApi, DoesNothingBeforeItStarts) {
    MixerClose();
    EXPECT_FALSE(MixerCreateSound(10, 16, 1, 44100, nullptr, 0));
    EXPECT_EQ(MixerAllocChannel(), 0);
    EXPECT_EQ(MixerPlaySound(nullptr, 0, 77), 77);
    EXPECT_EQ(MixerChannelStatus(8193), 0);
    MixerStopChannel(8193);
    MixerSetChannelVolume(8193, 1.0f);
    int16_t out[4];
    EXPECT_EQ(MixerRender(out, 2), -1);
}
