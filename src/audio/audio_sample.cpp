#include <zandrel/audio.hpp>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zandrel {

namespace {

bool IsSampleFormat(SampleFormat format) {
    return format >= SampleFormat::SampleMono8 && format <= SampleFormat::SampleStereo16BE;
}

void CheckFormats(SampleFormat a, SampleFormat b) {
    if (!IsSampleFormat(a) || !IsSampleFormat(b))
        throw RuntimeError("Unimplemented sample format conversion");
}

void CheckShape(int length, SampleFormat format) {
    if (ToNumber(format) < 0 || format > SampleFormat::SampleStereo16BE)
        throw RuntimeError("Invalid sample format");
    if (length < 0) throw RuntimeError("Invalid sample length");
}

size_t ByteCount(SampleFormat format, int count) {
    return static_cast<size_t>(count) * static_cast<size_t>(BytesPerSample[format]);
}

// The bytes an owning sample of that shape holds; the count must fit Capacity().
size_t OwnedBytes(int length, SampleFormat format) {
    CheckShape(length, format);
    size_t bytes = ByteCount(format, length);
    if (bytes > INT_MAX) throw RuntimeError("Audio sample too large");
    return bytes;
}

int16_t LoadLE(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}
int16_t LoadBE(const uint8_t* p) {
    return static_cast<int16_t>(p[0] << 8 | p[1]);
}
void StoreLE(uint8_t* p, int v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void StoreBE(uint8_t* p, int v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

int From8(uint8_t b) {
    return b * 257 - 32768;
}
uint8_t To8(int v) {
    return static_cast<uint8_t>((v + 32768) / 257);
}

// Each frame of the pivot format: left and right, signed 16-bit, high byte first.
void ExpandToPivot(const uint8_t* src, SampleFormat format, uint8_t* dst, int count) {
    for (int i = 0; i < count; ++i, dst += 4) {
        int l = 0, r = 0;
        switch (format) {
        case SampleFormat::SampleMono8:
            l = r = From8(src[i]);
            break;
        case SampleFormat::SampleStereo8:
            l = From8(src[2 * i]);
            r = From8(src[2 * i + 1]);
            break;
        case SampleFormat::SampleMono16LE:
            l = r = LoadLE(src + 2 * i);
            break;
        case SampleFormat::SampleMono16BE:
            l = r = LoadBE(src + 2 * i);
            break;
        case SampleFormat::SampleStereo16LE:
            l = LoadLE(src + 4 * i);
            r = LoadLE(src + 4 * i + 2);
            break;
        case SampleFormat::SampleStereo16BE: // the pivot itself is copied, never expanded
            break;
        }
        StoreBE(dst, l);
        StoreBE(dst + 2, r);
    }
}

void ReduceFromPivot(const uint8_t* src, uint8_t* dst, SampleFormat format, int count) {
    for (int i = 0; i < count; ++i, src += 4) {
        int l = LoadBE(src), r = LoadBE(src + 2);
        int m = (l + r) / 2;
        switch (format) {
        case SampleFormat::SampleMono8:
            dst[i] = To8(m);
            break;
        case SampleFormat::SampleStereo8:
            dst[2 * i] = To8(l);
            dst[2 * i + 1] = To8(r);
            break;
        case SampleFormat::SampleMono16LE:
            StoreLE(dst + 2 * i, m);
            break;
        case SampleFormat::SampleMono16BE:
            StoreBE(dst + 2 * i, m);
            break;
        case SampleFormat::SampleStereo16LE:
            StoreLE(dst + 4 * i, l);
            StoreLE(dst + 4 * i + 2, r);
            break;
        case SampleFormat::SampleStereo16BE: // likewise
            break;
        }
    }
}

} // namespace

TAudioSample::~TAudioSample() {
    if (capacity_ >= 0) std::free(samples_);
}

Ref<TAudioSample> TAudioSample::CreateAudioSample(int length, int hertz, SampleFormat format) {
    size_t bytes = OwnedBytes(length, format);
    auto sample = New<TAudioSample>();
    // One spare byte so that an empty sample still has an address of its own.
    sample->samples_ = static_cast<uint8_t*>(std::malloc(bytes + 1));
    if (!sample->samples_) throw RuntimeError("Out of memory for audio sample");
    sample->length_ = length;
    sample->hertz_ = hertz;
    sample->format_ = format;
    sample->capacity_ = static_cast<int>(bytes);
    return sample;
}

Ref<TAudioSample> TAudioSample::CreateStaticAudioSample(void* samples, int length, int hertz,
                                                        SampleFormat format) {
    CheckShape(length, format);
    auto sample = New<TAudioSample>();
    sample->samples_ = static_cast<uint8_t*>(samples);
    sample->length_ = length;
    sample->hertz_ = hertz;
    sample->format_ = format;
    sample->capacity_ = -1;
    return sample;
}

Ref<TAudioSample> TAudioSample::Copy() const {
    auto copy = CreateAudioSample(length_, hertz_, format_);
    CopySamples(samples_, copy->samples_, format_, length_);
    return copy;
}

Ref<TAudioSample> TAudioSample::Convert(SampleFormat format) const {
    CheckFormats(format_, format);
    auto converted = CreateAudioSample(length_, hertz_, format);
    ConvertSamples(samples_, format_, converted->samples_, format, length_);
    return converted;
}

void TAudioSample::Resize(int length) {
    size_t bytes = OwnedBytes(length, format_);
    if (capacity_ < 0) {
        if (length > length_) throw RuntimeError("Cannot grow a sample over borrowed memory");
        length_ = length;
        return;
    }
    auto* samples = static_cast<uint8_t*>(std::realloc(samples_, bytes + 1));
    if (!samples) throw RuntimeError("Out of memory for audio sample");
    samples_ = samples;
    length_ = length;
    capacity_ = static_cast<int>(bytes);
}

Ref<TAudioSample> CreateAudioSample(int length, int hertz, SampleFormat format) {
    return TAudioSample::CreateAudioSample(length, hertz, format);
}

Ref<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz,
                                          SampleFormat format) {
    return TAudioSample::CreateStaticAudioSample(samples, length, hertz, format);
}

void CopySamples(const void* source, void* destination, SampleFormat format, int count) {
    if (ToNumber(format) < 0 || format > SampleFormat::SampleStereo16BE || count <= 0) return;
    std::memcpy(destination, source, ByteCount(format, count));
}

void ConvertSamples(const void* source, SampleFormat sourceFormat, void* destination,
                    SampleFormat destinationFormat, int count) {
    CheckFormats(sourceFormat, destinationFormat);
    if (count <= 0) return;
    const auto* src = static_cast<const uint8_t*>(source);
    auto* dst = static_cast<uint8_t*>(destination);
    if (sourceFormat == destinationFormat) {
        CopySamples(src, dst, sourceFormat, count);
        return;
    }
    if (destinationFormat == SampleFormat::SampleStereo16BE) {
        ExpandToPivot(src, sourceFormat, dst, count);
        return;
    }
    std::vector<uint8_t> pivot;
    if (sourceFormat != SampleFormat::SampleStereo16BE) {
        pivot.resize(ByteCount(SampleFormat::SampleStereo16BE, count));
        ExpandToPivot(src, sourceFormat, pivot.data(), count);
        src = pivot.data();
    }
    ReduceFromPivot(src, dst, destinationFormat, count);
}

} // namespace zandrel
