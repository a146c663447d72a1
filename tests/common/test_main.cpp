#include <gtest/gtest.h>
#include <zandrel/zandrel.hpp>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
    int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

// The full-disk tests mount small tmpfs folders. A program allowed to mount
// does so in a mount namespace of its own, which no mount leaves; one that is
// not (not root, or root in a container without the right) becomes root in
// user and mount namespaces of its own, as `unshare -rm` does, where the
// kernel allows them. Either needs the program to have a single thread.
// Not under chroot (a root that is no mount point of its own, as on a
// freshly made build root): there a namespace of its own makes
// /proc/self/exe name the program from outside that root, a file the program
// cannot see, and the full-disk tests mount in the shared namespace,
// unmounting as they end.
bool RootIsAMountPoint() {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        if (fields >> id >> parent >> device >> root >> point && point == "/") return true;
    }
    return false;
}

void GetOwnMounts() {
    if (!RootIsAMountPoint()) return;
    if (unshare(CLONE_NEWNS) == 0) {
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        return;
    }
    std::string user = std::to_string(geteuid()), group = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return;
    WriteProcFile("/proc/self/setgroups", "deny");
    WriteProcFile("/proc/self/uid_map", "0 " + user + " 1");
    WriteProcFile("/proc/self/gid_map", "0 " + group + " 1");
}

} // namespace

int main(int argc, char** argv) {
    GetOwnMounts();
    testing::InitGoogleTest(&argc, argv);
    // The framework runs threads (the mixer, timers): a death test must start
    // its child afresh rather than fork a copy of a threaded process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Tests that need a particular audio driver choose it; the rest must not
    // depend on a sound card being there.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    zandrel::StartZandrel();
    return RUN_ALL_TESTS();
}
