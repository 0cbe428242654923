// The drive model on its own: answers, sense data, mode changes, image assembly, install.
#include <gtest/gtest.h>

#include <limits>

#include "simdrive/SimDrive.h"
#include "simdrive/SimTestSupport.h"

using namespace simtest;
using sim::DriveMode;

namespace {

constexpr std::int64_t kNow = 1'000'000;

struct SenseExpect {
    std::uint8_t key, asc, ascq;
};

void expectCheckCondition(const scsi::Result& out, SenseExpect e) {
    ASSERT_EQ(out.status, scsi::Status::CheckCondition);
    const auto& s = out.sense;
    EXPECT_EQ((std::vector<int>{s[0], s[2], s[7], s[12], s[13]}), (std::vector<int>{0x70, e.key, 10, e.asc, e.ascq}));
}

class SimDriveTest : public ::testing::Test {
protected:
    scsi::Result run(Command command, std::int64_t now = kNow) {
        scsi::Result out;
        changed = drive.answer(profile, command.get(), out, now);
        last = std::move(command);
        return out;
    }
    void toggleMode() { ASSERT_EQ(run(changeDriveMode()).status, scsi::Status::Good); }
    void send(bool kernel, const Bytes& image) {
        for (Command& piece : imagePieces(kernel, image)) ASSERT_EQ(run(std::move(piece)).status, scsi::Status::Good);
    }
    std::string revision(std::int64_t now = kNow) {
        run(inquiry(), now);
        return text(last.buffer, 32, 4);
    }

