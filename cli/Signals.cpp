#include "cli/Signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

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

template <std::size_t N>
void installHandler(const int (&signals)[N], void (*handler)(int), struct sigaction (&previous)[N]) {
    struct sigaction action{};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < N; ++i) ::sigaction(signals[i], &action, &previous[i]);
}

template <std::size_t N>
void restoreHandlers(const int (&signals)[N], const struct sigaction (&previous)[N]) {
    for (std::size_t i = 0; i < N; ++i) ::sigaction(signals[i], &previous[i], nullptr);
}

}  // namespace

StopSignalPipe::StopSignalPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readFd_ = fds[0];
    gStopWriteFd.store(fds[1]);
    installHandler(kStopSignals, onStopSignal, previous_);
}

StopSignalPipe::~StopSignalPipe() {
    if (readFd_ < 0) return;
    restoreHandlers(kStopSignals, previous_);
    const int writeFd = gStopWriteFd.exchange(-1);
    ::close(writeFd);
    ::close(readFd_);
}

}  // namespace cli
