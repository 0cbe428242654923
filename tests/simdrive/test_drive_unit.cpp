// One drive as a transport serves it: the trace both transports write, held answers, the
// kernel's housekeeping kept out of faults and counts, and a drive that vanishes.
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
    platform::IOReturn exec(Command command, Origin origin = Origin::Program) {
        return unit.execute(command.get(), out, 1'000'000, wire, origin);
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
    platform::ScsiOutcome out;
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
    ASSERT_EQ(exec(testUnitReady(), Origin::Housekeeping), platform::kIOReturnSuccess);
    EXPECT_EQ(out.sense[2], 0x02) << "the drive's own answer, not the fault";
    ASSERT_EQ(exec(testUnitReady()), platform::kIOReturnSuccess);
    EXPECT_EQ(out.sense[2], 0x06) << "the program's first TEST UNIT READY meets the fault";
    EXPECT_EQ(traceLines(), (std::vector<std::string>{"bd # kernel 000000000000", "bd 000000000000"}));

    // The program's second command vanishes the drive: it never reaches the trace.
    EXPECT_EQ(exec(inquiry()), platform::kIOReturnNoDevice);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(traceLines().size(), 2u);
    EXPECT_EQ(exec(inquiry()), platform::kIOReturnNoDevice) << "gone for good";
}

TEST_F(DriveUnitTest, StateTheAnswerChangesIsWrittenBack) {
    attach("{}");
    ASSERT_EQ(exec(changeDriveMode()), platform::kIOReturnSuccess);
    std::string error;
    EXPECT_EQ(sim::loadDriveFile(file, error).value_or(sim::DriveSpec{}).mode, sim::DriveMode::Kernel) << error;
}

}  // namespace
