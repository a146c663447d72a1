#include <gtest/gtest.h>
#include <zandrel/stream.hpp>
#include <zandrel/system.hpp>

#include "system/system_native.hpp"
#include "system/system_parts.hpp"
#include "test_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
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

// An environment variable set (or, for no value, removed) for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* saved = std::getenv(name)) saved_ = saved;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// PATH with a folder of stand-in desktop tools in front, for one test.
class ToolsOnPath {
public:
    explicit ToolsOnPath(const std::string& folder)
        : path_("PATH", (folder + ":" + std::getenv("PATH")).c_str()) {}

private:
    ScopedEnv path_;
};

// A stand-in desktop tool: logs its arguments one a line, prints `output`
// and exits with `code`.
void WriteTool(const std::string& path, int code, const std::string& output = "",
               const std::string& log = "/dev/null") {
    test::WriteFileText(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" + log +
                                  "'; done\nprintf '" + output + "'\nexit " + std::to_string(code) +
                                  "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string FileText(const std::string& path) {
    auto bytes = test::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

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

TEST(StartUp, NoSoundDeviceIsQuiet) {
    test::TempFolder home;
    std::string probe = home / "probe";
    std::filesystem::copy_file(STARTUP_PROBE, probe);
    test::WriteFileText(home / "beside.txt", "here");
    // The device probe itself, as on a machine with no driver chosen.
    ScopedEnv driver("SDL_AUDIODRIVER", nullptr);
    for (auto [arguments, linesAllowed] : {std::pair{"", 0}, std::pair{"sound", 1}}) {
        SCOPED_TRACE(arguments);
        std::string errors =
            RunCapturing("'" + probe + "' " + arguments + " </dev/null 2>&1 >/dev/null");
        EXPECT_LE(std::count(errors.begin(), errors.end(), '\n'), linesAllowed) << errors;
    }
}

// It runs alone (tests/CMakeLists.txt): a 30 ms delay then wakes well within 50 ms.
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
    WriteTool(tools / "zenity", 0, "/home/user/chosen.png\\n", log);
    ToolsOnPath path(tools.Path());
    EXPECT_EQ(RequestFilePath(S("Pick"), S("png,jpg"), true, S("start.png")),
              u"/home/user/chosen.png");
    EXPECT_EQ(FileText(log), "--file-selection\n--title=Pick\n--save\n--confirm-overwrite\n"
                             "--filename=start.png\n--file-filter=Files | *.png *.jpg\n");
}

TEST(Requesters, CancelGivesTheEmptyString) {
    test::TempFolder tools;
    WriteTool(tools / "zenity", 1);
    ToolsOnPath path(tools.Path());
    EXPECT_EQ(RequestFolderPath(S("Folder")), u"");
}

TEST(Requesters, NoRequesterGivesTheEmptyString) {
    test::TempFolder empty;
    ScopedEnv path("PATH", empty.Path().c_str());
    EXPECT_EQ(RequestFilePath(S("Open")), u"");
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

namespace {

enum class Ask { Notice, OkCancel, YesNoCancel };

// The answer as the number AskYesNoCancel's Answer stands for: OK and a notice's return count
// as 1.
int AskWith(Ask ask, bool serious = false) {
    switch (ask) {
    case Ask::Notice:
        ShowNotice(S("Saved."), serious);
        return 1;
    case Ask::OkCancel:
        return AskOkCancel(S("Go on?"), serious) ? 1 : 0;
    case Ask::YesNoCancel:
        break;
    }
    return ToNumber(AskYesNoCancel(S("Save the changes?"), serious));
}

// Message boxes on a desktop where SDL's box fails, as without X core fonts.
class MessageBoxFallback : public testing::Test {
protected:
    void SetUp() override { native::EnableSdlMessageBoxes(false); }
    void TearDown() override { native::EnableSdlMessageBoxes(true); }

    test::TempFolder tools;
    std::string log = tools / "arguments";
    ScopedEnv path{"PATH", tools.Path().c_str()};
    ScopedEnv display{"DISPLAY", ":0"};
};

} // namespace

TEST_F(MessageBoxFallback, TheDesktopsDialogToolAsks) {
    struct Case {
        const char* tool;
        Ask ask;
        bool serious;
        int code;
        const char* output;
        int answer;
        const char* arguments; // when checked
    };
    const Case cases[] = {
        {"zenity", Ask::YesNoCancel, false, 0, "", 1,
         "--question\n--ok-label=Yes\n--cancel-label=Cancel\n--extra-button=No\n--no-markup\n"
         "--title=Zandrel Application\n--text=Save the changes?\n"},
        {"zenity", Ask::YesNoCancel, false, 1, "No\\n", 0, nullptr},
        {"zenity", Ask::YesNoCancel, false, 1, "", -1, nullptr}, // Cancel, Escape, closed
        {"zenity", Ask::OkCancel, false, 0, "", 1, nullptr},
        {"zenity", Ask::OkCancel, false, 1, "", 0, nullptr},
        {"zenity", Ask::Notice, true, 0, "", 1,
         "--warning\n--no-markup\n--title=Zandrel Application\n--text=Saved.\n"},
        {"kdialog", Ask::YesNoCancel, true, 0, "", 1,
         "--title\nZandrel Application\n--warningyesnocancel\nSave the changes?\n"},
        {"kdialog", Ask::YesNoCancel, false, 1, "", 0, nullptr},
        {"kdialog", Ask::YesNoCancel, false, 2, "", -1, nullptr},
        {"kdialog", Ask::OkCancel, false, 1, "", 0,
         "--title\nZandrel Application\n--yes-label\nOK\n--no-label\nCancel\n--yesno\nGo on?\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tool << " exits " << c.code);
        std::filesystem::remove(log);
        WriteTool(tools / c.tool, c.code, c.output, log);
        EXPECT_EQ(AskWith(c.ask, c.serious), c.answer);
        if (c.arguments) {
            EXPECT_EQ(FileText(log), c.arguments);
        }
        std::filesystem::remove(tools / c.tool);
    }
}

// No tool, no display for one, or a tool that fails instead of answering.
TEST_F(MessageBoxFallback, OtherwiseTheTerminalIsToldAndTheDefaultAnswered) {
    struct Case {
        const char* tool;
        int code;
        const char* display;
    };
    const Case cases[] = {{nullptr, 0, ":0"}, {"zenity", 0, nullptr}, {"zenity", 255, ":0"}};
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.tool ? c.tool : "no tool") << " exits " << c.code);
        std::filesystem::remove(tools / "zenity");
        if (c.tool) WriteTool(tools / c.tool, c.code);
        ScopedEnv display("DISPLAY", c.display), wayland("WAYLAND_DISPLAY", nullptr);
        testing::internal::CaptureStderr();
        EXPECT_EQ(AskWith(Ask::YesNoCancel), 1);
        EXPECT_EQ(AskWith(Ask::OkCancel), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Zandrel Application: Save the changes? [Yes]\n"
                  "Zandrel Application: Go on? [OK]\n");
    }
}

// A real failure of SDL's box: no display to show it on.
TEST(MessageBoxes, WithoutADisplayTheTerminalIsTold) {
    test::TempFolder empty;
    ScopedEnv path("PATH", empty.Path().c_str()), display("DISPLAY", nullptr),
        wayland("WAYLAND_DISPLAY", nullptr);
    testing::internal::CaptureStderr();
    ShowNotice(S("Saved."), true);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Zandrel Application: Saved. [OK]\n"),
              std::string::npos);
}
