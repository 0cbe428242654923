// Per-thread run loops. A run loop runs closures posted to it and watches file
// descriptors; the thread that runs it delivers the callbacks. The main thread's loop
// can be supplied by the GUI toolkit (installMainRunLoop), so callbacks scheduled on
// the main run loop run inside its event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class RunLoop {
public:
    using SourceId = std::uint64_t;
    virtual ~RunLoop() = default;

    // Thread-safe: runs `work` on the loop's thread, in posting order.
    virtual void perform(std::function<void()> work) = 0;
    // Calls onReadable on the loop's thread whenever fd is readable.
    virtual SourceId addSource(int fd, std::function<void()> onReadable) = 0;
    virtual void removeSource(SourceId id) = 0;
    // Runs until stop() (CFRunLoopRun).
    virtual void run() = 0;
    // Runs for at most `duration`, or until stop() (runUntilDate:).
    virtual void runFor(std::chrono::milliseconds duration) = 0;
    virtual void stop() = 0;
};

// The calling thread's run loop; a poll-based one is made on first use.
RunLoop& CFRunLoopGetCurrent();
// The main thread's run loop (the one installed, or the main thread's own).
RunLoop& CFRunLoopGetMain();
void CFRunLoopRun();

// Called once on the main thread before any other run-loop use, by a GUI front end
// whose event loop stands in for the main run loop. Null goes back to the main thread's own.
void installMainRunLoop(std::shared_ptr<RunLoop> loop);
// A plain poll()-based run loop (the default for every thread). A stop() with no run in
// progress ends its next run at once; removeSource() from another thread waits for a call
// of that source in progress.
std::shared_ptr<RunLoop> makePollRunLoop();

}  // namespace platform
