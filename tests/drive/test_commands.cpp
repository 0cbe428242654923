// The bytes each command puts on the wire, and the execution frame's common paths.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "test_commands_fixture.h"

namespace kdu::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

struct CommandCase {
    const char* name;
    std::function<void(platform::SCSITaskDeviceInterface*)> run;
    Bytes cdb;
    std::uint8_t direction;
    std::uint64_t transferCount;
    const char* requestLine;
};

const std::vector<std::uint8_t> kPiece(100, 0xAB);

const CommandCase kCommands[] = {
    {"Inquiry", [](auto* i) { CommandInquiry(i, nullptr); }, {0x12, 0, 0, 0, 0x38, 0}, 2, 256,
     "Requesting Inquiry data\n"},
    {"TestUnitReady", [](auto* i) { CommandTestUnitReady(i, nullptr, nullptr, nullptr); }, {0, 0, 0, 0, 0, 0}, 0,
     0, "Requesting TEST UNIT READY data\n"},
    {"ReadBuffer", [](auto* i) { CommandReadBufferForDevice(i, nullptr); },
     {0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0}, 2, 256, "Requesting read buffer\n"},
    {"ChangeDriveMode", [](auto* i) { CommandChangeDriveMode(i, nullptr); },
     {0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0}, 1, 256, "Requesting change drive mode\n"},
    {"WriteBuffer", [](auto* i) { CommandWriteBuffer(i, 1, nullptr, kPiece, 0x10000, 0x1200); },
     {0x3B, 0x05, 0xFE, 0x01, 0x00, 0x00, 0x00, 0x12, 0x00, 0, 0, 0}, 1, 0x1200, "Requesting write buffer\n"},
};

class EachCommand : public DriveCommandTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(EachCommand, SendsItsCdbOnceWithItsDataDescription) {
    const std::string err = stderrOf([&] { GetParam().run(taskDevice); });
    const RecordedCommand sent = onlyCommand();
    EXPECT_THAT(sent.cdb, ElementsAreArray(GetParam().cdb));
    EXPECT_EQ(sent.direction, GetParam().direction);
    EXPECT_EQ(sent.transferCount, GetParam().transferCount);
    EXPECT_EQ(sent.timeoutMs, 500000u);
    EXPECT_THAT(err, HasSubstr(GetParam().requestLine));
    EXPECT_TRUE(log.lines().empty());
}

TEST_P(EachCommand, WithoutATaskSendsNothingAndSaysSo) {
    drive->failTaskCreations(1);
    const std::string err = stderrOf([&] { GetParam().run(taskDevice); });
    EXPECT_EQ(err, "CreateSCSITask returned NULL.\n");
    EXPECT_TRUE(drive->commands().empty());
}

TEST_P(EachCommand, AFailedExecutionIsLoggedAndNeverJudgedAsGood) {
    drive->queue(Answer::deliveryFailure(platform::kIOReturnIOError));
    const std::string err = stderrOf([&] { GetParam().run(taskDevice); });
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_THAT(log.lines()[0], HasSubstr("[ERR] Error executing task. (0xe00002ca)"));
    EXPECT_THAT(err, HasSubstr("0xffffffff"));
}

