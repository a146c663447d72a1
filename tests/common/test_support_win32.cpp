// The Windows side of the test support. Windows has no mounts for small
// disks and no private X servers (the whole run has one display), and the
// address-space limit of a child is not offered: those tests skip or fail
// with a message that says so.
#include "test_support.hpp"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

namespace zandrel::test {

void PrepareTestProcess() {
    // A failed assertion or abort must not stop an unattended run on a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

std::string ThisProgram() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return ToUtf8(String(path, path + n));
}

// Forward slashes, as the framework gives its own paths.
TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        auto name = "zandrel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter.fetch_add(1)) + "-" + std::to_string(GetTickCount());
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error)) {
            path_ = (base / name).generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

SmallFilesystem::SmallFilesystem(size_t bytes) : options_("size=" + std::to_string(bytes)) {}

SmallFilesystem::~SmallFilesystem() = default;

void SmallFilesystem::Fill() const {}

bool SmallFilesystem::MakeReadOnly() const {
    return false;
}

PrivateDisplay::PrivateDisplay(int, int) {
    throw std::runtime_error("the Windows build has no private X displays: the run has one");
}

PrivateDisplay::~PrivateDisplay() = default;

int PrivateDisplay::Run(const std::string&) const {
    return -1;
}

int PrivateDisplay::RunChild(const std::function<int()>&) const {
    return -1;
}

int RunWithAddressHeadroom(size_t, const std::function<int()>&) {
    throw std::runtime_error("the Windows build runs no child with an address-space limit");
}

} // namespace zandrel::test
