// Running the kdu binary from tests: to completion with given input, or as a child whose
// output is read line by line.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kdu_test {

struct RunResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs kdu with the arguments, `input` on its standard input.
RunResult runKdu(const std::vector<std::string>& args, const std::string& input = "");

// kdu running in the background with its standard output on a pipe.
class KduChild {
public:
    explicit KduChild(const std::vector<std::string>& args);
    KduChild(const KduChild&) = delete;
    KduChild& operator=(const KduChild&) = delete;
    ~KduChild();  // kills and reaps the child if it still runs

    // The next line without its newline; false at end of output.
    bool readLine(std::string& line);
    void signal(int signo);
    // Waits for the exit; the exit status, or -1 when it did not exit normally.
    int wait();

private:
    pid_t pid_ = -1;
    std::FILE* out_ = nullptr;
};

}  // namespace kdu_test
