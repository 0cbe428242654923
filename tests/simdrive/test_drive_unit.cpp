// One drive as a transport serves it: the trace both transports write, held answers, the
// kernel's housekeeping kept out of faults and counts, a drive that vanishes, a state it
// cannot save, and a file put in its place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "model/TempDir.h"
#include "simdrive/CommandTrace.h"
#include "simdrive/DriveUnit.h"
#include "simdrive/SimTestSupport.h"

using namespace simtest;
using Origin = sim::DriveUnit::Origin;

namespace {

// The trace file is chosen once per process, before any command.
const std::string kTracePath = "/tmp/kdu-simdrive-trace-" + std::to_string(::getpid());
[[maybe_unused]] const bool kTraceSet = ::setenv(sim::kTraceVariable, kTracePath.c_str(), 1) == 0;

class DriveUnitTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(kTracePath, std::ios::trunc).flush(); }
    void TearDown() override { std::filesystem::remove(kTracePath); }

    void attach(const std::string& json) { std::ofstream(file) << json; }
    // Another file put in the drive's place, as a person moves one there.
    void replace(const std::string& json) {
        const auto other = std::filesystem::path(dir.path()) / ".other";
        std::ofstream(other) << json;
        std::filesystem::rename(other, file);
    }
    sim::DriveSpec state() const {
        std::string error;
        std::optional<sim::DriveSpec> profile = sim::loadDriveFile(file, error);
        EXPECT_TRUE(profile) << error;
        return profile.value_or(sim::DriveSpec{});
    }
    void sendImages() {
        for (Command& piece : imagePieces(true, sealedImage(0x8000))) ASSERT_EQ(exec(piece), scsi::TransportError::None);
        for (Command& piece : imagePieces(false, sealedImage(0x8000 + 512))) ASSERT_EQ(exec(piece), scsi::TransportError::None);
        ASSERT_EQ(out.status, scsi::Status::Good);
    }
    scsi::TransportError exec(Command command, Origin origin = Origin::Program) {
        out = unit.execute(command.get(), 1'000'000, wire, origin);
        return out.error;
    }
    std::vector<std::string> traceLines() const {
        std::ifstream in(kTracePath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    TempDir dir;
    std::filesystem::path file = std::filesystem::path(dir.path()) / "bd.json";
    sim::DriveUnit unit{file};
    scsi::Result out;
    std::chrono::microseconds wire{0};
};

TEST_F(DriveUnitTest, TracesEachCommandOverItsGroupLengthWithTheDataSent) {
    attach(R"({"mode": "kernel"})");
    exec(testUnitReady());
    exec(readBuffer());  // given as 12 bytes, a 10-byte operation
    exec(writeBuffer(true, 0x8000, Bytes(4, 0x00)));
    EXPECT_EQ(traceLines(), (std::vector<std::string>{"bd 000000000000", "bd 3c02f100000000003000",
                                                      "bd 3b05fe00800000000400 out=4 crc=2144df1c"}));
}

TEST_F(DriveUnitTest, AHeldAnswerIsNotedAndWaitsOnTopOfTheWire) {
    attach(R"({"timing": {"commandLatencyMs": 1},
               "faults": {"commands": [{"command": "TEST UNIT READY", "occurrence": 2, "holdMs": 250}]}})");
    exec(testUnitReady());
    EXPECT_EQ(wire, std::chrono::milliseconds(1));
    exec(testUnitReady());
    EXPECT_EQ(wire, std::chrono::milliseconds(251));
    EXPECT_EQ(out.sense[12], 0x3A) << "answered as the drive would: no medium";
    EXPECT_EQ(traceLines().at(2), "bd # holding TEST UNIT READY");
}

