#include "openers.hpp"
#include "whole_url.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace zandrel {

namespace {

[[noreturn, gnu::cold, gnu::noinline]] void ThrowOutOfRange(int offset, int count, int size) {
    throw RuntimeError(S("Bank offset ") + FromInt(offset) + S(" out of range for ") +
                       FromInt(count) + S(" bytes in a bank of ") + FromInt(size));
}

// Throws unless count bytes at offset lie inside a bank of `size` bytes.
inline void CheckRange(int offset, int count, int size) {
    if (offset < 0 || count < 0 || count > size - offset) [[unlikely]]
        ThrowOutOfRange(offset, count, size);
}

// The first bytes to read of a bank whose size a stream that cannot seek has
// announced: the bank grows as more arrive, so a short input costs what it holds.
constexpr int firstUnseekableChunk = 64 * 1024;

Ref<TBank> ReadBankBytes(TStream& stream, int size) {
    if (stream.Pos() >= 0) {
        auto bank = TBank::CreateBank(size);
        ReadExactly(stream, bank->Buf(), size);
        return bank;
    }
    auto bank = TBank::CreateBank(0);
    for (int have = 0; have < size;) {
        int chunk = std::min(size - have, std::max(have, firstUnseekableChunk));
        bank->Resize(have + chunk);
        ReadExactly(stream, bank->Buf() + have, chunk);
        have += chunk;
    }
    return bank;
}

// Writes a bank as its size and its bytes.
class TBankDataType : public TDataType {
public:
    String Name() override { return S("KVO.Bank.TBank"); }

    Ref<Object> Read(TStream& stream) override {
        int size = stream.ReadInt();
        CheckDataLength(stream, size);
        return ReadBankBytes(stream, size);
    }

    void Write(const Ref<Object>& object, TStream& stream) override {
        auto bank = As<TBank>(object);
        stream.WriteInt(bank->Size());
        stream.WriteBytes(bank->Buf(), bank->Size());
    }
};

Ref<TBankDataType> bankDataType;

} // namespace

void StartBankDataType() {
    bankDataType = New<TBankDataType>();
}

TBank::~TBank() {
    if (capacity_ >= 0) std::free(buf_);
}

Ref<TDataType> TBank::DataType() {
    return bankDataType;
}

uint8_t* TBank::Lock() {
    ++locks_;
    return buf_;
}

void TBank::Unlock() {
    --locks_;
}

void TBank::Resize(int size) {
    if (size < 0) throw RuntimeError("Bank size must not be negative");
    if (capacity_ < size) {
        int capacity = capacity_ * 3 / 2;
        if (capacity < size) capacity = size;
        auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity)));
        if (!block && capacity > 0) throw RuntimeError("Out of memory resizing bank");
        // A borrowed block may be larger than the new size: copy what fits.
        int kept = std::min(size_, size);
        if (kept > 0) std::memcpy(block, buf_, static_cast<size_t>(kept));
        if (capacity_ >= 0) std::free(buf_);
        buf_ = block;
        capacity_ = capacity;
    }
    size_ = size;
}

int TBank::ReadFrom(TStream& stream, int offset, int count) {
    CheckRange(offset, count, size_);
    return stream.Read(buf_ + offset, count);
}

int TBank::WriteTo(TStream& stream, int offset, int count) {
    CheckRange(offset, count, size_);
    return stream.Write(buf_ + offset, count);
}

template <class T> T TBank::Get(int offset) const {
    CheckRange(offset, sizeof(T), size_);
    T value;
    std::memcpy(&value, buf_ + offset, sizeof(T));
    return value;
}

template <class T> void TBank::Set(int offset, T value) {
    CheckRange(offset, sizeof(T), size_);
    std::memcpy(buf_ + offset, &value, sizeof(T));
}

