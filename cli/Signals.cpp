#include "cli/Signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>

#include "log/LogRouting.h"

namespace cli {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM};

// One stop pipe at a time; the handler may only touch this.
std::atomic<int> gStopWriteFd{-1};

extern "C" void onStopSignal(int) {
    const int savedErrno = errno;
    const int fd = gStopWriteFd.load();
    if (fd >= 0) kdulog::writeFully(fd, "x");
    errno = savedErrno;
}

}  // namespace

StopSignalPipe::StopSignalPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readFd_ = fds[0];
    gStopWriteFd.store(fds[1]);
    static_assert(std::size(kStopSignals) == sizeof previous_ / sizeof previous_[0]);
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &action, &previous_[i]);
}

StopSignalPipe::~StopSignalPipe() {
    if (readFd_ < 0) return;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &previous_[i], nullptr);
    const int writeFd = gStopWriteFd.exchange(-1);
    ::close(writeFd);
    ::close(readFd_);
}

}  // namespace cli
