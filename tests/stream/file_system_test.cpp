#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

String Normalized(String path, bool isFolder = false) {
    NormalizePath(path, isFolder);
    return path;
}

// Runs with the current folder changed, and changes it back.
class InFolder {
public:
    explicit InFolder(const std::string& path) : previous_(CurrentFolder()) {
        ChangeFolder(FromBytes(path));
    }
    ~InFolder() { ChangeFolder(previous_); }

private:
    String previous_;
};

} // namespace

TEST(PathText, Normalize) {
    EXPECT_EQ(Normalized(u"C:\\data\\x.png"), u"C:/data/x.png");
    EXPECT_EQ(Normalized(u"C:"), u"C:/");
    EXPECT_EQ(Normalized(u"C:x"), u"C:/x");
    EXPECT_EQ(Normalized(u"C:/", true), u"C:/");
    EXPECT_EQ(Normalized(u"a/b/", true), u"a/b");
    EXPECT_EQ(Normalized(u"/", true), u"/");
    EXPECT_EQ(Normalized(u""), u"");
    String trailing = u"a//";
    TrimTrailingSlash(trailing);
    EXPECT_EQ(trailing, u"a/");
}

TEST(PathText, Parts) {
    EXPECT_EQ(FileNamePart(u"a/b.c/d"), u"d");
    EXPECT_EQ(FileNamePart(u"name.txt"), u"name.txt");
    EXPECT_EQ(FileNamePart(u"a\\b\\c.txt"), u"c.txt");
    EXPECT_EQ(WithoutExtension(u"a/b.c/d"), u"a/b.c/d");
    EXPECT_EQ(WithoutExtension(u"x.tar.gz"), u"x.tar");
    EXPECT_EQ(BaseNamePart(u"dir/pic.PNG"), u"pic");
    EXPECT_EQ(ExtensionPart(u"x.tar.gz"), u"gz");
    EXPECT_EQ(ExtensionPart(u"a.b/c"), u"");
    EXPECT_EQ(FolderPart(u"readme"), u"<bad_dir>");
    EXPECT_EQ(FolderPart(u"a/"), u"<bad_dir>");
    EXPECT_EQ(FolderPart(u"a/b/c"), u"a/b");
}

TEST(PathText, Resolve) {
    EXPECT_EQ(ResolvePath(u"C:/a/./b/../c"), u"C:/a/c");
    EXPECT_EQ(ResolvePath(u"C:\\a\\..\\..\\b"), u"<bad_dir>");
    EXPECT_EQ(ResolvePath(u"/usr//lib/./x/.."), u"/usr/lib");
    EXPECT_EQ(ResolvePath(u"/a/../b"), u"/b");
    EXPECT_EQ(ResolvePath(u"/a/.."), u"/");
    EXPECT_EQ(ResolvePath(u"/.."), u"<bad_dir>");
    EXPECT_EQ(ResolvePath(u"/a/../:./b/x/.."), u"/:./b"); // ":." is a name, not a drive
    TempFolder folder;
    InFolder inside(folder.Path());
    String current = CurrentFolder();
    EXPECT_EQ(ResolvePath(u""), current);
    EXPECT_EQ(ResolvePath(u"."), current);
    EXPECT_EQ(ResolvePath(u"a/b"), current + u"/a/b");
    EXPECT_EQ(ResolvePath(u"a/../../x"), FolderPart(current) + u"/x");
}

TEST(FileOps, KindsSizesAndTimes) {
    TempFolder folder;
    WriteFileText(folder / "f.txt", "12345");
    EXPECT_EQ(PathKind(FromBytes(folder / "f.txt")), FileKind::Regular);
    EXPECT_EQ(PathKind(FromBytes(folder.Path())), FileKind::Folder);
    EXPECT_EQ(PathKind(FromBytes(folder.Path() + "/")), FileKind::Folder);
    EXPECT_EQ(PathKind(FromBytes(folder / "missing")), FileKind::NoFile);
    EXPECT_EQ(FileByteSize(FromBytes(folder / "f.txt")), 5);
    EXPECT_EQ(FileByteSize(FromBytes(folder / "missing")), -1);
    EXPECT_EQ(FileModifiedTime(FromBytes(folder / "missing")), 0);
    EXPECT_GT(FileModifiedTime(FromBytes(folder / "f.txt")), 1600000000);
    EXPECT_TRUE(SetFilePermissions(FromBytes(folder / "f.txt"), 0640));
    EXPECT_EQ(FilePermissions(FromBytes(folder / "f.txt")), 0640);
    EXPECT_EQ(FilePermissions(FromBytes(folder / "missing")), -1);
}

