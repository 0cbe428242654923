#include "app/ListingWorker.h"

#include <utility>

ListingWorker::ListingWorker(std::function<void()> listing)
    : listing_(std::move(listing)), thread_([this] { run(); }) {}

ListingWorker::~ListingWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ListingWorker::request(std::function<void()> then) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
        if (then) {
            thens_.push_back(std::move(then));
        }
    }
    wake_.notify_all();
}

void ListingWorker::perform(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_all();
}

bool ListingWorker::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_ || running_ || !work_.empty();
}

void ListingWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || !work_.empty() || stopping_; });
        if (stopping_) {
            return;
        }
        const bool list = std::exchange(pending_, false);
        running_ = true;
        std::vector<std::function<void()>> work = std::move(work_);
        work_.clear();
        std::vector<std::function<void()>> thens = std::move(thens_);
        thens_.clear();
        lock.unlock();
        for (const auto& step : work) {
            step();
        }
        if (list) {
            listing_();
        }
        for (const auto& then : thens) {
            then();
        }
        lock.lock();
        running_ = false;
    }
}
