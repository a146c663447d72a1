// Real files in a temporary folder for the tests.
#pragma once

#include <zandrel/runtime.hpp>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zandrel {

// Enums print as their numbers in test messages.
template <class E>
requires std::is_enum_v<E> std::ostream& operator<<(std::ostream& out, E value) {
    return out << ToNumber(value);
}

} // namespace zandrel

namespace zandrel::test {

// Before the tests start: whatever the platform's tests need of the process
// (on Linux, mount rights of its own for the full-disk tests).
void PrepareTestProcess();

// The path of this test program, in the system's form.
std::string ThisProgram();

// A new empty folder, removed with everything in it when this goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The path of a name inside the folder.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A tmpfs of `bytes` mounted on a new folder, for full and read-only disks;
// unmounted when this goes. Mounting needs the right to, which test_main.cpp
// gets where the kernel allows: tests skip when !Mounted().
class SmallFilesystem {
public:
    explicit SmallFilesystem(size_t bytes);
    ~SmallFilesystem();
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Path() const { return folder_.Path(); }
    std::string operator/(const std::string& name) const { return folder_ / name; }
    // Writes a filler file until no byte more fits.
    void Fill() const;
    bool MakeReadOnly() const;

private:
    TempFolder folder_;
    std::string options_;
    bool mounted_ = false;
};

// A private virtual X server of a given size, for tests that need a display
// other than the suite's. Xvfb itself picks a free display number and tells
// it through -displayfd; it is stopped when this goes. Throws
// std::runtime_error when Xvfb cannot start.
class PrivateDisplay {
public:
    PrivateDisplay(int width, int height);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // ":N", for DISPLAY.
    const std::string& Name() const { return name_; }
    // Runs a shell command on this display: its exit code, -1 when it did not
    // end by itself.
    int Run(const std::string& command) const;
    // Runs `body` in a child process on this display: its result is the
    // child's exit code (125 when it threw). The child ends without exit
    // handlers, so the body closes what it opened.
    int RunChild(const std::function<int()>& body) const;

private:
    pid_t server_ = -1;
    std::string name_;
};

// A UTF-8 name as the standard library's file calls take it (Windows would
// read a plain std::string in its ANSI code page).
std::filesystem::path Utf8Path(const std::string& name);

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

std::vector<uint8_t> Bytes(std::initializer_list<int> values);

// Address-space limits mean nothing where a sanitizer reserves terabytes.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool AddressLimitsHold = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
constexpr bool AddressLimitsHold = false;
#else
constexpr bool AddressLimitsHold = true;
#endif
#else
constexpr bool AddressLimitsHold = true;
#endif

// Runs `body` in a child process that may map only `headroom` bytes more
// than the parent has mapped now. The body's result as the exit code; 125
// when it throws, 126 when an allocation failed on the way (a failed
// malloc leaves ENOMEM behind), -1 when the child did not exit.
int RunWithAddressHeadroom(size_t headroom, const std::function<int()>& body);

} // namespace zandrel::test
