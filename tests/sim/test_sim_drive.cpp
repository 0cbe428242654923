// The drive model on its own: answers, sense data, mode changes, image assembly, install.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "platform/sim/SimDrive.h"
#include "sim/SimTestSupport.h"

using namespace simtest;
using platform::ScsiOutcome;
using sim::DriveMode;
using sim::DriveSpec;
using sim::SimDrive;

namespace {

constexpr std::int64_t kNow = 1'000'000;

struct SenseExpect {
    std::uint8_t key, asc, ascq;
};

void expectCheckCondition(const ScsiOutcome& out, SenseExpect e) {
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_CHECK_CONDITION);
    EXPECT_EQ(out.sense[0], 0x70);
    EXPECT_EQ(out.sense[2], e.key);
    EXPECT_EQ(out.sense[7], 10);
    EXPECT_EQ(out.sense[12], e.asc);
    EXPECT_EQ(out.sense[13], e.ascq);
}

class SimDriveTest : public ::testing::Test {
protected:
    ScsiOutcome run(Command command, std::int64_t now = kNow) {
        ScsiOutcome out;
        changed = drive.answer(spec, command.get(), out, now);
        last = std::move(command);
        return out;
    }
    void toKernel() { ASSERT_EQ(run(changeDriveMode()).status, platform::kSCSITaskStatus_GOOD); }
    void send(bool kernel, const std::vector<std::uint8_t>& image) {
        for (Command& piece : imagePieces(kernel, image)) ASSERT_EQ(run(std::move(piece)).status, 0u);
    }

    DriveSpec spec;
    SimDrive drive;
    Command last;
    bool changed = false;
};

TEST_F(SimDriveTest, InquiryReportsIdentityWithinTheAllocationLength) {
    spec.date = "20240612";
    ScsiOutcome out = run(inquiry());
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_GOOD);
    EXPECT_EQ(out.realizedCount, 56u);  // the CDB's allocation length, not the 256-byte buffer
    const auto& data = last.buffer;
    EXPECT_EQ(data[0], 0x05);
    EXPECT_EQ(data[1] & 0x80, 0x80);
    EXPECT_EQ(text(data, 8, 8), "KESTORY ");
    EXPECT_EQ(text(data, 16, 16), "BD-RW KVL-MT38  ");
    EXPECT_EQ(text(data, 32, 4), "1.20");
    EXPECT_EQ(text(data, 36, 8), "20240612");
    EXPECT_EQ(data[44], 0);
    EXPECT_EQ(data[56], 0) << "nothing beyond the allocation length";
    EXPECT_FALSE(changed);

    Command shortAnswer = inquiry();
    shortAnswer.scsi.cdb[4] = 20;
    EXPECT_EQ(run(std::move(shortAnswer)).realizedCount, 20u);
}

TEST_F(SimDriveTest, KernelModeReportsRevision0000) {
    toKernel();
    EXPECT_TRUE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Kernel);
    run(inquiry());
    EXPECT_EQ(text(last.buffer, 32, 4), "0000");
}

TEST_F(SimDriveTest, TestUnitReadyFollowsTheDisc) {
    expectCheckCondition(run(testUnitReady()), {0x02, 0x3A, 0x00});
    spec.disc = sim::Disc{"DATA"};
    ScsiOutcome out = run(testUnitReady());
    EXPECT_EQ(out.status, platform::kSCSITaskStatus_GOOD);
}

TEST_F(SimDriveTest, ReadBufferF1CarriesTheVersionFields) {
    ScsiOutcome out = run(readBuffer());
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_GOOD);
    EXPECT_EQ(out.realizedCount, 48u);
    EXPECT_EQ(text(last.buffer, 16, 8), "MT38HW01");
    EXPECT_EQ(text(last.buffer, 24, 8), "KRNL0101");
    EXPECT_EQ(text(last.buffer, 32, 8), "DEST0001");
    EXPECT_EQ(text(last.buffer, 40, 4), "KJ01");
}

struct RefusedCase {
    const char* name;
    Command command;
    SenseExpect sense;
};

class SimDriveRefusalTest : public SimDriveTest, public ::testing::WithParamInterface<int> {};

std::vector<RefusedCase> refusedCases() {
    std::vector<std::uint8_t> badCode = sim::modeChangeParameterData();
    badCode[19] ^= 1;
    std::vector<std::uint8_t> trailing = sim::modeChangeParameterData();
    trailing[255] = 1;
    std::vector<std::uint8_t> vendor = sim::modeChangeParameterData();
    vendor[0] = 'k';
    Command shortData = changeDriveMode(std::vector<std::uint8_t>(100));
    Command otherBuffer = readBuffer();
    otherBuffer.scsi.cdb[2] = 0xF2;
    return {
        {"unknown opcode", makeCommand({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, {}, 0), {0x05, 0x20, 0x00}},
        {"wrong access code", changeDriveMode(badCode), {0x05, 0x26, 0x00}},
        {"non-zero padding", changeDriveMode(trailing), {0x05, 0x26, 0x00}},
        {"lower-case vendor", changeDriveMode(vendor), {0x05, 0x26, 0x00}},
        {"too little data", shortData, {0x05, 0x26, 0x00}},
        {"write buffer in normal mode", writeBuffer(false, 0, std::vector<std::uint8_t>(256)), {0x05, 0x2C, 0x00}},
        {"read buffer of another buffer", otherBuffer, {0x05, 0x24, 0x00}},
    };
}

TEST_P(SimDriveRefusalTest, AnswersCheckConditionAndKeepsState) {
    RefusedCase c = refusedCases()[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(c.name);
    expectCheckCondition(run(c.command), c.sense);
    EXPECT_FALSE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Normal);
}

INSTANTIATE_TEST_SUITE_P(Commands, SimDriveRefusalTest, ::testing::Range(0, 7));

TEST_F(SimDriveTest, WriteBufferLongerThanTheDataIsRefused) {
    toKernel();
    Command c = writeBuffer(false, 0, std::vector<std::uint8_t>(512));
    c.scsi.cdb[7] = 0x04;  // claims 1024 bytes
    expectCheckCondition(run(std::move(c)), {0x05, 0x1A, 0x00});
}

// Install verdicts -----------------------------------------------------------

struct VerdictCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>& kernel, std::vector<std::uint8_t>& normal)> tamper;
    bool sendKernel;
    std::string revisionAfter;
};

