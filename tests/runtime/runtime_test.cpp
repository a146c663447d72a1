#include <gtest/gtest.h>
#include <zandrel/runtime.hpp>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace zandrel;

TEST(Strings, ConvertByLowEightBits) {
    EXPECT_EQ(ToBytes(u"A\u0141\u00E9"), std::string("A\x41\xE9"));
    String bytes = FromBytes(std::string_view("\xFF\x01", 2));
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(FromLatin1("\xE9t\xE9"), u"\u00E9t\u00E9");
    EXPECT_EQ(ToLowerAscii(u"AbC\u00C9"), u"abc\u00C9");
}

TEST(Strings, DecimalConversions) {
    EXPECT_EQ(ToInt(u"42"), 42);
    EXPECT_EQ(ToInt(u"-7"), -7);
    EXPECT_EQ(ToInt(u"  12"), 12);
    EXPECT_EQ(ToInt(u"12.9"), 12);
    EXPECT_EQ(ToInt(u"abc"), 0);
    EXPECT_EQ(ToInt(u""), 0);
    EXPECT_EQ(ToInt(u"\u20AC5"), 0);
    EXPECT_EQ(ToLong(u"-9000000000"), -9000000000LL);
    EXPECT_EQ(ToDouble(u"2.5e3"), 2500.0);
    EXPECT_EQ(ToDouble(u"x"), 0.0);
    EXPECT_EQ(FromInt(-2147483647 - 1), u"-2147483648");
    EXPECT_EQ(FromLong(9000000000LL), u"9000000000");
    // Shortest text that reads back to the same value.
    EXPECT_EQ(FromFloat(0.1f), u"0.1");
    EXPECT_EQ(ToFloat(FromFloat(1.0f / 3.0f)), 1.0f / 3.0f);
    EXPECT_EQ(ToDouble(FromDouble(1.0 / 3.0)), 1.0 / 3.0);
}

TEST(Errors, CarryTheirMessage) {
    try {
        throw RuntimeError(u"Stream is not readable");
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"Stream is not readable");
        EXPECT_STREQ(error.what(), "Stream is not readable");
    }
    // Narrow messages are UTF-8, as C++ source text is, and so is what().
    RuntimeError narrow("Unable to open \"café\"");
    EXPECT_EQ(narrow.Message(), u"Unable to open \"caf\u00E9\"");
    EXPECT_STREQ(RuntimeError(u"\u20AC").what(), "\xE2\x82\xAC");
    EXPECT_THROW(ThrowAbstract(), RuntimeError);
}

