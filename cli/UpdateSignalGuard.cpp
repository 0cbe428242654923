#include "cli/UpdateSignalGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "log/LogRouting.h"

namespace cli {
namespace {

constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t heldSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signo : kHeldSignals) sigaddset(&set, signo);
    return set;
}

// Each line in one write(2), so it never lands inside another writer's line.
[[noreturn]] void endProcess(int signo, const char* line) {
    kdulog::writeFully(STDERR_FILENO, line);
    // _exit, not exit: other threads are running and must not see static objects destroyed.
    ::_exit(128 + signo);
}

std::system_error lastError(const char* what) { return std::system_error(errno, std::generic_category(), what); }

}  // namespace

UpdateSignalGuard::UpdateSignalGuard(std::size_t updates) : phases_(updates, Phase::Before) {
    const sigset_t held = heldSignals();
    if (const int r = ::pthread_sigmask(SIG_BLOCK, &held, &previousMask_); r != 0)
        throw std::system_error(r, std::generic_category(), "pthread_sigmask");
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previousPipeAction_);

    try {
        signalFd_ = ::signalfd(-1, &held, SFD_NONBLOCK | SFD_CLOEXEC);
        if (signalFd_ < 0) throw lastError("signalfd");
        int wake[2];
        if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) throw lastError("pipe2");
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
        watcher_ = std::thread([this] { watch(); });
    } catch (...) {
        restore();
        throw;
    }
}

UpdateSignalGuard::~UpdateSignalGuard() {
    while (::write(wakeWrite_, "x", 1) < 0 && errno == EINTR) {
    }
    watcher_.join();
    // A signal that came after the watcher's last look would otherwise meet its default
    // action as soon as the mask is restored.
    drainSignals();
    restore();
}

void UpdateSignalGuard::restore() {
    ::sigaction(SIGPIPE, &previousPipeAction_, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    for (int* fd : {&signalFd_, &wakeRead_, &wakeWrite_})
        if (*fd >= 0) ::close(std::exchange(*fd, -1));
}

void UpdateSignalGuard::setPhase(std::size_t update, Phase phase) {
    const std::lock_guard lock(phaseMutex_);
    phases_.at(update) = phase;
}

void UpdateSignalGuard::track(std::size_t updates) {
    const std::lock_guard lock(phaseMutex_);
    phases_.assign(std::max<std::size_t>(updates, 1), Phase::Before);
}

bool UpdateSignalGuard::beginCritical(std::size_t update) {
    const std::lock_guard lock(phaseMutex_);
    if (stopRequested()) return false;
    phases_.at(update) = Phase::Critical;
    return true;
}

void UpdateSignalGuard::setHeldNotice(std::function<void(std::string_view)> notice) {
    // Waits for a notice being given: what it writes to may go once this returns.
    const std::lock_guard lock(noticeMutex_);
    heldNotice_ = std::move(notice);
}

UpdateSignalGuard::Phase UpdateSignalGuard::effectivePhase() const {
    const auto any = [this](Phase phase) { return std::find(phases_.begin(), phases_.end(), phase) != phases_.end(); };
    if (any(Phase::Critical)) return Phase::Critical;
    if (any(Phase::InstallWait)) return Phase::InstallWait;
    return any(Phase::Before) ? Phase::Before : Phase::After;
}

void UpdateSignalGuard::watch() {
    for (;;) {
        pollfd fds[2] = {{signalFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents != 0) drainSignals();
    }
}

void UpdateSignalGuard::drainSignals() {
    signalfd_siginfo info{};
    while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        onSignal(static_cast<int>(info.ssi_signo));
}

void UpdateSignalGuard::onSignal(int signo) {
    std::unique_lock lock(phaseMutex_);
    const bool several = phases_.size() > 1;
    switch (effectivePhase()) {
        case Phase::Before:
            // Ending under the lock keeps setPhase(Critical), and so the first mode change,
            // from slipping in between the decision and the exit.
            if (!several) endProcess(signo, "kdu: interrupted; nothing was sent to the drive.\n");
            if (std::count(phases_.begin(), phases_.end(), Phase::Before) == std::ssize(phases_))
                endProcess(signo, "kdu: interrupted; nothing was sent to the drives.\n");
            endProcess(signo, "kdu: interrupted; the updates begun had ended, and nothing was sent to the other drives.\n");
        case Phase::After:
            endProcess(signo, several ? "kdu: interrupted; the updates had already ended.\n"
                                      : "kdu: interrupted; the update had already ended.\n");
        case Phase::Critical: {
            lock.unlock();  // a stalled stderr must not hold up the phase changes
            constexpr std::string_view kHeld = "finishing: stopping now would leave the drive unusable\n";
            const std::lock_guard noticeLock(noticeMutex_);
            if (heldNotice_)
                heldNotice_(kHeld);
            else
                kdulog::writeFully(STDERR_FILENO, kHeld);
            return;
        }
        case Phase::InstallWait:
            stopSignal_.store(signo);
            return;
    }
}

}  // namespace cli
