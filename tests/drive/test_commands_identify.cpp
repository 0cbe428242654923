// What INQUIRY, TEST UNIT READY and READ BUFFER make of the drive's answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "test_commands_fixture.h"

namespace kdu::test {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// INQUIRY ---------------------------------------------------------------------------

struct InquiryCase {
    const char* name;
    Bytes answer;
    const char* vendor;
    const char* product;
    const char* revision;
    const char* date;
    std::int32_t driveMode;
};

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

class InquiryFields : public DriveCommandTest, public ::testing::WithParamInterface<InquiryCase> {};

TEST_P(InquiryFields, AreCutAtTheirWidthOrTheFirstZero) {
    const InquiryCase& c = GetParam();
    drive->queue(Answer::good(c.answer));
    DeviceData record;
    record.setDriveMode(7);
    stderrOf([&] { CommandInquiry(taskDevice, &record); });
    EXPECT_EQ(record.vendor(), OptionalText(c.vendor));
    EXPECT_EQ(record.product(), OptionalText(c.product));
    EXPECT_EQ(record.revision(), OptionalText(c.revision));
    EXPECT_EQ(record.date(), OptionalText(c.date));
    EXPECT_EQ(record.driveMode(), c.driveMode);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InquiryFields,
    ::testing::Values(
        InquiryCase{"Normal", inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20", "20240501A"), "KESTORY ",
                    "BD-RW KVL-MT38  ", "1.20", "20240501A", 0},
        InquiryCase{"KernelMode", inquiryData("KESTORY", "BD-RW KVL-MT38", "0000"), "KESTORY ", "BD-RW KVL-MT38  ",
                    "0000", "         ", 1},
        InquiryCase{"NearlyKernel", inquiryData("K", "P", "0001"), "K       ", "P               ", "0001",
                    "         ", 0},
        InquiryCase{"ZeroesAndBlank", inquiryData("K", "P", "000 "), "K       ", "P               ", "000 ",
                    "         ", 0},
        // A short answer leaves the rest of the zeroed buffer: shorter or empty fields.
        InquiryCase{"Short", truncated(inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20"), 20), "KESTORY ", "BD-R",
                    "", "", 0},
        InquiryCase{"ZeroInsideVendor", truncated(inquiryData(std::string("AB\0CD", 5), "P", "1"), 40), "AB",
                    "P               ", "1   ", "    ", 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DriveCommandTest, InquiryWithoutRecordStillAsks) {
    drive->queue(Answer::good(inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20")));
    const std::string err = stderrOf([&] { CommandInquiry(taskDevice, nullptr); });
    EXPECT_EQ(err, "Requesting Inquiry data\n");
    EXPECT_EQ(drive->commands().size(), 1u);
}

struct FailedAnswer {
    const char* name;
    Answer answer;
    const char* line;  // what the command writes after its request line
};

const FailedAnswer kFailedInquiries[] = {
    {"CheckCondition", Answer::checkCondition(2, 0x3A, 0), "Not Ready, Medium not present\n"},
    {"Busy", Answer::withStatus(platform::kSCSITaskStatus_BUSY), "taskStatus = 0x00000008\n"},
};

class InquiryFailure : public DriveCommandTest, public ::testing::WithParamInterface<FailedAnswer> {};

TEST_P(InquiryFailure, LeavesTheRecordAlone) {
    Answer answer = GetParam().answer;
    answer.dataIn = inquiryData("OTHER", "OTHER", "9.99");
    drive->queue(answer);
    DeviceData record;
    record.setRevision("1.20");
    record.setDriveMode(1);
    const std::string err = stderrOf([&] { CommandInquiry(taskDevice, &record); });
    EXPECT_EQ(err, std::string("Requesting Inquiry data\n") + GetParam().line);
    EXPECT_EQ(record.revision(), OptionalText("1.20"));
    EXPECT_EQ(record.vendor(), std::nullopt);
    EXPECT_EQ(record.driveMode(), 1);
}

INSTANTIATE_TEST_SUITE_P(Statuses, InquiryFailure, ::testing::ValuesIn(kFailedInquiries),
                         [](const auto& p) { return std::string(p.param.name); });

// TEST UNIT READY ---------------------------------------------------------------------

struct TurCase {
    const char* name;
    Answer answer;
    bool withProgress;
    std::uint16_t result;
    std::optional<std::uint32_t> progress;  // none: left untouched
    bool discPresent;
};

class TestUnitReadyResult : public DriveCommandTest, public ::testing::WithParamInterface<TurCase> {};

TEST_P(TestUnitReadyResult, FollowsStatusAndSense) {
    const TurCase& c = GetParam();
    drive->queue(c.answer);
    DeviceData record;
    record.setIsPresenceDisc(!c.discPresent);
    bool disc = !c.discPresent;
    std::uint32_t progress = 0xDEADBEEF;
    std::uint16_t result = 0;
    const std::string err = stderrOf(
        [&] { result = CommandTestUnitReady(taskDevice, &record, &disc, c.withProgress ? &progress : nullptr); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(progress, c.progress.value_or(0xDEADBEEF));
    EXPECT_EQ(disc, c.discPresent);
    EXPECT_EQ(record.isPresenceDisc(), c.discPresent);
    if (c.answer.status == platform::kSCSITaskStatus_CHECK_CONDITION) {
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;  // request line and sense line
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TestUnitReadyResult,
    ::testing::Values(
        TurCase{"GoodReportsZeroProgressAndADisc", Answer::good(), true, 0xFFFF, 0u, true},
        TurCase{"InstallingWithProgress", Answer::checkCondition(2, 0x04, 0x12, 0x34, 0x12), true, 0, 0x1234u, true},
        TurCase{"InstallingWithoutProgressOut", Answer::checkCondition(2, 0x04, 0x12), false, 0xFFFF, std::nullopt,
                true},
        TurCase{"InstallingHighByteOnly", Answer::checkCondition(2, 0x04, 0x12, 0x00, 0xFF), true, 0, 0xFF00u, true},
        TurCase{"UpperBitsOfKeyIgnored", Answer::checkCondition(0xE2, 0x04, 0x12), true, 0, 0u, true},
        TurCase{"OtherQualifier", Answer::checkCondition(2, 0x04, 0x01), true, 1, 0u, true},
        TurCase{"OtherKey", Answer::checkCondition(6, 0x04, 0x12), true, 1, 0u, true},
        TurCase{"NoDisc", Answer::checkCondition(2, 0x3A, 0x01), true, 1, 0u, false},
        TurCase{"NoDiscWithoutProgressOut", Answer::checkCondition(2, 0x3A, 0x00), false, 0xFFFF, std::nullopt,
                false},
        TurCase{"Busy", Answer::withStatus(platform::kSCSITaskStatus_BUSY), true, 0xFFFF, 0u, true},
        // The call itself failed: no progress is written and nothing counts as installing.
        TurCase{"NotDelivered", Answer::deliveryFailure(), true, 0xFFFF, std::nullopt, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DriveCommandTest, TestUnitReadyWithoutTaskWritesNoPresence) {
    drive->failTaskCreations(1);
    DeviceData record;
    record.setIsPresenceDisc(false);
    bool disc = false;
    std::uint32_t progress = 77;
    std::uint16_t result = 0;
    stderrOf([&] { result = CommandTestUnitReady(taskDevice, &record, &disc, &progress); });
    EXPECT_EQ(result, 0xFFFF);
    EXPECT_FALSE(disc);
    EXPECT_FALSE(record.isPresenceDisc());
    EXPECT_EQ(progress, 77u);
}

// READ BUFFER ------------------------------------------------------------------------

TEST_F(DriveCommandTest, ReadBufferStoresTheFourVersionFields) {
    Answer answer = Answer::good(readBufferData("HW000001", "KV000001", "DEST0001", "KRNL"));
    drive->queue(answer);
    DeviceData record;
    std::int32_t result = -2;
    const std::string err = stderrOf([&] { result = CommandReadBufferForDevice(taskDevice, &record); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(err, "Requesting read buffer\ntaskStatus[0x00000000]\ntransferCountLo[48]\n");
    EXPECT_EQ(record.hard_version(), OptionalText("HW000001"));
    EXPECT_EQ(record.krnl_version(), OptionalText("KV000001"));
    EXPECT_EQ(record.dest_version(), OptionalText("DEST0001"));
    EXPECT_EQ(record.judgeKrnl(), OptionalText("KRNL"));
}

TEST_F(DriveCommandTest, ReadBufferParsesTheWholeBufferWhateverTheCount) {
    Answer answer = Answer::good(readBufferData("HW1", "KV2", "D3", "J"));
    answer.realizedCount = 0;
    drive->queue(answer);
    DeviceData record;
    stderrOf([&] { EXPECT_EQ(CommandReadBufferForDevice(taskDevice, &record), 0); });
    EXPECT_EQ(record.hard_version(), OptionalText("HW1"));
    EXPECT_EQ(record.judgeKrnl(), OptionalText("J"));
}

const FailedAnswer kFailedReadBuffers[] = {
    {"CheckCondition", Answer::checkCondition(5, 0x24, 0),
     "taskStatus[0x00000002]\ntransferCountLo[0]\nIllegal Request, Invalid field in CDB\n"},
    {"Busy", Answer::withStatus(platform::kSCSITaskStatus_BUSY), "taskStatus[0x00000008]\ntransferCountLo[0]\n"},
};

class ReadBufferFailure : public DriveCommandTest, public ::testing::WithParamInterface<FailedAnswer> {};

TEST_P(ReadBufferFailure, ReturnsMinusOneAndLeavesTheFieldsAsTheyWere) {
    Answer answer = GetParam().answer;
    answer.dataIn = readBufferData("NEWHW", "NEWKV", "NEWDEST", "NEWJ");
    answer.realizedCount = 0;
    drive->queue(answer);
    DeviceData record;
    record.setHard_version("OLDHW");
    record.setJudgeKrnl("OLDJ");
    std::int32_t result = 0;
    const std::string err = stderrOf([&] { result = CommandReadBufferForDevice(taskDevice, &record); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(err, std::string("Requesting read buffer\n") + GetParam().line);
    EXPECT_EQ(record.hard_version(), OptionalText("OLDHW"));
    EXPECT_EQ(record.krnl_version(), std::nullopt);
    EXPECT_EQ(record.dest_version(), std::nullopt);
    EXPECT_EQ(record.judgeKrnl(), OptionalText("OLDJ"));
}

INSTANTIATE_TEST_SUITE_P(Statuses, ReadBufferFailure, ::testing::ValuesIn(kFailedReadBuffers),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kdu::test
