// Listing and update against the simulated drive, which checks what it receives and
// installs it: the whole path from discovery to the revision after the update.
#include <algorithm>
#include <array>
#include <chrono>
#include <future>
#include <thread>
#include <utility>

#include "DriveTestSupport.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimBackend.h"
#include "simdrive/SimDefaults.h"

namespace kdu::test {
namespace {

using namespace std::chrono_literals;

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        resources_.writeKernel();
        resources_.writeNormal(100000);  // four pieces, the last one padded
        getFwFileInfo(kernel_, normal_);
        ASSERT_TRUE(kernel_.isFileExists() && normal_.isFileExists());
    }
    void attach(const std::string& name, const sim::DriveSpec& profile) {
        std::string error;
        ASSERT_TRUE(sim::writeDriveFile(sim::driveFilePath(folder_.path(), name), profile, error)) << error;
    }
    // drive1, installing for 600 ms, gone for `awayMs` from its first poll, listed.
    void attachDriveThatGoesAway(std::uint32_t awayMs) {
        sim::DriveSpec profile;
        profile.timing.installMs = 600;
        profile.faults.vanishWhileInstallingMs = awayMs;
        attach("drive1", profile);
        relist();
    }
    std::optional<sim::DriveSpec> stateOf(const std::string& name) const {
        std::string error;
        return sim::loadDriveFile(sim::driveFilePath(folder_.path(), name), error);
    }
    void relist() {
        list_.clear();
        ListTargetDrives(list_, normal_);
    }
    // Updates a copy of the listed record, as the window does, and keeps the copy.
    bool update(std::size_t index) {
        backend_->clearCommandLog(list_.at(index).identity().id);
        current_ = list_.at(index);
        UpdateHooks hooks;
        hooks.progress = progress_.hook();
        return ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 60000ms}, hooks);
    }

    TempDir folder_;
    std::shared_ptr<sim::SimBackend> backend_ = std::make_shared<sim::SimBackend>(folder_.path());
    InstalledBackend installed_{backend_};
    ResourceFolder resources_;
    FirmFileData kernel_, normal_;
    std::vector<DeviceData> list_;
    DeviceData current_;
    LogCapture log_;
    ProgressCapture progress_;
};

TEST_F(EndToEndTest, AnUpdateCutOffByTheDriveVanishingIsCompletedAfterReattaching) {
    attach("drive1", {});
    relist();
    ASSERT_EQ(list_.size(), 1u);
    ASSERT_TRUE(list_[0].isEnableUpdate());
    std::string error;
    ASSERT_TRUE(sim::updateDriveFile(sim::driveFilePath(folder_.path(), "drive1"),
                                     [](nlohmann::json& j) { j["faults"]["vanishAtCommand"] = 6; }, error))
        << error;

    EXPECT_FALSE(update(0));
    // Gone at the second kernel piece (after the second look and the mode change): nothing more is sent.
    EXPECT_EQ(log_.count("[ERR] the drive has gone"), 1);
    EXPECT_EQ(log_.count("change drive mode.( -> Normal)"), 0);
    EXPECT_TRUE(progress_.values().empty());
    EXPECT_FALSE(stateOf("drive1").has_value()) << "the drive is gone";

    // Plugged in again, it comes back in the mode the cut-off update left it in.
    sim::DriveSpec reattached;
    reattached.mode = sim::DriveMode::Kernel;
    reattached.disc = sim::Disc{"DATA"};
    reattached.timing.installMs = 20;
    attach("drive1", reattached);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(list_[0].driveMode(), DriveMode::Kernel);
    EXPECT_EQ(list_[0].revision(), OptionalText{sim::kKernelModeRevision});
    EXPECT_TRUE(list_[0].isEnableUpdate());

    ASSERT_TRUE(update(0)) << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(current_.revision(), OptionalText{"1.21"});
    EXPECT_EQ(progress_.values().back(), -1);

    EXPECT_EQ(stateOf("drive1")->revision, "1.21");
    EXPECT_EQ(stateOf("drive1")->mode, sim::DriveMode::Normal);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_FALSE(list_[0].isEnableUpdate());
    // The drive reports the date of the firmware it runs now, not the old one's.
    EXPECT_EQ(list_[0].date(), OptionalText{image_maker::ImageSpec{}.date});
}

TEST_F(EndToEndTest, AnUnavailableClassNameIsLoggedAndChangesNothing) {
    sim::DriveSpec profile;
    profile.faults.className = scsi::TransportError::Failed;
    attach("drive1", profile);
    relist();
    EXPECT_EQ(log_.count("[ERR] ExecListDeviceMain() Failed to get class name. (0xe00002bc)"), 1);
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_TRUE(list_[0].isEnableUpdate());
    EXPECT_TRUE(update(0));
    EXPECT_EQ(log_.count("[ERR] ExecWriteMain() Failed to get class name. (0xe00002bc)"), 1);
}

