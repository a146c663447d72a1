// Opens arbitrary text as a URL for reading (protocol split, nested
// protocols, "incbin::" names, plain paths inside a scratch folder), or the
// bytes as a bank, and reads a little of whatever opens.
#include "fuzz_text_input.hpp"

#include <zandrel/stream.hpp>

#include <cstdint>

using namespace zandrel;

namespace {

const char embedded[] = "embedded bytes\n41424344\r\n";

void ReadSome(TStream& stream) {
    uint8_t buffer[4096];
    try {
        stream.Pos();
        stream.Size();
        stream.ReadLine();
        ReadUpTo(stream, buffer, sizeof buffer);
    } catch (const RuntimeError&) {
        // Malformed data for the stream's kind (a bad hexadecimal line).
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartStreamModule();
    RegisterEmbedded(u"res.bin", embedded, sizeof embedded - 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnterScratchFolder();
    if (size < 1 || size > 4096) return 0;
    int mode = data[0];
    Url url;
    if (mode & 1) {
        url = CreateBankOver(const_cast<uint8_t*>(data + 1), static_cast<int>(size - 1));
    } else {
        String text = fuzz::TextFromBytes(data + 1, size - 1, mode & 2);
        if (!fuzz::StaysInCurrentFolder(text)) return 0;
        url = text;
    }
    // Reading only: a writeable open would make files with arbitrary names.
    if (auto stream = OpenStream(url, FileMode::Read)) {
        ReadSome(*stream);
        stream->Close();
    }
    return 0;
}