TEST(Lifecycle, RunOnceRunsOnce) {
    bool started = false;
    int runs = 0;
    RunOnce(started, [&] { ++runs; });
    RunOnce(started, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

// Exit code -1 as the parent sees it: POSIX keeps its low 8 bits, Windows all 32.
#ifdef _WIN32
constexpr int MinusOneExitCode = -1;
#else
constexpr int MinusOneExitCode = 255;
#endif

TEST(ProcessDeathTest, UncaughtRuntimeErrorExitsWithMinusOne) {
    char name[] = "program";
    char* argv[] = {name, nullptr};
    EXPECT_EXIT(
        RunProgram(1, argv, []() -> int { throw RuntimeError("Unable to calculate tex size"); }),
        testing::ExitedWithCode(MinusOneExitCode), "Unable to calculate tex size");
}

TEST(ProcessDeathTest, ExitHandlersRunNewestFirstOnce) {
    EXPECT_EXIT(
        {
            AddExitHandler([] { std::fputs("first\n", stderr); });
            AddExitHandler([] { std::fputs("second\n", stderr); });
            RunExitHandlers();
            std::exit(3);
        },
        testing::ExitedWithCode(3), "^second\nfirst\n$");
}

TEST(ProcessDeathTest, ExitHandlersRunWhenTheProcessExits) {
    EXPECT_EXIT(
        {
            AddExitHandler([] { std::fputs("closing\n", stderr); });
            std::exit(4);
        },
        testing::ExitedWithCode(4), "^closing\n$");
    char name[] = "program";
    char* argv[] = {name, nullptr};
    EXPECT_EXIT(RunProgram(1, argv,
                           [] {
                               AddExitHandler([] { std::fputs("after body\n", stderr); });
                               return 5;
                           }),
                testing::ExitedWithCode(5), "^after body\n$");
}

TEST(ProcessDeathTest, RunProgramMovesToTheExecutablesFolder) {
    char name[] = "program";
    char arg[] = "--flag=café";
    char* argv[] = {name, arg, nullptr};
    EXPECT_EXIT(RunProgram(2, argv,
                           [] {
                               char cwd[4096];
                               if (!getcwd(cwd, sizeof cwd)) return 1;
                               // Windows names the folder with "\\", the framework with "/".
                               String folder = FromUtf8(cwd);
                               std::replace(folder.begin(), folder.end(), u'\\', u'/');
                               if (folder != ExecutableFolder()) return 2;
                               if (ProgramArguments().size() != 2) return 3;
                               if (ProgramArguments()[1] != u"--flag=caf\u00E9") return 4;
                               if (InitialFolder().empty()) return 5;
                               return 7;
                           }),
                testing::ExitedWithCode(7), "");
}

TEST(ProcessDeathTest, RunProgramTakesTheUnattendedOptions) {
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> left; // after the program's name
        int frames;
        std::string screenshot; // a relative one is taken from the start folder
        int frameMillis = 0;
    };
    const Case cases[] = {
        {{"--frames", "30", "--screenshot", "shot.png", "x"}, {"x"}, 30, "shot.png"},
        {{"a", "--screenshot", "/tmp/s.png"}, {"a"}, 1, "/tmp/s.png"},
        {{"--frames", "0", "--frames", "-2", "--frames"},
         {"--frames", "0", "--frames", "-2", "--frames"},
         0,
         ""},
        {{"--frames", "2x"}, {"--frames", "2x"}, 0, ""},
        {{"--frame-ms", "16", "--frames", "3"}, {}, 3, "", 16},
        {{"--frame-ms", "0", "--frame-ms"}, {"--frame-ms", "0", "--frame-ms"}, 0, ""},
    };
    for (auto& c : cases) {
        std::vector<std::string> storage = {"program"};
        storage.insert(storage.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (auto& argument : storage)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        auto body = [&] {
            std::vector<std::string> left;
            for (size_t i = 1; i < ProgramArguments().size(); ++i)
                left.push_back(ToUtf8(ProgramArguments()[i]));
            String expected = S(c.screenshot);
            if (!expected.empty() && expected[0] != u'/')
                expected = InitialFolder() + u"/" + expected;
            auto& run = UnattendedRunOptions();
            bool taken = left == c.left && run.frames == c.frames && run.screenshot == expected &&
                         run.frameMillis == c.frameMillis;
            return taken ? 7 : 1;
        };
        EXPECT_EXIT(RunProgram(static_cast<int>(storage.size()), argv.data(), body),
                    testing::ExitedWithCode(7), "")
            << storage[1];
    }
}

TEST(Utf8, DecodesStrictlyWithOneReplacementPerIllFormedSequence) {
    struct Case {
        std::string bytes;
        String text;
    };
    const Case cases[] = {
        {"K\xC3\xA4se \xE2\x82\xAC", u"K\u00E4se \u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},     // a surrogate pair
        {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong "/": C0 never starts a sequence
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"}, // overlong: E0 needs A0..BF next
        {"\xC3\x41", u"\uFFFDA"},                // the "A" is not swallowed
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                           // cut short at the end
        {"\x80x", u"\uFFFDx"},                             // a stray continuation byte
        {std::string("a\0b", 3), String(u"a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FromUtf8(c.bytes), c.text) << "bytes of length " << c.bytes.size();
}

TEST(Utf8, EncodesPairsAsOneSequenceAndRefusesLoneSurrogatesWhenExact) {
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(u"caf\u00E9"), "caf\xC3\xA9");
    const String lone[] = {u"a\xD800", String(1, u'\xDC00') + u"b", String(u"\xD800\xD800")};
    for (const auto& text : lone) {
        EXPECT_FALSE(ToUtf8Exact(text).has_value());
        EXPECT_NE(ToUtf8(text).find("\xEF\xBF\xBD"), std::string::npos);
    }
    EXPECT_EQ(ToUtf8Exact(u"x/y").value(), "x/y");
    // A name for the OS: exact, and no 0 that would end it early.
    EXPECT_EQ(ToOsName(u"d\u00E9j\u00E0/\U0001F600").value(),
              "d\xC3\xA9j\xC3\xA0/\xF0\x9F\x98\x80");
    EXPECT_FALSE(ToOsName(u"a\xD800").has_value());
    EXPECT_FALSE(ToOsName(String(u"ab\0cd", 5)).has_value());
    EXPECT_EQ(S("K\xC3\xA4se"), u"K\u00E4se");
}

namespace {

enum class Sample : int { Empty = 0, A = 1, B = 2, C = 4 };

} // namespace

namespace zandrel {
ZANDREL_FLAG_SET(Sample);
} // namespace zandrel

TEST(FlagSet, CombinesTestsAndMasks) {
    Sample ab = Sample::A | Sample::B;
    EXPECT_EQ(ToNumber(ab), 3);
    EXPECT_TRUE(ab & Sample::B);
    EXPECT_FALSE(ab & Sample::C);
    EXPECT_TRUE((ab & (Sample::B | Sample::C)) == Sample::B);
    Sample kept = ab & ~Sample::A;
    EXPECT_EQ(kept, Sample::B);
    kept |= Sample::C;
    kept &= Sample::C | Sample::A;
    EXPECT_EQ(kept, Sample::C);
    bool any{Sample::Empty & Sample::A};
    EXPECT_FALSE(any);
    constexpr EnumTable<Sample, 5> table{{10, 11, 12, 13, 14}};
    EXPECT_EQ(table[Sample::C], 14);
}
