// Signals during `kdu update`. SIGINT, SIGTERM, SIGHUP and SIGQUIT are blocked in every
// thread and read by one watcher thread, never caught by a handler: a handler interrupts
// the SG_IO ioctl in progress, and the sg driver then sends the restarted command to the
// drive a second time (for CHANGE DRIVE MODE, a toggle, that flips the drive back).
// SIGPIPE is ignored, so a closed stdout or stderr never stops the update.
#pragma once

#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace cli {

class UpdateSignalGuard {
public:
    // What a signal does depends on how far the update has gone; the caller says.
    enum class Phase {
        Before,       // nothing sent to the drive yet: kdu ends at once, status 128 + signal
        Critical,     // first mode change until normal mode again: one line on stderr, nothing else
        InstallWait,  // the drive installs on its own: stopRequested() becomes true
        After,        // the update is over: kdu ends at once, status 128 + signal
    };

    // Create on the main thread before any other thread exists: threads inherit the mask
    // from their creator. Throws std::system_error when the watcher cannot be set up, and
    // then leaves the mask and SIGPIPE as they were.
    UpdateSignalGuard();
    UpdateSignalGuard(const UpdateSignalGuard&) = delete;
    UpdateSignalGuard& operator=(const UpdateSignalGuard&) = delete;
    // Handles a signal still pending as the phase says, then restores the signal mask and
    // SIGPIPE's disposition.
    ~UpdateSignalGuard();

    // Returns once the watcher has finished with any signal read under the old phase, so
    // after setPhase(Critical) no signal can end the process any more.
    void setPhase(Phase phase);

    // Set by a signal during InstallWait; the wait loop polls it.
    bool stopRequested() const { return stopSignal() != 0; }
    // The signal that set stopRequested(), 0 before.
    int stopSignal() const { return stopSignal_.load(); }

private:
    // Puts the mask and SIGPIPE back and closes the descriptors.
    void restore();
    void watch();
    void drainSignals();
    void onSignal(int signo);

    sigset_t previousMask_{};
    struct sigaction previousPipeAction_{};
    int signalFd_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::mutex phaseMutex_;
    Phase phase_ = Phase::Before;
    std::atomic<int> stopSignal_{0};
    std::thread watcher_;
};

}  // namespace cli
