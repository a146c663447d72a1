// Reads object graphs from a fuzzed data stream (type tags, type-name lines,
// back-references, banks, pixmaps and images), over a plain, a big-endian or a
// UTF-8 text stream as the first byte chooses, then writes what it read to a
// new data stream: that must read back with no error.
#include "vex2d/vex2d_parts.hpp"

#include <zandrel/pixmap.hpp>
#include <zandrel/stream.hpp>

#include <cstdint>
#include <vector>

using namespace zandrel;

namespace {

constexpr int maxObjects = 64;

Ref<TStream> Inner(int kind, Ref<TStream> bytes) {
    switch (kind % 3) {
    case 1:
        return BigEndianStream(bytes);
    case 2:
        return CreateTextStream(bytes, TextEncoding::Utf8);
    default:
        return bytes;
    }
}

std::vector<Ref<Object>> ReadObjects(const Ref<TStream>& inner) {
    std::vector<Ref<Object>> objects;
    auto data = CreateDataStream(inner);
    try {
        while (!data->Eof() && objects.size() < maxObjects)
            objects.push_back(data->ReadObject());
    } catch (const RuntimeError&) {
        // Malformed data: a refusal, with the objects read so far kept.
    }
    return objects;
}

void CheckRoundTrip(int kind, const std::vector<Ref<Object>>& objects) {
    auto bank = CreateBank(0);
    auto out = CreateDataStream(Inner(kind, CreateBankStream(bank)));
    for (const auto& object : objects)
        out->WriteObject(object);
    auto in = CreateDataStream(Inner(kind, CreateBankStream(bank)));
    for (size_t i = 0; i < objects.size(); ++i)
        if (static_cast<bool>(in->ReadObject()) != static_cast<bool>(As<TDataObject>(objects[i])))
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The bank, pixmap and image types; not the graphics drivers' types,
    // whose reading opens a display.
    StartStreamModule();
    StartPixmapModule();
    StartImageModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    auto bytes = CreateMemoryStream(const_cast<uint8_t*>(data + 1), static_cast<int>(size - 1),
                                    FileMode::Read);
    auto objects = ReadObjects(Inner(data[0], bytes));
    CheckRoundTrip(data[0], objects);
    return 0;
}