TEST_F(EndToEndTest, AListingDuringAnUpdateOnAnotherThreadListsTheDriveBeingUpdatedAsInUse) {
    sim::DriveSpec profile;
    profile.timing.installMs = 10;
    attach("drive1", profile);
    attach("drive2", {});
    relist();
    ASSERT_EQ(list_.size(), 2u);
    current_ = list_[0];

    // The first progress notice comes from the worker while it holds the drive; it waits
    // there until the listing on this thread is done.
    std::promise<void> installing, listed;
    std::shared_future<void> listedFuture = listed.get_future().share();
    bool first = true;
    UpdateHooks hooks;
    hooks.progress = [&](const UpdateProgress& p) {
        if (!p.indicator || !std::exchange(first, false)) return;
        installing.set_value();
        listedFuture.wait();
    };
    std::future<bool> result = std::async(std::launch::async, [&] {
        const bool ok = ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 60000ms}, hooks);
        if (first) installing.set_value();  // ended before installing: the listing must not wait for ever
        return ok;
    });
    installing.get_future().wait();
    relist();
    listed.set_value();
    EXPECT_TRUE(result.get());

    ASSERT_EQ(list_.size(), 2u);
    EXPECT_EQ(list_[0].identity().id, "drive1");
    EXPECT_EQ(list_[0].eligibility(), UpdateEligibility::InUse);
    EXPECT_FALSE(list_[0].isEnableUpdate());
    EXPECT_EQ(list_[0].product(), OptionalText{"BD-RW KVL-MT38"}) << "known from the drive file unasked";
    EXPECT_EQ(list_[1].identity().id, "drive2");
    EXPECT_TRUE(list_[1].isEnableUpdate());
    EXPECT_EQ(log_.count("[WAR] ObtainExclusiveAccess failed.(1)"), 1);
    EXPECT_EQ(stateOf("drive1")->revision, "1.21");
}

// Two drives updated at once in one process: each update's hook hears only its own
// install, from its first value to its one end.
TEST_F(EndToEndTest, TwoUpdatesAtOnceReportOnlyTheirOwnProgress) {
    sim::DriveSpec profile;
    profile.timing.installMs = 300;
    attach("drive1", profile);
    attach("drive2", profile);
    relist();
    ASSERT_EQ(list_.size(), 2u);
    struct Run {
        DeviceData drive;
        ProgressCapture progress;
        std::vector<UpdateStep> steps;
        std::future<bool> result;
    };
    std::array<Run, 2> runs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run& r = runs[i];
        r.drive = list_[i];
        r.result = std::async(std::launch::async, [this, &r] {
            UpdateHooks hooks;
            hooks.progress = r.progress.hook([&r](const UpdateProgress& p) {
                if (!p.indicator) r.steps.push_back(p.step);
            });
            return ExecUpdateMain(r.drive, normal_, kernel_, UpdateTiming{1ms, 60000ms}, hooks);
        });
    }
    for (Run& r : runs) {
        SCOPED_TRACE(r.drive.identity().id);
        EXPECT_TRUE(r.result.get()) << ::testing::PrintToString(log_.lines());
        EXPECT_EQ(r.drive.revision(), OptionalText{"1.21"});
        const std::vector<std::int64_t> values = r.progress.values();
        ASSERT_GE(values.size(), 2u);
        EXPECT_EQ(std::count(values.begin(), values.end(), -1), 1);
        EXPECT_EQ(values.back(), -1);
        EXPECT_EQ(std::count(r.steps.begin(), r.steps.end(), UpdateStep::Install), 1);
        EXPECT_EQ(std::count(r.steps.begin(), r.steps.end(), UpdateStep::CheckRevision), 1);
    }
}

// A drive that goes away while it installs (a USB reset) is followed: the update waits for
// it, takes it again once it is back and decides by what it reports then.
TEST_F(EndToEndTest, ADriveThatGoesAwayWhileInstallingIsFollowedWhenItComesBack) {
    attachDriveThatGoesAway(300);
    ASSERT_EQ(list_.size(), 1u);
    std::vector<UpdateStep> steps;
    UpdateHooks hooks;
    hooks.progress = [&steps](const UpdateProgress& p) {
        if (!p.indicator) steps.push_back(p.step);
    };
    UpdateReport report;
    current_ = list_[0];
    ASSERT_TRUE(ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 60000ms}, hooks, &report))
        << report.message() << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(report.state, DriveState::Updated);
    EXPECT_EQ(current_.revision(), OptionalText{"1.21"});
    const auto install = std::find(steps.begin(), steps.end(), UpdateStep::Install);
    EXPECT_EQ(std::vector<UpdateStep>(install, steps.end()),
              (std::vector<UpdateStep>{UpdateStep::Install, UpdateStep::AwaitReturn, UpdateStep::Install,
                                       UpdateStep::CheckRevision}));
    EXPECT_EQ(stateOf("drive1")->revision, "1.21");
    EXPECT_FALSE(stateOf("drive1")->faults.vanishWhileInstallingMs) << "the switch is spent";
}

TEST_F(EndToEndTest, ADriveThatDoesNotComeBackInTimeEndsInAnUnknownState) {
    attachDriveThatGoesAway(1500);
    UpdateReport report;
    current_ = list_.at(0);
    EXPECT_FALSE(ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 300ms}, {}, &report));
    EXPECT_EQ(report.state, DriveState::Unknown);
    EXPECT_EQ(report.cause.kind, UpdateCauseKind::WentAway);
    EXPECT_THAT(report.message(), HasSubstr("the drive went away while installing: reconnect it and run `kdu list`"));
    // Back later on its own, its install finished meanwhile.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!stateOf("drive1") && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(list_[0].revision(), OptionalText{"1.21"});
}

}  // namespace
}  // namespace kdu::test
