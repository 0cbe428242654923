#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>

#include "ControlledBackend.h"
#include "model/NotificationNames.h"
#include "monitor/USBDeviceManager.h"
#include "platform/IONotification.h"
#include "platform/Log.h"
#include "platform/Registry.h"
#include "platform/RunLoop.h"

using namespace platform;
using monitor_test::ControlledBackend;
using monitor_test::NoticeLog;

namespace {

class LogCapture {
public:
    LogCapture() {
        setSyslogEnabled(false);
        setLogSink([this](LogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { setLogSink(nullptr); }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class DeviceManagerTest : public ::testing::Test {
protected:
    DeviceManagerTest() {
        installBackend(backend_);
        platform::testing::resetNotificationFaults();
    }
    ~DeviceManagerTest() override { platform::testing::resetNotificationFaults(); }

    std::shared_ptr<ControlledBackend> backend_ = std::make_shared<ControlledBackend>();
    const std::size_t liveObjectsBefore_ = IORegistryLiveObjectCount();
    LogCapture log_;
    NoticeLog notices_;
};

// The device-manager thread; the test ends it by stopping its run loop.
class ManagerThread {
public:
    explicit ManagerThread(const NoticeLog& notices) {
        std::promise<RunLoop*> loopReady;
        thread_ = std::thread([&, this] {
            RunLoop& loop = CFRunLoopGetCurrent();
            loop.perform([&notices, this] {
                noticesWhenLoopRan_ = notices.entries().size();
                loopRunning_.set_value();
            });
            loopReady.set_value(&loop);
            result_ = USBDeviceManager().start();
        });
        loop_ = loopReady.get_future().get();
        loopRunning_.get_future().wait();
    }
    ~ManagerThread() { finish(); }

    bool finish() {
        if (thread_.joinable()) {
            loop_->stop();
            thread_.join();
        }
        return result_;
    }
    std::thread::id id() const { return thread_.get_id(); }
    RunLoop& loop() { return *loop_; }
    std::size_t noticesWhenLoopRan() const { return noticesWhenLoopRan_; }

    // Returns once every batch pushed before the call has been handled: work posted by
    // work runs only after the loop has served the sources that were ready meanwhile.
    void settle() {
        std::promise<void> done;
        loop_->perform([&] { loop_->perform([&] { done.set_value(); }); });
        done.get_future().wait();
    }

private:
    std::thread thread_;
    RunLoop* loop_ = nullptr;
    std::promise<void> loopRunning_;
    std::size_t noticesWhenLoopRan_ = 0;
    bool result_ = false;
};

HotplugEvents published(std::initializer_list<const char*> keys) {
    HotplugEvents events;
    for (const char* key : keys) events.published.push_back(ControlledBackend::drive(key));
    return events;
}

HotplugEvents terminated(std::initializer_list<const char*> keys) {
    HotplugEvents events;
    for (const char* key : keys) events.terminated.push_back(ControlledBackend::drive(key));
    return events;
}

}  // namespace

TEST_F(DeviceManagerTest, StartPostsAppearedThenDisappearedOnItsThreadBeforeItsLoopRuns) {
    ManagerThread manager(notices_);

    EXPECT_EQ(manager.noticesWhenLoopRan(), 2u);
    const auto entries = notices_.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, kAppearedDeviceNotify);
    EXPECT_EQ(entries[1].name, kDisappearedDeviceNotify);
    for (const auto& entry : entries) {
        EXPECT_FALSE(entry.object.has_value());
        EXPECT_EQ(entry.thread, manager.id());
    }
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(DeviceManagerTest, OneBatchOfDrivesGivesOneNoticeAndEveryReferenceIsGivenBack) {
    {
        ManagerThread manager(notices_);
        backend_->pushDeviceEvents(published({"drive-a", "drive-b"}));
        backend_->pushDeviceEvents(terminated({"drive-a"}));
        ASSERT_TRUE(notices_.waitForCount(4));
        manager.settle();

        EXPECT_EQ(notices_.names(), (std::vector<std::string>{kAppearedDeviceNotify, kDisappearedDeviceNotify,
                                                              kAppearedDeviceNotify, kDisappearedDeviceNotify}));
        EXPECT_EQ(notices_.entries().back().thread, manager.id());
        EXPECT_TRUE(manager.finish());  // the run loop returned
    }
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);
}

TEST_F(DeviceManagerTest, StormOfEventsFromManyThreadsEndsWithoutDeadlock) {
    constexpr int kThreads = 4;
    constexpr int kBatches = 150;
    {
        ManagerThread manager(notices_);
        std::vector<std::thread> pushers;
        for (int t = 0; t < kThreads; ++t) {
            pushers.emplace_back([&, t] {
                for (int i = 0; i < kBatches; ++i) {
                    const std::string key = "storm-" + std::to_string(t) + "-" + std::to_string(i % 3);
                    HotplugEvents events;
                    (i % 2 ? events.terminated : events.published).push_back(ControlledBackend::drive(key));
                    backend_->pushDeviceEvents(std::move(events));
                    manager.loop().perform([] {});
                }
            });
        }
        for (auto& pusher : pushers) pusher.join();
        manager.settle();

        std::size_t appeared = 0;
        for (const auto& name : notices_.names()) appeared += name == kAppearedDeviceNotify;
        EXPECT_GE(appeared, 2u);
        EXPECT_LE(appeared, 1u + kThreads * kBatches / 2);
    }
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);
}

struct StartFailure {
    const char* name;
    void (*arrange)(ControlledBackend&);
    const char* message;
    std::vector<std::string> notices;
};

class StartFailureTest : public DeviceManagerTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, LogsOnceAndReturnsFalse) {
    GetParam().arrange(*backend_);

    EXPECT_FALSE(USBDeviceManager().start());

    const auto lines = log_.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("USBDeviceManager::start(", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(std::string("[ERR] ") + GetParam().message), std::string::npos) << lines[0];
    EXPECT_EQ(notices_.names(), GetParam().notices);
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StartFailureTest,
    ::testing::Values(
        StartFailure{"MasterPortError",
                     [](ControlledBackend&) { platform::testing::setMasterPortOutcome(kIOReturnError, false); },
                     "Couldn't create a master IOKit Port(e00002bc)",
                     {}},
        StartFailure{"MasterPortNull",
                     [](ControlledBackend&) { platform::testing::setMasterPortOutcome(kIOReturnSuccess, true); },
                     "Couldn't create a master IOKit Port(00000000)",
                     {}},
        StartFailure{"FirstMatchRefused",
                     [](ControlledBackend&) {
                         platform::testing::setNotificationRegistrationResult(kIOFirstMatchNotification,
                                                                              kIOReturnNoResources);
                     },
                     "set notify I/O First Match(e00002be)",
                     {}},
        StartFailure{"TerminateRefused",
                     [](ControlledBackend&) {
                         platform::testing::setNotificationRegistrationResult(kIOTerminatedNotification,
                                                                              kIOReturnNotPermitted);
                     },
                     "set notify I/O Terminated (e00002e2)",
                     {kAppearedDeviceNotify}},
        StartFailure{"NoDeviceEventSource",
                     [](ControlledBackend& b) { b.refuseSources(true); },
                     "set notify I/O First Match(e00002c2)",
                     {}}),
    [](const auto& param) { return std::string(param.param.name); });
