#include <gtest/gtest.h>
#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>

#include "system/system_parts.hpp"
#include "test_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

using namespace zandrel;

namespace {

std::string RunCapturing(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    pclose(pipe);
    return output;
}

// PATH with a folder of stand-in desktop tools in front, for one test.
class ToolsOnPath {
public:
    explicit ToolsOnPath(const std::string& folder) : saved_(std::getenv("PATH")) {
        setenv("PATH", (folder + ":" + saved_).c_str(), 1);
    }
    ~ToolsOnPath() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

} // namespace

TEST(StartUp, RelativeFilesOpenFromTheExecutablesFolder) {
    test::TempFolder home, elsewhere;
    std::string probe = home / "probe";
    std::filesystem::copy_file(STARTUP_PROBE, probe);
    test::WriteFileText(home / "beside.txt", "found it");
    test::WriteFileText(elsewhere / "beside.txt", "wrong file");
    std::string output = RunCapturing("cd '" + elsewhere.Path() + "' && echo typed line | '" +
                                      probe + "' one 'two words'");
    EXPECT_NE(output.find("start=" + elsewhere.Path() + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("path=" + probe + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("folder=" + home.Path() + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("title=Zandrel Application\n"), std::string::npos);
    EXPECT_NE(output.find("arg=one\narg=two words\n"), std::string::npos) << output;
    EXPECT_NE(output.find("data=found it\n"), std::string::npos) << output;
    EXPECT_NE(output.find("stdin=typed line\n"), std::string::npos) << output;
}

TEST(Clock, MillisecsFollowsDelays) {
    int start = Millisecs();
    DelayMillis(30);
    int elapsed = Millisecs() - start;
    EXPECT_GE(elapsed, 30);
    EXPECT_LT(elapsed, 80);
    start = Millisecs();
    DelayMillis(-100);
    EXPECT_LT(Millisecs() - start, 5);
}

TEST(Clock, DateAndTimeText) {
    EXPECT_TRUE(std::regex_match(ToBytes(CurrentDate()), std::regex("\\d\\d [A-Z][a-z]{2} \\d{4}")))
        << ToBytes(CurrentDate());
    EXPECT_TRUE(std::regex_match(ToBytes(CurrentTime()), std::regex("\\d\\d:\\d\\d:\\d\\d")));
}

TEST(Pump, ANestedPumpDoesNothing) {
    static int nestedCalls = 0;
    auto pumpAgain = [](int, const Ref<Object>& data, const Ref<Object>&) -> Ref<Object> {
        ++nestedCalls;
        PollSystemEvents(); // would recurse without the guard
        return data;
    };
    int hook = EmitEventHook();
    AddHook(hook, pumpAgain, nullptr, 100);
    auto timer = CreateTimer(200);
    timer->Wait();
    timer->Stop();
    RemoveHook(hook, pumpAgain, nullptr);
    EXPECT_GE(nestedCalls, 1);
}

TEST(FileFilter, PlainExtensionsMakeOneEntryNamedFiles) {
    auto filters = ParseFileFilter(S("png,jpg"));
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].name, u"Files");
    EXPECT_EQ(filters[0].extensions, (std::vector<String>{u"png", u"jpg"}));
    EXPECT_TRUE(ParseFileFilter(String()).empty());
}

TEST(FileFilter, NamedEntries) {
    auto filters = ParseFileFilter(S("Images:png,jpg;Text:txt"));
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].name, u"Images");
    EXPECT_EQ(filters[1].name, u"Text");
    EXPECT_EQ(filters[1].extensions, (std::vector<String>{u"txt"}));
}

TEST(Requesters, RunTheDesktopsRequesterAndReturnItsChoice) {
    test::TempFolder tools;
    std::string log = tools / "arguments";
    test::WriteFileText(tools / "zenity", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" + log +
                                              "'; done\necho /home/user/chosen.png\n");
    std::filesystem::permissions(tools / "zenity", std::filesystem::perms::owner_all);
    ToolsOnPath path(tools.Path());
    EXPECT_EQ(RequestFilePath(S("Pick"), S("png,jpg"), true, S("start.png")),
              u"/home/user/chosen.png");
    auto arguments = test::ReadFileBytes(log);
    std::string text(arguments.begin(), arguments.end());
    EXPECT_EQ(text, "--file-selection\n--title=Pick\n--save\n--confirm-overwrite\n"
                    "--filename=start.png\n--file-filter=Files | *.png *.jpg\n");
}

TEST(Requesters, CancelGivesTheEmptyString) {
    test::TempFolder tools;
    test::WriteFileText(tools / "zenity", "#!/bin/sh\nexit 1\n");
    std::filesystem::permissions(tools / "zenity", std::filesystem::perms::owner_all);
    ToolsOnPath path(tools.Path());
    EXPECT_EQ(RequestFolderPath(S("Folder")), u"");
}

TEST(Requesters, NoRequesterGivesTheEmptyString) {
    test::TempFolder empty;
    const char* saved = std::getenv("PATH");
    std::string keep = saved ? saved : "";
    setenv("PATH", empty.Path().c_str(), 1);
    EXPECT_EQ(RequestFilePath(S("Open")), u"");
    setenv("PATH", keep.c_str(), 1);
}

TEST(Locations, ExistingPathsBecomeFileUrlsOthersHttp) {
    test::TempFolder folder;
    test::WriteFileText(folder / "page.html", "<p>");
    std::string full = folder / "page.html";
    EXPECT_EQ(ToBytes(LocationUrl(FromBytes(full) + S("#part"))), "file:" + full + "#part");
    EXPECT_EQ(LocationUrl(S("example.com/x#y")), u"http:example.com/x#y");
    EXPECT_EQ(LocationUrl(S("HTTP://example.com")), u"HTTP://example.com");
    EXPECT_EQ(LocationUrl(S("file:/tmp")), u"file:/tmp");
}

TEST(Locations, OpenLocationHandsTheUrlToXdgOpen) {
    test::TempFolder tools;
    std::string log = tools / "opened";
    test::WriteFileText(tools / "xdg-open", "#!/bin/sh\necho \"$1\" > '" + log + "'\n");
    std::filesystem::permissions(tools / "xdg-open", std::filesystem::perms::owner_all);
    ToolsOnPath path(tools.Path());
    OpenLocation(S("zandrel.example"));
    for (int i = 0; i < 100 && !std::filesystem::exists(log); ++i)
        DelayMillis(10);
    DelayMillis(20);
    auto opened = test::ReadFileBytes(log);
    EXPECT_EQ(std::string(opened.begin(), opened.end()), "http:zandrel.example\n");
}

TEST(Strings, Utf8BothWays) {
    String text = u"K\u00e4se \u20ac";
    EXPECT_EQ(ToUtf8(text), "K\xc3\xa4se \xe2\x82\xac");
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}
