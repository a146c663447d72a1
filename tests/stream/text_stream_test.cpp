#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace zandrel;
using namespace zandrel::test;

namespace {

Ref<TBankStream> BankStreamOf(const std::vector<uint8_t>& bytes) {
    auto stream = CreateBankStream();
    WriteBytes(stream, bytes.data(), static_cast<int>(bytes.size()));
    stream->Seek(0);
    return stream;
}

std::string Text(const Ref<TBank>& bank) {
    return std::string(bank->Buf(), bank->Buf() + bank->Size());
}

} // namespace

TEST(ByteSwapStream, ReadsEitherOrder) {
    TempFolder folder;
    WriteFileBytes(folder / "four.bin", Bytes({0, 0, 1, 2}));
    auto big = OpenReadStream("bigendian::" + folder / "four.bin");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->ReadInt(), 258);
    auto little = OpenReadStream("littleendian::" + folder / "four.bin");
    ASSERT_TRUE(little);
    EXPECT_FALSE(As<TByteSwapStream>(little));
    EXPECT_EQ(little->ReadInt(), 33619968);
    EXPECT_EQ(BigEndianStream(BankStreamOf({0xFF, 0xFE}))->ReadShort(), 65534);
    EXPECT_FALSE(OpenReadStream("bigendian::" + folder / "missing.bin"));
    EXPECT_FALSE(BigEndianStream(nullptr));

    auto bank = CreateBank(0);
    auto swapped = BigEndianStream(CreateBankStream(bank));
    swapped->WriteShort(0x0102);
    swapped->WriteInt(0x03040506);
    swapped->WriteLong(0x0708090A0B0C0D0ELL);
    swapped->WriteFloat(1.0f);
    swapped->WriteDouble(-2.0);
    swapped->WriteByte(0xAB);
    EXPECT_EQ(std::vector<uint8_t>(bank->Buf(), bank->Buf() + 14),
              Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(bank->GetByteAt(14), 0x3F); // 1.0f is 3F 80 00 00
    swapped->Seek(0);
    EXPECT_EQ(swapped->ReadShort(), 0x0102);
    EXPECT_EQ(swapped->ReadInt(), 0x03040506);
    EXPECT_EQ(swapped->ReadLong(), 0x0708090A0B0C0D0ELL);
    EXPECT_EQ(swapped->ReadFloat(), 1.0f);
    EXPECT_EQ(swapped->ReadDouble(), -2.0);
    EXPECT_EQ(swapped->ReadByte(), 0xAB);
}

TEST(TextStream, EncodingsRoundTrip) {
    const String sample = u"A\u00E9\u07FF\u0800\u20AC\uFFFF\r\nz";
    for (auto encoding : {TextEncoding::Utf8, TextEncoding::Utf16BE, TextEncoding::Utf16LE}) {
        auto bank = CreateBank(0);
        auto text = CreateTextStream(CreateBankStream(bank), encoding);
        text->WriteString(sample);
        text->Seek(0);
        EXPECT_EQ(text->ReadAllText(), sample) << encoding;
    }
    auto bank = CreateBank(0);
    auto latin1 = CreateTextStream(CreateBankStream(bank), TextEncoding::Latin1);
    latin1->WriteString(u"\u00E9\u20AC");
    EXPECT_EQ(Text(bank), "\xE9\xAC");
}

TEST(TextStream, Utf8Bytes) {
    auto bank = CreateBank(0);
    auto text = CreateTextStream(CreateBankStream(bank), TextEncoding::Utf8);
    text->WriteChar(0x20AC);
    EXPECT_EQ(BankBytes(bank), Bytes({226, 130, 172}));
    text->Seek(0);
    EXPECT_EQ(text->ReadChar(), 0x20AC);
}

TEST(TextStream, Utf8ReadsStrictly) {
    struct Case {
        std::vector<uint8_t> bytes;
        String text;
    };
    const Case cases[] = {
        {{0xC0, 0xAF}, u"\uFFFD\uFFFD"},                 // an overlong "/"
        {{0xE0, 0x80, 0xAF}, u"\uFFFD\uFFFD\uFFFD"},     // another
        {{0xC3, 'A'}, u"\uFFFDA"},                       // the "A" is kept
        {{0xED, 0xA0, 0x80}, u"\uFFFD\uFFFD\uFFFD"},     // an encoded surrogate
        {{0xF0, 0x9F, 0x98, 0x80, 'x'}, u"\U0001F600x"}, // a surrogate pair
        {{0xF0, 0x9F, 0x98, 'a', 0x80, 'b'}, u"\uFFFDa\uFFFDb"},
        {{'o', 'k', 0xE2, 0x82}, u"ok\uFFFD"}, // cut short by the end of data
    };
    for (const auto& c : cases) {
        auto text = CreateTextStream(BankStreamOf(c.bytes), TextEncoding::Utf8);
        EXPECT_EQ(text->ReadAllText(), c.text) << c.bytes.size() << " bytes";
        EXPECT_TRUE(text->Eof());
        EXPECT_EQ(text->ReadChar(), 0);
    }
    auto lines = CreateTextStream(BankStreamOf(Bytes({0xC3, '\n', 0xF0, 0x9F, 0x98, 0x80})),
                                  TextEncoding::Utf8);
    EXPECT_EQ(lines->ReadLine(), u"\uFFFD");
    EXPECT_EQ(lines->ReadLine(), u"\U0001F600");
}

