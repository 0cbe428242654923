// The bytes each command puts on the wire, what it makes of the answers, and the dumps.
#include <algorithm>
#include <optional>

#include "DriveTestSupport.h"

namespace kdu::test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using platform::kSCSITaskStatus_BUSY;

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

// A drive with its interface chain open; every interface and task is gone at the end.
class DriveCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        service = platform::registry::retainService(drive);
        CreateDeviceInterfaceForAuthoringDevice(service, &plugIn, &taskDevice, &mmc);
        ASSERT_NE(taskDevice, nullptr);
    }
    void TearDown() override {
        if (taskDevice) taskDevice->Release();
        if (mmc) mmc->Release();
        if (plugIn) platform::IODestroyPlugInInterface(plugIn);
        platform::IOObjectRelease(service);
    }

    LogCapture log;
    std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
    std::shared_ptr<FakeDrive> drive = backend->addDrive("drive0");
    InstalledBackend installed{backend};
    platform::io_service_t service = platform::IO_OBJECT_NULL;
    platform::IOCFPlugInInterface* plugIn = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
};

struct CommandCase {
    const char* name;
    std::function<void(platform::SCSITaskDeviceInterface*)> run;  // with null records
    Bytes cdb;
    std::uint8_t direction;
    std::uint64_t transferCount;
    const char* requestLine;
    Bytes dataOut{};
};

class EachCommand : public DriveCommandTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(EachCommand, SendsItsCdbOnceAndNothingWhenTheTaskCannotBeMadeOrDescribed) {
    const CommandCase& c = GetParam();
    const auto run = [&] { return stderrOf([&] { c.run(taskDevice); }); };
    drive->setResponder(0x12, [](const RecordedCommand&) { return Answer{.dataIn = inquiryData("K", "P", "1")}; });
    EXPECT_THAT(run(), HasSubstr(c.requestLine));
    ASSERT_EQ(drive->commands().size(), 1u);
    const RecordedCommand sent = drive->commands()[0];
    EXPECT_EQ(sent.cdb, c.cdb);
    EXPECT_EQ(sent.direction, c.direction);
    EXPECT_EQ(sent.transferCount, c.transferCount);
    EXPECT_EQ(sent.timeoutMs, 500000u);
    EXPECT_EQ(sent.dataOut, c.dataOut);
    EXPECT_TRUE(log.lines().empty());

    drive->setFaults({.failingTaskCreations = 1});
    EXPECT_EQ(run(), "CreateSCSITask returned NULL.\n");
    for (const char* step : {"cdb", "ranges"}) {
        platform::testing::failNextTaskStep(step, platform::kIOReturnBadArgument);
        run();
    }
    EXPECT_EQ(drive->commands().size(), 1u);
    drive->queue({.result = platform::kIOReturnIOError});
    EXPECT_THAT(run(), HasSubstr("0xffffffff"));
    EXPECT_THAT(log.lines(), ElementsAre(HasSubstr("[ERR] Error setting CDB."),
                                         HasSubstr("[ERR] Error setting scatter-gather entries."),
                                         HasSubstr("[ERR] Error executing task. (0xe00002ca)")));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EachCommand,
    ::testing::Values(
        CommandCase{"Inquiry", [](auto* i) { CommandInquiry(i, nullptr); }, {0x12, 0, 0, 0, 0x38, 0}, 2, 256,
                    "Requesting Inquiry data\n"},
        CommandCase{"TestUnitReady", [](auto* i) { CommandTestUnitReady(i, nullptr); },
                    {0, 0, 0, 0, 0, 0}, 0, 0, "Requesting TEST UNIT READY data\n"},
        CommandCase{"ReadBuffer", [](auto* i) { CommandReadBufferForDevice(i, nullptr); },
                    {0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0}, 2, 256, "Requesting read buffer\n"},
        CommandCase{"ChangeDriveMode", [](auto* i) { CommandChangeDriveMode(i, nullptr); },
                    {0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0}, 1, 256, "Requesting change drive mode\n",
                    kAccessRecord},
        CommandCase{"WriteBuffer", [](auto* i) { CommandWriteBuffer(i, 1, nullptr, kPiece, 0x10000, 0x1200); },
                    {0x3B, 0x05, 0xFE, 0x01, 0x00, 0x00, 0x00, 0x12, 0x00, 0, 0, 0}, 1, 0x1200,
                    "Requesting write buffer\n", resized(kPiece, 0x1200)}),
    kRowName);

struct InquiryCase {
    const char* name;
    Answer answer;
    const char* lines;                 // after the request line
    std::vector<OptionalText> fields;  // vendor, product, revision, date
    std::int32_t driveMode;
};

class Inquiry : public DriveCommandTest, public ::testing::WithParamInterface<InquiryCase> {};

