// Signal handling of kdu's long-running commands. Both install handlers for their own
// lifetime and put the previous ones back.
#pragma once

#include <csignal>

namespace cli {

// While a firmware update runs, SIGINT, SIGTERM and SIGHUP do not end the process: a drive
// cut off halfway is left in its kernel mode. Each such signal only tells the user to wait.
class InterruptDeferral {
public:
    InterruptDeferral();
    InterruptDeferral(const InterruptDeferral&) = delete;
    InterruptDeferral& operator=(const InterruptDeferral&) = delete;
    ~InterruptDeferral();

private:
    struct sigaction previous_[3];
};

// SIGINT and SIGTERM make a pipe readable, so a run loop can stop on them.
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
