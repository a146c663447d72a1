#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

Ref<TStream> StreamOver(std::initializer_list<int> values) {
    auto stream = CreateBankStream(nullptr);
    auto bytes = Bytes(values);
    stream->WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
    stream->Seek(0);
    return stream;
}

// Records what the opener list is asked, and declines.
class RecordingOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url&, const String& proto, const String& path,
                         FileMode mode) override {
        asked.push_back({proto, path, mode});
        return nullptr;
    }
    struct Call {
        String proto, path;
        FileMode mode;
    };
    std::vector<Call> asked;
};

} // namespace

TEST(FileStream, WritesReadsAndSeeks) {
    TempFolder folder;
    auto out = OpenWriteStream(folder / "values.bin");
    ASSERT_TRUE(out);
    out->WriteByte(0x1FF);
    out->WriteShort(0x12345);
    out->WriteInt(-5);
    out->WriteLong(0x0102030405060708LL);
    out->WriteFloat(1.5f);
    out->WriteDouble(-2.25);
    EXPECT_EQ(out->Pos(), 27);
    EXPECT_EQ(out->Size(), 27);
    out->Close();
    EXPECT_EQ(out->Pos(), 0);
    EXPECT_TRUE(out->Eof());
    EXPECT_TRUE(out->Close());

    auto in = OpenReadStream(folder / "values.bin");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->Size(), 27);
    EXPECT_EQ(in->ReadByte(), 0xFF);
    EXPECT_EQ(in->ReadShort(), 0x2345);
    EXPECT_EQ(in->ReadInt(), -5);
    EXPECT_EQ(in->ReadLong(), 0x0102030405060708LL);
    EXPECT_EQ(in->ReadFloat(), 1.5f);
    EXPECT_EQ(in->ReadDouble(), -2.25);
    EXPECT_TRUE(in->Eof());
    EXPECT_EQ(in->Seek(3), 3);
    EXPECT_EQ(in->ReadInt(), -5);
    // Machine byte order on disk.
    EXPECT_EQ(ReadFileBytes(folder / "values.bin")[3], 0xFB);
}

TEST(FileStream, OpenModesAndPaths) {
    TempFolder folder;
    WriteFileText(folder / "a.txt", "abc");
    EXPECT_FALSE(OpenReadStream(folder / "missing.txt"));
    // Backslashes are separators.
    String windowsStyle = FromBytes(folder.Path() + "\\a.txt");
    auto in = OpenReadStream(windowsStyle);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ReadString(3), u"abc");

    // Read and write: the file is kept, not truncated.
    auto both = OpenStream(FromBytes(folder / "a.txt"), FileMode::ReadWrite);
    ASSERT_TRUE(both);
    EXPECT_EQ(As<TFileStream>(both)->Mode(), FileMode::ReadWrite);
    both->Seek(1);
    both->WriteByte('X');
    both->Close();
    EXPECT_EQ(ReadFileBytes(folder / "a.txt"), Bytes({'a', 'X', 'c'}));

    // A read-only file takes no writes: the exact-count writer says so.
    auto readOnly = OpenReadStream(folder / "a.txt");
    EXPECT_THROW(readOnly->WriteInt(1), TStreamWriteError);
}

TEST(FileStream, ShortReadsAtTheEndAreSilent) {
    auto stream = StreamOver({1, 2});
    EXPECT_EQ(stream->ReadInt(), 0x0201);
    EXPECT_TRUE(stream->Eof());
    EXPECT_EQ(stream->ReadInt(), 0);
    EXPECT_EQ(stream->ReadDouble(), 0.0);

    uint8_t buf[4] = {9, 9, 9, 9};
    auto two = StreamOver({7, 8});
    EXPECT_EQ(two->ReadBytes(buf, 4), 4);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(buf[2], 9); // bytes not delivered keep what they held
    auto skip = StreamOver({1, 2, 3});
    EXPECT_EQ(skip->SkipBytes(5000), 5000);
    EXPECT_TRUE(skip->Eof());
}

