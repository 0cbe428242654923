#include <gtest/gtest.h>

#include <future>

#include "NoticeLog.h"
#include "monitor/USBDeviceManager.h"
#include "platform/IONotification.h"
#include "platform/Log.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"

using namespace platform;
using kdu::test::FakeBackend;
using monitor_test::NoticeLog;

namespace {

class DeviceManagerTest : public ::testing::Test {
protected:
    DeviceManagerTest() {
        installBackend(backend_);
        platform::testing::resetNotificationFaults();
        setSyslogEnabled(false);
        setLogSink([this](LogLevel, const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        });
    }
    ~DeviceManagerTest() override {
        setLogSink(nullptr);
        platform::testing::resetNotificationFaults();
    }

    std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
    const std::size_t liveObjectsBefore_ = IORegistryLiveObjectCount();
    std::mutex logMutex_;
    std::vector<std::string> log_;
    NoticeLog notices_;
};

// The device-manager thread; the test ends it by stopping its run loop.
class ManagerThread {
public:
    explicit ManagerThread(const NoticeLog& notices) {
        thread_ = std::thread([&notices, this] {
            CFRunLoopGetCurrent().perform([&notices, this] {
                noticesBeforeLoop_ = notices.notices().size();
                running_.set_value();
            });
            loop_.set_value(&CFRunLoopGetCurrent());
            result_ = USBDeviceManager().start();
        });
        running_.get_future().wait();
    }
    ~ManagerThread() { finish(); }

    bool finish() {
        if (thread_.joinable()) {
            loop().stop();
            thread_.join();
        }
        return result_;
    }
    std::thread::id id() const { return thread_.get_id(); }
    RunLoop& loop() { return *loopFuture_.get(); }
    std::size_t noticesBeforeLoop() const { return noticesBeforeLoop_; }

    // Returns once the events raised before are handled: work posted by work runs only
    // after the loop has served the sources that became ready meanwhile.
    void settle() {
        std::promise<void> done;
        RunLoop& l = loop();
        l.perform([&] { l.perform([&] { done.set_value(); }); });
        done.get_future().wait();
    }

private:
    std::promise<RunLoop*> loop_;
    std::shared_future<RunLoop*> loopFuture_ = loop_.get_future().share();
    std::promise<void> running_;
    std::thread thread_;
    std::size_t noticesBeforeLoop_ = 0;
    bool result_ = false;
};

}  // namespace

TEST_F(DeviceManagerTest, PostsTwoNoticesBeforeItsLoopRunsThenOnePerBatch) {
    {
        ManagerThread manager(notices_);
        EXPECT_EQ(manager.noticesBeforeLoop(), 2u);

        // Both drives come while the loop is busy, so they arrive as one batch.
        manager.loop().perform([&] {
            backend_->addDrive("drive-a");
            backend_->addDrive("drive-b");
        });
        manager.settle();
        backend_->removeDrive("drive-a");
        ASSERT_TRUE(notices_.waitFor(4));
        manager.settle();

        EXPECT_EQ(notices_.names(), (std::vector<std::string>{kAppearedDeviceNotify, kDisappearedDeviceNotify,
                                                              kAppearedDeviceNotify, kDisappearedDeviceNotify}));
        for (const auto& notice : notices_.notices()) {
            EXPECT_FALSE(notice.object.has_value());
            EXPECT_EQ(notice.thread, manager.id());
        }
        EXPECT_TRUE(manager.finish());  // only because the test stopped its loop
    }
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);  // every service and iterator given back
}

TEST_F(DeviceManagerTest, StormOfEventsFromManyThreadsEndsWithoutDeadlock) {
    constexpr int kThreads = 4, kRounds = 150;
    {
        ManagerThread manager(notices_);
        std::vector<std::thread> pushers;
        for (int t = 0; t < kThreads; ++t) {
            pushers.emplace_back([&, t] {
                for (int i = 0; i < kRounds; ++i) {
                    const std::string key = "storm-" + std::to_string(t) + "-" + std::to_string(i % 3);
                    i % 2 ? backend_->removeDrive(key) : static_cast<void>(backend_->addDrive(key));
                    manager.loop().perform([] {});
                }
            });
        }
        for (auto& pusher : pushers) pusher.join();
        manager.settle();
        EXPECT_GT(notices_.notices().size(), 2u);
    }
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);
}

struct StartFailure {
    const char* name;
    void (*arrange)();
    const char* message;
    std::vector<std::string> notices;
};

class StartFailureTest : public DeviceManagerTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, LogsOnceAndReturnsFalse) {
    GetParam().arrange();

    EXPECT_FALSE(USBDeviceManager().start());

    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("USBDeviceManager::start(", 0), 0u) << log_[0];
    EXPECT_NE(log_[0].find(std::string("[ERR] ") + GetParam().message), std::string::npos) << log_[0];
    EXPECT_EQ(notices_.names(), GetParam().notices);
    EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StartFailureTest,
    ::testing::Values(StartFailure{"MasterPortError",
                                   [] { platform::testing::setMasterPortOutcome(kIOReturnError, false); },
                                   "Couldn't create a master IOKit Port(e00002bc)",
                                   {}},
                      StartFailure{"MasterPortNull",
                                   [] { platform::testing::setMasterPortOutcome(kIOReturnSuccess, true); },
                                   "Couldn't create a master IOKit Port(00000000)",
                                   {}},
                      StartFailure{"FirstMatchRefused",
                                   [] {
                                       platform::testing::setNotificationRegistrationResult(kIOFirstMatchNotification,
                                                                                            kIOReturnNoResources);
                                   },
                                   "set notify I/O First Match(e00002be)",
                                   {}},
                      StartFailure{"TerminateRefused",
                                   [] {
                                       platform::testing::setNotificationRegistrationResult(kIOTerminatedNotification,
                                                                                            kIOReturnNotPermitted);
                                   },
                                   "set notify I/O Terminated (e00002e2)",
                                   {kAppearedDeviceNotify}}),
    [](const auto& param) { return std::string(param.param.name); });
