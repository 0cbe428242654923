#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "model/NotificationNames.h"
#include "monitor/DAUtil.h"
#include "monitor/USBDeviceManager.h"
#include "platform/IONotification.h"
#include "log/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Registry.h"
#include "platform/RunLoop.h"
#include "support/FakeBackend.h"

using namespace platform;
using namespace kdulog;
namespace pt = platform::testing;

namespace {

constexpr char kTargetModel[] = "BD-RW  KVL-MT38";  // blanks do not count

struct Notice {
    std::string name;
    std::optional<std::int64_t> object;
    std::thread::id thread;
    bool flag;  // the start-up disc flag; lowered after each notice, so it shows what raised it
    std::vector<std::string> drives;
};

// Records the device notices and the log lines; checks that no handle outlives a test.
class MonitorTest : public ::testing::Test {
protected:
    MonitorTest() {
        installBackend(backend_);
        IsPresenceDiscsForAppLaunch = false;
        setSyslogEnabled(false);
        setLogSink([this](LogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        });
        for (const char* name : {kAppearedDeviceNotify, kDisappearedDeviceNotify})
            NotificationCenter::defaultCenter().addObserver(this, name, [this](const Notification& n) {
                std::lock_guard lock(mutex_);
                notices_.push_back({n.name, n.object, std::this_thread::get_id(),
                                    IsPresenceDiscsForAppLaunch.exchange(false), n.drives});
            });
    }
    ~MonitorTest() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        setLogSink(nullptr);
        pt::resetNotificationFaults();
        EXPECT_EQ(IORegistryLiveObjectCount(), liveObjectsBefore_) << "a service or iterator was kept";
    }

public:
    std::vector<Notice> notices() {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    std::vector<std::string> names() {
        std::vector<std::string> names;
        for (const auto& notice : notices()) names.push_back(notice.name);
        return names;
    }

protected:
    std::shared_ptr<kdu::test::FakeBackend> backend_ = std::make_shared<kdu::test::FakeBackend>();
    const std::size_t liveObjectsBefore_ = IORegistryLiveObjectCount();
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::vector<Notice> notices_;
};

// The device-manager thread; it ends when the test stops its run loop.
class ManagerThread {
public:
    explicit ManagerThread(MonitorTest* test)
        : thread_([this, test] {
              RunLoop& loop = CFRunLoopGetCurrent();
              loop.perform([&] { ready_.set_value({&loop, test->notices().size()}); });  // once start() loops
              result_ = USBDeviceManager().start();
          }) {
        std::tie(loop_, noticesBeforeLoop) = ready_.get_future().get();
    }
    ~ManagerThread() { finish(); }
    bool finish() {
        if (thread_.joinable()) {
            loop_->stop();
            thread_.join();
        }
        return result_;
    }
    // Returns once the events raised before are handled: work posted by work runs only
    // after the loop has served the sources that became ready meanwhile.
    void settle() {
        std::promise<void> done;
        loop_->perform([&] { loop_->perform([&] { done.set_value(); }); });
        done.get_future().wait();
    }
    RunLoop& loop() { return *loop_; }
    std::thread::id id() const { return thread_.get_id(); }

    std::size_t noticesBeforeLoop = 0;

private:
    std::promise<std::pair<RunLoop*, std::size_t>> ready_;
    RunLoop* loop_ = nullptr;
    bool result_ = false;
    std::thread thread_;  // last: it uses the members above
};

using DeviceManagerTest = MonitorTest;

// Each notice names its drives by the ids the listing uses, so every observer agrees on them.
TEST_F(DeviceManagerTest, PostsTwoNoticesBeforeItsLoopRunsThenOnePerBatch) {
    ManagerThread manager(this);
    EXPECT_EQ(manager.noticesBeforeLoop, 2u);
    // Both drives come while the loop is busy, so they arrive as one batch.
    manager.loop().perform([&] {
        backend_->addDrive("drive-a");
        backend_->addDrive("drive-b");
    });
    manager.settle();
    backend_->removeDrive("drive-a");
    manager.settle();

    EXPECT_EQ(names(), (std::vector<std::string>{kAppearedDeviceNotify, kDisappearedDeviceNotify,
                                                 kAppearedDeviceNotify, kDisappearedDeviceNotify}));
    std::vector<std::vector<std::string>> drives;
    for (const auto& notice : notices()) {
        EXPECT_FALSE(notice.object.has_value());
        EXPECT_EQ(notice.thread, manager.id());
        drives.push_back(notice.drives);
    }
    EXPECT_EQ(drives, (std::vector<std::vector<std::string>>{{}, {}, {"drive-a", "drive-b"}, {"drive-a"}}));
    EXPECT_TRUE(manager.finish());  // only because the test stopped its loop
    EXPECT_TRUE(log_.empty());
}

TEST_F(DeviceManagerTest, StormOfEventsFromManyThreadsEndsWithoutDeadlock) {
    ManagerThread manager(this);
    std::vector<std::thread> pushers;
    for (int t = 0; t < 4; ++t)
        pushers.emplace_back([&, t] {
            for (int i = 0; i < 150; ++i) {
                const std::string key = "storm-" + std::to_string(t) + "-" + std::to_string(i % 3);
                i % 2 ? backend_->removeDrive(key) : static_cast<void>(backend_->addDrive(key));
                manager.loop().perform([] {});
            }
        });
    for (auto& pusher : pushers) pusher.join();
    manager.settle();
    EXPECT_GT(notices().size(), 2u);
    EXPECT_TRUE(manager.finish());
}

struct StartFailure {
    const char* name;
    void (*arrange)();
    const char* message;
    std::vector<std::string> notices;
};

class StartFailureTest : public MonitorTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, LogsOnceAndReturnsFalse) {
    GetParam().arrange();
    EXPECT_FALSE(USBDeviceManager().start());
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("USBDeviceManager::start(", 0), 0u) << log_[0];
    EXPECT_NE(log_[0].find(std::string("[ERR] ") + GetParam().message), std::string::npos) << log_[0];
    EXPECT_EQ(names(), GetParam().notices);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StartFailureTest,
    ::testing::Values(
        StartFailure{"MasterPortError", [] { pt::setMasterPortOutcome(kIOReturnError, false); },
                     "Couldn't create a master IOKit Port(e00002bc)", {}},
        StartFailure{"MasterPortNull", [] { pt::setMasterPortOutcome(kIOReturnSuccess, true); },
                     "Couldn't create a master IOKit Port(00000000)", {}},
        StartFailure{"FirstMatchRefused",
                     [] { pt::setNotificationRegistrationResult(kIOFirstMatchNotification, kIOReturnNoResources); },
                     "set notify I/O First Match(e00002be)", {}},
        StartFailure{"TerminateRefused",
                     [] { pt::setNotificationRegistrationResult(kIOTerminatedNotification, kIOReturnNotPermitted); },
                     "set notify I/O Terminated (e00002e2)", {kAppearedDeviceNotify}}),
    [](const auto& param) { return std::string(param.param.name); });