int TBank::GetByteAt(int offset) const {
    return Get<uint8_t>(offset);
}
void TBank::SetByteAt(int offset, int value) {
    Set(offset, static_cast<uint8_t>(value));
}
int TBank::GetShortAt(int offset) const {
    return Get<uint16_t>(offset);
}
void TBank::SetShortAt(int offset, int value) {
    Set(offset, static_cast<uint16_t>(value));
}
int32_t TBank::GetIntAt(int offset) const {
    return Get<int32_t>(offset);
}
void TBank::SetIntAt(int offset, int32_t value) {
    Set(offset, value);
}
int64_t TBank::GetLongAt(int offset) const {
    return Get<int64_t>(offset);
}
void TBank::SetLongAt(int offset, int64_t value) {
    Set(offset, value);
}
float TBank::GetFloatAt(int offset) const {
    return Get<float>(offset);
}
void TBank::SetFloatAt(int offset, float value) {
    Set(offset, value);
}
double TBank::GetDoubleAt(int offset) const {
    return Get<double>(offset);
}
void TBank::SetDoubleAt(int offset, double value) {
    Set(offset, value);
}

bool TBank::Save(const Url& url) {
    auto stream = OpenSaveStream(url);
    if (!stream) return false;
    try {
        stream->WriteBytes(buf_, size_);
    } catch (const TStreamWriteError&) {
        return false;
    }
    return stream->Close();
}

Ref<TBank> TBank::LoadBank(const Url& url) {
    auto stream = OpenReadStream(url);
    if (!stream) return nullptr;
    ByteArray bytes = ReadRemainingBytes(*stream);
    stream->Close();
    auto bank = CreateBank(static_cast<int>(bytes.size()));
    if (!bytes.empty()) std::memcpy(bank->buf_, bytes.data(), bytes.size());
    return bank;
}

Ref<TBank> TBank::CreateBank(int size) {
    if (size < 0) throw RuntimeError("Bank size must not be negative");
    auto bank = New<TBank>();
    bank->buf_ = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size > 0 ? size : 1)));
    if (!bank->buf_) throw RuntimeError("Out of memory creating bank");
    bank->size_ = bank->capacity_ = size;
    return bank;
}

Ref<TBank> TBank::CreateBankOver(void* address, int size) {
    if (size < 0) throw RuntimeError("Bank size must not be negative");
    auto bank = New<TBank>();
    bank->buf_ = static_cast<uint8_t*>(address);
    bank->size_ = size;
    bank->capacity_ = -1;
    return bank;
}

Ref<TBank> LoadBank(const Url& url) {
    return TBank::LoadBank(url);
}
Ref<TBank> CreateBank(int size) {
    return TBank::CreateBank(size);
}
Ref<TBank> CreateBankOver(void* address, int size) {
    return TBank::CreateBankOver(address, size);
}
uint8_t* BankBuf(const Ref<TBank>& bank) {
    return bank->Buf();
}
uint8_t* LockBank(const Ref<TBank>& bank) {
    return bank->Lock();
}
void UnlockBank(const Ref<TBank>& bank) {
    bank->Unlock();
}
int BankSize(const Ref<TBank>& bank) {
    return bank->Size();
}
int BankCapacity(const Ref<TBank>& bank) {
    return bank->Capacity();
}
void ResizeBank(const Ref<TBank>& bank, int size) {
    bank->Resize(size);
}
int ReadBank(const Ref<TBank>& bank, TStream& stream, int offset, int count) {
    return bank->ReadFrom(stream, offset, count);
}
int WriteBank(const Ref<TBank>& bank, TStream& stream, int offset, int count) {
    return bank->WriteTo(stream, offset, count);
}
int PeekByte(const Ref<TBank>& bank, int offset) {
    return bank->GetByteAt(offset);
}
void PokeByte(const Ref<TBank>& bank, int offset, int value) {
    bank->SetByteAt(offset, value);
}
int PeekShort(const Ref<TBank>& bank, int offset) {
    return bank->GetShortAt(offset);
}
void PokeShort(const Ref<TBank>& bank, int offset, int value) {
    bank->SetShortAt(offset, value);
}
int32_t PeekInt(const Ref<TBank>& bank, int offset) {
    return bank->GetIntAt(offset);
}
void PokeInt(const Ref<TBank>& bank, int offset, int32_t value) {
    bank->SetIntAt(offset, value);
}
int64_t PeekLong(const Ref<TBank>& bank, int offset) {
    return bank->GetLongAt(offset);
}
void PokeLong(const Ref<TBank>& bank, int offset, int64_t value) {
    bank->SetLongAt(offset, value);
}
float PeekFloat(const Ref<TBank>& bank, int offset) {
    return bank->GetFloatAt(offset);
}
void PokeFloat(const Ref<TBank>& bank, int offset, float value) {
    bank->SetFloatAt(offset, value);
}
double PeekDouble(const Ref<TBank>& bank, int offset) {
    return bank->GetDoubleAt(offset);
}
void PokeDouble(const Ref<TBank>& bank, int offset, double value) {
    bank->SetDoubleAt(offset, value);
}
bool SaveBank(const Ref<TBank>& bank, const Url& url) {
    return bank->Save(url);
}