TEST_P(Inquiry, FieldsAreCutAtTheirWidthOrTheFirstZeroAndStoredOnlyOnGood) {
    const InquiryCase& c = GetParam();
    drive->queue(c.answer);
    DeviceData record;
    record.setRevision("OLD");
    EXPECT_EQ(stderrOf([&] { CommandInquiry(taskDevice, &record); }), std::string("Requesting Inquiry data\n") + c.lines);
    EXPECT_EQ((std::vector<OptionalText>{record.vendor(), record.product(), record.revision(), record.date()}), c.fields);
    EXPECT_EQ(static_cast<int>(record.driveMode()), c.driveMode);
}

const char kK[] = "K       ", kP[] = "P               ", kBlankDate[] = "         ";
const Bytes kOther = inquiryData("OTHER", "OTHER", "9.99");
const std::vector<OptionalText> kKept{std::nullopt, std::nullopt, "OLD", std::nullopt};
INSTANTIATE_TEST_SUITE_P(
    Answers, Inquiry,
    ::testing::Values(
        InquiryCase{"Normal", {.dataIn = inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20", "20240501A")}, "",
                    {"KESTORY ", "BD-RW KVL-MT38  ", "1.20", "20240501A"}, 0},
        InquiryCase{"KernelMode", {.dataIn = inquiryData("K", "P", "0000")}, "", {kK, kP, "0000", kBlankDate}, 1},
        InquiryCase{"NearlyKernel", {.dataIn = inquiryData("K", "P", "0001")}, "", {kK, kP, "0001", kBlankDate}, 0},
        InquiryCase{"Short", {.dataIn = resized(inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20"), 20)}, "",
                    {"KESTORY ", "BD-R", "", ""}, 0},
        InquiryCase{"ZeroInsideVendor", {.dataIn = resized(inquiryData(std::string("AB\0CD", 5), "P", "1"), 40)}, "",
                    {"AB", kP, "1   ", "    "}, 0},
        InquiryCase{"CheckCondition", withData(checkCondition(2, 0x3A, 0), kOther), "Not Ready, Medium not present\n",
                    kKept, 0},
        InquiryCase{"Busy", {.status = kSCSITaskStatus_BUSY, .dataIn = kOther}, "taskStatus = 0x00000008\n", kKept, 0}),
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
    const std::string err = stderrOf([&] { readiness = CommandTestUnitReady(taskDevice, &record); });
    EXPECT_EQ(readiness.state, c.state);
    EXPECT_EQ(readiness.progress, c.progress);
    EXPECT_EQ(readiness.discPresent(), c.discPresent);
    EXPECT_EQ(record.isPresenceDisc(), c.discPresent);
    EXPECT_EQ(record.installProgress(),
              c.state == UnitState::Installing ? std::optional<std::uint16_t>(c.progress) : std::nullopt);
    if (c.answer.status == platform::kSCSITaskStatus_CHECK_CONDITION) {
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
        TurCase{"BusyStatus", {.status = kSCSITaskStatus_BUSY}, U::Busy, 0, false},
        TurCase{"TaskSetFull", {.status = 0x28}, U::Busy, 0, false},
        TurCase{"ReservationConflict", {.status = 0x18}, U::NotDelivered, 0, false},
        TurCase{"NotDelivered", {.result = platform::kIOReturnIOError}, U::NotDelivered, 0, false},
        TurCase{"Gone", {.result = platform::kIOReturnNoDevice}, U::Gone, 0, false}),
    kRowName);

TEST_F(DriveCommandTest, TestUnitReadyWithoutTaskIsNoVerdict) {
    drive->setFaults({.failingTaskCreations = 1});
    DeviceData record;
    record.setIsPresenceDisc(true);
    stderrOf([&] { EXPECT_EQ(CommandTestUnitReady(taskDevice, &record).state, UnitState::NotDelivered); });
    EXPECT_FALSE(record.isPresenceDisc());
}

TEST(SenseText, NamesKeyMeaningAndCodes) {
    platform::SCSI_Sense_Data sense{};
    sense[2] = 0x04;
    sense[12] = 0x44;
    EXPECT_EQ(senseText(sense), "Hardware Error, Internal target failure (4/44/00)");
}

struct ReadBufferCase {
    const char* name;
    Answer answer;
    std::int32_t result;
    const char* lines;                 // after the request line
    std::vector<OptionalText> fields;  // hard, kernel and destination versions, judgeKrnl
};

class ReadBufferResult : public DriveCommandTest, public ::testing::WithParamInterface<ReadBufferCase> {};

// The whole buffer is parsed whatever the count.
TEST_P(ReadBufferResult, StoresTheFourVersionFieldsOnlyOnGood) {
    drive->queue(withData(GetParam().answer, readBufferData("HW000001", "KV000001", "DEST0001", "KRNL")));
    DeviceData record;
    record.setHard_version("OLDHW");
    record.setJudgeKrnl("OLDJ");
    std::int32_t result = -2;
    const std::string err = stderrOf([&] { result = CommandReadBufferForDevice(taskDevice, &record); });
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(err, std::string("Requesting read buffer\n") + GetParam().lines);
    EXPECT_EQ((std::vector<OptionalText>{record.hard_version(), record.krnl_version(), record.dest_version(),
                                         record.judgeKrnl()}),
              GetParam().fields);
}

const std::vector<OptionalText> kNewFields{"HW000001", "KV000001", "DEST0001", "KRNL"};
const std::vector<OptionalText> kOldFields{"OLDHW", std::nullopt, std::nullopt, "OLDJ"};
INSTANTIATE_TEST_SUITE_P(
    Statuses, ReadBufferResult,
    ::testing::Values(
        ReadBufferCase{"Good", {}, 0, "taskStatus[0x00000000]\ntransferCountLo[48]\n", kNewFields},
        ReadBufferCase{"GoodWithoutCount", {.realizedCount = 0}, 0, "taskStatus[0x00000000]\ntransferCountLo[0]\n",
                       kNewFields},
        ReadBufferCase{"CheckCondition", checkCondition(5, 0x24, 0), -1,
                       "taskStatus[0x00000002]\ntransferCountLo[48]\nIllegal Request, Invalid field in CDB\n", kOldFields},
        ReadBufferCase{"Busy", {.status = kSCSITaskStatus_BUSY, .realizedCount = 0}, -1,
                       "taskStatus[0x00000008]\ntransferCountLo[0]\n", kOldFields}),
    kRowName);

TEST_F(DriveCommandTest, ChangeDriveModeIsTrueOnlyOnGoodAndAlwaysDecodesTheSense) {
    const std::pair<Answer, const char*> rows[] = {{{}, "No Sense, No additional sense information"},
                                                   {checkCondition(5, 0x24, 0), "Illegal Request, Invalid field in CDB"},
                                                   {{.status = kSCSITaskStatus_BUSY}, "No Sense, No additional sense information"}};
    for (const auto& [answer, senseLine] : rows) {
        drive->queue(answer);
        bool result = false;
        const std::string err = stderrOf([&] { result = CommandChangeDriveMode(taskDevice, nullptr); });
        EXPECT_EQ(result, answer.status == platform::kSCSITaskStatus_GOOD) << senseLine;
        EXPECT_THAT(err, HasSubstr("*********** CHANGE DRIVE MODE DATA ***********\n"));
        EXPECT_THAT(err, HasSubstr(std::string("\n") + senseLine + "\n"));
    }
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
            stderrOf([&] { CommandWriteBuffer(taskDevice, p.isKernel, nullptr, data, p.offset, p.length); });
        const RecordedCommand sent = drive->commands().back();
        EXPECT_EQ(Bytes(sent.cdb.begin() + 2, sent.cdb.begin() + 9), p.cdbBytes2To8);
        EXPECT_EQ(sent.dataOut, resized(data, p.length));
        EXPECT_THAT(err, HasSubstr("taskStatus[0x00000000]\ntransferCountLo[" + std::to_string(p.length) + "]\n"));
    }
}

TEST_F(DriveCommandTest, WriteBufferRefusesAPieceLongerThanItsBuffer) {
    stderrOf([&] { CommandWriteBuffer(taskDevice, 0, nullptr, Bytes(0x8001, 0x5A), 0, 0x8001); });
    EXPECT_TRUE(drive->commands().empty());
    EXPECT_THAT(log.lines(), ElementsAre(AllOf(HasSubstr("CommandWriteBuffer("), HasSubstr("[ERR]"))));
}

TEST_F(DriveCommandTest, WriteBufferDecodesSenseOnlyOnCheckCondition) {
    drive->queue(checkCondition(5, 0x26, 0x00));
    drive->queue({.status = kSCSITaskStatus_BUSY});
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

// Dumps the first `size` bytes; the filler after them must not show.
std::string inquiryDump(Bytes data, std::uint32_t size) {
    data.resize(64);
    std::fill(data.begin() + size, data.end(), 'Z');
    return stderrOf([&] { PrintSCSIInquiryDataUsing(data.data(), size); });
}

TEST(InquiryDump, ShowsEveryFieldAndStopsAtTheEndOfAShortAnswer) {
    auto data = inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20");
    data[6] = 0x10;
    data[7] = 0x02;
    EXPECT_EQ(inquiryDump(data, 56),
              "\n*********** INQUIRY DATA ***********\nGot inquiry results size = 56\n"
              "  Peripheral device type = 0x05\n  Removable media bit = 128\n  Version = 0x5\n"
              "  Response data format = 0x2\n  Additional length = 0x33\n  SCCS and Reserved = 0x0\n"
              "  Byte 6 flags = 0x10\n  Byte 7 flags = 0x2\n  Vendor identification  = \"KESTORY \"\n"
              "  Product identification = \"BD-RW KVL-MT38  \"\n  Product revision level = \"1.20\"\n\n");
    EXPECT_THAT(inquiryDump(data, 20), HasSubstr("  Vendor identification  = \"KESTORY \"\n  Product identification = "
                                                 "\"BD-R\"\n  Product revision level = \"\"\n"));
    const std::string tiny = inquiryDump(data, 3);
    EXPECT_THAT(tiny, HasSubstr("  Response data format = 0x0\n"));
    EXPECT_EQ(tiny.find('Z'), std::string::npos) << tiny;
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
