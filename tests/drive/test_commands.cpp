// The bytes each command puts on the wire, what it makes of the answers, and the dumps.
#include <algorithm>
#include <optional>

#include "DriveTestSupport.h"

namespace kdu::test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;

Bytes resized(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}
Answer withData(Answer answer, Bytes data) {
    answer.dataIn = std::move(data);
    return answer;
}

const Bytes kPiece(100, 0xAB);
const Bytes kAccessRecord = resized(
    {'K', 'E', 'S', 'T', 'O', 'R', 'Y', ' ', 'K', 'V', 'L', '-', 'M', 'T', '3', '8', 0x5D, 0x27, 0xB4, 0xE6}, 256);

// A drive held for the test.
class DriveCommandTest : public ::testing::Test {
protected:
    LogCapture log;
    std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
    std::shared_ptr<FakeDrive> drive = backend->addDrive("drive0");
    InstalledBackend installed{backend};
    std::unique_ptr<platform::TaskChannel> channel = drive->open().channel;
};

using Run = std::function<scsi::Result(platform::TaskChannel&, DeviceData*)>;

struct CommandCase {
    const char* name;
    Run run;  // with a null record
    Bytes cdb;
    scsi::Direction direction;
    std::uint64_t transferCount;
    const char* requestLine;
    Bytes dataOut{};
};

class EachCommand : public DriveCommandTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(EachCommand, SendsItsCdbOnceAndLogsAnUndeliveredOne) {
    const CommandCase& c = GetParam();
    const auto run = [&] {
        scsi::Result result;
        const std::string err = stderrOf([&] { result = c.run(*channel, nullptr); });
        return std::pair(result, err);
    };
    drive->setResponder(0x12, [](const RecordedCommand&) { return Answer{.dataIn = inquiryData("K", "P", "1")}; });
    EXPECT_THAT(run().second, HasSubstr(c.requestLine));
    ASSERT_EQ(drive->commands().size(), 1u);
    const RecordedCommand sent = drive->commands()[0];
    EXPECT_EQ(sent.cdb, c.cdb);
    EXPECT_EQ(sent.direction, c.direction);
    EXPECT_EQ(sent.transferCount, c.transferCount);
    EXPECT_EQ(sent.timeoutMs, 500000u);
    EXPECT_EQ(sent.dataOut, c.dataOut);
    EXPECT_TRUE(log.lines().empty());

    drive->queue({.error = scsi::TransportError::IOError});
    const auto [result, err] = run();
    EXPECT_EQ(result.error, scsi::TransportError::IOError);
    EXPECT_THAT(err, HasSubstr("0xffffffff"));
    EXPECT_THAT(log.lines(), ElementsAre(HasSubstr("[ERR] Error executing task. (0xe00002ca)")));
}

const Run kInquiry = [](auto& c, DeviceData* r) { return CommandInquiry(c, r); };
const Run kReadBuffer = [](auto& c, DeviceData* r) { return CommandReadBufferForDevice(c, r); };
const Run kChangeMode = [](auto& c, DeviceData* r) { return CommandChangeDriveMode(c, r); };
const Run kWritePiece = [](auto& c, DeviceData* r) { return CommandWriteBuffer(c, 0, r, kPiece, 0, 100); };

INSTANTIATE_TEST_SUITE_P(
    Commands, EachCommand,
    ::testing::Values(
        CommandCase{"Inquiry", kInquiry, {0x12, 0, 0, 0, 0x38, 0}, scsi::Direction::FromDevice, 256,
                    "Requesting Inquiry data\n"},
        CommandCase{"TestUnitReady", [](auto& c, DeviceData* r) { return CommandTestUnitReady(c, r).result; },
                    {0, 0, 0, 0, 0, 0}, scsi::Direction::None, 0, "Requesting TEST UNIT READY data\n"},
        CommandCase{"ReadBuffer", kReadBuffer, {0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0},
                    scsi::Direction::FromDevice, 256, "Requesting read buffer\n"},
        CommandCase{"ChangeDriveMode", kChangeMode, {0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0},
                    scsi::Direction::ToDevice, 256, "Requesting change drive mode\n", kAccessRecord},
        CommandCase{"WriteBuffer", [](auto& c, DeviceData* r) { return CommandWriteBuffer(c, 1, r, kPiece, 0x10000, 0x1200); },
                    {0x3B, 0x05, 0xFE, 0x01, 0x00, 0x00, 0x00, 0x12, 0x00, 0, 0, 0}, scsi::Direction::ToDevice, 0x1200,
                    "Requesting write buffer\n", resized(kPiece, 0x1200)}),
    kRowName);