// A command whose CDB or data description did not take must not reach the drive at all.
TEST_P(EachCommand, ATaskThatCouldNotBeDescribedIsNeverExecuted) {
    for (const char* step : {"cdb", "ranges"}) {
        platform::testing::failNextTaskStep(step, platform::kIOReturnBadArgument);
        stderrOf([&] { GetParam().run(taskDevice); });
        EXPECT_TRUE(drive->commands().empty()) << step;
    }
    EXPECT_EQ(log.count("[ERR] Error setting CDB."), 1);
    EXPECT_EQ(log.count("[ERR] Error setting scatter-gather entries."), 1);
    EXPECT_EQ(log.lines().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Commands, EachCommand, ::testing::ValuesIn(kCommands),
                         [](const auto& p) { return std::string(p.param.name); });

// CHANGE DRIVE MODE ----------------------------------------------------------------

TEST_F(DriveCommandTest, ChangeDriveModeSendsTheAccessRecord) {
    stderrOf([&] { CommandChangeDriveMode(taskDevice, nullptr); });
    Bytes expected(256, 0);
    const std::string names = "KESTORY KVL-MT38";
    std::copy(names.begin(), names.end(), expected.begin());
    const Bytes code = {0x5D, 0x27, 0xB4, 0xE6};
    std::copy(code.begin(), code.end(), expected.begin() + 16);
    EXPECT_EQ(onlyCommand().dataOut, expected);
}

struct ModeChangeCase {
    const char* name;
    Answer answer;
    bool expected;
    const char* senseLine;
};

class ChangeDriveModeResult : public DriveCommandTest, public ::testing::WithParamInterface<ModeChangeCase> {};

TEST_P(ChangeDriveModeResult, IsTrueOnlyOnGoodAndAlwaysDecodesTheSense) {
    drive->queue(GetParam().answer);
    bool result = !GetParam().expected;
    const std::string err = stderrOf([&] { result = CommandChangeDriveMode(taskDevice, nullptr); });
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_THAT(err, HasSubstr("*********** CHANGE DRIVE MODE DATA ***********\n"));
    EXPECT_THAT(err, HasSubstr(std::string("\n") + GetParam().senseLine + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ChangeDriveModeResult,
    ::testing::Values(
        ModeChangeCase{"Good", Answer::good(), true, "No Sense, No additional sense information"},
        ModeChangeCase{"CheckCondition", Answer::checkCondition(5, 0x24, 0), false, "Illegal Request, Invalid field in CDB"},
        ModeChangeCase{"Busy", Answer::withStatus(platform::kSCSITaskStatus_BUSY), false,
                       "No Sense, No additional sense information"}),
    [](const auto& p) { return std::string(p.param.name); });

// WRITE BUFFER ---------------------------------------------------------------------

struct PieceCase {
    std::uint32_t isKernel, offset, length;
    Bytes cdbBytes2To8;
};

class WriteBufferEncoding : public DriveCommandTest, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(WriteBufferEncoding, PutsBufferOffsetAndLengthBigEndian) {
    const Bytes piece(GetParam().length, 0x11);
    const std::string err = stderrOf(
        [&] { CommandWriteBuffer(taskDevice, GetParam().isKernel, nullptr, piece, GetParam().offset, GetParam().length); });
    const RecordedCommand sent = onlyCommand();
    EXPECT_EQ(Bytes(sent.cdb.begin() + 2, sent.cdb.begin() + 9), GetParam().cdbBytes2To8);
    EXPECT_EQ(sent.dataOut, piece);
    EXPECT_THAT(err, HasSubstr("taskStatus[0x00000000]\ntransferCountLo[" + std::to_string(GetParam().length) + "]\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, WriteBufferEncoding,
    ::testing::Values(PieceCase{1, 0x10000, 0x1200, {0xFE, 0x01, 0x00, 0x00, 0x00, 0x12, 0x00}},
                      PieceCase{0, 0x8000, 0x8000, {0xF0, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00}},
                      PieceCase{2, 0, 16, {0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}},
                      // Only the low 24 bits of the offset go out.
                      PieceCase{0, 0x12345678, 1, {0xF0, 0x34, 0x56, 0x78, 0x00, 0x00, 0x01}}));

TEST_F(DriveCommandTest, WriteBufferPadsAShortPieceWithZeros) {
    const Bytes piece(1000, 0x5A);
    stderrOf([&] { CommandWriteBuffer(taskDevice, 0, nullptr, piece, 0, 1024); });
    Bytes expected(piece);
    expected.resize(1024, 0);
    EXPECT_EQ(onlyCommand().dataOut, expected);
}

TEST_F(DriveCommandTest, WriteBufferRefusesAPieceLongerThanItsBuffer) {
    const Bytes piece(0x8001, 0x5A);
    stderrOf([&] { CommandWriteBuffer(taskDevice, 0, nullptr, piece, 0, 0x8001); });
    EXPECT_TRUE(drive->commands().empty());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_THAT(log.lines()[0], HasSubstr("CommandWriteBuffer("));
    EXPECT_THAT(log.lines()[0], HasSubstr("[ERR]"));
}

TEST_F(DriveCommandTest, WriteBufferDecodesSenseOnlyOnCheckCondition) {
    drive->queue(Answer::checkCondition(5, 0x26, 0x00));
    drive->queue(Answer::withStatus(platform::kSCSITaskStatus_BUSY));
    const std::string err = stderrOf([&] {
        CommandWriteBuffer(taskDevice, 0, nullptr, kPiece, 0, 100);
        CommandWriteBuffer(taskDevice, 0, nullptr, kPiece, 0, 100);
    });
    EXPECT_EQ(err,
              "*********** WRITE BUFFER DATA ***********\nRequesting write buffer\n"
              "taskStatus[0x00000002]\ntransferCountLo[100]\nIllegal Request, Invalid field in parameter list\n"
              "*********** WRITE BUFFER DATA ***********\nRequesting write buffer\n"
              "taskStatus[0x00000008]\ntransferCountLo[100]\n");
}

}  // namespace
}  // namespace kdu::test