TEST(FileOps, CreateRenameCopyRemove) {
    TempFolder folder;
    String file = FromBytes(folder / "empty.bin");
    WriteFileText(folder / "empty.bin", "old contents");
    EXPECT_TRUE(MakeEmptyFile(file));
    EXPECT_EQ(FileByteSize(file), 0);

    WriteFileText(folder / "src.txt", std::string(10000, 'z'));
    EXPECT_TRUE(CopyFileContents(FromBytes(folder / "src.txt"), FromBytes(folder / "dst.txt")));
    EXPECT_EQ(ReadFileBytes(folder / "dst.txt"), ReadFileBytes(folder / "src.txt"));
    EXPECT_FALSE(CopyFileContents(FromBytes(folder / "none.txt"), FromBytes(folder / "x.txt")));
    EXPECT_FALSE(CopyFileContents(FromBytes(folder / "src.txt"), FromBytes(folder / "no/x.txt")));

    EXPECT_TRUE(RenamePath(FromBytes(folder / "dst.txt"), FromBytes(folder / "moved.txt")));
    EXPECT_EQ(PathKind(FromBytes(folder / "dst.txt")), FileKind::NoFile);
    EXPECT_FALSE(RenamePath(FromBytes(folder / "dst.txt"), FromBytes(folder / "again.txt")));

    // Read-only files are removed too.
    SetFilePermissions(FromBytes(folder / "moved.txt"), 0444);
    EXPECT_TRUE(RemoveFile(FromBytes(folder / "moved.txt")));
    EXPECT_TRUE(RemoveFile(FromBytes(folder / "never-there.txt")));
}

TEST(FileOps, FoldersRecursively) {
    TempFolder folder;
    String deep = FromBytes(folder / "x/y/z");
    EXPECT_FALSE(MakeFolder(deep, false));
    EXPECT_TRUE(MakeFolder(deep, true));
    EXPECT_EQ(PathKind(deep), FileKind::Folder);
    EXPECT_TRUE(MakeFolder(deep, true));

    WriteFileText(folder / "p", "");
    EXPECT_FALSE(MakeFolder(FromBytes(folder / "p/q/r"), true));
    EXPECT_EQ(PathKind(FromBytes(folder / "p/q")), FileKind::NoFile);

    WriteFileText(folder / "x/a.txt", "a");
    WriteFileText(folder / "x/y/b.txt", "bb");
    EXPECT_TRUE(CopyFolder(FromBytes(folder / "x"), FromBytes(folder / "copy")));
    EXPECT_EQ(ReadFileBytes(folder / "copy/y/b.txt"), Bytes({'b', 'b'}));
    EXPECT_EQ(PathKind(FromBytes(folder / "copy/y/z")), FileKind::Folder);
    EXPECT_FALSE(CopyFolder(FromBytes(folder / "x/a.txt"), FromBytes(folder / "c2")));

    auto names = ListFolder(FromBytes(folder / "x"), true);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<String>{u"a.txt", u"y"}));
    auto all = ListFolder(FromBytes(folder / "x"), false);
    EXPECT_EQ(all.size(), 4u);
    EXPECT_TRUE(ListFolder(FromBytes(folder / "none"), true).empty());

    EXPECT_FALSE(RemoveFolder(FromBytes(folder / "x"), false));
    EXPECT_TRUE(RemoveFolder(FromBytes(folder / "x/"), true));
    EXPECT_EQ(PathKind(FromBytes(folder / "x")), FileKind::NoFile);
    EXPECT_FALSE(RemoveFolder(FromBytes(folder / "x"), true));
}

TEST(FileOps, FolderListingHandles) {
    TempFolder folder;
    WriteFileText(folder / "only", "");
    FolderListing* listing = OpenFolderListing(FromBytes(folder.Path()));
    ASSERT_NE(listing, nullptr);
    int entries = 0;
    while (!NextFolderEntry(listing).empty())
        ++entries;
    CloseFolderListing(listing);
    EXPECT_EQ(entries, 3);
    EXPECT_EQ(OpenFolderListing(FromBytes(folder / "none")), nullptr);
}

TEST(FileOps, ChangeFolderMovesRelativeNames) {
    TempFolder folder;
    WriteFileText(folder / "here.txt", "here");
    {
        InFolder inside(folder.Path());
        EXPECT_EQ(LoadByteString(u"here.txt"), u"here");
    }
    EXPECT_FALSE(ChangeFolder(FromBytes(folder / "none")));
}

