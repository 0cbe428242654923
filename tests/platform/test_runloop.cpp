#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

using namespace platform;

TEST(RunLoop, WorkFromManyThreadsRunsOnTheLoopThreadInEachPostersOrder) {
    constexpr int kPosters = 4, kItems = 500;
    std::promise<RunLoop*> ready;
    std::thread::id loopThread;
    std::thread runner([&] {
        loopThread = std::this_thread::get_id();
        ready.set_value(&CFRunLoopGetCurrent());
        CFRunLoopGetCurrent().run();
    });
    RunLoop& loop = *ready.get_future().get();
    std::vector<std::vector<int>> seen(kPosters);  // touched on the loop thread only
    bool offThread = false;
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([&, p] {
            for (int i = 0; i < kItems; ++i)
                loop.perform([&, p, i] {
                    seen[p].push_back(i);
                    offThread |= std::this_thread::get_id() != loopThread;
                });
        });
    for (auto& poster : posters) poster.join();
    loop.perform([&] { loop.stop(); });  // after everything posted before
    runner.join();

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
    const int fd = ::eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK);  // readable from the start
    std::vector<std::string> order;
    const auto id = loop->addSource(fd, [&] {
        std::uint64_t count;
        [[maybe_unused]] auto got = ::read(fd, &count, sizeof count);
        order.push_back("source");
    });
    loop->perform([&] {
        order.push_back("first");
        loop->perform([&] {
            order.push_back("second");
            loop->stop();
        });
    });
    loop->run();
    loop->removeSource(id);
    ::close(fd);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "source", "second"}));
}

TEST(RunLoop, EachThreadHasItsOwnLoopAndSeesTheMainThreadsOne) {
    RunLoop* here = &CFRunLoopGetCurrent();
    EXPECT_EQ(&CFRunLoopGetMain(), here);  // gtest runs tests on the main thread
    RunLoop* other = nullptr;
    RunLoop* mainSeenFromOther = nullptr;
    std::thread([&] {
        other = &CFRunLoopGetCurrent();
        mainSeenFromOther = &CFRunLoopGetMain();
    }).join();
    EXPECT_NE(other, here);
    EXPECT_EQ(mainSeenFromOther, here);
}