TEST(FileStream, ReadLineByteForByte) {
    auto stream = StreamOver({'a', 'b', 13, 10, 'c', 'd'});
    EXPECT_EQ(stream->ReadLine(), u"ab");
    EXPECT_EQ(stream->ReadLine(), u"cd");
    EXPECT_EQ(stream->ReadLine(), u"");
    EXPECT_TRUE(stream->Eof());

    auto inner = StreamOver({'a', 13, 'b', 10, 'x', 0, 'y', 0xE9});
    EXPECT_EQ(inner->ReadLine(), u"ab");
    EXPECT_EQ(inner->ReadLine(), u"x");
    EXPECT_EQ(inner->ReadLine(), u"y\u00E9");

    auto bank = CreateBank(3001);
    for (int i = 0; i < 3000; ++i)
        bank->SetByteAt(i, 'a' + i % 26);
    bank->SetByteAt(3000, 10);
    String line = CreateBankStream(bank)->ReadLine();
    ASSERT_EQ(line.size(), 3000u);
    EXPECT_EQ(line[2999], u'a' + 2999 % 26);
    EXPECT_EQ(line[1024], u'a' + 1024 % 26);
}

TEST(FileStream, WriteLineAndStrings) {
    auto bank = CreateBank(0);
    auto stream = CreateBankStream(bank);
    EXPECT_TRUE(stream->WriteLine(u"x"));
    EXPECT_EQ(BankBytes(bank), Bytes({120, 13, 10}));
    stream->WriteString(u"\u0141\u00E9");
    EXPECT_EQ(BankBytes(bank), Bytes({120, 13, 10, 0x41, 0xE9}));
    stream->Seek(3);
    EXPECT_EQ(stream->ReadString(2), u"\u0041\u00E9");

    // A line that does not fit a fixed block is not finished with CR LF.
    uint8_t block[3];
    auto memory = CreateMemoryStream(block, 3, FileMode::Write);
    EXPECT_FALSE(memory->WriteLine(u"abc"));
    EXPECT_EQ(memory->Pos(), 3);
}

TEST(FileStream, PlainStreamsCannotCarryObjects) {
    auto stream = StreamOver({});
    try {
        stream->ReadObject();
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Message(), u"Unable to read object");
    }
    try {
        stream->WriteObject(CreateBank(1));
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Message(), u"Unable to write object");
    }
    TIOBase base;
    try {
        char c;
        base.Read(&c, 1);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Message(), u"Stream is not readable");
    }
    EXPECT_EQ(base.Pos(), -1);
    EXPECT_EQ(base.Seek(4), -1);
    EXPECT_FALSE(base.Eof());
    EXPECT_EQ(TStreamReadError().Message(), u"Error reading from stream");
    EXPECT_EQ(TStreamWriteError().Message(), u"Error writing to stream");
}

TEST(OpenStream, SplitsProtocolAndPath) {
    RecordingOpener opener;
    EXPECT_FALSE(OpenStream(u"Incbin::x", FileMode::Read));
    EXPECT_FALSE(OpenStream(u"a::b::c", FileMode::Write));
    EXPECT_FALSE(OpenStream(u"HTTP::", FileMode::ReadWrite));
    EXPECT_FALSE(OpenStream(u""));
    ASSERT_EQ(opener.asked.size(), 4u);
    EXPECT_EQ(opener.asked[0].proto, u"incbin");
    EXPECT_EQ(opener.asked[0].path, u"x");
    EXPECT_EQ(opener.asked[0].mode, FileMode::Read);
    EXPECT_EQ(opener.asked[1].proto, u"a");
    EXPECT_EQ(opener.asked[1].path, u"b::c");
    EXPECT_EQ(opener.asked[2].proto, u"http");
    EXPECT_EQ(opener.asked[2].path, u"");
    EXPECT_EQ(opener.asked[3].proto, u"");
    // The newest opener is asked first.
    EXPECT_EQ(FirstStreamOpener(), &opener);
}

// "proto://rest", as people type URLs, is asked of the openers as proto::rest.
TEST(OpenStream, SchemeSlashSlashNamesTheProtocol) {
    RecordingOpener opener;
    for (const char16_t* url : {u"HTTP://host:8/a", u"c++://x", u"//x", u"1a://x", u"a b://x"})
        EXPECT_FALSE(OpenStream(url, FileMode::Read));
    ASSERT_EQ(opener.asked.size(), 2u); // the last three are file names
    EXPECT_EQ(opener.asked[0].proto, u"http");
    EXPECT_EQ(opener.asked[0].path, u"host:8/a");
    EXPECT_EQ(opener.asked[1].proto, u"c++");
}

