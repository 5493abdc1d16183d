// Runs a program as a child process with its own environment and standard input, and collects
// its exit code and output; or starts one to run alongside the test.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

struct ProcessResult {
    int exitCode = -1; // -1 when it was killed by a signal or did not finish in time
    std::string out;
    std::string err;
};

// The test's environment without any LTP_* or LTPD_* variable, then the given ones added.
std::vector<std::string> CleanEnvironment(const std::map<std::string, std::string>& extra);

// Runs program with args, feeding input on its standard input; kills it after timeoutSeconds.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment, const std::string& input,
                         int timeoutSeconds = 60);

// A child that runs until Stop (or destruction); its output goes to a file.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess();

    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& environment, const std::string& outputFile);
    bool Running();
    // Sends SIGTERM and waits up to timeoutSeconds; returns the exit code, -1 if it had to be
    // killed or died by a signal.
    int Stop(int timeoutSeconds = 10);

private:
    pid_t m_pid = -1;
};

} // namespace e2e
