// The backend over a drive folder: nodes, channels, exclusive access, faults, the command
// record and the state a drive leaves in its file.
#include <gtest/gtest.h>

#include <fstream>

#include "model/TempDir.h"
#include "platform/sim/SimControl.h"
#include "sim/SimTestSupport.h"

using namespace simtest;
using namespace platform;
using sim::DriveSpec;
using sim::RecordedCommand;

namespace {

class SimBackendTest : public ::testing::Test {
protected:
    void attach(const std::string& name, const DriveSpec& spec = sim::defaultTargetDrive()) {
        ASSERT_FALSE(sim::attach(dir.path(), name, spec));
    }
    std::shared_ptr<DeviceNode> node(const std::string& name) {
        for (auto& n : backend->authoringDevices())
            if (n->key() == name) return n;
        return nullptr;
    }
    std::unique_ptr<TaskChannel> channel(const std::string& name = "bd") {
        auto n = node(name);
        return n ? n->openTaskChannel() : nullptr;
    }
    static IOReturn execute(TaskChannel& ch, Command command, ScsiOutcome& out) {
        return ch.execute(command.get(), out);
    }
    DriveSpec reload(const std::string& name = "bd") {
        std::string error;
        std::optional<DriveSpec> spec = sim::loadDriveFile(sim::driveFilePath(dir.path(), name), error);
        EXPECT_TRUE(spec) << error;
        return spec.value_or(DriveSpec{});
    }

    TempDir dir;
    std::shared_ptr<sim::SimBackend> backend = sim::makeSimBackend(dir.path());
};

TEST_F(SimBackendTest, ListsDriveFilesOnlyInNameOrder) {
    attach("b");
    attach("a");
    std::ofstream(std::filesystem::path(dir.path()) / "notes.txt") << "x";
    std::ofstream(std::filesystem::path(dir.path()) / ".a.json.tmp.1") << "{}";
    auto drives = backend->authoringDevices();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->key(), "a");
    EXPECT_EQ(drives[1]->key(), "b");
    EXPECT_EQ(backend->authoringDevices()[0], drives[0]) << "the same drive keeps its node";
    std::string className;
    EXPECT_EQ(drives[0]->className(className), kIOReturnSuccess);
    EXPECT_EQ(className, sim::kDefaultClassName);
}

TEST_F(SimBackendTest, ExclusiveAccessExcludesASecondChannelUntilReleased) {
    attach("bd");
    auto first = channel();
    auto second = channel();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->obtainExclusiveAccess(), kIOReturnSuccess);
    EXPECT_EQ(second->obtainExclusiveAccess(), kIOReturnBusy);
    EXPECT_EQ(first->releaseExclusiveAccess(), kIOReturnSuccess);
    EXPECT_EQ(second->obtainExclusiveAccess(), kIOReturnSuccess);
    second.reset();  // closing the channel gives access back
    EXPECT_EQ(first->obtainExclusiveAccess(), kIOReturnSuccess);
    EXPECT_EQ(first->releaseExclusiveAccess(), kIOReturnSuccess);
    EXPECT_EQ(first->releaseExclusiveAccess(), kIOReturnNotOpen);
}

TEST_F(SimBackendTest, RecordsCommandsWithTheirDataBetweenAccessEvents) {
    attach("bd");
    auto ch = channel();
    ScsiOutcome out;
    ASSERT_EQ(ch->obtainExclusiveAccess(), kIOReturnSuccess);
    ASSERT_EQ(execute(*ch, inquiry(), out), kIOReturnSuccess);
    ASSERT_EQ(execute(*ch, changeDriveMode(), out), kIOReturnSuccess);
    ASSERT_EQ(ch->releaseExclusiveAccess(), kIOReturnSuccess);

    const auto log = backend->commandLog("bd");
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, RecordedCommand::Kind::ObtainExclusiveAccess);
    EXPECT_EQ(log[1].cdb, (std::vector<std::uint8_t>{0x12, 0, 0, 0, 0x38, 0}));
    EXPECT_TRUE(log[1].data.empty()) << "data-in is not data sent to the drive";
    EXPECT_EQ(log[1].transferCount, 256u);
    EXPECT_EQ(log[1].timeoutMs, 500000u);
    EXPECT_EQ(log[2].cdb.size(), 12u);
    EXPECT_EQ(log[2].data, sim::modeChangeParameterData());
    EXPECT_EQ(log[2].direction, kSCSIDataTransfer_FromInitiatorToTarget);
    EXPECT_EQ(log[3].kind, RecordedCommand::Kind::ReleaseExclusiveAccess);
    EXPECT_EQ(backend->sentCommands("bd").size(), 2u);
    backend->clearCommandLog("bd");
    EXPECT_TRUE(backend->commandLog("bd").empty());
}

