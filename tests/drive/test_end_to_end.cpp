// Listing and update against the simulated drive, which checks what it receives and
// installs it: the whole path from discovery to the revision after the update.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <utility>

#include "drive/STUCMethod.h"
#include "platform/Registry.h"
#include "platform/sim/DriveFile.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDrive.h"
#include "test_update_support.h"

using namespace kdu::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> commandNames(const std::vector<sim::RecordedCommand>& log) {
    std::vector<std::string> out;
    for (const sim::RecordedCommand& c : log) out.push_back(sim::commandName(c.cdb.data()));
    return out;
}

std::vector<std::string> expectedUpdate(bool fromKernelMode, std::size_t normalPieces) {
    std::vector<std::string> out;
    if (!fromKernelMode) out.push_back("CHANGE DRIVE MODE");
    out.insert(out.end(), 3 + normalPieces, "WRITE BUFFER");
    out.push_back("CHANGE DRIVE MODE");
    return out;
}

}  // namespace

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kdu-sim-XXXXXX").string();
        driveFolder_ = ::mkdtemp(pattern.data());
        backend_ = std::make_shared<sim::SimBackend>(driveFolder_);
        platform::installBackend(backend_);
        startObjects_ = platform::IORegistryLiveObjectCount();

        ImageHeader header;
        header.hardVersion = sim::kDefaultHardVersion;
        header.kernelVersion = sim::kDefaultKernelVersion;
        header.destVersion = sim::kDefaultDestVersion;
        resources_.writeKernel();
        resources_.writeNormal(kNormalLength, header);
        getFwFileInfo(kernel_, normal_);
        ASSERT_TRUE(kernel_.isFileExists() && normal_.isFileExists());
    }
    void TearDown() override {
        list_.clear();
        current_ = DeviceData{};
        EXPECT_EQ(platform::testing::liveInterfaces(), platform::testing::LiveInterfaces{});
        EXPECT_EQ(platform::IORegistryLiveObjectCount(), startObjects_);
        platform::installBackend(nullptr);
        backend_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(driveFolder_, ignored);
    }

    void attach(const std::string& name, const sim::DriveSpec& spec) {
        std::string error;
        ASSERT_TRUE(sim::writeDriveFile(sim::driveFilePath(driveFolder_, name), spec, error)) << error;
    }
    std::optional<sim::DriveSpec> stateOf(const std::string& name) const {
        std::string error;
        return sim::loadDriveFile(sim::driveFilePath(driveFolder_, name), error);
    }
    void relist() {
        list_.clear();
        platform::io_iterator_t iterator = platform::IO_OBJECT_NULL;
        if (FindDevicesUsing(kFindMethodAuthoringDevices, platform::kIOMasterPortDefault, &iterator))
            ExecListDeviceMain(iterator, list_, normal_);
        if (iterator != platform::IO_OBJECT_NULL) platform::IOObjectRelease(iterator);
    }
    // Updates a copy of the listed record, as the window does, and keeps the copy.
    bool update(std::size_t index) {
        backend_->clearCommandLog(platform::registry::nodeOf(list_.at(index).scsiDevice())->key());
        current_ = list_.at(index);
        ::testing::internal::CaptureStdout();
        const bool ok = ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 60000ms});
        console_ = ::testing::internal::GetCapturedStdout();
        return ok;
    }

    static constexpr std::size_t kNormalLength = 100000;  // four pieces, the last one padded
    std::filesystem::path driveFolder_;
    std::shared_ptr<sim::SimBackend> backend_;
    std::size_t startObjects_ = 0;
    ResourceFolder resources_;
    FirmFileData kernel_, normal_;
    std::vector<DeviceData> list_;
    DeviceData current_;
    std::string console_;
    LogCapture log_;
    ProgressCapture progress_;
};

TEST_F(EndToEndTest, AnEligibleDriveIsUpdatedAndThenNoLongerEligible) {
    sim::DriveSpec spec;
    spec.disc = sim::Disc{"DATA"};
    spec.timing.installMs = 20;
    attach("drive1", spec);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    ASSERT_TRUE(list_[0].isEnableUpdate());

    ASSERT_TRUE(update(0)) << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(current_.revision(), OptionalText{"1.21"});

    std::vector<std::string> sent = commandNames(backend_->sentCommands("drive1"));
    ASSERT_GE(sent.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 9), expectedUpdate(false, 4));
    EXPECT_EQ(sent.back(), "INQUIRY");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "TEST UNIT READY"), static_cast<long>(sent.size()) - 10);
    const std::vector<std::int64_t> progress = progress_.values();
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), -1);
    EXPECT_NE(console_.find("last one\n"), std::string::npos);
    EXPECT_NE(console_.find("write completed.\n"), std::string::npos);

    const std::optional<sim::DriveSpec> after = stateOf("drive1");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->revision, "1.21");
    EXPECT_EQ(after->mode, sim::DriveMode::Normal);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_FALSE(list_[0].isEnableUpdate());
}

