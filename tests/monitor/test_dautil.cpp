#include <gtest/gtest.h>

#include "NoticeLog.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "support/FakeBackend.h"

using namespace platform;
using kdu::test::FakeBackend;
using monitor_test::NoticeLog;

namespace {

constexpr char kTargetModel[] = "BD-RW  KVL-MT38";  // blanks do not count

DiskDescription disk(const std::string& name, std::optional<std::string> volume, std::optional<std::string> model) {
    return {name, std::move(volume), std::move(model)};
}

// The disc watch as the start-up sets it up, on this (the main) thread's run loop.
class DiscWatchTest : public ::testing::Test {
protected:
    DiscWatchTest() {
        installBackend(backend_);
        IsPresenceDiscsForAppLaunch = false;
        // After the log has seen the flag, lower it, so each notice shows what raised it.
        NotificationCenter::defaultCenter().addObserver(this, kAppearedDeviceNotify, lowerFlag);
        NotificationCenter::defaultCenter().addObserver(this, kDisappearedDeviceNotify, lowerFlag);
    }
    ~DiscWatchTest() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        DAUnregisterCallback(DAUtil::session(), reinterpret_cast<void*>(diskAppearedCallback), this);
        DAUnregisterCallback(DAUtil::session(), reinterpret_cast<void*>(diskDisappearedCallback), this);
        DAUtil::releaseSession();
    }

    static void lowerFlag(const Notification&) { IsPresenceDiscsForAppLaunch = false; }

    void watch() {
        DAUtil::initSession();
        DARegisterDiskAppearedCallback(DAUtil::session(), nullptr, diskAppearedCallback, this);
        DARegisterDiskDisappearedCallback(DAUtil::session(), nullptr, diskDisappearedCallback, this);
    }

    // Runs the loop until `count` notices have come (the round limit only guards a hang).
    void runUntilNotices(std::size_t count) {
        for (int round = 0; round < 2400 && notices_.notices().size() < count; ++round)
            CFRunLoopGetCurrent().runFor(std::chrono::milliseconds(50));
    }

    std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
    NoticeLog notices_;
};

struct DiscCase {
    const char* name;
    std::optional<std::string> volume;
    std::optional<std::string> model;
    bool notices;
    bool flag;
};

class DiscCallbackTest : public DiscWatchTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscCallbackTest, NamedVolumesAreReportedAndRaiseTheFlagInTargetDrives) {
    const DiscCase& c = GetParam();
    // A named volume elsewhere, present from the start and taken out last, brackets the case.
    backend_->insertDisc(disk("disk9", "Backup", "Other Drive"));
    watch();
    backend_->insertDisc(disk("disk1", c.volume, c.model));
    backend_->ejectDisc("disk1");
    backend_->ejectDisc("disk9");

    const std::size_t expected = c.notices ? 4 : 2;
    runUntilNotices(expected);

    const auto notices = notices_.notices();
    ASSERT_EQ(notices.size(), expected);
    EXPECT_EQ(notices.front().object, 1);
    EXPECT_EQ(notices.back().object, 3);
    if (c.notices) {
        EXPECT_EQ(notices[1].name, kAppearedDeviceNotify);
        EXPECT_EQ(notices[1].object, 1);
        EXPECT_EQ(notices[2].name, kDisappearedDeviceNotify);
        EXPECT_EQ(notices[2].object, 3);
    }
    for (std::size_t i = 0; i < notices.size(); ++i) {
        const bool inCase = c.notices && (i == 1 || i == 2);
        EXPECT_EQ(notices[i].flag, inCase && c.flag) << i;
        EXPECT_EQ(notices[i].thread, std::this_thread::get_id());
    }
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscCallbackTest,
                         ::testing::Values(DiscCase{"NamedInTarget", "DATA", kTargetModel, true, true},
                                           DiscCase{"NamedElsewhere", "DATA", "Other Drive", true, false},
                                           DiscCase{"NamedWithoutModel", "DATA", std::nullopt, true, false},
                                           DiscCase{"BlankInTarget", std::nullopt, kTargetModel, false, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(DiscWatchTest, DisksPresentAtRegistrationAreReportedOnceTheLoopRuns) {
    backend_->insertDisc(disk("sr0", "MOVIE", kTargetModel));
    backend_->insertDisc(disk("sr1", std::nullopt, kTargetModel));
    watch();
    EXPECT_TRUE(notices_.notices().empty());

    runUntilNotices(1);

    const auto notices = notices_.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].object, 1);
    EXPECT_TRUE(notices[0].flag);
}

TEST_F(DiscWatchTest, OneSessionAtATime) {
    DAUtil::initSession();
    const DASessionRef first = DAUtil::session();
    ASSERT_NE(first, nullptr);
    DAUtil::initSession();
    EXPECT_EQ(DAUtil::session(), first);
    DAUtil::releaseSession();
    DAUtil::releaseSession();
    EXPECT_EQ(DAUtil::session(), nullptr);
}

TEST_F(DiscWatchTest, SessionThatCannotBeMadeIsLoggedOnceAndNothingUsesIt) {
    std::vector<std::string> lines;
    setSyslogEnabled(false);
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    platform::testing::failNextSessionCreation(true);

    watch();  // registers against the missing session, as the start-up does
    DAUtil::releaseSession();

    setLogSink(nullptr);
    EXPECT_EQ(DAUtil::session(), nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("DAUtil::initSession(", 0), 0u) << lines[0];
    DAUtil::initSession();  // a later attempt can succeed
    EXPECT_NE(DAUtil::session(), nullptr);
}

}  // namespace
