#include "platform/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace platform {
namespace {

// Watches its sources with poll(); an eventfd wakes it for posted work, for source
// changes and for stop().
class PollRunLoop final : public RunLoop {
public:
    PollRunLoop() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (wakeFd_ < 0) {
            std::perror("PollRunLoop: eventfd");
            std::abort();
        }
    }
    ~PollRunLoop() override { ::close(wakeFd_); }

    // Every wake-up is written under the lock: once the loop has seen what the caller did,
    // the caller no longer touches the loop, which its thread may then end and destroy.
    void perform(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
        wake();
    }

    SourceId addSource(int fd, std::function<void()> onReadable) override {
        std::lock_guard lock(mutex_);
        const SourceId id = nextId_++;
        sources_.emplace(id, Source{fd, std::make_shared<std::function<void()>>(std::move(onReadable))});
        wake();
        return id;
    }

    // From the loop's own thread no call of the source follows; from another thread it
    // also waits for a call in progress, so the caller may free what the callback uses.
    void removeSource(SourceId id) override {
        std::unique_lock lock(mutex_);
        sources_.erase(id);
        if (runner_ != std::this_thread::get_id()) idle_.wait(lock, [&] { return dispatching_.count(id) == 0; });
        wake();
    }

    void run() override { runUntil(std::nullopt); }

    void runFor(std::chrono::milliseconds duration) override { runUntil(std::chrono::steady_clock::now() + duration); }

    // A stop with no run in progress ends the next run at once, so a thread that is
    // about to run its loop can be stopped without a race.
    void stop() override {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        wake();
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Source {
        int fd;
        std::shared_ptr<std::function<void()>> onReadable;
    };

    void wake() {
        const std::uint64_t one = 1;
        // EAGAIN means the counter is already non-zero: the loop wakes anyway.
        while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    void clearWake() {
        std::uint64_t count;
        while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }

    // True when the run should end (and consumes the stop request).
    bool takeStop() {
        std::lock_guard lock(mutex_);
        if (!stopRequested_) return false;
        stopRequested_ = false;
        return true;
    }

    // Runs the work posted so far, one item at a time, so work may post more work or
    // run the loop again (nested runs) without holding the lock.
    bool runPostedWork() {
        std::size_t pending;
        {
            std::lock_guard lock(mutex_);
            pending = work_.size();
        }
        for (; pending > 0; --pending) {
            std::function<void()> item;
            {
                std::lock_guard lock(mutex_);
                if (stopRequested_ || work_.empty()) break;
                item = std::move(work_.front());
                work_.pop_front();
            }
            item();
        }
        std::lock_guard lock(mutex_);
        return !work_.empty();
    }

    void dispatchReadable(const std::vector<std::pair<SourceId, int>>& ready) {
        for (const auto& [id, fd] : ready) {
            std::shared_ptr<std::function<void()>> callback;
            {
                std::lock_guard lock(mutex_);
                if (stopRequested_) return;
                auto it = sources_.find(id);
                if (it == sources_.end()) continue;  // removed by an earlier callback
                callback = it->second.onReadable;
                dispatching_.insert(id);
            }
            (*callback)();
            {
                std::lock_guard lock(mutex_);
                dispatching_.erase(dispatching_.find(id));
            }
            idle_.notify_all();
        }
    }

    void runUntil(std::optional<Clock::time_point> deadline) {
        const std::thread::id previousRunner = exchangeRunner(std::this_thread::get_id());
        std::vector<pollfd> fds;
        std::vector<SourceId> ids;
        for (;;) {
            if (takeStop()) break;
            const bool moreWork = runPostedWork();
            if (takeStop()) break;

            int timeoutMs = -1;
            if (moreWork) {
                timeoutMs = 0;
            } else if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                if (left.count() <= 0) break;
                timeoutMs = static_cast<int>(std::min<long long>(left.count(), 1000 * 60 * 60));
            }

            fds.assign(1, pollfd{wakeFd_, POLLIN, 0});
            ids.assign(1, 0);
            {
                std::lock_guard lock(mutex_);
                for (const auto& [id, source] : sources_) {
                    fds.push_back(pollfd{source.fd, POLLIN, 0});
                    ids.push_back(id);
                }
            }
            const int n = ::poll(fds.data(), fds.size(), timeoutMs);
            if (n < 0) {
                if (errno == EINTR) continue;
                std::perror("PollRunLoop: poll");
                break;
            }
            if (fds[0].revents & POLLIN) clearWake();

            std::vector<std::pair<SourceId, int>> ready;
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ready.emplace_back(ids[i], fds[i].fd);
            }
            dispatchReadable(ready);
        }
        exchangeRunner(previousRunner);
    }

    std::thread::id exchangeRunner(std::thread::id runner) {
        std::lock_guard lock(mutex_);
        std::thread::id previous = runner_;
        runner_ = runner;
        return previous;
    }

    const int wakeFd_;
    std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> work_;
    std::map<SourceId, Source> sources_;
    SourceId nextId_ = 1;
    std::multiset<SourceId> dispatching_;  // several when a callback runs the loop again
    bool stopRequested_ = false;
    std::thread::id runner_;
};

struct MainLoopState {
    std::mutex mutex;
    std::shared_ptr<RunLoop> installed;
    std::shared_ptr<RunLoop> own;
};

MainLoopState& mainLoopState() {
    static MainLoopState* state = new MainLoopState;  // threads may outlive static destructors
    return *state;
}

std::shared_ptr<RunLoop> mainLoop() {
    auto& state = mainLoopState();
    std::lock_guard lock(state.mutex);
    if (state.installed) return state.installed;
    if (!state.own) state.own = makePollRunLoop();
    return state.own;
}

bool isMainThread() { return ::gettid() == ::getpid(); }

thread_local std::shared_ptr<RunLoop> tCurrentLoop;

}  // namespace

std::shared_ptr<RunLoop> makePollRunLoop() { return std::make_shared<PollRunLoop>(); }

RunLoop& CFRunLoopGetCurrent() {
    if (!tCurrentLoop) tCurrentLoop = isMainThread() ? mainLoop() : makePollRunLoop();
    return *tCurrentLoop;
}

RunLoop& CFRunLoopGetMain() {
    if (isMainThread()) return CFRunLoopGetCurrent();
    // Kept alive by the main state for the life of the process.
    return *mainLoop();
}

void CFRunLoopRun() { CFRunLoopGetCurrent().run(); }

void installMainRunLoop(std::shared_ptr<RunLoop> loop) {
    {
        auto& state = mainLoopState();
        std::lock_guard lock(state.mutex);
        state.installed = std::move(loop);
    }
    if (isMainThread()) tCurrentLoop = mainLoop();
}

}  // namespace platform
