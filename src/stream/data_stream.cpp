#include "openers.hpp"

#include <unordered_map>

namespace zandrel {

Ref<TDataType> TDataObject::DataType() {
    ThrowAbstract();
}

String TDataType::Name() {
    ThrowAbstract();
}
Ref<Object> TDataType::Read(TStream&) {
    ThrowAbstract();
}
void TDataType::Write(const Ref<Object>&, TStream&) {
    ThrowAbstract();
}
void TDataType::ReadFinish(const Ref<Object>&, TStream&) {}

TDataType* FirstDataType() {
    return Registered<TDataType>::First();
}

TDataType* FindDataType(const String& name) {
    for (auto* type = FirstDataType(); type; type = type->Next())
        if (type->Name() == name) return type;
    return nullptr;
}

void CheckDataLength(TStream& stream, int64_t length) {
    int pos = stream.Pos();
    int64_t left = pos >= 0 ? stream.Size() - pos : MaxDataLength;
    if (length < 0 || length > left || length > MaxDataLength)
        throw RuntimeError(S("Length in data stream out of range: ") + FromLong(length));
}

namespace {
constexpr int noObjectTag = 0;
constexpr int backReferenceTag = 255;
constexpr int initialTableSize = 256;
} // namespace

struct TDataStream::Tables {
    int objectCount = 0;
    int typeCount = 0;
    std::vector<Ref<Object>> objects = std::vector<Ref<Object>>(initialTableSize);
    std::vector<TDataType*> types = std::vector<TDataType*>(initialTableSize);
    std::unordered_map<Ref<Object>, int> objectIndex;
    std::unordered_map<String, int> typeIndex;
};

TDataStream::TDataStream() : tables_(std::make_unique<Tables>()) {}
TDataStream::~TDataStream() = default;

void TDataStream::WriteObject(const Ref<Object>& object) {
    auto dataObject = As<TDataObject>(object);
    if (!dataObject) return WriteByte(noObjectTag);
    auto& t = *tables_;
    if (auto found = t.objectIndex.find(object); found != t.objectIndex.end()) {
        WriteByte(backReferenceTag);
        WriteInt(found->second);
        return;
    }
    auto type = dataObject->DataType();
    String name = type->Name();
    if (auto found = t.typeIndex.find(name); found != t.typeIndex.end()) {
        WriteByte(found->second);
    } else {
        if (++t.typeCount == backReferenceTag) throw RuntimeError("Too many DataTypes");
        t.typeIndex.emplace(name, t.typeCount);
        WriteByte(t.typeCount);
        WriteLine(name);
    }
    t.objectIndex.emplace(object, ++t.objectCount);
    type->Write(object, *this);
}

Ref<Object> TDataStream::ReadObject() {
    auto& t = *tables_;
    int tag = ReadByte();
    if (tag == noObjectTag) return nullptr;
    if (tag == backReferenceTag) {
        int index = ReadInt();
        if (index < 1 || index > t.objectCount)
            throw RuntimeError(S("Data stream refers to unknown object ") + FromInt(index));
        return t.objects[static_cast<size_t>(index)];
    }
    if (tag < 0 || tag > backReferenceTag) throw RuntimeError("Malformed data stream");
    auto& type = t.types[static_cast<size_t>(tag)];
    if (!type) {
        String name = ReadLine();
        type = FindDataType(name);
        if (!type) throw RuntimeError(S("Unrecognized DataType: ") + name);
    }
    int index = ++t.objectCount;
    if (index == static_cast<int>(t.objects.size())) t.objects.resize(t.objects.size() * 2);
    auto object = type->Read(*this);
    t.objects[static_cast<size_t>(index)] = object;
    type->ReadFinish(object, *this);
    return object;
}

Ref<TDataStream> CreateDataStream(Ref<TStream> stream) {
    auto data = New<TDataStream>();
    data->SetInner(std::move(stream));
    return data;
}

Ref<TStream> TDataStreamOpener::TryOpen(const Url&, const String& proto, const String& path,
                                        FileMode mode) {
    if (proto != u"data") return nullptr;
    if (mode == FileMode::ReadWrite)
        throw RuntimeError("DataStreams can not be both readable and writeable");
    auto stream = OpenStream(path, mode);
    return stream ? CreateDataStream(stream) : nullptr;
}

} // namespace zandrel
