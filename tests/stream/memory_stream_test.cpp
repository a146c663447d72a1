#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <functional>

#include <cstring>

using namespace zandrel;
using namespace zandrel::test;

namespace zandrel::embedded {
extern const unsigned char test_embedded_greeting[];
extern const std::size_t test_embedded_greeting_size;
} // namespace zandrel::embedded

TEST(Embedded, OpensThroughIncbin) {
    using namespace zandrel::embedded;
    const int size = static_cast<int>(test_embedded_greeting_size);
    EXPECT_TRUE(RegisterEmbedded(u"greeting.txt", test_embedded_greeting, size));
    // The first registration stays.
    static const char other[] = "other";
    EXPECT_FALSE(RegisterEmbedded(u"greeting.txt", other, 5));
    EXPECT_EQ(EmbeddedData(u"greeting.txt"), test_embedded_greeting);
    EXPECT_EQ(EmbeddedSize(u"greeting.txt"), size);
    EXPECT_EQ(EmbeddedSize(u"missing"), 0);
    EXPECT_EQ(EmbeddedData(u"missing"), nullptr);

    auto stream = OpenReadStream(u"incbin::greeting.txt");
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Size(), size);
    EXPECT_EQ(stream->ReadLine(), u"Hello from inside the executable.");
    EXPECT_EQ(LoadByteString(u"INCBIN::greeting.txt").size(), static_cast<size_t>(size));
    EXPECT_FALSE(OpenWriteStream(u"incbin::greeting.txt"));
    EXPECT_FALSE(OpenStream(u"incbin::greeting.txt", FileMode::ReadWrite));
    EXPECT_FALSE(OpenReadStream(u"incbin::Greeting.txt"));
    // Read-only: the exact-count writer reports that nothing was taken.
    auto readable = OpenStream(u"incbin::greeting.txt", FileMode::Read);
    EXPECT_THROW(readable->WriteByte(1), TStreamWriteError);
}

TEST(Bank, ResizeGrowsByHalf) {
    auto bank = CreateBank(100);
    EXPECT_EQ(bank->Capacity(), 100);
    bank->Resize(120);
    EXPECT_EQ(bank->Size(), 120);
    EXPECT_EQ(bank->Capacity(), 150);
    bank->Resize(10);
    EXPECT_EQ(bank->Size(), 10);
    EXPECT_EQ(bank->Capacity(), 150);
    auto other = CreateBank(100);
    other->Resize(200);
    EXPECT_EQ(other->Capacity(), 200);

    // Contents survive growth.
    for (int i = 0; i < 10; ++i)
        bank->SetByteAt(i, i + 1);
    bank->Resize(1000);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(bank->GetByteAt(i), i + 1);
    EXPECT_THROW(CreateBank(-1), RuntimeError);
}

TEST(Bank, BorrowedMemoryIsNeverFreedOrChanged) {
    uint8_t memory[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        auto bank = CreateBankOver(memory, 8);
        EXPECT_EQ(bank->Capacity(), -1);
        EXPECT_EQ(bank->Buf(), memory);
        bank->Resize(20);
        EXPECT_NE(bank->Buf(), memory);
        EXPECT_EQ(bank->Capacity(), 20);
        EXPECT_EQ(bank->GetByteAt(7), 8);
        bank->SetByteAt(0, 99);
    }
    {
        // Any resize moves a borrowed bank to a block of its own, also one
        // that shrinks it: only the bytes that fit are copied.
        auto bank = CreateBankOver(memory, 8);
        bank->Resize(4);
        EXPECT_NE(bank->Buf(), memory);
        EXPECT_EQ(bank->Capacity(), 4);
        EXPECT_EQ(bank->GetByteAt(3), 4);
        bank->SetByteAt(1, 99);
    }
    EXPECT_EQ(memory[0], 1);
}

TEST(Bank, TypedAccessAndCopies) {
    auto bank = CreateBank(32);
    bank->SetByteAt(0, 0x1FF);
    bank->SetShortAt(1, 0xFFFF);
    bank->SetIntAt(3, -123456);
    bank->SetLongAt(7, -1234567890123LL);
    bank->SetFloatAt(15, 0.25f);
    bank->SetDoubleAt(19, 1e100);
    EXPECT_EQ(PeekByte(bank, 0), 0xFF);
    EXPECT_EQ(PeekShort(bank, 1), 0xFFFF);
    EXPECT_EQ(PeekInt(bank, 3), -123456);
    EXPECT_EQ(PeekLong(bank, 7), -1234567890123LL);
    EXPECT_EQ(PeekFloat(bank, 15), 0.25f);
    EXPECT_EQ(PeekDouble(bank, 19), 1e100);
    EXPECT_EQ(LockBank(bank), bank->Buf());
    EXPECT_EQ(bank->Locks(), 1);
    UnlockBank(bank);
    EXPECT_EQ(bank->Locks(), 0);

    // Ascending byte order: an overlapping copy forward repeats the start.
    auto pattern = CreateBank(6);
    for (int i = 0; i < 6; ++i)
        pattern->SetByteAt(i, i);
    CopyBankBytes(pattern, 0, pattern, 2, 4);
    EXPECT_EQ(BankBytes(pattern), Bytes({0, 1, 0, 1, 0, 1}));
}

