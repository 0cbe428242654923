// Drive files: the round trip, the error texts for bad files, write-back that keeps what
// others wrote, and the control operations on a drive folder.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "model/TempDir.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimControl.h"

using sim::DriveSpec;

namespace {

std::optional<DriveSpec> load(const std::filesystem::path& path) {
    std::string error;
    std::optional<DriveSpec> profile = sim::loadDriveFile(path, error);
    EXPECT_TRUE(profile) << error;
    return profile;
}

TEST(DriveFile, RoundTripKeepsEveryField) {
    TempDir dir;
    DriveSpec profile;
    profile.revision = "1.19";
    profile.mode = sim::DriveMode::Kernel;
    profile.disc = sim::Disc{std::nullopt};
    profile.timing = {3, 35'000'000, 8000};
    profile.faults.plugIn = scsi::TransportError::NoResources;
    profile.faults.mmc = 0x80000004u;
    profile.faults.modeChangeToNormal = true;
    profile.faults.vanishAtCommand = 7;
    sim::CommandFault& fault = profile.faults.commands.emplace_back();
    fault.opcode = 0x12;
    fault.occurrence = 2;
    fault.kind = sim::CommandFault::Kind::Status;
    fault.status = scsi::Status::Busy;
    sim::CommandFault& hold = profile.faults.commands.emplace_back();
    hold.name = "CHANGE DRIVE MODE";
    hold.kind = sim::CommandFault::Kind::Hold;
    hold.holdMs = 2500;
    profile.install = sim::InstallState{123456789, 8000, "1.21", "20261120"};

    const auto path = sim::driveFilePath(dir.path(), "bd");
    std::string error;
    ASSERT_TRUE(sim::writeDriveFile(path, profile, error)) << error;
    const DriveSpec back = load(path).value_or(DriveSpec{});
    EXPECT_EQ(sim::toJson(back), sim::toJson(profile));
    // A field toJson dropped would compare equal above.
    EXPECT_EQ(back.faults.plugIn, scsi::TransportError::NoResources);
    EXPECT_EQ(back.faults.commands.at(0).status, scsi::Status::Busy);
    EXPECT_EQ(back.faults.commands.at(1).holdMs, 2500u);
    EXPECT_EQ(back.install.value_or(sim::InstallState{}).resultRevision, "1.21");
    EXPECT_EQ(back.install.value_or(sim::InstallState{}).resultDate, "20261120");
}

struct BadFile {
    const char* content;
    const char* expected;  // part of the error text
};

class DriveFileErrorTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(DriveFileErrorTest, NamesTheFileAndTheField) {
    TempDir dir;
    const auto path = sim::driveFilePath(dir.path(), "broken");
    std::ofstream(path) << GetParam().content;
    sim::ControlError error = sim::validateDriveFile(path);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("broken.json: "), std::string::npos) << *error;
    EXPECT_NE(error->find(GetParam().expected), std::string::npos) << *error;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DriveFileErrorTest,
    ::testing::Values(BadFile{"{\"mode\": \"normal\",", "malformed JSON"}, BadFile{"[1,2]", "expected an object"},
                      BadFile{R"({"timing": {"installMs": 1e999}})", "malformed JSON"},
                      BadFile{R"({"mode": "turbo"})", "mode: expected"}, BadFile{R"({"fautls": {}})", "fautls: unknown field"},
                      BadFile{R"({"identity": {"product": 38}})", "identity.product: expected a text"},
                      BadFile{R"({"identity": {"revision": "1.200"}})", "identity.revision: longer than 4"},
                      BadFile{R"({"disc": {"volume": 5}})", "disc.volume: expected a text or null"},
                      BadFile{R"({"timing": {"installMs": -1}})", "timing.installMs: expected a non-negative"},
                      BadFile{R"({"faults": {"mmc": "0xZZ"}})", "faults.mmc: expected a 32-bit code"},
                      BadFile{R"({"faults": {"commands": [{"occurrence": 2}]}})", "faults.commands[0].command"},
                      BadFile{R"({"faults": {"commands": [{"command": 18, "sense": {"key": 5}, "status": 8}]}})",
                              "only one of"},
                      BadFile{R"({"faults": {"commands": [{"command": 18, "holdMs": 10, "status": 8}]}})",
                              "only one of"},
                      BadFile{R"({"faults": {"writeBufferPiece": 0}})", "faults.writeBufferPiece: expected a positive"}));

class DriveFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(sim::attach(dir.path(), "bd", sim::defaultTargetDrive())); }
    TempDir dir;
    const std::filesystem::path path = sim::driveFilePath(dir.path(), "bd");
};

TEST_F(DriveFolderTest, StateWriteBackKeepsADiscInsertedMeanwhile) {
    DriveSpec drive = load(path).value_or(DriveSpec{});
    ASSERT_FALSE(sim::insertDisc(dir.path(), "bd", "MOVIE"));  // the user, after the drive loaded its state
    drive.mode = sim::DriveMode::Kernel;
    std::string error;
    ASSERT_EQ(sim::saveDriveState(path, drive, error), sim::SaveResult::Saved) << error;
    const DriveSpec now = load(path).value_or(DriveSpec{});
    EXPECT_EQ(now.mode, sim::DriveMode::Kernel);
    EXPECT_EQ(now.disc.value_or(sim::Disc{}).volume, "MOVIE");
}

TEST_F(DriveFolderTest, ConcurrentUpdatesLoseNothing) {
    auto bump = [&](const char* field) {
        for (int i = 0; i < 50; ++i) {
            std::string error;
            ASSERT_TRUE(sim::updateDriveFile(
                path, [&](nlohmann::json& doc) { doc["timing"][field] = doc["timing"][field].get<std::uint32_t>() + 1; },
                error))
                << error;
        }
    };
    std::thread a(bump, "commandLatencyMs"), b(bump, "installMs");
    a.join();
    b.join();
    const DriveSpec profile = load(path).value_or(DriveSpec{});
    EXPECT_EQ(profile.timing.commandLatencyMs, 50u);
    EXPECT_EQ(profile.timing.installMs, 50u);
}

TEST_F(DriveFolderTest, RefusesUnusableNamesAndMissingDrives) {
    for (const char* name : {"", ".hidden", "../escape", "a/b", "sp ace"})
        EXPECT_TRUE(sim::attach(dir.path(), name, sim::defaultTargetDrive())) << name;
    EXPECT_TRUE(sim::attach(dir.path(), "bd", sim::defaultTargetDrive()));
    EXPECT_TRUE(sim::ejectDisc(dir.path(), "bd"));  // no disc to eject
    EXPECT_FALSE(sim::insertDisc(dir.path(), "bd", std::nullopt));
    EXPECT_TRUE(sim::insertDisc(dir.path(), "bd", "X"));
    EXPECT_FALSE(sim::detach(dir.path(), "bd"));
    EXPECT_TRUE(sim::detach(dir.path(), "bd"));
}

TEST(DriveControl, DemoFolderKeepsTheStateOfItsDrives) {  // their validity: the kdu demo listing test
    TempDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "demo";
    ASSERT_FALSE(sim::createDemoFolder(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 4);
    ASSERT_FALSE(sim::insertDisc(folder, "bd-1", "DEMO"));
    ASSERT_FALSE(sim::createDemoFolder(folder));
    EXPECT_TRUE(load(sim::driveFilePath(folder, "bd-1"))->disc);
}

}  // namespace
