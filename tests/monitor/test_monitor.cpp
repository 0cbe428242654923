#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "log/Log.h"
#include "monitor/DAUtil.h"
#include "monitor/USBDeviceManager.h"
#include "support/FakeBackend.h"

using namespace platform;
using namespace kdulog;

namespace {

constexpr char kTargetModel[] = "BD-RW  KVL-MT38";  // blanks do not count

// name, object, drive ids, the start-up disc flag (lowered after each notice, so it shows what raised it)
using Seen = std::vector<std::tuple<std::string, std::optional<std::int64_t>, std::vector<std::string>, bool>>;

// A manager over a fake backend whose drive notices, and disc notices as the window turns
// them into device notices, are recorded in the order they come; so are the log lines.
class MonitorTest : public ::testing::Test {
protected:
    MonitorTest() {
        installBackend(backend_);
        IsPresenceDiscsForAppLaunch = false;
        setSyslogEnabled(false);
        setLogSink([this](LogLevel, const std::string& line) { log_.push_back(line); });
    }
    ~MonitorTest() override { setLogSink(nullptr); }

    void record(const DeviceNotice& n) {
        std::vector<std::string> ids;
        for (const scsi::DriveIdentity& drive : n.drives) ids.push_back(drive.id);
        seen_.emplace_back(n.name, n.object, ids, IsPresenceDiscsForAppLaunch.exchange(false));
    }

    std::shared_ptr<kdu::test::FakeBackend> backend_ = std::make_shared<kdu::test::FakeBackend>();
    const DeviceNoticeHandler recorder_ = [this](const DeviceNotice& n) { record(n); };
    USBDeviceManager manager_{{
        .deviceAdded = recorder_,
        .deviceRemoved = recorder_,
        .disc = [this](const DiskDescription& disc, bool appeared) {
            appeared ? diskAppearedCallback(disc, recorder_) : diskDisappearedCallback(disc, recorder_);
        },
    }};
    std::vector<std::string> log_;
    Seen seen_;
};

TEST_F(MonitorTest, TwoNoticesAtStartThenOnePerBatchDiscsAroundTheirDrives) {
    backend_->addDrive("drive-a");
    backend_->insertDisc({"sr1", "OLD", "Other Drive"});
    ASSERT_TRUE(manager_.start());  // the disc present, then the two notices
    backend_->addDrive("drive-b");
    backend_->addDrive("drive-c");
    manager_.dispatch();
    manager_.dispatch();  // nothing new: no notice, and no wait
    // One batch: a disc that goes is reported before the drives, one that comes after them.
    backend_->insertDisc({"sr2", "NEW", "Other Drive"});
    backend_->addDrive("drive-d");
    backend_->removeDrive("drive-a");
    backend_->ejectDisc("sr1");
    manager_.dispatch();

    EXPECT_EQ(seen_, (Seen{{kAppearedDeviceNotify, 1, {}, false},
                           {kAppearedDeviceNotify, std::nullopt, {}, false},
                           {kDisappearedDeviceNotify, std::nullopt, {}, false},
                           {kAppearedDeviceNotify, std::nullopt, {"drive-b", "drive-c"}, false},
                           {kDisappearedDeviceNotify, 3, {}, false},
                           {kDisappearedDeviceNotify, std::nullopt, {"drive-a"}, false},
                           {kAppearedDeviceNotify, std::nullopt, {"drive-d"}, false},
                           {kAppearedDeviceNotify, 1, {}, false}}));
    EXPECT_TRUE(log_.empty());
}

struct DiscCase {
    const char* name;
    std::optional<std::string> volume, model;
    bool notices, flag;
};

class DiscCallbackTest : public MonitorTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscCallbackTest, NamedVolumesAreReportedAndRaiseTheFlagInTargetDrives) {
    const DiscCase& c = GetParam();
    // A named volume elsewhere, present at start and taken out last, brackets the case.
    backend_->insertDisc({"disk9", "Backup", "Other Drive"});
    ASSERT_TRUE(manager_.start());
    seen_.erase(seen_.begin() + 1, seen_.begin() + 3);  // the drive notices at start
    backend_->insertDisc({"disk1", c.volume, c.model});
    manager_.dispatch();
    backend_->ejectDisc("disk1");
    manager_.dispatch();
    backend_->ejectDisc("disk9");
    manager_.dispatch();

    Seen expected{{kAppearedDeviceNotify, 1, {}, false}};
    if (c.notices) {
        expected.emplace_back(kAppearedDeviceNotify, 1, std::vector<std::string>{}, c.flag);
        expected.emplace_back(kDisappearedDeviceNotify, 3, std::vector<std::string>{}, c.flag);
    }
    expected.emplace_back(kDisappearedDeviceNotify, 3, std::vector<std::string>{}, false);
    EXPECT_EQ(seen_, expected);
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscCallbackTest,
                         ::testing::Values(DiscCase{"NamedInTarget", "DATA", kTargetModel, true, true},
                                           DiscCase{"NamedElsewhere", "DATA", "Other Drive", true, false},
                                           DiscCase{"NamedWithoutModel", "DATA", std::nullopt, true, false},
                                           DiscCase{"BlankInTarget", std::nullopt, kTargetModel, false, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(MonitorTest, WatchThatCannotBeMadeIsLoggedOnceAndReportsNothing) {
    backend_->refuseEventSources(true);
    backend_->insertDisc({"disk1", "DATA", kTargetModel});
    EXPECT_FALSE(manager_.start());
    EXPECT_EQ(manager_.fd(), -1);
    manager_.dispatch();
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind("USBDeviceManager::start(", 0), 0u) << log_[0];
    EXPECT_NE(log_[0].find("[ERR] set notify I/O First Match(e00002c2)"), std::string::npos) << log_[0];
    EXPECT_TRUE(seen_.empty());
    EXPECT_FALSE(IsPresenceDiscsForAppLaunch);
}

}  // namespace