using Seen = std::vector<std::tuple<std::string, std::optional<std::int64_t>, bool>>;  // name, object, flag

// The disc watch as the start-up sets it up, on this (the main) thread's run loop.
class DiscWatchTest : public MonitorTest {
protected:
    ~DiscWatchTest() override {
        DAUnregisterCallback(DAUtil::session(), reinterpret_cast<void*>(diskAppearedCallback), this);
        DAUnregisterCallback(DAUtil::session(), reinterpret_cast<void*>(diskDisappearedCallback), this);
        DAUtil::releaseSession();
    }
    void watch() {
        DAUtil::initSession();
        DARegisterDiskAppearedCallback(DAUtil::session(), nullptr, diskAppearedCallback, this);
        DARegisterDiskDisappearedCallback(DAUtil::session(), nullptr, diskDisappearedCallback, this);
    }
    // The notices once `count` have come (the round limit only guards a hang).
    Seen runUntilNotices(std::size_t count) {
        for (int round = 0; round < 2400 && notices().size() < count; ++round)
            CFRunLoopGetCurrent().runFor(std::chrono::milliseconds(50));
        Seen seen;
        for (const auto& n : notices()) {
            EXPECT_EQ(n.thread, std::this_thread::get_id());
            seen.emplace_back(n.name, n.object, n.flag);
        }
        return seen;
    }
};

struct DiscCase {
    const char* name;
    std::optional<std::string> volume, model;
    bool notices, flag;
};

class DiscCallbackTest : public DiscWatchTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscCallbackTest, NamedVolumesAreReportedAndRaiseTheFlagInTargetDrives) {
    const DiscCase& c = GetParam();
    // A named volume elsewhere, present at registration and taken out last, brackets the case.
    backend_->insertDisc({"disk9", "Backup", "Other Drive"});
    watch();
    EXPECT_TRUE(notices().empty()) << "disks present are reported once the loop runs";
    backend_->insertDisc({"disk1", c.volume, c.model});
    backend_->ejectDisc("disk1");
    backend_->ejectDisc("disk9");

    Seen expected{{kAppearedDeviceNotify, 1, false}};
    if (c.notices) {
        expected.emplace_back(kAppearedDeviceNotify, 1, c.flag);
        expected.emplace_back(kDisappearedDeviceNotify, 3, c.flag);
    }
    expected.emplace_back(kDisappearedDeviceNotify, 3, false);
    EXPECT_EQ(runUntilNotices(expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscCallbackTest,
                         ::testing::Values(DiscCase{"NamedInTarget", "DATA", kTargetModel, true, true},
                                           DiscCase{"NamedElsewhere", "DATA", "Other Drive", true, false},
                                           DiscCase{"NamedWithoutModel", "DATA", std::nullopt, true, false},
                                           DiscCase{"BlankInTarget", std::nullopt, kTargetModel, false, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(DiscWatchTest, SessionThatCannotBeMadeIsLoggedOnceAndNothingUsesIt) {
    pt::failNextSessionCreation(true);
    watch();  // registers against the missing session, as the start-up does
    DAUtil::releaseSession();
    EXPECT_EQ(DAUtil::session(), nullptr);
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("DAUtil::initSession(", 0), 0u) << log_[0];

    DAUtil::initSession();  // a later attempt makes one session, kept until released
    const DASessionRef made = DAUtil::session();
    ASSERT_NE(made, nullptr);
    DAUtil::initSession();
    EXPECT_EQ(DAUtil::session(), made);
}

}  // namespace
