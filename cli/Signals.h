// Stopping `kdu watch` on SIGINT and SIGTERM (the update holds signals otherwise: see
// UpdateSignalGuard). Handlers are installed for the object's lifetime and put back after.
#pragma once

#include <csignal>

namespace cli {

// SIGINT and SIGTERM make a pipe readable, so a poll() can stop on them.
class StopSignalPipe {
public:
    StopSignalPipe();
    StopSignalPipe(const StopSignalPipe&) = delete;
    StopSignalPipe& operator=(const StopSignalPipe&) = delete;
    ~StopSignalPipe();

    bool valid() const { return readFd_ >= 0; }
    int fd() const { return readFd_; }

private:
    int readFd_ = -1;
    struct sigaction previous_[2];
};

}  // namespace cli
