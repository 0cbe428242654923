// A thread of its own for the relistings the GUI thread asks for, so the GUI thread never
// waits for a drive to answer. Requests made while one is pending are merged into it.
// Other work that may wait for the system runs there too, in the order it was asked for.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ListingWorker {
public:
    // `listing` runs on the worker's thread, once per merged request.
    explicit ListingWorker(std::function<void()> listing);
    // Ends the thread after the listing in progress, if any.
    ~ListingWorker();
    ListingWorker(const ListingWorker&) = delete;
    ListingWorker& operator=(const ListingWorker&) = delete;

    // Asks for a listing; `then`, if given, runs on the worker right after it.
    void request(std::function<void()> then = {});
    // Runs `work` on the worker's thread, before the next listing.
    void perform(std::function<void()> work);
    // A listing or other work is asked for or running.
    bool busy() const;

private:
    void run();

    std::function<void()> listing_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool running_ = false;
    bool stopping_ = false;
    std::vector<std::function<void()>> thens_;
    std::vector<std::function<void()>> work_;
    std::thread thread_;  // last: starts once the rest is made
};