TEST(TextStream, Utf8WritesPairsAsOneSequence) {
    struct Case {
        std::vector<char16_t> chars;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {{0xD83D, 0xDE00}, {0xF0, 0x9F, 0x98, 0x80}},
        {{0xD83D, 'a'}, {0xEF, 0xBF, 0xBD, 'a'}},
        {{0xDE00, 0xD83D, 0xD83D, 0xDE00},
         {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD, 0xF0, 0x9F, 0x98, 0x80}},
        {{'z', 0xD83D}, {'z', 0xEF, 0xBF, 0xBD}}, // held until the stream closes
    };
    for (const auto& c : cases) {
        auto bank = CreateBank(0);
        auto text = CreateTextStream(CreateBankStream(bank), TextEncoding::Utf8);
        for (char16_t ch : c.chars)
            text->WriteChar(ch);
        text->Close();
        EXPECT_EQ(BankBytes(bank), c.bytes) << c.chars.size() << " characters";
    }
    auto bank = CreateBank(0);
    CreateTextStream(CreateBankStream(bank), TextEncoding::Utf8)->WriteLine(u"\U0001F600");
    EXPECT_EQ(BankBytes(bank), Bytes({0xF0, 0x9F, 0x98, 0x80, 13, 10}));
}

TEST(TextStream, NumbersAreDecimalLines) {
    auto bank = CreateBank(0);
    auto text = CreateTextStream(CreateBankStream(bank), TextEncoding::Latin1);
    text->WriteInt(42);
    EXPECT_EQ(Text(bank), "42\r\n");
    text->SetLineEnding(LineEnding::Lf);
    text->WriteByte(7);
    EXPECT_EQ(Text(bank), "42\r\n7\n");
    text->WriteShort(65000);
    text->WriteLong(-9000000000LL);
    text->WriteFloat(0.1f);
    text->WriteDouble(1.0 / 3.0);
    text->WriteLine(u"not a number");
    text->Seek(0);
    EXPECT_EQ(text->ReadInt(), 42);
    EXPECT_EQ(text->ReadByte(), 7);
    EXPECT_EQ(text->ReadShort(), 65000);
    EXPECT_EQ(text->ReadLong(), -9000000000LL);
    EXPECT_EQ(text->ReadFloat(), 0.1f);
    EXPECT_EQ(text->ReadDouble(), 1.0 / 3.0);
    EXPECT_EQ(text->ReadInt(), 0);
    EXPECT_TRUE(text->Eof());
}

TEST(TextStream, RawBytesAsHexadecimalLines) {
    auto bank = CreateBank(0);
    auto text = CreateTextStream(CreateBankStream(bank), TextEncoding::Utf16LE);
    uint8_t raw[40];
    for (int i = 0; i < 40; ++i)
        raw[i] = static_cast<uint8_t>(i * 13);
    EXPECT_EQ(text->Write(raw, 40), 40);
    std::string written = Text(bank);
    ASSERT_EQ(written.size(), 64u + 2 + 16);
    EXPECT_EQ(written.substr(0, 6), "000D1A");
    EXPECT_EQ(written.substr(64, 2), "\r\n");
    text->WriteLine(u"x");
    written = Text(bank);
    EXPECT_EQ(written.substr(82, 2), "\r\n");
    EXPECT_EQ(written.substr(84), std::string("x\0\r\0\n\0", 6));

    text->Seek(0);
    uint8_t back[40] = {};
    EXPECT_EQ(text->ReadBytes(back, 40), 40);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 40), std::vector<uint8_t>(raw, raw + 40));
    EXPECT_EQ(text->ReadLine(), u"x");
    EXPECT_TRUE(text->Eof());
}

TEST(TextStream, MalformedHexadecimalLines) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 32; ++i)
        bytes.insert(bytes.end(), {'4', '1'});
    bytes.push_back(32);
    bytes.insert(bytes.end(), {'4', '1'});
    auto text = CreateTextStream(BankStreamOf(bytes), TextEncoding::Latin1);
    uint8_t out[33];
    try {
        text->ReadBytes(out, 33);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Message(), u"Malformed line terminator");
    }
    auto lf = bytes;
    lf[64] = 10;
    auto ok = CreateTextStream(BankStreamOf(lf), TextEncoding::Latin1);
    EXPECT_EQ(ok->ReadBytes(out, 33), 33);
    EXPECT_EQ(out[32], 'A');
    auto notHex = CreateTextStream(BankStreamOf(Bytes({'4', 'G'})), TextEncoding::Latin1);
    EXPECT_THROW(notHex->ReadBytes(out, 1), RuntimeError);
}