void CopyBankBytes(const Ref<TBank>& source, int sourceOffset, const Ref<TBank>& target,
                   int targetOffset, int count) {
    CheckRange(sourceOffset, count, source->Size());
    CheckRange(targetOffset, count, target->Size());
    const uint8_t* from = source->Buf() + sourceOffset;
    uint8_t* to = target->Buf() + targetOffset;
    for (int i = 0; i < count; ++i)
        to[i] = from[i];
}

int TBankStream::Seek(int pos) {
    pos_ = std::clamp(pos, 0, Size());
    return pos_;
}

int TBankStream::Read(void* buf, int count) {
    int size = Size();
    if (count < 1 || pos_ >= size) return 0;
    if (count > size - pos_) count = size - pos_;
    std::memcpy(buf, bank_->Buf() + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int TBankStream::Write(const void* buf, int count) {
    // A bank holds at most INT_MAX bytes.
    if (count < 1 || pos_ > Size() || count > INT_MAX - pos_) return 0;
    if (pos_ + count > Size()) bank_->Resize(pos_ + count);
    std::memcpy(bank_->Buf() + pos_, buf, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

Ref<TBankStream> TBankStream::Create(Ref<TBank> bank) {
    auto stream = New<TBankStream>();
    stream->bank_ = std::move(bank);
    return stream;
}

Ref<TBankStream> CreateBankStream(Ref<TBank> bank) {
    return TBankStream::Create(bank ? std::move(bank) : TBank::CreateBank(0));
}

Ref<TStream> TBankStreamOpener::TryOpen(const Url& url, const String&, const String&, FileMode) {
    if (auto bank = url.As<TBank>()) return CreateBankStream(bank);
    return nullptr;
}

int TMemoryStream::Seek(int pos) {
    pos_ = std::clamp(pos, 0, size_);
    return pos_;
}

int TMemoryStream::Read(void* buf, int count) {
    if (count <= 0 || !readable_) return 0;
    if (count > size_ - pos_) count = size_ - pos_;
    if (count <= 0) return 0;
    std::memcpy(buf, buf_ + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int TMemoryStream::Write(const void* buf, int count) {
    if (count <= 0 || !writeable_) return 0;
    if (count > size_ - pos_) count = size_ - pos_;
    if (count <= 0) return 0;
    std::memcpy(buf_ + pos_, buf, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

Ref<TMemoryStream> CreateMemoryStream(void* buf, int size, FileMode mode) {
    auto stream = New<TMemoryStream>();
    stream->buf_ = static_cast<uint8_t*>(buf);
    stream->size_ = size;
    stream->readable_ = static_cast<bool>(mode & FileMode::Read);
    stream->writeable_ = static_cast<bool>(mode & FileMode::Write);
    return stream;
}

} // namespace zandrel