using Fields = std::vector<OptionalText>;
Fields identityFields(const DeviceData& d) { return {d.vendor(), d.product(), d.revision(), d.date()}; }
Fields versionFields(const DeviceData& d) { return {d.hard_version(), d.krnl_version(), d.dest_version(), d.judgeKrnl()}; }

// What a command makes of one answer: its result, the record fields it fills, its lines.
struct AnswerCase {
    const char* name;
    Run run;
    Answer answer;
    std::uint32_t statusWord;
    std::string lines;                          // everything the command writes
    Fields (*fieldsOf)(const DeviceData&) = nullptr;
    Fields fields{};
};

class CommandAnswer : public DriveCommandTest, public ::testing::WithParamInterface<AnswerCase> {};

// Fields are cut at their width or the first zero, and stored only on GOOD.
TEST_P(CommandAnswer, GivesTheResultFillsTheRecordOnlyOnGoodAndSaysSo) {
    const AnswerCase& c = GetParam();
    drive->queue(c.answer);
    DeviceData record;
    record.setRevision("OLD");
    record.setHard_version("OLDHW");
    record.setJudgeKrnl("OLDJ");
    scsi::Result result;
    EXPECT_EQ(stderrOf([&] { result = c.run(*channel, &record); }), c.lines);
    EXPECT_EQ(result.statusWord(), c.statusWord);
    if (c.fieldsOf) {
        EXPECT_EQ(c.fieldsOf(record), c.fields);
    }
}

const char kK[] = "K       ", kP[] = "P               ", kBlankDate[] = "         ";
const char kInquiryLine[] = "Requesting Inquiry data\n", kReadBufferLine[] = "Requesting read buffer\n";
const char kModeLines[] = "*********** CHANGE DRIVE MODE DATA ***********\nRequesting change drive mode\n";
const char kPieceLines[] = "*********** WRITE BUFFER DATA ***********\nRequesting write buffer\n";
const Bytes kOther = inquiryData("OTHER", "OTHER", "9.99");
const Fields kKept{std::nullopt, std::nullopt, "OLD", std::nullopt};
const Fields kNewVersions{"HW000001", "KV000001", "DEST0001", "KRNL"};
const Fields kOldVersions{"OLDHW", std::nullopt, std::nullopt, "OLDJ"};
const Bytes kVersions = readBufferData("HW000001", "KV000001", "DEST0001", "KRNL");