TEST_F(EndToEndTest, AnUpdateCutOffByTheDriveVanishingCanBeCompletedAfterReattaching) {
    attach("drive1", {});
    relist();
    ASSERT_EQ(list_.size(), 1u);
    std::string error;
    ASSERT_TRUE(sim::updateDriveFile(sim::driveFilePath(driveFolder_, "drive1"),
                                     [](nlohmann::json& j) { j["faults"]["vanishAtCommand"] = 4; }, error))
        << error;

    EXPECT_FALSE(update(0));
    EXPECT_EQ(log_.count("[ERR] change drive mode.( -> Normal)"), 1);
    EXPECT_TRUE(progress_.values().empty());
    EXPECT_FALSE(stateOf("drive1").has_value()) << "the drive is gone";

    // Plugged in again, it comes back in the mode the cut-off update left it in.
    sim::DriveSpec reattached;
    reattached.mode = sim::DriveMode::Kernel;
    attach("drive1", reattached);
    relist();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(list_[0].driveMode(), 1);
    EXPECT_EQ(list_[0].revision(), OptionalText{sim::kKernelModeRevision});
    EXPECT_TRUE(list_[0].isEnableUpdate());

    ASSERT_TRUE(update(0)) << ::testing::PrintToString(log_.lines());
    std::vector<std::string> sent = commandNames(backend_->sentCommands("drive1"));
    sent.resize(std::min<std::size_t>(sent.size(), 8));
    EXPECT_EQ(sent, expectedUpdate(true, 4));
    EXPECT_EQ(stateOf("drive1")->revision, "1.21");
}

TEST_F(EndToEndTest, AnUnavailableClassNameIsLoggedAndChangesNothing) {
    sim::DriveSpec spec;
    spec.faults.className = platform::kIOReturnError;
    attach("drive1", spec);
    relist();
    EXPECT_EQ(log_.count("[ERR] ExecListDeviceMain() Failed to get class name. (0xe00002bc)"), 1);
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_TRUE(list_[0].isEnableUpdate());
    EXPECT_TRUE(update(0));
    EXPECT_EQ(log_.count("[ERR] ExecWriteMain() Failed to get class name. (0xe00002bc)"), 1);
}

TEST_F(EndToEndTest, ADriveHeldByAnotherClientIsSkippedAndTheOthersAreListed) {
    attach("drive1", {});
    attach("drive2", {});
    // Another client holds drive1 the way a second copy of the program would.
    const platform::io_service_t service =
        platform::registry::retainService(backend_->authoringDevices().front());
    ASSERT_EQ(platform::registry::nodeOf(service)->key(), "drive1");
    platform::IOCFPlugInInterface* plugIn = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
    platform::SCSITaskDeviceInterface* device = nullptr;
    CreateDeviceInterfaceForAuthoringDevice(service, &plugIn, &device, &mmc);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->ObtainExclusiveAccess(), platform::kIOReturnSuccess);

    relist();
    EXPECT_EQ(log_.count("[WAR] ObtainExclusiveAccess failed.(1)"), 1);
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(platform::registry::nodeOf(list_[0].scsiDevice())->key(), "drive2");

    // The update of a held drive is refused without a command.
    backend_->clearCommandLog("drive1");
    current_.setScsiDevice(service);
    EXPECT_FALSE(ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 1000ms}));
    EXPECT_TRUE(backend_->sentCommands("drive1").empty());

    current_.setScsiDevice(platform::IO_OBJECT_NULL);
    device->ReleaseExclusiveAccess();
    device->Release();
    mmc->Release();
    platform::IODestroyPlugInInterface(plugIn);
    platform::IOObjectRelease(service);
}

TEST_F(EndToEndTest, AListingDuringAnUpdateOnAnotherThreadSkipsTheDriveBeingUpdated) {
    sim::DriveSpec spec;
    spec.timing.installMs = 10;
    attach("drive1", spec);
    attach("drive2", {});
    relist();
    ASSERT_EQ(list_.size(), 2u);
    current_ = list_[0];

    // The first progress notice comes from the worker while it holds the drive; it waits
    // there until the listing on this thread is done.
    std::promise<void> installing, listed;
    std::shared_future<void> listedFuture = listed.get_future().share();
    bool first = true;
    int observer = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        &observer, kUpdateIndicatorNotify, [&](const platform::Notification&) {
            if (!std::exchange(first, false)) return;
            installing.set_value();
            listedFuture.wait();
        });
    std::future<bool> result = std::async(std::launch::async, [this] {
        return ExecUpdateMain(current_, normal_, kernel_, UpdateTiming{1ms, 60000ms});
    });

    installing.get_future().wait();
    relist();
    listed.set_value();
    EXPECT_TRUE(result.get());
    platform::NotificationCenter::defaultCenter().removeObserver(&observer);

    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(platform::registry::nodeOf(list_[0].scsiDevice())->key(), "drive2");
    EXPECT_EQ(log_.count("[WAR] ObtainExclusiveAccess failed.(1)"), 1);
    EXPECT_EQ(stateOf("drive1")->revision, "1.21");
}