TEST_F(DriveUnitTest, HousekeepingIsAnsweredButNeitherCountedNorFaultedNorTraced) {
    attach(R"({"faults": {"vanishAtCommand": 2,
                          "commands": [{"command": "TEST UNIT READY", "occurrence": 1, "sense": {"key": 6, "asc": 41}}]}})");
    ASSERT_EQ(exec(testUnitReady(), Origin::Housekeeping), scsi::TransportError::None);
    EXPECT_EQ(out.sense[2], 0x02) << "the drive's own answer, not the fault";
    ASSERT_EQ(exec(testUnitReady()), scsi::TransportError::None);
    EXPECT_EQ(out.sense[2], 0x06) << "the program's first TEST UNIT READY meets the fault";
    EXPECT_EQ(traceLines(), (std::vector<std::string>{"bd # kernel 000000000000", "bd 000000000000"}));

    // The program's second command vanishes the drive: it never reaches the trace.
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::NoDevice);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(traceLines().size(), 2u);
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::NoDevice) << "gone for good";
}

// A drive does not acknowledge what it did not do: a mode change it cannot save (a full
// file system) fails as a drive failing inside, and leaves the drive as it was.
TEST_F(DriveUnitTest, AStateItCannotSaveFailsTheCommand) {
    for (const char* before : {R"({"mode": "normal"})", R"({"mode": "kernel"})"}) {
        attach(before);
        const sim::DriveMode mode = state().mode;
        if (mode == sim::DriveMode::Kernel) sendImages();
        {
            FileSizeLimit full(0);
            ASSERT_EQ(exec(changeDriveMode()), scsi::TransportError::None) << before;
        }
        EXPECT_EQ(out.status, scsi::Status::CheckCondition) << before;
        EXPECT_EQ((std::vector<int>{out.sense[2], out.sense[12]}), (std::vector<int>{0x04, 0x44})) << before;
        EXPECT_EQ(state().mode, mode) << before;
        EXPECT_FALSE(state().install) << before;
    }
    // It kept none of the images it had received: switched back now, it installs nothing.
    ASSERT_EQ(exec(changeDriveMode()), scsi::TransportError::None);
    EXPECT_EQ(out.status, scsi::Status::Good);
    EXPECT_EQ(state().mode, sim::DriveMode::Normal);
    EXPECT_FALSE(state().install);
}

// In its update mode only the drive rewrites its file: another file in its place is
// another drive, which is sent nothing, and this one went away.
TEST_F(DriveUnitTest, AFileReplacedDuringAnUpdateIsADriveThatWentAway) {
    attach("{}");
    ASSERT_EQ(exec(changeDriveMode()), scsi::TransportError::None);
    ASSERT_EQ(exec(writeBuffer(true, 0, sealedImage(0x8000))), scsi::TransportError::None);
    const std::size_t traced = traceLines().size();
    replace(R"({"identity": {"revision": "1.19"}})");
    EXPECT_EQ(exec(writeBuffer(true, 0x8000, Bytes(0x8000))), scsi::TransportError::NoDevice);
    EXPECT_TRUE(unit.wentAway());
    EXPECT_EQ(exec(changeDriveMode()), scsi::TransportError::NoDevice) << "gone for good";
    EXPECT_EQ(state().mode, sim::DriveMode::Normal);
    EXPECT_EQ(state().revision, "1.19");
    EXPECT_EQ(traceLines().size(), traced);
}

// Outside an update a file put in the drive's place is the drive edited (a disc put in);
// a file moved away and back is the same file; one deleted and made again is a drive
// attached anew.
TEST_F(DriveUnitTest, EditsThatKeepTheDrive) {
    attach("{}");
    ASSERT_EQ(exec(inquiry()), scsi::TransportError::None);
    replace(R"({"disc": {}})");
    ASSERT_EQ(exec(testUnitReady()), scsi::TransportError::None);
    EXPECT_EQ(out.status, scsi::Status::Good) << "the disc put in";

    ASSERT_EQ(exec(changeDriveMode()), scsi::TransportError::None);
    const auto away = std::filesystem::path(dir.path()) / "away";
    std::filesystem::rename(file, away);
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::NoDevice);
    std::filesystem::rename(away, file);
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::None);

    std::filesystem::remove(file);
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::NoDevice);
    attach(R"({"mode": "kernel"})");
    EXPECT_EQ(exec(inquiry()), scsi::TransportError::None);
    EXPECT_FALSE(unit.wentAway());
}

}  // namespace