INSTANTIATE_TEST_SUITE_P(
    Answers, CommandAnswer,
    ::testing::Values(
        AnswerCase{"InquiryNormal", kInquiry, {.dataIn = inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20", "20240501A")},
                   0, kInquiryLine, identityFields, {"KESTORY ", "BD-RW KVL-MT38  ", "1.20", "20240501A"}},
        AnswerCase{"InquiryKernelMode", kInquiry, {.dataIn = inquiryData("K", "P", "0000")}, 0, kInquiryLine,
                   identityFields, {kK, kP, "0000", kBlankDate}},
        AnswerCase{"InquiryShort", kInquiry, {.dataIn = resized(inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20"), 20)},
                   0, kInquiryLine, identityFields, {"KESTORY ", "BD-R", "", ""}},
        AnswerCase{"InquiryZeroInsideVendor", kInquiry,
                   {.dataIn = resized(inquiryData(std::string("AB\0CD", 5), "P", "1"), 40)}, 0, kInquiryLine,
                   identityFields, {"AB", kP, "1   ", "    "}},
        AnswerCase{"InquiryCheckCondition", kInquiry, withData(checkCondition(2, 0x3A, 0), kOther), 2,
                   "Requesting Inquiry data\nNot Ready, Medium not present\n", identityFields, kKept},
        AnswerCase{"InquiryBusy", kInquiry, {.status = scsi::Status::Busy, .dataIn = kOther}, 8,
                   "Requesting Inquiry data\ntaskStatus = 0x00000008\n", identityFields, kKept},
        // The whole buffer is parsed whatever the count.
        AnswerCase{"ReadBufferGood", kReadBuffer, {.dataIn = kVersions}, 0,
                   "Requesting read buffer\ntaskStatus[0x00000000]\ntransferCountLo[48]\n", versionFields, kNewVersions},
        AnswerCase{"ReadBufferGoodWithoutCount", kReadBuffer, {.dataIn = kVersions, .transferred = 0}, 0,
                   "Requesting read buffer\ntaskStatus[0x00000000]\ntransferCountLo[0]\n", versionFields, kNewVersions},
        AnswerCase{"ReadBufferCheckCondition", kReadBuffer, withData(checkCondition(5, 0x24, 0), kVersions), 2,
                   "Requesting read buffer\ntaskStatus[0x00000002]\ntransferCountLo[48]\n"
                   "Illegal Request, Invalid field in CDB\n",
                   versionFields, kOldVersions},
        AnswerCase{"ReadBufferBusy", kReadBuffer, {.status = scsi::Status::Busy, .dataIn = kVersions, .transferred = 0},
                   8, "Requesting read buffer\ntaskStatus[0x00000008]\ntransferCountLo[0]\n", versionFields,
                   kOldVersions},
        // CHANGE DRIVE MODE decodes the sense whatever the status.
        AnswerCase{"ChangeModeGood", kChangeMode, {}, 0,
                   kModeLines + std::string("taskStatus[0x00000000]\ntransferCountLo[256]\n"
                                            "No Sense, No additional sense information\n")},
        AnswerCase{"ChangeModeCheckCondition", kChangeMode, checkCondition(5, 0x24, 0), 2,
                   kModeLines + std::string("taskStatus[0x00000002]\ntransferCountLo[256]\n"
                                            "Illegal Request, Invalid field in CDB\n")},
        AnswerCase{"ChangeModeBusy", kChangeMode, {.status = scsi::Status::Busy}, 8,
                   kModeLines + std::string("taskStatus[0x00000008]\ntransferCountLo[256]\n"
                                            "No Sense, No additional sense information\n")},
        // WRITE BUFFER decodes it only on CHECK CONDITION.
        AnswerCase{"WriteBufferCheckCondition", kWritePiece, checkCondition(5, 0x26, 0x00), 2,
                   kPieceLines + std::string("taskStatus[0x00000002]\ntransferCountLo[100]\n"
                                             "Illegal Request, Invalid field in parameter list\n")},
        AnswerCase{"WriteBufferBusy", kWritePiece, {.status = scsi::Status::Busy}, 8,
                   kPieceLines + std::string("taskStatus[0x00000008]\ntransferCountLo[100]\n")}),
    kRowName);

struct TurCase {
    const char* name;
    Answer answer;
    UnitState state;
    std::uint16_t progress;
    bool discPresent;
};

class TestUnitReadyResult : public DriveCommandTest, public ::testing::WithParamInterface<TurCase> {};

// Each answer has a verdict of its own: "ready" never stands for "no answer", and only a drive
// that says so holds a disc.
TEST_P(TestUnitReadyResult, FollowsStatusAndSense) {
    const TurCase& c = GetParam();
    drive->queue(c.answer);
    DeviceData record;
    record.setIsPresenceDisc(!c.discPresent);
    record.setInstallProgress(0x1234);
    UnitReadiness readiness;
    const std::string err = stderrOf([&] { readiness = CommandTestUnitReady(*channel, &record); });
    EXPECT_EQ(readiness.state, c.state);
    EXPECT_EQ(readiness.progress, c.progress);
    EXPECT_EQ(readiness.discPresent(), c.discPresent);
    EXPECT_EQ(record.isPresenceDisc(), c.discPresent);
    EXPECT_EQ(record.installProgress(),
              c.state == UnitState::Installing ? std::optional<std::uint16_t>(c.progress) : std::nullopt);
    if (c.answer.status == scsi::Status::CheckCondition) {
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;  // request line and sense line
    }
}

using U = UnitState;
INSTANTIATE_TEST_SUITE_P(
    Outcomes, TestUnitReadyResult,
    ::testing::Values(
        TurCase{"Good", {}, U::Ready, 0, true},
        TurCase{"InstallingWithProgress", checkCondition(2, 0x04, 0x12, 0x84, 0xFF), U::Installing, 0xFF84, false},
        TurCase{"UpperBitsOfKeyIgnored", checkCondition(0xE2, 0x04, 0x12), U::Installing, 0, false},
        TurCase{"BecomingReady", checkCondition(2, 0x04, 0x01), U::Busy, 0, true},
        TurCase{"PowerOnReset", checkCondition(6, 0x29, 0x00), U::Restarting, 0, false},
        TurCase{"MediumChanged", checkCondition(6, 0x28, 0x00), U::Restarting, 0, false},
        TurCase{"AttentionWithInstallCodes", checkCondition(6, 0x04, 0x12), U::Restarting, 0, false},
        TurCase{"NoDisc", checkCondition(2, 0x3A, 0x01), U::NoDisc, 0, false},
        TurCase{"HardwareError", checkCondition(4, 0x44, 0x00), U::OtherSense, 0, false},
        TurCase{"BusyStatus", {.status = scsi::Status::Busy}, U::Busy, 0, false},
        TurCase{"TaskSetFull", {.status = scsi::Status::TaskSetFull}, U::Busy, 0, false},
        TurCase{"ReservationConflict", {.status = scsi::Status::ReservationConflict}, U::NotDelivered, 0, false},
        TurCase{"NotDelivered", {.error = scsi::TransportError::IOError}, U::NotDelivered, 0, false},
        TurCase{"Gone", {.error = scsi::TransportError::NoDevice}, U::Gone, 0, false}),
    kRowName);

TEST(SenseText, NamesKeyMeaningAndCodes) {
    scsi::Sense sense{};
    sense[2] = 0x04;
    sense[12] = 0x44;
    EXPECT_EQ(senseText(sense), "Hardware Error, Internal target failure (4/44/00)");
}

TEST_F(DriveCommandTest, WriteBufferPutsBufferOffsetAndLengthBigEndianAndPadsWithZeros) {
    struct Piece {
        std::uint32_t isKernel, offset, length, dataLength;
        Bytes cdbBytes2To8;
    };
    const Piece pieces[] = {{0, 0x8000, 0x8000, 0x8000, {0xF0, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00}},
                            {2, 0, 16, 16, {0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}},
                            {0, 0, 1024, 1000, {0xF0, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00}},
                            {0, 0x12345678, 1, 1, {0xF0, 0x34, 0x56, 0x78, 0x00, 0x00, 0x01}}};  // low 24 bits
    for (const Piece& p : pieces) {
        const Bytes data(p.dataLength, 0x5A);
        const std::string err =
            stderrOf([&] { CommandWriteBuffer(*channel, p.isKernel, nullptr, data, p.offset, p.length); });
        const RecordedCommand sent = drive->commands().back();
        EXPECT_EQ(Bytes(sent.cdb.begin() + 2, sent.cdb.begin() + 9), p.cdbBytes2To8);
        EXPECT_EQ(sent.dataOut, resized(data, p.length));
        EXPECT_THAT(err, HasSubstr("taskStatus[0x00000000]\ntransferCountLo[" + std::to_string(p.length) + "]\n"));
    }
}

TEST_F(DriveCommandTest, WriteBufferRefusesAPieceLongerThanItsBuffer) {
    stderrOf([&] {
        EXPECT_EQ(CommandWriteBuffer(*channel, 0, nullptr, Bytes(0x8001, 0x5A), 0, 0x8001).error,
                  scsi::TransportError::BadArgument);
    });
    EXPECT_TRUE(drive->commands().empty());
    EXPECT_THAT(log.lines(), ElementsAre(AllOf(HasSubstr("CommandWriteBuffer("), HasSubstr("[ERR]"))));
}

TEST(ReadBufferDump, ListsEachByteAndEndsForSizesBeyondSixteenBits) {
    const Bytes small = {'A', 'b', '1'};
    EXPECT_EQ(stderrOf([&] { PrintReadBuffer(small.data(), 3); }),
              "\n*********** READ_BUFFER DATA ***********\nGot readBuf results size = 3\n"
              "  (00) = [A]\n  (01) = [b]\n  (02) = [1]\n\n");
    const Bytes large(65537, 'x');
    const std::string out = stderrOf([&] { PrintReadBuffer(large.data(), static_cast<std::uint32_t>(large.size())); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 65537 + 4);
    EXPECT_THAT(out, HasSubstr("  (65536) = [x]\n\n"));
}

}  // namespace
}  // namespace kdu::test
