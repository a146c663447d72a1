#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_EQ(CloseStream(seekable), 0);
    EXPECT_FALSE(OpenSeekableRead(folder / "missing"));
}
