// The backend over a drive folder: nodes, exclusive opening, faults, and a drive replaced
// or rewritten by others.
#include <gtest/gtest.h>

#include <fstream>

#include "model/TempDir.h"
#include "platform/sim/SimControl.h"
#include "platform/sim/SimFolder.h"
#include "simdrive/SimTestSupport.h"

using namespace simtest;
using namespace platform;

namespace {

class SimBackendTest : public ::testing::Test {
protected:
    void attach(const nlohmann::json& faults = nlohmann::json::object()) {
        nlohmann::json doc = sim::toJson(sim::defaultTargetDrive());
        doc["timing"]["installMs"] = 60'000;
        doc["faults"] = faults;
        std::ofstream(sim::driveFilePath(dir.path(), "bd")) << doc.dump();
    }
    Opened open() { return backend->authoringDevices().at(0)->open(); }
    std::unique_ptr<TaskChannel> channel() { return open().channel; }
    scsi::TransportError exec(TaskChannel& ch, Command command) {
        out = ch.execute(command.get());
        return out.error;
    }
    std::vector<int> statusKeyAsc() const { return {static_cast<int>(out.status), out.sense[2], out.sense[12]}; }
    sim::DriveSpec reload() {
        std::string error;
        std::optional<sim::DriveSpec> profile = sim::loadDriveFile(sim::driveFilePath(dir.path(), "bd"), error);
        EXPECT_TRUE(profile) << error;
        return profile.value_or(sim::DriveSpec{});
    }

    TempDir dir;
    std::shared_ptr<sim::SimBackend> backend = sim::makeSimBackend(dir.path());
    scsi::Result out;
};

TEST_F(SimBackendTest, ListsDriveFilesOnlyInNameOrder) {
    for (const char* name : {"b", "a"}) ASSERT_FALSE(sim::attach(dir.path(), name, sim::defaultTargetDrive()));
    std::ofstream(std::filesystem::path(dir.path()) / "notes.txt") << "x";
    std::ofstream(std::filesystem::path(dir.path()) / ".a.json.tmp.1") << "{}";
    auto drives = backend->authoringDevices();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->key() + drives[1]->key(), "ab");
    EXPECT_EQ(backend->authoringDevices()[0], drives[0]) << "the same drive keeps its node";
    std::string className;
    EXPECT_EQ(drives[0]->className(className), scsi::TransportError::None);
    EXPECT_EQ(className, sim::kDefaultClassName);
}

TEST_F(SimBackendTest, AnOpenDriveRefusesASecondOpenUntilGivenBack) {
    attach();
    auto first = channel();
    ASSERT_TRUE(first);
    EXPECT_EQ(open().error, scsi::TransportError::Busy);
    EXPECT_EQ(first->release(), scsi::TransportError::None);
    EXPECT_EQ(first->release(), scsi::TransportError::None);
    EXPECT_EQ(exec(*first, inquiry()), scsi::TransportError::NotOpen) << "given back";
    auto second = channel();
    ASSERT_TRUE(second);
    second.reset();  // closing the channel gives the drive back
    EXPECT_TRUE(channel());
}

// The older drive files' fault switches of opening a drive, and those of holding one.
TEST_F(SimBackendTest, OpenAndRunFaults) {
    attach({{"plugin", "0xE00002BE"}, {"className", "0xE00002F0"}});
    std::string className = "unchanged";
    EXPECT_EQ(backend->authoringDevices().at(0)->className(className), scsi::TransportError::NotFound);
    EXPECT_EQ(className, "unchanged");
    EXPECT_EQ(open().error, scsi::TransportError::NoResources);
    attach({{"mmc", "0x80000004"}});
    EXPECT_EQ(static_cast<std::uint32_t>(open().error), 0x80000004u);
    attach({{"taskDevice", true}});
    EXPECT_EQ(open().error, scsi::TransportError::NoDevice);

    attach({{"release", true}, {"task", true}});
    auto first = channel();
    ASSERT_TRUE(first);
    EXPECT_EQ(exec(*first, inquiry()), scsi::TransportError::NoResources);
    EXPECT_TRUE(backend->sentCommands("bd").empty()) << "the drive never saw it";
    EXPECT_NE(first->release(), scsi::TransportError::None);
    EXPECT_EQ(open().error, scsi::TransportError::Busy) << "a refused release keeps the drive held";

    attach({{"exclusiveAccess", true}});
    first.reset();
    EXPECT_EQ(open().error, scsi::TransportError::Busy);
}

