#include "bench/live/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kvlive {

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& outputFile,
                         std::string* error) {
    stop();
    if (argv.empty() || access(argv[0].c_str(), X_OK) != 0) {
        *error = (argv.empty() ? std::string("no program") : argv[0]) + ": not an executable";
        return false;
    }
    // Everything the child needs is prepared before fork(): after it, in a process that has
    // threads, only async-signal-safe calls are allowed until exec.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (output < 0 || input < 0) {
        *error = outputFile + ": " + std::strerror(errno);
        if (output >= 0) {
            close(output);
        }
        if (input >= 0) {
            close(input);
        }
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(127); // the bench ended before the line above
        }
        setpgid(0, 0); // a terminal's Ctrl-C reaches the bench, which stops its peers itself
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    close(output);
    close(input);
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    m_pid = pid;
    return true;
}

bool ChildProcess::running() {
    if (m_pid <= 0) {
        return false;
    }
    if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop() {
    if (!running()) {
        return;
    }
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_in address = loopback(port);
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

ScratchDir::ScratchDir() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "kvlivebench-XXXXXX");
    if (error) {
        pattern = "/tmp/kvlivebench-XXXXXX";
    }
    if (mkdtemp(pattern.data())) {
        m_path = pattern;
    }
}

ScratchDir::~ScratchDir() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

double residentMb(pid_t pid) {
    const std::string path =
        pid > 0 ? "/proc/" + std::to_string(pid) + "/statm" : std::string("/proc/self/statm");
    long size = 0;
    long pages = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &pages) != 2) {
            pages = 0;
        }
        std::fclose(f);
    }
    return static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace kvlive
