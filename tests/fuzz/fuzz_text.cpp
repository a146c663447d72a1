// Reads fuzzed bytes as text: whole, with byte-order-mark detection, and
// through a text stream in the encoding the first byte chooses, by a
// sequence of reads (characters, lines, counted strings, decimal numbers,
// hexadecimal raw bytes) that the next bytes choose. Latin-1 and UTF-16 text
// must write back to the bytes it was read from.
#include <zandrel/stream.hpp>

#include <algorithm>
#include <cstdint>

using namespace zandrel;

namespace {

constexpr int maxSteps = 16;

void ReadStep(TTextStream& text, int step) {
    uint8_t raw[64];
    int count = step >> 3;
    switch (step & 7) {
    case 0:
        text.ReadLine();
        break;
    case 1:
        text.ReadChar();
        break;
    case 2:
        text.ReadString(count);
        break;
    case 3:
        text.ReadInt();
        break;
    case 4:
        text.ReadLong();
        break;
    case 5:
        text.ReadDouble();
        text.ReadFloat();
        break;
    case 6:
        text.Read(raw, count);
        break;
    default:
        text.ReadAllText();
        break;
    }
}

// Latin-1 and UTF-16 map bytes to characters one to one (UTF-16 up to a
// last odd byte).
void CheckWritesBack(TextEncoding encoding, const uint8_t* data, int size) {
    if (encoding == TextEncoding::Utf8) return;
    auto in = CreateTextStream(CreateMemoryStream(const_cast<uint8_t*>(data), size, FileMode::Read),
                               encoding);
    String text = in->ReadAllText();
    auto bank = CreateBank(0);
    CreateTextStream(CreateBankStream(bank), encoding)->WriteString(text);
    int whole = encoding == TextEncoding::Latin1 ? size : size & ~1;
    if (bank->Size() < whole) __builtin_trap();
    for (int i = 0; i < whole; ++i)
        if (bank->Buf()[i] != data[i]) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartStreamModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    auto encoding = static_cast<TextEncoding>(data[0] % 4 + 1);
    int steps = data[1] % (maxSteps + 1);
    size_t head = std::min(size, size_t{2} + steps);
    auto* payload = const_cast<uint8_t*>(data + head);
    int payloadSize = static_cast<int>(size - head);

    ReadTextFrom(CreateBankOver(payload, payloadSize));
    auto text =
        CreateTextStream(CreateMemoryStream(payload, payloadSize, FileMode::Read), encoding);
    try {
        for (size_t i = 2; i < head; ++i)
            ReadStep(*text, data[i]);
    } catch (const RuntimeError&) {
        // A malformed hexadecimal digit or line end.
    }
    CheckWritesBack(encoding, payload, payloadSize);
    return 0;
}
