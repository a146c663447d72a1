// The POSIX side of the test support: temporary folders, tmpfs mounts, private
// X servers and children with an address-space limit.
#include "test_support.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zandrel::test {

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

} // namespace

void PrepareTestProcess() {
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

std::string ThisProgram() {
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zandrel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

SmallFilesystem::SmallFilesystem(size_t bytes) : options_("size=" + std::to_string(bytes)) {
    mounted_ = mount("tmpfs", Path().c_str(), "tmpfs", 0, options_.c_str()) == 0;
}

SmallFilesystem::~SmallFilesystem() {
    if (mounted_) umount2(Path().c_str(), MNT_DETACH);
}

void SmallFilesystem::Fill() const {
    int fd = open((*this / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return;
    std::vector<char> block(4096, 'f');
    for (size_t size = block.size(); size > 0; size /= 2)
        while (write(fd, block.data(), size) > 0) {
        }
    close(fd);
}

bool SmallFilesystem::MakeReadOnly() const {
    return mount("tmpfs", Path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, options_.c_str()) == 0;
}

namespace {

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return ExitCodeOf(status);
}

// The display number Xvfb writes once it is ready; empty when it ended first
// or said nothing for a minute.
std::string ReadDisplayNumber(int fd) {
    std::string number;
    pollfd ready{fd, POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&ready, 1, 60000) > 0) {
        char buffer[16];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return "";
        number.append(buffer, static_cast<size_t>(got));
    }
    auto end = number.find('\n');
    return end == std::string::npos ? "" : number.substr(0, end);
}

} // namespace

PrivateDisplay::PrivateDisplay(int width, int height) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server_ = fork();
    if (server_ == 0) {
        if (pipeFds[1] == 3)
            fcntl(3, F_SETFD, 0);
        else
            dup2(pipeFds[1], 3); // the copy is left open across exec
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 2);
        // A test killed on its timeout takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Without -noreset the server resets each time its last client
        // leaves, and a program that connects just then can find no display.
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number = server_ > 0 ? ReadDisplayNumber(pipeFds[0]) : "";
    close(pipeFds[0]);
    if (number.empty()) {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            WaitFor(server_);
        }
        throw std::runtime_error("Xvfb did not start");
    }
    name_ = ":" + number;
}

PrivateDisplay::~PrivateDisplay() {
    kill(server_, SIGTERM);
    WaitFor(server_);
}

int PrivateDisplay::Run(const std::string& command) const {
    return RunChild([&command] { return ExitCodeOf(std::system(command.c_str())); });
}

int PrivateDisplay::RunChild(const std::function<int()>& body) const {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        setenv("DISPLAY", name_.c_str(), 1);
        int code = 125;
        try {
            code = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(code);
    }
    return WaitFor(child);
}

namespace {

size_t MappedBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    return 0;
}

} // namespace

int RunWithAddressHeadroom(size_t headroom, const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = MappedBytes() + headroom;
        int code = 125;
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(124);
        errno = 0;
        try {
            code = body();
        } catch (...) {
        }
        if (errno == ENOMEM) code = 126;
        _exit(code);
    }
    return WaitFor(child);
}

} // namespace zandrel::test