class SimDriveInstallTest : public SimDriveTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(SimDriveInstallTest, InstallsOnlyImagesThatPassTheChecks) {
    std::vector<std::uint8_t> kernel = sealedImage(70144);
    std::vector<std::uint8_t> normal = sealedImage(40'192);
    GetParam().tamper(kernel, normal);
    spec.timing.installMs = 1000;
    toKernel();
    if (GetParam().sendKernel) send(true, kernel);
    send(false, normal);
    toKernel();  // the same command switches back
    EXPECT_TRUE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Normal);
    ASSERT_TRUE(spec.install.has_value());

    ScsiOutcome out = run(testUnitReady(), kNow + 250);
    expectCheckCondition(out, {0x02, 0x04, 0x12});
    const unsigned progress = out.sense[16] | (out.sense[17] << 8);  // low byte first
    EXPECT_EQ(progress, 0xFFFFu * 750 / 1000);
    run(inquiry(), kNow + 500);
    EXPECT_EQ(text(last.buffer, 32, 4), "1.20") << "the old firmware runs until the install ends";

    run(testUnitReady(), kNow + 1000);
    EXPECT_TRUE(changed);
    EXPECT_FALSE(spec.install.has_value());
    run(inquiry(), kNow + 1001);
    EXPECT_EQ(text(last.buffer, 32, 4), GetParam().revisionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, SimDriveInstallTest,
    ::testing::Values(
        VerdictCase{"good", [](auto&, auto&) {}, true, "1.21"},
        VerdictCase{"good without kernel image", [](auto&, auto&) {}, false, "1.21"},
        VerdictCase{"corrupted byte", [](auto&, auto& n) { n[20'000] ^= 0x01; }, true, "1.20"},
        VerdictCase{"corrupted kernel byte", [](auto& k, auto&) { k[70'000] ^= 0x80; }, true, "1.20"},
        VerdictCase{"wrong product",
                    [](auto&, auto& n) { n = sealedImage(n.size(), {.product = "KESTORY DVD-RW KVL-D20"}); }, true,
                    "1.20"},
        VerdictCase{"wrong hardware",
                    [](auto&, auto& n) { n = sealedImage(n.size(), {.hardVersion = "MT38HW02"}); }, true, "1.20"},
        VerdictCase{"revision padded with a blank",
                    [](auto&, auto& n) { n = sealedImage(n.size(), {.revision = "1.22 "}); }, true, "1.22"}),
    [](const ::testing::TestParamInfo<VerdictCase>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST_F(SimDriveTest, ImagePiecesAssembleByOffsetInAnyOrder) {
    std::vector<std::uint8_t> normal = sealedImage(3 * 0x8000);
    toKernel();
    std::vector<Command> pieces = imagePieces(false, normal);
    for (int i : {2, 0, 1}) ASSERT_EQ(run(pieces[static_cast<std::size_t>(i)]).status, 0u);
    toKernel();
    run(testUnitReady(), kNow + 1);
    EXPECT_EQ(spec.revision, "1.21");

    toKernel();  // switching back without images installs nothing
    toKernel();
    EXPECT_FALSE(spec.install.has_value());
}

TEST_F(SimDriveTest, InstallFaultsKeepTheDriveBusyOrSetTheirRevision) {
    spec.timing.installMs = 10;
    toKernel();
    send(false, sealedImage(4096));
    toKernel();
    spec.faults.installNeverEnds = true;
    ScsiOutcome out = run(testUnitReady(), kNow + 1'000'000);
    expectCheckCondition(out, {0x02, 0x04, 0x12});
    EXPECT_EQ(out.sense[16] | out.sense[17], 0);
    spec.faults.installNeverEnds = false;
    spec.faults.installRevision = "1.19";
    run(testUnitReady(), kNow + 1'000'001);
    EXPECT_EQ(spec.revision, "1.19");
}

TEST_F(SimDriveTest, ModeChangeFaultsRefuseOneDirection) {
    spec.faults.modeChangeToNormal = true;
    toKernel();
    expectCheckCondition(run(changeDriveMode()), {0x04, 0x44, 0x00});
    EXPECT_EQ(spec.mode, DriveMode::Kernel);
    spec.faults = {};
    spec.faults.modeChangeToKernel = true;
    toKernel();  // back to normal still works
    expectCheckCondition(run(changeDriveMode()), {0x04, 0x44, 0x00});
    EXPECT_EQ(spec.mode, DriveMode::Normal);
}

}  // namespace
