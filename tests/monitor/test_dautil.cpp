#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ControlledBackend.h"
#include "model/NotificationNames.h"
#include "monitor/DAUtil.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

using namespace platform;
using monitor_test::ControlledBackend;
using monitor_test::NoticeLog;

namespace {

constexpr char kTargetModel[] = "BD-RW  KVL-MT38";  // blanks do not count

class DiscWatchTest : public ::testing::Test {
protected:
    DiscWatchTest() {
        installBackend(backend_);
        IsPresenceDiscsForAppLaunch = false;
    }
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

    // Runs this (the main) thread's loop until `count` notices have come (or a long guard).
    void runUntilNotices(std::size_t count) {
        for (int round = 0; round < 2400 && notices_.entries().size() < count; ++round)
            CFRunLoopGetCurrent().runFor(std::chrono::milliseconds(50));
    }

    std::shared_ptr<ControlledBackend> backend_ = std::make_shared<ControlledBackend>();
    NoticeLog notices_;
};

struct DiscCase {
    const char* name;
    std::optional<std::string> volume;
    std::optional<std::string> model;
    bool appears;
    bool notice;
    bool flag;
};

class DiscCallbackTest : public DiscWatchTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscCallbackTest, PostsForNamedVolumesAndRaisesTheFlagInTargetDrives) {
    const DiscCase& c = GetParam();
    watch();
    HotplugEvents events;
    (c.appears ? events.disksAppeared : events.disksDisappeared)
        .push_back(ControlledBackend::disk("disk1", c.volume, c.model));
    backend_->pushDiskEvents(std::move(events));
    // A named volume elsewhere closes the sequence; it never raises the flag.
    HotplugEvents closing;
    closing.disksDisappeared.push_back(ControlledBackend::disk("disk9", "Backup", "Other Drive"));
    backend_->pushDiskEvents(std::move(closing));

    const std::size_t expected = c.notice ? 2 : 1;
    runUntilNotices(expected);

    const auto entries = notices_.entries();
    ASSERT_EQ(entries.size(), expected);
    if (c.notice) {
        EXPECT_EQ(entries[0].name, c.appears ? kAppearedDeviceNotify : kDisappearedDeviceNotify);
        EXPECT_EQ(entries[0].object, c.appears ? 1 : 3);
    }
    EXPECT_EQ(entries.back().object, 3);
    for (const auto& entry : entries) EXPECT_EQ(entry.thread, std::this_thread::get_id());
    EXPECT_EQ(IsPresenceDiscsForAppLaunch.load(), c.flag);
}

INSTANTIATE_TEST_SUITE_P(
    Discs, DiscCallbackTest,
    ::testing::Values(DiscCase{"NamedInTargetAppears", "DATA", kTargetModel, true, true, true},
                      DiscCase{"NamedInTargetDisappears", "DATA", kTargetModel, false, true, true},
                      DiscCase{"NamedElsewhereAppears", "DATA", "Other Drive", true, true, false},
                      DiscCase{"NamedWithoutModel", "DATA", std::nullopt, true, true, false},
                      DiscCase{"BlankInTargetAppears", std::nullopt, kTargetModel, true, false, false},
                      DiscCase{"BlankInTargetDisappears", std::nullopt, kTargetModel, false, false, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(DiscWatchTest, DisksPresentAtRegistrationAreReportedOnceTheLoopRuns) {
    backend_->setPresentDisks({ControlledBackend::disk("sr0", "MOVIE", kTargetModel),
                               ControlledBackend::disk("sr1", std::nullopt, kTargetModel)});
    watch();
    EXPECT_TRUE(notices_.entries().empty());
    EXPECT_FALSE(IsPresenceDiscsForAppLaunch);

    runUntilNotices(1);

    const auto entries = notices_.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, kAppearedDeviceNotify);
    EXPECT_EQ(entries[0].object, 1);
    EXPECT_TRUE(IsPresenceDiscsForAppLaunch);
}

TEST_F(DiscWatchTest, SessionIsMadeOnceAndReleasedOnce) {
    DAUtil::initSession();
    const DASessionRef first = DAUtil::session();
    ASSERT_NE(first, nullptr);
    DAUtil::initSession();
    EXPECT_EQ(DAUtil::session(), first);

    DAUtil::releaseSession();
    EXPECT_EQ(DAUtil::session(), nullptr);
    DAUtil::releaseSession();
    EXPECT_EQ(DAUtil::session(), nullptr);

    DAUtil::initSession();
    EXPECT_NE(DAUtil::session(), nullptr);
}

TEST_F(DiscWatchTest, SessionThatCannotBeMadeIsLoggedAndNothingUsesIt) {
    std::vector<std::string> lines;
    setSyslogEnabled(false);
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    platform::testing::failNextSessionCreation(true);

    watch();  // registers against the missing session, as the start-up does

    setLogSink(nullptr);
    EXPECT_EQ(DAUtil::session(), nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("DAUtil::initSession(", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("[ERR]"), std::string::npos);
    DAUtil::releaseSession();

    DAUtil::initSession();  // a later attempt can still succeed
    EXPECT_NE(DAUtil::session(), nullptr);
}

}  // namespace
