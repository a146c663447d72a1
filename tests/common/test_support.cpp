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
#include <stdexcept>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zandrel::test {

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

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

} // namespace zandrel::test
