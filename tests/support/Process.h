#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tolvane::test {

struct ProcessResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// A child process with extra environment variables; stdin is /dev/null.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& environment);
    ~ChildProcess();  // kills it if it still runs; like its TempDir, it cannot be copied

    void Signal(int signal) const;
    bool Running();
    // Waits for the end, at most `timeoutMs` (then kills it), and collects its output.
    ProcessResult Wait(int timeoutMs = 30000);

  private:
    TempDir output_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// Runs a command that must succeed and gives its output; std::runtime_error with its error
// output when it fails.
std::string RunChecked(const std::vector<std::string>& args);

// The command line of a program that holds the SQLite `database` in an exclusive transaction,
// as another program on the office's computer might, creating `marker` once it does.
std::vector<std::string> SqliteLockCommand(const std::string& database, const std::string& marker);
// Waits, at most `timeoutMs`, for `path` to exist; whether it does.
bool WaitForFile(const std::string& path, int timeoutMs = 5000);

}  // namespace tolvane::test
