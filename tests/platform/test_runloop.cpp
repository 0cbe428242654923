#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

using namespace platform;

namespace {

// A loop running on a thread of its own, stopped and joined at the end.
class LoopThread {
public:
    LoopThread() {
        std::promise<RunLoop*> ready;
        thread_ = std::thread([&ready] {
            RunLoop& loop = CFRunLoopGetCurrent();
            ready.set_value(&loop);
            loop.run();
        });
        loop_ = ready.get_future().get();
    }
    ~LoopThread() {
        loop_->stop();
        thread_.join();
    }
    RunLoop& loop() { return *loop_; }
    std::thread::id id() const { return thread_.get_id(); }
    // Waits until everything posted before has run.
    void sync() {
        std::promise<void> done;
        loop_->perform([&] { done.set_value(); });
        done.get_future().wait();
    }

private:
    std::thread thread_;
    RunLoop* loop_ = nullptr;
};

struct EventFd {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ~EventFd() { ::close(fd); }
    void signal() const {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(fd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
    void consume() const {
        std::uint64_t count;
        [[maybe_unused]] auto got = ::read(fd, &count, sizeof count);
    }
};

}  // namespace

TEST(RunLoop, WorkFromManyThreadsRunsOnTheLoopThreadInEachPostersOrder) {
    constexpr int kPosters = 4;
    constexpr int kItems = 500;
    LoopThread runner;
    std::vector<std::vector<int>> seen(kPosters);  // touched on the loop thread only
    bool offThread = false;

    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {
            for (int i = 0; i < kItems; ++i)
                runner.loop().perform([&, p, i] {
                    seen[p].push_back(i);
                    offThread |= std::this_thread::get_id() != runner.id();
                });
        });
    }
    for (auto& poster : posters) poster.join();
    runner.sync();

    EXPECT_FALSE(offThread);
    for (const auto& items : seen) {
        ASSERT_EQ(items.size(), static_cast<std::size_t>(kItems));
        for (int i = 0; i < kItems; ++i) ASSERT_EQ(items[i], i);
    }
}

TEST(RunLoop, StopBeforeRunEndsTheNextRunAndOnlyThatOne) {
    auto loop = makePollRunLoop();
    int ran = 0;
    loop->perform([&] { ++ran; });
    loop->stop();
    loop->run();  // returns at once; the work stays queued
    EXPECT_EQ(ran, 0);

    loop->perform([&] { loop->stop(); });
    loop->run();
    EXPECT_EQ(ran, 1);
}

TEST(RunLoop, ReadySourcesAreServedBeforeWorkThatWorkPosts) {
    auto loop = makePollRunLoop();
    EventFd event;
    std::vector<std::string> order;
    const auto id = loop->addSource(event.fd, [&] {
        event.consume();
        order.push_back("source");
    });
    event.signal();
    loop->perform([&] {
        order.push_back("first");
        loop->perform([&] {
            order.push_back("second");
            loop->stop();
        });
    });
    loop->run();
    loop->removeSource(id);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "source", "second"}));
}

TEST(RunLoop, EachThreadHasItsOwnLoopAndTheMainOneIsShared) {
    RunLoop* here = &CFRunLoopGetCurrent();
    EXPECT_EQ(&CFRunLoopGetCurrent(), here);
    EXPECT_EQ(&CFRunLoopGetMain(), here);  // gtest runs tests on the main thread

    RunLoop* other = nullptr;
    RunLoop* mainSeenFromOther = nullptr;
    std::thread([&] {
        other = &CFRunLoopGetCurrent();
        mainSeenFromOther = &CFRunLoopGetMain();
    }).join();
    EXPECT_NE(other, here);
    EXPECT_EQ(mainSeenFromOther, here);

    // A GUI front end's loop takes the main thread's place, for every thread.
    auto installed = makePollRunLoop();
    installMainRunLoop(installed);
    EXPECT_EQ(&CFRunLoopGetCurrent(), installed.get());
    std::thread([&] { mainSeenFromOther = &CFRunLoopGetMain(); }).join();
    EXPECT_EQ(mainSeenFromOther, installed.get());
    installMainRunLoop(nullptr);
    EXPECT_EQ(&CFRunLoopGetMain(), here);
}
