// The drive model on its own: answers, sense data, mode changes, image assembly, install.
#include <gtest/gtest.h>

#include "platform/sim/SimDrive.h"
#include "sim/SimTestSupport.h"

using namespace simtest;
using platform::ScsiOutcome;
using sim::DriveMode;

namespace {

constexpr std::int64_t kNow = 1'000'000;
using Image = std::vector<std::uint8_t>;

struct SenseExpect {
    std::uint8_t key, asc, ascq;
};

void expectCheckCondition(const ScsiOutcome& out, SenseExpect e) {
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_CHECK_CONDITION);
    const auto& s = out.sense;
    EXPECT_EQ((std::vector<int>{s[0], s[2], s[7], s[12], s[13]}), (std::vector<int>{0x70, e.key, 10, e.asc, e.ascq}));
}

class SimDriveTest : public ::testing::Test {
protected:
    ScsiOutcome run(Command command, std::int64_t now = kNow) {
        ScsiOutcome out;
        changed = drive.answer(spec, command.get(), out, now);
        last = std::move(command);
        return out;
    }
    void toggleMode() { ASSERT_EQ(run(changeDriveMode()).status, platform::kSCSITaskStatus_GOOD); }
    void send(bool kernel, const Image& image) {
        for (Command& piece : imagePieces(kernel, image)) ASSERT_EQ(run(std::move(piece)).status, 0u);
    }

    sim::DriveSpec spec;
    sim::SimDrive drive;
    Command last;
    bool changed = false;
};

TEST_F(SimDriveTest, InquiryReportsIdentityWithinTheAllocationLength) {
    ScsiOutcome out = run(inquiry());
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_GOOD);
    EXPECT_EQ(out.realizedCount, 56u);  // the CDB's allocation length, not the 256-byte buffer
    const auto& data = last.buffer;
    EXPECT_EQ(data[0], 0x05);
    EXPECT_EQ(data[1] & 0x80, 0x80);
    EXPECT_EQ(text(data, 8, 36), "KESTORY BD-RW KVL-MT38  1.2020240612");
    EXPECT_EQ(data[44], 0);
    EXPECT_EQ(data[56], 0) << "nothing beyond the allocation length";
    EXPECT_FALSE(changed);

    Command shortAnswer = inquiry();
    shortAnswer.scsi.cdb[4] = 20;
    EXPECT_EQ(run(std::move(shortAnswer)).realizedCount, 20u);

    toggleMode();
    EXPECT_TRUE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Kernel);
    run(inquiry());
    EXPECT_EQ(text(last.buffer, 32, 4), "0000");
}

TEST_F(SimDriveTest, TestUnitReadyFollowsTheDiscAndReadBufferCarriesTheVersions) {
    expectCheckCondition(run(testUnitReady()), {0x02, 0x3A, 0x00});
    spec.disc = sim::Disc{"DATA"};
    EXPECT_EQ(run(testUnitReady()).status, platform::kSCSITaskStatus_GOOD);

    ScsiOutcome out = run(readBuffer());
    ASSERT_EQ(out.status, platform::kSCSITaskStatus_GOOD);
    EXPECT_EQ(out.realizedCount, 48u);
    EXPECT_EQ(text(last.buffer, 16, 28), "MT38HW01KRNL0101DEST0001KJ01");
}

struct RefusedCase {
    const char* name;
    Command command;
    SenseExpect sense;
};