// A URL that opens nothing leaves its reason; one that opens leaves none.
TEST(OpenStream, SaysWhyNothingOpened) {
    TempFolder folder;
    String readable = S(folder / "here.txt");
    SaveByteString(u"x", readable);
    struct Case {
        String url;
        const char16_t* reason;
    };
    const Case cases[] = {
        {S(folder / "missing.txt"), u"no such file"},
        {u"gopher://host/x", u"unknown protocol 'gopher'"},
        {u"nothing::x", u"unknown protocol 'nothing'"},
        {u"incbin::no such resource", u"no embedded resource 'no such resource'"},
        {u"utf8::" + S(folder / "missing.txt"), u"no such file"},
        {u"", u"no file name"},
        {readable, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.url));
        SetLoadError(S("stale"));
        auto stream = OpenReadStream(c.url);
        EXPECT_EQ(bool(stream), c.reason[0] == 0);
        EXPECT_EQ(LastLoadError(), c.reason);
    }
}

TEST(OpenStream, AnOpenStreamIsBorrowed) {
    auto original = StreamOver({1, 2, 3, 4});
    auto borrowed = OpenStream(original, FileMode::Read);
    ASSERT_TRUE(borrowed);
    EXPECT_NE(borrowed, original);
    EXPECT_EQ(borrowed->ReadByte(), 1);
    borrowed->Close();
    EXPECT_EQ(original->ReadByte(), 2);
    // After Close the borrowed stream has nothing to forward to.
    EXPECT_THROW(borrowed->ReadByte(), RuntimeError);
    TForwardingStream empty;
    EXPECT_THROW(empty.Eof(), RuntimeError);
}

TEST(WholeUrl, LoadAndSaveBytes) {
    TempFolder folder;
    ByteArray bytes(2000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    SaveBytes(bytes, folder / "data.bin");
    EXPECT_EQ(LoadBytes(folder / "data.bin"), bytes);
    SaveByteString(u"h\u00E9llo", folder / "text.bin");
    EXPECT_EQ(LoadByteString(folder / "text.bin"), u"h\u00E9llo");
    EXPECT_TRUE(LoadBytes(folder / "text.bin").size() == 5);

    // A stream that cannot say its size is read in growing steps.
    auto unsized = New<ScriptedSource>(bytes, 333, false);
    EXPECT_EQ(LoadBytes(unsized), bytes);
    EXPECT_EQ(unsized->closes, 0);

    EXPECT_THROW(LoadBytes(folder / "missing.bin"), RuntimeError);
    EXPECT_THROW(SaveBytes(bytes, folder / "no/such/folder.bin"), RuntimeError);
    EXPECT_THROW(SaveByteString(u"x", u"nosuchproto::x"), RuntimeError);
}

TEST(WholeUrl, ASourceThatStallsEndsTheLoop) {
    ByteArray bytes(5000, 1);
    EXPECT_THROW(LoadBytes(New<ScriptedSource>(bytes, 100, true, 1200)), TStreamReadError);
    auto target = CreateBankStream(nullptr);
    ScriptedSource stalling(bytes, 100, true, 700);
    EXPECT_THROW(CopyStreamData(stalling, *target, 256), TStreamReadError);
    EXPECT_EQ(target->Size(), 700);
    ScriptedSource stallsInReadBytes(bytes, 100, true, 50);
    uint8_t buf[64];
    EXPECT_THROW(stallsInReadBytes.ReadBytes(buf, 64), TStreamReadError);
}

TEST(WholeUrl, CopyStreams) {
    ByteArray bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    ScriptedSource source(bytes, 77);
    auto target = CreateBankStream(nullptr);
    CopyStreamData(source, *target, 4096);
    EXPECT_EQ(BankBytes(target->Bank()), bytes);

    ScriptedSource partial(bytes, 1000);
    auto some = CreateBankStream(nullptr);
    CopyStreamBytes(partial, *some, 2500, 1024);
    EXPECT_EQ(some->Size(), 2500);
    CopyStreamBytes(partial, *some, -1, 1024); // nothing, and no endless loop
    EXPECT_EQ(some->Size(), 2500);
}

TEST(WholeUrl, FindCasedPath) {
    TempFolder folder;
    ASSERT_TRUE(MakeFolder(FromBytes(folder / "Data/Pics"), true));
    WriteFileText(folder / "Data/Pics/Photo.PNG", "x");
    String exact = FromBytes(folder / "Data/Pics/Photo.PNG");
    EXPECT_EQ(FindCasedPath(exact), exact);
    EXPECT_EQ(FindCasedPath(FromBytes(folder / "data/pics/photo.png")), exact);
    EXPECT_EQ(FindCasedPath(FromBytes(folder / "data/pics/other.png")), u"");
    EXPECT_EQ(FindCasedPath(FromBytes(folder / "nothing/pics/photo.png")), u"");
    EXPECT_EQ(FindCasedPath(u"/TMP"), u"/tmp");
}