TEST_F(SimBackendTest, StateIsWrittenBackAndSeenByAnotherBackend) {
    DriveSpec spec = sim::defaultTargetDrive();
    spec.timing.installMs = 60'000;
    attach("bd", spec);
    auto ch = channel();
    ScsiOutcome out;
    execute(*ch, changeDriveMode(), out);
    EXPECT_EQ(reload().mode, sim::DriveMode::Kernel);
    for (Command& piece : imagePieces(false, sealedImage(0x8000 + 512))) ASSERT_EQ(execute(*ch, piece, out), 0);
    execute(*ch, changeDriveMode(), out);
    DriveSpec after = reload();
    EXPECT_EQ(after.mode, sim::DriveMode::Normal);
    ASSERT_TRUE(after.install);
    EXPECT_EQ(after.install->resultRevision, "1.21");

    // Another process (here: another backend) sees the install going on.
    auto other = sim::makeSimBackend(dir.path());
    auto otherChannel = other->authoringDevices().at(0)->openTaskChannel();
    ASSERT_EQ(execute(*otherChannel, testUnitReady(), out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_CHECK_CONDITION);
    EXPECT_EQ(out.sense[12], 0x04);
    EXPECT_EQ(out.sense[13], 0x12);
}

// Faults -------------------------------------------------------------------------

TEST_F(SimBackendTest, InterfaceChainFaults) {
    DriveSpec spec = sim::defaultTargetDrive();
    spec.faults.plugIn = kIOReturnNoResources;
    spec.faults.mmc = E_NOINTERFACE;
    spec.faults.className = kIOReturnNotFound;
    spec.faults.taskDevice = true;
    attach("bd", spec);
    auto n = node("bd");
    std::string className = "unchanged";
    EXPECT_EQ(n->className(className), kIOReturnNotFound);
    EXPECT_EQ(className, "unchanged");
    EXPECT_EQ(n->createPlugIn(), kIOReturnNoResources);
    EXPECT_EQ(n->queryMMCInterface(), E_NOINTERFACE);
    EXPECT_EQ(n->openTaskChannel(), nullptr);
}

TEST_F(SimBackendTest, AccessAndTaskFaults) {
    DriveSpec spec = sim::defaultTargetDrive();
    spec.faults.release = true;
    spec.faults.task = true;
    attach("bd", spec);
    auto first = channel();
    auto second = channel();
    EXPECT_FALSE(first->canCreateTask());
    ASSERT_EQ(first->obtainExclusiveAccess(), kIOReturnSuccess);
    EXPECT_NE(first->releaseExclusiveAccess(), kIOReturnSuccess);
    EXPECT_EQ(second->obtainExclusiveAccess(), kIOReturnBusy) << "a refused release keeps the drive held";

    spec.faults = {};
    spec.faults.exclusiveAccess = true;
    ASSERT_FALSE(sim::detach(dir.path(), "bd"));
    attach("bd", spec);
    first.reset();
    EXPECT_EQ(second->obtainExclusiveAccess(), kIOReturnBusy);
    EXPECT_TRUE(second->canCreateTask());
}

struct CommandFaultCase {
    const char* name;
    const char* faultJson;
    std::uint32_t statusOfSecondInquiry;  // first and third answer GOOD
    IOReturn deliveryOfSecondInquiry;
};

class SimCommandFaultTest : public SimBackendTest, public ::testing::WithParamInterface<CommandFaultCase> {};

TEST_P(SimCommandFaultTest, HitsOnlyTheNthMatchingCommand) {
    nlohmann::json doc = sim::toJson(sim::defaultTargetDrive());
    doc["faults"] = {{"commands", nlohmann::json::array({nlohmann::json::parse(GetParam().faultJson)})}};
    std::ofstream(sim::driveFilePath(dir.path(), "bd")) << doc.dump();
    auto ch = channel();
    ScsiOutcome out;
    execute(*ch, testUnitReady(), out);  // another command: does not count
    for (int i = 1; i <= 3; ++i) {
        const IOReturn result = execute(*ch, inquiry(), out);
        SCOPED_TRACE(i);
        if (i == 2) {
            EXPECT_EQ(result, GetParam().deliveryOfSecondInquiry);
            if (result == kIOReturnSuccess) {
                EXPECT_EQ(out.status, GetParam().statusOfSecondInquiry);
            }
            if (out.status == kSCSITaskStatus_CHECK_CONDITION) {
                EXPECT_EQ(out.sense[2], 0x06);
                EXPECT_EQ(out.sense[12], 0x29);
            }
        } else {
            EXPECT_EQ(result, kIOReturnSuccess);
            EXPECT_EQ(out.status, kSCSITaskStatus_GOOD);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimCommandFaultTest,
    ::testing::Values(
        CommandFaultCase{"sense", R"({"command": "inquiry", "occurrence": 2, "sense": {"key": 6, "asc": "0x29"}})",
                         kSCSITaskStatus_CHECK_CONDITION, kIOReturnSuccess},
        CommandFaultCase{"status", R"({"command": 18, "occurrence": 2, "status": 8})", kSCSITaskStatus_BUSY,
                         kIOReturnSuccess},
        CommandFaultCase{"delivery", R"({"command": "0x12", "occurrence": 2, "delivery": "0xE00002D6"})", 0,
                         kIOReturnTimeout}),
    [](const ::testing::TestParamInfo<CommandFaultCase>& param) { return std::string(param.param.name); });

TEST_F(SimBackendTest, RefusedWriteBufferPieceSpoilsTheInstall) {
    nlohmann::json doc = sim::toJson(sim::defaultTargetDrive());
    doc["faults"] = {{"writeBufferPiece", 2}};
    std::ofstream(sim::driveFilePath(dir.path(), "bd")) << doc.dump();
    auto ch = channel();
    ScsiOutcome out;
    execute(*ch, changeDriveMode(), out);
    std::vector<Command> pieces = imagePieces(false, sealedImage(2 * 0x8000));
    EXPECT_EQ(execute(*ch, pieces[0], out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_GOOD);
    EXPECT_EQ(execute(*ch, pieces[1], out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_CHECK_CONDITION);
    EXPECT_EQ(out.sense[2], 0x03);
    execute(*ch, changeDriveMode(), out);
    execute(*ch, testUnitReady(), out);
    EXPECT_EQ(reload().revision, "1.20");
    EXPECT_EQ(reload().mode, sim::DriveMode::Normal);
}

TEST_F(SimBackendTest, VanishingDriveDeletesItsFileAndFailsFromThen) {
    DriveSpec spec = sim::defaultTargetDrive();
    spec.faults.vanishAtCommand = 2;
    attach("bd", spec);
    auto ch = channel();
    ScsiOutcome out;
    EXPECT_EQ(execute(*ch, inquiry(), out), kIOReturnSuccess);
    EXPECT_EQ(execute(*ch, inquiry(), out), kIOReturnNoDevice);
    EXPECT_FALSE(std::filesystem::exists(sim::driveFilePath(dir.path(), "bd")));
    EXPECT_EQ(execute(*ch, testUnitReady(), out), kIOReturnNoDevice);
    EXPECT_EQ(backend->sentCommands("bd").back().status, kSCSITaskStatus_DeliveryFailure);
    EXPECT_TRUE(backend->authoringDevices().empty());
}

}  // namespace