std::vector<RefusedCase> refusedCases() {
    auto parameters = [](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> data = sim::modeChangeParameterData();
        data[at] = value;
        return data;
    };
    Command otherBuffer = readBuffer();
    otherBuffer.scsi.cdb[2] = 0xF2;
    return {
        {"unknown opcode", makeCommand({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, {}), {0x05, 0x20, 0x00}},
        {"wrong access code", changeDriveMode(parameters(19, sim::modeChangeParameterData()[19] ^ 1)), {0x05, 0x26, 0}},
        {"non-zero padding", changeDriveMode(parameters(255, 1)), {0x05, 0x26, 0x00}},
        {"lower-case vendor", changeDriveMode(parameters(0, 'k')), {0x05, 0x26, 0x00}},
        {"too little data", changeDriveMode(std::vector<std::uint8_t>(100)), {0x05, 0x26, 0x00}},
        {"write buffer in normal mode", writeBuffer(false, 0, std::vector<std::uint8_t>(256)), {0x05, 0x2C, 0x00}},
        {"read buffer of another buffer", otherBuffer, {0x05, 0x24, 0x00}},
    };
}

class SimDriveRefusalTest : public SimDriveTest, public ::testing::WithParamInterface<int> {};

TEST_P(SimDriveRefusalTest, AnswersCheckConditionAndKeepsState) {
    RefusedCase c = refusedCases()[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(c.name);
    expectCheckCondition(run(c.command), c.sense);
    EXPECT_FALSE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Normal);
}

INSTANTIATE_TEST_SUITE_P(Commands, SimDriveRefusalTest, ::testing::Range(0, 7));

TEST_F(SimDriveTest, WriteBufferLongerThanTheDataIsRefused) {
    toggleMode();
    Command c = writeBuffer(false, 0, std::vector<std::uint8_t>(512));
    c.scsi.cdb[7] = 0x04;  // claims 1024 bytes
    expectCheckCondition(run(std::move(c)), {0x05, 0x1A, 0x00});
}

struct VerdictCase {
    const char* name;
    void (*tamper)(Image& kernel, Image& normal);
    bool sendKernel;
    const char* revisionAfter;
};

class SimDriveInstallTest : public SimDriveTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(SimDriveInstallTest, InstallsOnlyImagesThatPassTheChecks) {
    SCOPED_TRACE(GetParam().name);
    Image kernel = sealedImage(70144), normal = sealedImage(40'192);
    GetParam().tamper(kernel, normal);
    spec.timing.installMs = 1000;
    toggleMode();
    if (GetParam().sendKernel) send(true, kernel);
    send(false, normal);
    toggleMode();
    EXPECT_TRUE(changed);
    EXPECT_EQ(spec.mode, DriveMode::Normal);
    ASSERT_TRUE(spec.install.has_value());

    ScsiOutcome out = run(testUnitReady(), kNow + 250);
    expectCheckCondition(out, {0x02, 0x04, 0x12});
    EXPECT_EQ(out.sense[16] | (out.sense[17] << 8), 0xFFFF * 750 / 1000);  // low byte first
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
        VerdictCase{"good", [](Image&, Image&) {}, true, "1.21"},
        VerdictCase{"good without kernel image", [](Image&, Image&) {}, false, "1.21"},
        VerdictCase{"corrupted byte", [](Image&, Image& n) { n[20'000] ^= 0x01; }, true, "1.20"},
        VerdictCase{"corrupted kernel byte", [](Image& k, Image&) { k[70'000] ^= 0x80; }, true, "1.20"},
        VerdictCase{"wrong product", [](Image&, Image& n) { n = sealedImage(n.size(), {.product = "KESTORY DVD-RW KVL-D20"}); },
                    true, "1.20"},
        VerdictCase{"wrong hardware",
                    [](Image&, Image& n) { n = sealedImage(n.size(), {.hardVersion = "MT38HW02"}); }, true, "1.20"},
        VerdictCase{"revision padded with a blank",
                    [](Image&, Image& n) { n = sealedImage(n.size(), {.revision = "1.22 "}); }, true, "1.22"}));

TEST_F(SimDriveTest, ImagePiecesAssembleByOffsetInAnyOrder) {
    toggleMode();
    std::vector<Command> pieces = imagePieces(false, sealedImage(3 * 0x8000));
    for (int i : {2, 0, 1}) ASSERT_EQ(run(pieces[static_cast<std::size_t>(i)]).status, 0u);
    toggleMode();
    run(testUnitReady(), kNow + 1);
    EXPECT_EQ(spec.revision, "1.21");

    toggleMode();  // switching back without images installs nothing
    toggleMode();
    EXPECT_FALSE(spec.install.has_value());
}

TEST_F(SimDriveTest, InstallFaultsKeepTheDriveBusyOrSetTheirRevision) {
    spec.timing.installMs = 10;
    toggleMode();
    send(false, sealedImage(4096));
    toggleMode();
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
    toggleMode();
    expectCheckCondition(run(changeDriveMode()), {0x04, 0x44, 0x00});
    EXPECT_EQ(spec.mode, DriveMode::Kernel);
    spec.faults = {};
    spec.faults.modeChangeToKernel = true;
    toggleMode();  // back to normal still works
    expectCheckCondition(run(changeDriveMode()), {0x04, 0x44, 0x00});
    EXPECT_EQ(spec.mode, DriveMode::Normal);
}

}  // namespace