// Every access outside the bank is refused in every build, naming the offset.
TEST(Bank, AccessOutsideIsARuntimeError) {
    auto bank = CreateBank(16);
    auto other = CreateBank(4);
    auto stream = CreateBankStream(CreateBank(64));
    struct Case {
        int offset;
        std::function<void()> access;
    };
    const Case cases[] = {
        {13, [&] { bank->GetIntAt(13); }},
        {-1, [&] { PeekByte(bank, -1); }},
        {16, [&] { bank->SetByteAt(16, 0); }},
        {9, [&] { PokeLong(bank, 9, 0); }},
        {0, [&] { bank->ReadFrom(*stream, 0, 17); }},
        {10, [&] { bank->WriteTo(*stream, 10, 7); }},
        {12, [&] { bank->ReadFrom(*stream, 12, -1); }},
        {14, [&] { CopyBankBytes(bank, 14, other, 0, 3); }},
        {2, [&] { CopyBankBytes(bank, 0, other, 2, 3); }},
        {2147483647, [&] { bank->GetShortAt(2147483647); }},
    };
    for (const auto& c : cases) {
        try {
            c.access();
            ADD_FAILURE() << "no error at " << c.offset;
        } catch (const RuntimeError& e) {
            EXPECT_NE(e.Message().find(u"offset " + FromInt(c.offset) + u" "), String::npos)
                << ToUtf8(e.Message());
        }
    }
    // The edges themselves are inside.
    bank->SetIntAt(12, 7);
    EXPECT_EQ(bank->GetIntAt(12), 7);
    EXPECT_EQ(bank->ReadFrom(*stream, 16, 0), 0);
    CopyBankBytes(bank, 12, other, 0, 4);
    EXPECT_EQ(other->GetIntAt(0), 7);
    EXPECT_THROW(bank->Resize(-1), RuntimeError);
    EXPECT_EQ(bank->Size(), 16);
}

TEST(Bank, SaveLoadAndStreams) {
    TempFolder folder;
    auto bank = CreateBank(5);
    std::memcpy(bank->Buf(), "hello", 5);
    EXPECT_TRUE(SaveBank(bank, folder / "bank.bin"));
    EXPECT_FALSE(SaveBank(bank, folder / "no/folder/bank.bin"));
    auto loaded = LoadBank(folder / "bank.bin");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(BankBytes(loaded), BankBytes(bank));
    EXPECT_FALSE(LoadBank(folder / "missing.bin"));

    // A bank is a URL of its own.
    auto stream = OpenReadStream(bank);
    ASSERT_TRUE(As<TBankStream>(stream));
    EXPECT_EQ(stream->ReadString(5), u"hello");

    auto file = OpenReadStream(folder / "bank.bin");
    auto target = CreateBank(5);
    EXPECT_EQ(target->ReadFrom(*file, 1, 4), 4);
    EXPECT_EQ(target->GetByteAt(1), 'h');
}

TEST(BankStream, GrowsWhenWrittenAtTheEnd) {
    auto stream = CreateBankStream();
    uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    stream->WriteBytes(ten, 10);
    EXPECT_EQ(stream->Bank()->Size(), 10);
    EXPECT_EQ(stream->Seek(4), 4);
    stream->WriteBytes(ten, 10);
    EXPECT_EQ(stream->Bank()->Size(), 14);
    EXPECT_EQ(stream->Seek(-5), 0);
    EXPECT_EQ(stream->Seek(100), 14);
    EXPECT_TRUE(stream->Eof());
    uint8_t out[4];
    EXPECT_EQ(stream->Read(out, 4), 0);
    stream->Seek(12);
    EXPECT_EQ(stream->Read(out, 4), 2);
    EXPECT_EQ(out[1], 9);
    // Closing leaves the bank usable.
    stream->Close();
    EXPECT_EQ(stream->Bank()->GetByteAt(4), 0);
}

TEST(MemoryStream, StaysInsideItsBlock) {
    uint8_t block[100];
    for (int i = 0; i < 100; ++i)
        block[i] = static_cast<uint8_t>(i);
    auto stream = CreateMemoryStream(block, 100, FileMode::ReadWrite);
    stream->Seek(95);
    uint8_t out[10];
    EXPECT_EQ(stream->Read(out, 10), 5);
    EXPECT_EQ(out[4], 99);
    EXPECT_EQ(stream->Read(out, 10), 0);
    EXPECT_EQ(stream->Seek(-1), 0);
    EXPECT_EQ(stream->Seek(1000), 100);
    stream->Seek(98);
    EXPECT_EQ(stream->Write(out, 10), 2);
    EXPECT_THROW(stream->WriteInt(1), TStreamWriteError);

    auto readOnly = CreateMemoryStream(block, 100, FileMode::Read);
    EXPECT_EQ(readOnly->Write(out, 1), 0);
    auto writeOnly = CreateMemoryStream(block, 100, FileMode::Write);
    EXPECT_EQ(writeOnly->Read(out, 1), 0);
    EXPECT_EQ(writeOnly->Read(out, -1), 0);
}
