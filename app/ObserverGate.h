// Lets observer callbacks into an object run only until the object starts tearing down.
// close() waits for the callbacks already inside, so none of them outlives the object.
// Shared by the handlers (shared_ptr), so a handler that starts late never touches a
// destroyed owner.
#pragma once

#include <condition_variable>
#include <mutex>

class ObserverGate {
public:
    // Runs `body` unless the gate is closed; true when it ran.
    template <typename Body>
    bool enter(Body&& body) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                return false;
            }
            ++active_;
        }
        struct Leave {
            ObserverGate& gate;
            ~Leave() { gate.leave(); }
        } leave{*this};
        body();
        return true;
    }

    // Refuses new entries and waits until the running ones have left. Never call it
    // from inside enter().
    void close() {
        std::unique_lock<std::mutex> lock(mutex_);
        closed_ = true;
        idle_.wait(lock, [this] { return active_ == 0; });
    }

    bool isClosed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }

private:
    void leave() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--active_ == 0) {
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    int active_ = 0;
    bool closed_ = false;
};
