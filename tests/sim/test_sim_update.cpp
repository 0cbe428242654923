// The drive command layer's listing and update against simulated drives, with the sample
// images the build ships: the drives, the images and the commands must agree.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <fstream>

#include "drive/STUCMethod.h"
#include "model/FirmwareImages.h"
#include "model/TempDir.h"
#include "model/Util.h"
#include "platform/Registry.h"
#include "platform/sim/SimControl.h"
#include "platform/sim/SimDrive.h"
#include "tools/ImageMaker.h"

using namespace std::chrono_literals;
using sim::RecordedCommand;

namespace {

class SimUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder);
        platform::installBackend(backend);
        writeImage(kKernelImageBaseName, image_maker::makeImage(image_maker::kernelImageSpec()));
        writeImage(kNormalImageBaseName, image_maker::makeImage(image_maker::normalImageSpec()));
        Util::setResourceDirectoryOverride(resources.path());
        getFwFileInfo(kernel, normal);
        ASSERT_TRUE(kernel.isFileExists() && normal.isFileExists());
    }
    void TearDown() override {
        Util::setResourceDirectoryOverride(std::nullopt);
        platform::installBackend(nullptr);
    }

    void writeImage(const char* baseName, const std::vector<std::uint8_t>& bytes) {
        ASSERT_FALSE(bytes.empty());
        resources.write(firmwareFileName(baseName), bytes);
    }
    std::vector<DeviceData> list() {
        std::vector<DeviceData> drives;
        platform::io_iterator_t iterator = 0;
        if (FindDevicesUsing(kFindMethodAuthoringDevices, platform::kIOMasterPortDefault, &iterator))
            ExecListDeviceMain(iterator, drives, normal);
        if (iterator) platform::IOObjectRelease(iterator);
        return drives;
    }
    sim::DriveSpec state(const std::string& name = "bd") {
        std::string error;
        auto spec = sim::loadDriveFile(sim::driveFilePath(folder, name), error);
        EXPECT_TRUE(spec) << error;
        return spec.value_or(sim::DriveSpec{});
    }
    std::vector<std::string> wire(const std::string& name = "bd") {
        std::vector<std::string> out;
        for (const RecordedCommand& c : backend->commandLog(name)) {
            if (c.kind == RecordedCommand::Kind::ObtainExclusiveAccess) out.push_back("obtain");
            else if (c.kind == RecordedCommand::Kind::ReleaseExclusiveAccess) out.push_back("release");
            else out.push_back(sim::commandName(c.cdb.data()));
        }
        return out;
    }

    TempDir resources;
    const std::filesystem::path folder = std::filesystem::path(resources.path()) / "drives";
    std::shared_ptr<sim::SimBackend> backend = sim::makeSimBackend(folder);
    FirmFileData kernel, normal;
    UpdateTiming timing{0ms, 60'000ms};
};

TEST_F(SimUpdateTest, EligibleDriveIsUpdatedToTheShippedRevision) {
    ASSERT_FALSE(sim::attach(folder, "bd", sim::defaultTargetDrive()));
    sim::DriveSpec current = sim::defaultTargetDrive();
    current.revision = "1.21";
    ASSERT_FALSE(sim::attach(folder, "current", current));

    std::vector<DeviceData> drives = list();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_TRUE(drives[0].isEnableUpdate());
    EXPECT_FALSE(drives[1].isEnableUpdate());
    EXPECT_EQ(wire(), (std::vector<std::string>{"obtain", "INQUIRY", "TEST UNIT READY", "READ BUFFER", "release"}));

    backend->clearCommandLog("bd");
    ASSERT_TRUE(ExecUpdateMain(drives[0], normal, kernel, timing));
    EXPECT_EQ(drives[0].revision(), "1.21");
    EXPECT_EQ(state().revision, "1.21");
    EXPECT_EQ(state().mode, sim::DriveMode::Normal);

    const std::vector<std::string> sent = wire();
    const std::size_t normalPieces = (image_maker::kNormalImageLength + 0x7FFF) / 0x8000;
    ASSERT_EQ(sent.size(), 1 + 1 + 3 + normalPieces + 1 + 1 + 1 + 1);
    EXPECT_EQ(sent.front(), "obtain");
    EXPECT_EQ(sent[1], "CHANGE DRIVE MODE");
    EXPECT_EQ(sent[2 + 3 + normalPieces], "CHANGE DRIVE MODE");
    EXPECT_EQ(sent.back(), "release");
    EXPECT_FALSE(list()[0].isEnableUpdate()) << "now at the shipped revision";
}

TEST_F(SimUpdateTest, AnUpdateCutOffLeavesKernelModeAndTheNextRunFinishesIt) {
    sim::DriveSpec spec = sim::defaultTargetDrive();
    spec.faults.modeChangeToNormal = true;
    ASSERT_FALSE(sim::attach(folder, "bd", spec));
    std::vector<DeviceData> drives = list();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_FALSE(ExecUpdateMain(drives[0], normal, kernel, timing));
    EXPECT_EQ(state().mode, sim::DriveMode::Kernel);

    std::string error;
    ASSERT_TRUE(sim::updateDriveFile(
        sim::driveFilePath(folder, "bd"), [](nlohmann::json& doc) { doc["faults"] = nlohmann::json::object(); },
        error));
    drives = list();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].driveMode(), 1);
    backend->clearCommandLog("bd");
    ASSERT_TRUE(ExecUpdateMain(drives[0], normal, kernel, timing));
    const std::vector<std::string> sent = wire();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "CHANGE DRIVE MODE"), 1) << "only the switch back";
}

TEST_F(SimUpdateTest, ADriveHeldElsewhereIsNotUpdated) {
    ASSERT_FALSE(sim::attach(folder, "bd", sim::defaultTargetDrive()));
    std::vector<DeviceData> drives = list();
    ASSERT_EQ(drives.size(), 1u);
    auto elsewhere = sim::makeSimBackend(folder)->authoringDevices().at(0)->openTaskChannel();
    ASSERT_EQ(elsewhere->obtainExclusiveAccess(), platform::kIOReturnSuccess);
    EXPECT_FALSE(ExecUpdateMain(drives[0], normal, kernel, timing));
    EXPECT_TRUE(list().empty()) << "the listing skips a drive it cannot hold";
    EXPECT_EQ(state().revision, "1.20");
}

}  // namespace
