// Whole-file writers: a write that fails is reported, and a save that fails
// leaves the old file exactly as it was.
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zandrel/stream.hpp>

#include <algorithm>
#include <functional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace zandrel;
using namespace zandrel::test;

namespace {

ByteArray Pattern(size_t size) {
    ByteArray bytes(size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + i / 251);
    return bytes;
}

const ByteArray smallData = Pattern(10);     // stays in the C runtime's buffer
const ByteArray largeData = Pattern(100000); // passes it
const ByteArray hugeData = Pattern(1 << 20); // far more than a small disk holds

template <class Error> bool Throws(const std::function<void()>& body) {
    try {
        body();
    } catch (const Error&) {
        return true;
    }
    return false;
}

// Each whole-file writer; `failed` is true when it reported a failure the way
// it reports one.
struct Saver {
    const char* name;
    std::function<bool(const std::string& path, const ByteArray& bytes)> failed;
};

const std::vector<Saver> savers = {
    {"SaveBytes",
     [](auto& path, auto& bytes) {
         return Throws<TStreamWriteError>([&] { SaveBytes(bytes, path); });
     }},
    {"SaveByteString",
     [](auto& path, auto& bytes) {
         String text = FromBytes(bytes.data(), bytes.size());
         return Throws<TStreamWriteError>([&] { SaveByteString(text, path); });
     }},
    {"WriteTextTo",
     [](auto& path, auto& bytes) {
         String text = u"\u20AC" + FromBytes(bytes.data(), bytes.size() / 2);
         return Throws<TStreamWriteError>([&] { WriteTextTo(text, path); });
     }},
    {"TBank::Save",
     [](auto& path, auto& bytes) {
         auto bank = CreateBank(static_cast<int>(bytes.size()));
         std::copy(bytes.begin(), bytes.end(), bank->Buf());
         return !bank->Save(path);
     }},
    {"CopyFileContents",
     [](auto& path, auto& bytes) {
         TempFolder source;
         WriteFileBytes(source / "source.bin", bytes);
         return !CopyFileContents(FromBytes(source / "source.bin"), FromBytes(path));
     }},
};

// SaveBytes said "Unable to open", not that a transfer failed.
bool OpenRefused(const std::string& path) {
    try {
        SaveBytes(largeData, path);
    } catch (const TStreamError&) {
        return false;
    } catch (const RuntimeError&) {
        return true;
    }
    return false;
}

std::vector<String> Entries(const std::string& folder) {
    auto names = ListFolder(FromBytes(folder));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Saving, FailedWritesAreReported) {
    for (const Saver& saver : savers) {
        EXPECT_TRUE(saver.failed("/dev/full", smallData)) << saver.name;
        EXPECT_TRUE(saver.failed("/dev/full", largeData)) << saver.name;
        TempFolder folder;
        EXPECT_FALSE(saver.failed(folder / "out.bin", largeData)) << saver.name;
        EXPECT_EQ(Entries(folder.Path()), std::vector<String>{u"out.bin"}) << saver.name;
    }
    // What waits in the buffer fails at Flush and Close.
    auto stream = OpenWriteStream("/dev/full");
    ASSERT_TRUE(stream);
    stream->WriteInt(1);
    EXPECT_FALSE(stream->Flush());
    stream->WriteInt(2);
    EXPECT_FALSE(stream->Close());
    EXPECT_TRUE(stream->Close()); // already closed
}

TEST(Saving, AFullDiskKeepsTheOldFile) {
    SmallFilesystem disk(64 << 10);
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    ByteArray old = Pattern(1000);
    WriteFileBytes(disk / "old.bin", old);
    for (const Saver& saver : savers) {
        EXPECT_TRUE(saver.failed(disk / "old.bin", hugeData)) << saver.name;
        EXPECT_EQ(ReadFileBytes(disk / "old.bin"), old) << saver.name;
        EXPECT_EQ(Entries(disk.Path()), std::vector<String>{u"old.bin"}) << saver.name;
    }
    disk.Fill();
    for (const Saver& saver : savers) {
        EXPECT_TRUE(saver.failed(disk / "old.bin", smallData)) << saver.name;
        EXPECT_EQ(ReadFileBytes(disk / "old.bin"), old) << saver.name;
        EXPECT_EQ(Entries(disk.Path()), (std::vector<String>{u"filler", u"old.bin"})) << saver.name;
    }
}

// Symbolic links and permission bits as POSIX has them.
#ifndef _WIN32
// Where the new file cannot be made, the save cannot open its target.
TEST(Saving, UnwritablePlacesCannotBeOpened) {
    TempFolder folder;
    symlink("loop.bin", (folder / "loop.bin").c_str());
    SmallFilesystem readOnly(64 << 10);
    if (!readOnly.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    WriteFileBytes(readOnly / "kept.bin", smallData);
    ASSERT_TRUE(readOnly.MakeReadOnly());
    const std::string places[] = {folder / "missing/x.bin", folder / "loop.bin",
                                  readOnly / "kept.bin"};
    for (const std::string& path : places) {
        EXPECT_TRUE(OpenRefused(path)) << path;
        EXPECT_FALSE(CreateBank(4)->Save(path)) << path;
        EXPECT_FALSE(OpenSaveStream(path)) << path;
        EXPECT_THROW(SaveObjectTo(nullptr, "data::" + path), RuntimeError) << path;
    }
    EXPECT_EQ(ReadFileBytes(readOnly / "kept.bin"), smallData);
}

TEST(Saving, ReplacesTheFileWhereALinkPointsKeepingItsMode) {
    TempFolder folder;
    mkdir((folder / "real").c_str(), 0777);
    WriteFileBytes(folder / "real/target.bin", smallData);
    chmod((folder / "real/target.bin").c_str(), 0640);
    symlink("real/target.bin", (folder / "link.bin").c_str());
    symlink("real/new.bin", (folder / "dangling.bin").c_str());

    SaveBytes(largeData, folder / "link.bin");
    SaveBytes(largeData, folder / "dangling.bin");
    SaveBytes(largeData, folder / "plain.bin");
    struct stat link;
    ASSERT_EQ(lstat((folder / "link.bin").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(ReadFileBytes(folder / "real/target.bin"), largeData);
    EXPECT_EQ(ReadFileBytes(folder / "real/new.bin"), largeData);
    EXPECT_EQ(FilePermissions(FromBytes(folder / "real/target.bin")), 0640);
    // A new file gets the bits any new file gets.
    ASSERT_TRUE(MakeEmptyFile(FromBytes(folder / "made.bin")));
    EXPECT_EQ(FilePermissions(FromBytes(folder / "plain.bin")),
              FilePermissions(FromBytes(folder / "made.bin")));
    EXPECT_EQ(Entries(folder / "real"), (std::vector<String>{u"new.bin", u"target.bin"}));
}
#endif // !_WIN32

// Only Close puts the new file in place; dropping the stream, or an exception
// through a stream wrapped around it, leaves the old file.
TEST(Saving, OnlyCloseReplacesTheFile) {
    TempFolder folder;
    std::string path = folder / "doc.txt";
    WriteFileText(path, "old");
    {
        auto dropped = OpenSaveStream(path);
        ASSERT_TRUE(dropped);
        dropped->WriteString(u"dropped");
    }
    try {
        auto text = CreateTextStream(OpenSaveStream(path), TextEncoding::Utf8);
        text->WriteString(u"unwound");
        throw TStreamWriteError();
    } catch (const TStreamWriteError&) {
    }
    // A plain file carries no objects: the writer throws, the file stays.
    EXPECT_THROW(SaveObjectTo(CreateBank(1), path), RuntimeError);
    EXPECT_EQ(ReadFileBytes(path), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(Entries(folder.Path()), std::vector<String>{u"doc.txt"});

    auto saved = OpenSaveStream(path);
    saved->WriteString(u"new");
    EXPECT_EQ(ReadFileBytes(path), Bytes({'o', 'l', 'd'}));
    EXPECT_TRUE(saved->Close());
    EXPECT_EQ(ReadFileBytes(path), Bytes({'n', 'e', 'w'}));

#ifndef _WIN32
    // Devices are written in place.
    auto device = OpenSaveStream("/dev/null");
    ASSERT_TRUE(device);
    device->WriteInt(1);
    EXPECT_TRUE(device->Close());
    struct stat null;
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
#endif
}