TEST(FileOps, SeekableStreams) {
    TempFolder folder;
    WriteFileText(folder / "s.txt", "seekable");
    auto file = OpenSeekableRead(folder / "s.txt");
    EXPECT_GE(file->Pos(), 0);
    EXPECT_TRUE(As<TBorrowedStream>(OpenSeekableRead(file)) != nullptr);

    std::vector<uint8_t> bytes(3000, 5);
    auto unsized = New<ScriptedSource>(bytes, 100, false);
    auto seekable = OpenSeekableRead(unsized);
    ASSERT_TRUE(As<TBankStream>(seekable));
    EXPECT_EQ(seekable->Size(), 3000);
    EXPECT_EQ(seekable->Seek(2999), 2999);
    EXPECT_TRUE(CloseStream(seekable));
    EXPECT_FALSE(OpenSeekableRead(folder / "missing"));
}

// A name reaches the disk as its UTF-8 bytes and nothing else: no look-alike
// of "/", NUL or ".." by its low eight bits, and no two names on one file.
TEST(FileNames, TravelAsUtf8ThroughCreateListAndOpen) {
    const std::vector<String> names = {
        u"x\u012Fy.txt",                         // low byte "/"
        u"ab\u0100cd.txt",                       // low byte NUL
        u"\u022E\u022E",                         // low bytes ".."
        u"café.txt",       u"\u20AC", u"\u00AC", // one low byte for both
        u"\U0001F600.bin",
    };
    TempFolder folder;
    String base = FromUtf8(folder.Path()) + u"/";
    for (const String& name : names) {
        ASSERT_TRUE(MakeEmptyFile(base + name)) << ToUtf8(name);
        std::string utf8 = ToUtf8(name);
        SaveBytes(ByteArray(utf8.begin(), utf8.end()), base + name);
    }
    auto listed = ListFolder(base, true);
    auto expected = names;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    for (const String& name : names) {
        std::string utf8 = ToUtf8(name);
        auto bytes = ReadFileBytes(folder / utf8);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), utf8);
        ByteArray loaded = LoadBytes(base + name);
        EXPECT_EQ(std::string(loaded.begin(), loaded.end()), utf8);
    }
}

TEST(FileNames, ForeignNamesAreFoundAndUnencodableNamesTouchNothing) {
    TempFolder folder;
    WriteFileText(folder / "grüße.txt", "hi");
    std::filesystem::create_directory(Utf8Path(folder / "déjà"));
    String base = FromUtf8(folder.Path()) + u"/";
    EXPECT_EQ(PathKind(base + u"grüße.txt"), FileKind::Regular);
    EXPECT_EQ(LoadByteString(folder / "grüße.txt"), u"hi"); // narrow text is UTF-8
    EXPECT_TRUE(RenamePath(base + u"déjà", base + u"voilà"));
    auto listed = ListFolder(base, true);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<String>{u"grüße.txt", u"voilà"}));

    const String unencodable[] = {u"a\xD800.txt", String(u"ab\0cd", 5)};
    for (const String& name : unencodable) {
        String path = base + name;
        EXPECT_FALSE(MakeEmptyFile(path));
        EXPECT_FALSE(OpenWriteStream(path));
        EXPECT_FALSE(MakeFolder(path, true));
        EXPECT_FALSE(RenamePath(base + u"grüße.txt", path));
        EXPECT_FALSE(ChangeFolder(path));
        EXPECT_EQ(PathKind(path), FileKind::NoFile);
    }
    EXPECT_EQ(ListFolder(base, true).size(), 2u);
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; the
// folder is made, and a name that is no single folder name is refused.
TEST(FileOps, UserDataFolderFollowsTheBaseDirectoryRules) {
    TempFolder home;
    auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    auto oldHome = saved("HOME"), oldData = saved("XDG_DATA_HOME");
    setenv("HOME", home.Path().c_str(), 1);
    std::string data = home / "data";
    struct Case {
        const char* dataHome; // null: unset
        std::string expected;
    } cases[] = {
        {nullptr, home / ".local/share/rockfall"},
        {"relative/data", home / ".local/share/rockfall"},
        {"", home / ".local/share/rockfall"},
        {data.c_str(), data + "/rockfall"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataHome ? c.dataHome : "unset");
        if (c.dataHome)
            setenv("XDG_DATA_HOME", c.dataHome, 1);
        else
            unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(ToUtf8(UserDataFolder("rockfall")), c.expected);
        EXPECT_EQ(PathKind(c.expected), FileKind::Folder);
    }
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "c:d"})
        EXPECT_THROW(UserDataFolder(name), RuntimeError) << name;
    for (auto& [name, value] : {std::pair{"HOME", oldHome}, std::pair{"XDG_DATA_HOME", oldData}})
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}