struct CommandFaultCase {
    const char* fault;
    scsi::TransportError delivery;  // of the second INQUIRY; the first and third answer GOOD
    std::vector<int> statusKeyAsc;
};

class SimCommandFaultTest : public SimBackendTest, public ::testing::WithParamInterface<CommandFaultCase> {};

TEST_P(SimCommandFaultTest, HitsOnlyTheNthMatchingCommand) {
    attach({{"commands", nlohmann::json::array({nlohmann::json::parse(GetParam().fault)})}});
    auto ch = channel();
    exec(*ch, testUnitReady());  // another command: does not count
    for (int i = 1; i <= 3; ++i) {
        const scsi::TransportError result = exec(*ch, inquiry());
        EXPECT_EQ(result, i == 2 ? GetParam().delivery : scsi::TransportError::None) << i;
        if (i != 2) {
            EXPECT_EQ(out.status, scsi::Status::Good) << i;
        } else if (result == scsi::TransportError::None) {
            EXPECT_EQ(statusKeyAsc(), GetParam().statusKeyAsc);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimCommandFaultTest,
    ::testing::Values(CommandFaultCase{R"({"command": "inquiry", "occurrence": 2, "sense": {"key": 6, "asc": "0x29"}})",
                                       scsi::TransportError::None, {0x02, 0x06, 0x29}},
                      CommandFaultCase{R"({"command": 18, "occurrence": 2, "status": 8})", scsi::TransportError::None,
                                       {0x08, 0, 0}},
                      CommandFaultCase{R"({"command": "0x12", "occurrence": 2, "delivery": "0xE00002D6"})",
                                       scsi::TransportError::Timeout, {}}));

TEST_F(SimBackendTest, RefusedWriteBufferPieceSpoilsTheInstall) {
    attach({{"writeBufferPiece", 2}});
    auto ch = channel();
    exec(*ch, changeDriveMode());
    std::vector<Command> pieces = imagePieces(false, sealedImage(2 * 0x8000));
    EXPECT_EQ(exec(*ch, pieces[0]), scsi::TransportError::None);
    EXPECT_EQ(out.status, scsi::Status::Good);
    EXPECT_EQ(exec(*ch, pieces[1]), scsi::TransportError::None);
    EXPECT_EQ(out.status, scsi::Status::CheckCondition);
    EXPECT_EQ(out.sense[2], 0x03);
    exec(*ch, changeDriveMode());
    exec(*ch, testUnitReady());
    EXPECT_EQ(reload().revision, "1.20");
    EXPECT_EQ(reload().mode, sim::DriveMode::Normal);
}

// A channel open when the drive went away stays with it; one opened afterwards reaches the
// drive in the file now.
TEST_F(SimBackendTest, AChannelOpenedAfterTheDriveWentAwayReachesTheNewOne) {
    attach();
    auto before = channel();
    ASSERT_EQ(exec(*before, changeDriveMode()), scsi::TransportError::None);
    sim::DriveSpec other = sim::defaultTargetDrive();
    other.revision = "1.19";
    const std::filesystem::path temp = std::filesystem::path(dir.path()) / ".other";
    std::string error;
    ASSERT_TRUE(sim::writeDriveFile(temp, other, error)) << error;
    std::filesystem::rename(temp, sim::driveFilePath(dir.path(), "bd"));
    EXPECT_EQ(exec(*before, inquiry()), scsi::TransportError::NoDevice);
    before->release();

    auto after = channel();
    ASSERT_TRUE(after);
    Command ask = inquiry();
    ASSERT_TRUE(after->execute(ask.get()).delivered());
    EXPECT_EQ(text(ask.buffer, 32, 4), "1.19");
    EXPECT_EQ(reload().mode, sim::DriveMode::Normal);
}

// Given back, the drive may be driven by others, and what they save is its own state.
TEST_F(SimBackendTest, OnceGivenBackTheDriveAcceptsOthersSaves) {
    attach();
    auto ch = channel();
    ASSERT_EQ(exec(*ch, changeDriveMode()), scsi::TransportError::None);
    ASSERT_EQ(ch->release(), scsi::TransportError::None);
    ASSERT_FALSE(sim::insertDisc(dir.path(), "bd", std::nullopt));  // rewritten by another
    ch = channel();
    ASSERT_TRUE(ch);
    EXPECT_EQ(exec(*ch, testUnitReady()), scsi::TransportError::None);
    EXPECT_EQ(out.status, scsi::Status::Good) << "the disc put in";
}

}  // namespace