TEST(TextStream, OpensByProtocol) {
    TempFolder folder;
    const String text = u"line one\r\nzw\u00F6lf \u20AC";
    auto out = OpenWriteStream("utf16be::" + folder / "t.txt");
    ASSERT_TRUE(As<TTextStream>(out));
    out->WriteString(text);
    out->Close();
    EXPECT_EQ(ReadFileBytes(folder / "t.txt")[1], 'l');
    auto in = As<TTextStream>(OpenReadStream("UTF16BE::" + folder / "t.txt"));
    ASSERT_TRUE(in);
    EXPECT_EQ(in->Encoding(), TextEncoding::Utf16BE);
    EXPECT_EQ(in->ReadLine(), u"line one");
    EXPECT_EQ(in->ReadLine(), u"zw\u00F6lf \u20AC");
    EXPECT_FALSE(OpenReadStream("utf8::" + folder / "missing.txt"));
}

TEST(WholeText, ByteOrderMarks) {
    TempFolder folder;
    auto read = [&](std::vector<uint8_t> bytes) {
        WriteFileBytes(folder / "mark.txt", bytes);
        return ReadTextFrom(folder / "mark.txt");
    };
    EXPECT_EQ(read(Bytes({239, 187, 191, 104, 105})), u"hi");
    EXPECT_EQ(read(Bytes({239, 187, 65})), u"\u00EF\u00BB"
                                           u"A");
    EXPECT_EQ(read(Bytes({254, 255, 0x20, 0xAC})), u"\u20AC");
    EXPECT_EQ(read(Bytes({255, 254, 0xAC, 0x20})), u"\u20AC");
    EXPECT_EQ(read(Bytes({254, 1})), u"\u00FE\u0001");
    EXPECT_EQ(read(Bytes({255})), u"\u00FF");
    EXPECT_EQ(read(Bytes({})), u"");
    std::vector<uint8_t> long_(5000, 'q');
    EXPECT_EQ(read(long_).size(), 5000u);
    EXPECT_THROW(ReadTextFrom(folder / "missing.txt"), RuntimeError);
}

TEST(WholeText, WritesLatin1OrMarkedUtf16) {
    TempFolder folder;
    WriteTextTo(u"caf\u00E9", folder / "plain.txt");
    EXPECT_EQ(ReadFileBytes(folder / "plain.txt"), Bytes({'c', 'a', 'f', 0xE9}));
    WriteTextTo(u"\u20AC", folder / "wide.txt");
    EXPECT_EQ(ReadFileBytes(folder / "wide.txt"), Bytes({255, 254, 0xAC, 0x20}));
    // The last character that fits a byte, and the first that does not.
    WriteTextTo(u"\u00FF", folder / "edge.txt");
    EXPECT_EQ(ReadFileBytes(folder / "edge.txt"), Bytes({0xFF}));
    WriteTextTo(u"\u0100", folder / "edge.txt");
    EXPECT_EQ(ReadFileBytes(folder / "edge.txt"), Bytes({255, 254, 0x00, 0x01}));
    WriteTextTo(u"a\u20ACb\r\nc", folder / "round.txt");
    EXPECT_EQ(ReadTextFrom(folder / "round.txt"), u"a\u20ACb\r\nc");
    EXPECT_THROW(WriteTextTo(u"\u20AC", folder / "no/such/x.txt"), RuntimeError);
}

// Standard streams of a forked child: POSIX only.
#ifndef _WIN32
namespace {

// Runs `body` in a child process whose standard input is `input`; returns
// what the child wrote to standard output.
std::string RunWithStdio(const std::string& input, void (*body)()) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return "pipe failed";
    pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(in[0]);
    close(out[1]);
    if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) return "";
    close(in[1]);
    std::string output;
    char buf[256];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        output.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return output;
}

} // namespace

TEST(StandardText, PrintsAndPromptsInUtf8) {
    EXPECT_EQ(StandardText()->Encoding(), TextEncoding::Utf8);
    std::string output = RunWithStdio("W\xC3\xB6rld\r\nrest\n", [] {
        String answer = PromptLine(u"name? ");
        PrintLine(u"hello " + answer + u" \u20AC");
    });
    EXPECT_EQ(output, "name? hello W\xC3\xB6rld \xE2\x82\xAC\r\n");

    // At the end of the input a prompt answers with the empty string.
    output = RunWithStdio("", [] {
        String answer = PromptLine(u"> ");
        PrintLine(answer.empty() ? u"empty" : u"text");
    });
    EXPECT_EQ(output, "> empty\r\n");
}
#endif // !_WIN32
