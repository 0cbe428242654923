#include "app/ListingWorker.h"

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

bool ListingWorker::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_ || running_;
}

void ListingWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stopping_; });
        if (stopping_) {
            return;
        }
        pending_ = false;
        running_ = true;
        std::vector<std::function<void()>> thens = std::move(thens_);
        thens_.clear();
        lock.unlock();
        listing_();
        for (const auto& then : thens) {
            then();
        }
        lock.lock();
        running_ = false;
    }
}