    sim::DriveSpec profile;
    sim::SimDrive drive;
    Command last;
    bool changed = false;
};

TEST_F(SimDriveTest, InquiryReportsIdentityWithinTheAllocationLength) {
    scsi::Result out = run(inquiry());
    ASSERT_EQ(out.status, scsi::Status::Good);
    EXPECT_EQ(out.transferred, 56u);  // the CDB's allocation length, not the 256-byte buffer
    const Bytes& data = last.buffer;
    EXPECT_EQ((std::vector<int>{data[0], data[1] & 0x80, data[44], data[56]}), (std::vector<int>{0x05, 0x80, 0, 0}));
    EXPECT_EQ(text(data, 8, 36), "KESTORY BD-RW KVL-MT38  1.2020240612");
    EXPECT_FALSE(changed);

    toggleMode();
    EXPECT_TRUE(changed);
    EXPECT_EQ(profile.mode, DriveMode::Kernel);
    EXPECT_EQ(revision(), "0000");
}

struct RefusedCase {
    const char* name;
    bool inKernelMode;
    Command command;
    SenseExpect sense;
};

Bytes parameters(std::size_t at, std::uint8_t value) {
    Bytes data = sim::modeChangeParameterData();
    data[at] = value;
    return data;
}

Command withCdbByte(Command c, std::size_t at, std::uint8_t value) {
    c.scsi.cdb[at] = value;
    return c;
}

class SimDriveRefusalTest : public SimDriveTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(SimDriveRefusalTest, AnswersCheckConditionAndKeepsState) {
    RefusedCase c = GetParam();
    if (c.inKernelMode) toggleMode();
    expectCheckCondition(run(c.command), c.sense);
    EXPECT_FALSE(changed);
    EXPECT_EQ(profile.mode, c.inKernelMode ? DriveMode::Kernel : DriveMode::Normal);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimDriveRefusalTest,
    ::testing::Values(
        // The kernel asks for pages 00h and 80h when it attaches a drive; this one has none.
        RefusedCase{"InquiryForVitalProductData", false, makeCommand({0x12, 0x01, 0x80, 0, 0xFF, 0}, kIn, Bytes(255)),
                    {0x05, 0x24, 0}},
        RefusedCase{"UnknownOpcode", false, makeCommand({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, scsi::Direction::None, {}), {0x05, 0x20, 0}},
        RefusedCase{"WrongAccessCode", false, changeDriveMode(parameters(19, sim::modeChangeParameterData()[19] ^ 1)),
                    {0x05, 0x26, 0}},
        RefusedCase{"NonZeroPadding", false, changeDriveMode(parameters(255, 1)), {0x05, 0x26, 0}},
        RefusedCase{"LowerCaseVendor", false, changeDriveMode(parameters(0, 'k')), {0x05, 0x26, 0}},
        RefusedCase{"TooLittleData", false, changeDriveMode(Bytes(100)), {0x05, 0x26, 0}},
        RefusedCase{"WriteBufferInNormalMode", false, writeBuffer(false, 0, Bytes(256)), {0x05, 0x2C, 0}},
        RefusedCase{"WriteBufferLongerThanItsData", true,  // claims 1024 bytes
                    withCdbByte(writeBuffer(false, 0, Bytes(512)), 7, 0x04), {0x05, 0x1A, 0}},
        RefusedCase{"ReadBufferOfAnotherBuffer", false, withCdbByte(readBuffer(), 2, 0xF2), {0x05, 0x24, 0}}),
    [](const auto& test) { return std::string(test.param.name); });

struct VerdictCase {
    const char* name;
    void (*tamper)(Bytes& kernel, Bytes& normal);
    bool sendKernel;
    const char* revisionAfter;
};

class SimDriveInstallTest : public SimDriveTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(SimDriveInstallTest, InstallsOnlyImagesThatPassTheChecks) {
    Bytes kernel = sealedImage(70144), normal = sealedImage(40'192);
    GetParam().tamper(kernel, normal);
    profile.timing.installMs = 1000;
    toggleMode();
    if (GetParam().sendKernel) send(true, kernel);
    send(false, normal);
    toggleMode();
    EXPECT_TRUE(changed);
    EXPECT_EQ(profile.mode, DriveMode::Normal);
    ASSERT_TRUE(profile.install.has_value());

    scsi::Result out = run(testUnitReady(), kNow + 250);
    expectCheckCondition(out, {0x02, 0x04, 0x12});
    EXPECT_EQ(out.sense[16] | (out.sense[17] << 8), 0xFFFF * 750 / 1000);  // low byte first
    EXPECT_EQ(revision(kNow + 500), "1.20") << "the old firmware runs until the install ends";

    run(testUnitReady(), kNow + 1000);
    EXPECT_TRUE(changed);
    EXPECT_FALSE(profile.install.has_value());
    EXPECT_EQ(revision(kNow + 1001), GetParam().revisionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, SimDriveInstallTest,
    ::testing::Values(
        VerdictCase{"Good", [](Bytes&, Bytes&) {}, true, "1.21"},
        VerdictCase{"GoodWithoutKernelImage", [](Bytes&, Bytes&) {}, false, "1.21"},
        VerdictCase{"CorruptedByte", [](Bytes&, Bytes& n) { n[20'000] ^= 0x01; }, true, "1.20"},
        VerdictCase{"CorruptedKernelByte", [](Bytes& k, Bytes&) { k[70'000] ^= 0x80; }, true, "1.20"},
        VerdictCase{"WrongProduct",
                    [](Bytes&, Bytes& n) { n = sealedImage(n.size(), {.product = "KESTORY DVD-RW KVL-D20"}); }, true,
                    "1.20"},
        VerdictCase{"WrongHardware", [](Bytes&, Bytes& n) { n = sealedImage(n.size(), {.hardVersion = "MT38HW02"}); },
                    true, "1.20"},
        VerdictCase{"RevisionPaddedWithABlank",
                    [](Bytes&, Bytes& n) { n = sealedImage(n.size(), {.revision = "1.22 "}); }, true, "1.22"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SimDriveTest, ImagePiecesAssembleByOffsetInAnyOrder) {
    toggleMode();
    std::vector<Command> pieces = imagePieces(false, sealedImage(3 * 0x8000));
    for (std::size_t i : {2, 0, 1}) ASSERT_EQ(run(pieces[i]).status, scsi::Status::Good);
    toggleMode();
    run(testUnitReady(), kNow + 1);
    EXPECT_EQ(profile.revision, "1.21");

    toggleMode();  // switching back without images installs nothing
    toggleMode();
    EXPECT_FALSE(profile.install.has_value());
}

// Install times read from a hand-edited drive file may lie at either end of the clock.
struct InstallClockCase {
    const char* name;
    std::int64_t startedAtMs;
    std::int64_t nowMs;
    bool over;                // the install has ended by now
    std::uint16_t progress;   // reported while it runs
};
void PrintTo(const InstallClockCase& c, std::ostream* os) { *os << c.name; }

class SimDriveInstallClockTest : public ::testing::TestWithParam<InstallClockCase> {};

TEST_P(SimDriveInstallClockTest, EndsAndReportsProgressWithoutOverflow) {
    const InstallClockCase& c = GetParam();
    const sim::InstallState install{c.startedAtMs, 8000, "1.21", "20261120"};
    EXPECT_EQ(sim::SimDrive::installProgress(install, c.nowMs), c.progress);
    sim::DriveSpec profile;
    profile.install = install;
    EXPECT_EQ(sim::SimDrive::settle(profile, c.nowMs), c.over);
    EXPECT_EQ(profile.revision, c.over ? "1.21" : sim::kDefaultRevision);
    EXPECT_EQ(profile.date, c.over ? "20261120" : sim::kDefaultDate) << "the date of the firmware it runs";
}

constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kEarliest = std::numeric_limits<std::int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Times, SimDriveInstallClockTest,
    ::testing::Values(InstallClockCase{"Halfway", kNow - 4000, kNow, false, 0x7FFF},
                      InstallClockCase{"StartsAtTheLatestTime", kLatest, kNow, false, 0xFFFF},
                      InstallClockCase{"StartsJustBeforeTheLatestTime", kLatest - 100, kLatest, false, 0xFCCB},
                      InstallClockCase{"StartedAtTheEarliestTime", kEarliest, kNow, true, 0},
                      InstallClockCase{"NowAtTheEarliestTime", kNow, kEarliest, false, 0xFFFF}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
