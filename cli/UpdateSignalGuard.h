// Signals during `kdu update`. SIGINT, SIGTERM, SIGHUP and SIGQUIT are blocked in every
// thread and read by one watcher thread, never caught by a handler: a handler interrupts
// the SG_IO ioctl in progress, and the sg driver then sends the restarted command to the
// drive a second time (for CHANGE DRIVE MODE, a toggle, that flips the drive back).
// SIGPIPE is ignored, so a closed stdout or stderr never stops the update.
// Several updates at once each have a phase of their own: a signal is held while any of
// them is critical, stops every wait while any installs, and ends kdu only when none is in
// either.
#pragma once

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

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
    explicit UpdateSignalGuard(std::size_t updates = 1);
    UpdateSignalGuard(const UpdateSignalGuard&) = delete;
    UpdateSignalGuard& operator=(const UpdateSignalGuard&) = delete;
    // Handles a signal still pending as the phase says, then restores the signal mask and
    // SIGPIPE's disposition.
    ~UpdateSignalGuard();

    // Returns once the watcher has finished with any signal read under the old phase, so
    // after setPhase(Critical) no signal can end the process any more.
    void setPhase(Phase phase) { setPhase(0, phase); }
    // From now on `updates` updates, each Before.
    void track(std::size_t updates);
    void setPhase(std::size_t update, Phase phase);
    // Critical for `update`, unless a signal has already asked to stop: then false, and
    // the update must not begin changing its drive.
    bool beginCritical(std::size_t update);
    // Where the line a held signal is answered with goes instead of stderr (a display that
    // redraws the terminal prints it above its lines).
    void setHeldNotice(std::function<void(std::string_view)> notice);

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
    Phase effectivePhase() const;  // under phaseMutex_

    sigset_t previousMask_{};
    struct sigaction previousPipeAction_{};
    int signalFd_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::mutex phaseMutex_;
    std::vector<Phase> phases_;
    std::mutex noticeMutex_;  // held while a notice is given
    std::function<void(std::string_view)> heldNotice_;
    std::atomic<int> stopSignal_{0};
    std::thread watcher_;
};

}  // namespace cli
