// What kvlivebench needs of the system around it: the peers it runs as child processes (a broker,
// a Modbus device), free ports on 127.0.0.1, a scratch folder, and resident memory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kvlive {

//! A program run in the background for the length of the object. The child gets SIGTERM when
//! the bench ends in any way (PR_SET_PDEATHSIG), so a crash or a kill leaves no peer behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    //! Starts argv[0] (a path) with its output into outputFile. False, with the reason, when it
    //! could not be started.
    bool start(const std::vector<std::string>& argv, const std::string& outputFile,
               std::string* error);
    //! Whether it still runs; reaps it once it has ended.
    bool running();
    //! SIGTERM, then SIGKILL when it has not ended within two seconds; waits for it.
    void stop();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

//! A port of 127.0.0.1 nobody listens on now (0 when none could be found). Another process may
//! take it before the caller does: callers retry.
int freePort();
//! Whether a TCP connection to 127.0.0.1:port is accepted.
bool accepts(int port);

//! A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !m_path.empty(); }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

//! Resident memory of a process (this one by default), in MiB; 0 when it cannot be read.
double residentMb(pid_t pid = 0);

//! The first line of a text file, without its line end ("" when it cannot be read).
std::string firstLine(const std::string& path);

} // namespace kvlive
