#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <functional>

#include "drive/STUCMethod.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"
#include "test_update_support.h"

using namespace kdu::test;
using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kInquiry = 0x12, kTestUnitReady = 0x00, kWriteBuffer = 0x3B;
constexpr std::size_t kKernelSent = image_format::kKernelImageSentLength;

// What the fake drive does with the update: its mode, its revision before and after, and
// the progress values it reports while it installs.
struct DriveBehaviour {
    bool kernelMode = false;
    std::string revisionBefore = "1.20";
    std::string revisionAfter = "1.21";
    std::vector<std::uint16_t> installProgress;  // one NOT READY poll per value, then GOOD
    int failingModeChange = 0;                   // 1: the first mode change fails, 2: the second
    bool failFinalInquiry = false;
    bool neverReady = false;

    int modeChanges = 0;
    bool installed = false;
    std::size_t polls = 0;
};

std::string describe(const RecordedCommand& c) {
    const auto be24 = [&](int at) { return (c.cdb[at] << 16) | (c.cdb[at + 1] << 8) | c.cdb[at + 2]; };
    switch (c.opcode()) {
    case kInquiry: return "inquiry";
    case kTestUnitReady: return "tur";
    case kWriteBuffer:
        if (c.cdb[2] == 0xFF) return "mode";
        return std::string(c.cdb[2] == 0xFE ? "kernel " : "normal ") + std::to_string(be24(3)) + "+" +
               std::to_string(be24(6));
    default: return "other";
    }
}

const std::vector<std::string> kKernelPieces{"kernel 0+32768", "kernel 32768+32768", "kernel 65536+4608"};
const std::vector<std::string> kNormal40000{"normal 0+32768", "normal 32768+7424"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class UpdateTest : public ::testing::Test {
public:
    void SetUp() override {
        backend_ = std::make_shared<FakeBackend>();
        platform::installBackend(backend_);
        startObjects_ = platform::IORegistryLiveObjectCount();
        drive_ = backend_->addDrive("a");
        behave();
        resources_.writeKernel();
        resources_.writeNormal(40000);
        kernel_.setIsFileExists(true);
        normal_.setIsFileExists(true);
        attach(backend_->node("a"));
        record_.setRevision("1.20");
        platform::testing::clearInterfaceTrace();
    }
    void TearDown() override {
        record_.setScsiDevice(platform::IO_OBJECT_NULL);
        EXPECT_FALSE(drive_->exclusivelyHeld());
        EXPECT_EQ(drive_->openChannels(), 0);
        EXPECT_EQ(platform::testing::liveInterfaces(), platform::testing::LiveInterfaces{});
        EXPECT_EQ(platform::IORegistryLiveObjectCount(), startObjects_);
        expectChainClosedInOrder();
        platform::installBackend(nullptr);
    }

    void attach(const std::shared_ptr<platform::DeviceNode>& node) {
        const platform::io_service_t service = platform::registry::retainService(node);
        record_.setScsiDevice(service);
        platform::IOObjectRelease(service);
    }
    bool run() {
        const bool result = ExecUpdateMain(record_, normal_, kernel_, timing_);
        trace_ = platform::testing::interfaceTrace();
        return result;
    }
    std::vector<std::string> wire() const {
        std::vector<std::string> out;
        for (const RecordedCommand& c : drive_->commands()) out.push_back(describe(c));
        return out;
    }

    DriveBehaviour state_;
    std::shared_ptr<FakeBackend> backend_;
    std::shared_ptr<FakeDrive> drive_;
    std::size_t startObjects_ = 0;
    ResourceFolder resources_;
    FirmFileData kernel_, normal_;
    DeviceData record_;
    UpdateTiming timing_{0ms, 60000ms};
    LogCapture log_;
    ProgressCapture progress_;
    std::vector<std::string> trace_;

private:
    void behave() {
        DriveBehaviour& s = state_;
        drive_->setResponder(kWriteBuffer, [&s](const RecordedCommand& c) {
            if (c.cdb[2] != 0xFF) return Answer::good();
            if (++s.modeChanges == s.failingModeChange) return Answer::checkCondition(0x05, 0x26, 0x00);
            s.kernelMode = !s.kernelMode;
            if (!s.kernelMode) s.installed = true;
            return Answer::good();
        });
        drive_->setResponder(kTestUnitReady, [&s](const RecordedCommand&) {
            if (s.installed && (s.neverReady || s.polls < s.installProgress.size())) {
                const std::uint16_t p = s.neverReady ? 0x10 : s.installProgress[s.polls++];
                return Answer::checkCondition(0x02, 0x04, 0x12, p & 0xFF, p >> 8);
            }
            return Answer::good();
        });
        drive_->setResponder(kInquiry, [&s](const RecordedCommand&) {
            if (s.installed && s.failFinalInquiry) return Answer::checkCondition(0x04, 0x44, 0x00);
            const std::string& revision =
                s.kernelMode ? std::string("0000") : (s.installed ? s.revisionAfter : s.revisionBefore);
            return Answer::good(inquiryData("KESTORY", "BD-RW KVL-MT38", revision, "20240501"));
        });
    }
    // Exclusive access is given back before the interfaces, and those go task device, MMC, plug-in.
    void expectChainClosedInOrder() const {
        const auto has = [&](const char* e) { return std::find(trace_.begin(), trace_.end(), e) != trace_.end(); };
        std::vector<std::string> closing;
        for (const std::string& e : trace_)
            if (e.rfind("exclusive.release", 0) == 0 || e == "taskdevice.release" || e == "mmc.release" ||
                e == "plugin.destroy")
                closing.push_back(e);
        std::vector<std::string> expected;
        if (has("exclusive.obtain"))
            expected.push_back(has("exclusive.release-refused") ? "exclusive.release-refused" : "exclusive.release");
        if (has("taskdevice.create")) expected.push_back("taskdevice.release");
        if (has("mmc.create")) expected.push_back("mmc.release");
        if (has("plugin.create")) expected.push_back("plugin.destroy");
        EXPECT_EQ(closing, expected);
    }
};

// Commands on the wire ---------------------------------------------------------------

struct WireRow {
    const char* name;
    bool kernelMode, kernelImage, normalImage;
    std::vector<std::string> expected;
};
void PrintTo(const WireRow& row, std::ostream* os) { *os << row.name; }

class UpdateWireTest : public UpdateTest, public ::testing::WithParamInterface<WireRow> {};

TEST_P(UpdateWireTest, SendsTheSequenceAndSucceedsOnTheTargetRevision) {
    const WireRow& row = GetParam();
    state_.kernelMode = row.kernelMode;
    record_.setDriveMode(row.kernelMode ? 1 : 0);
    kernel_.setIsFileExists(row.kernelImage);
    normal_.setIsFileExists(row.normalImage);
    if (!row.kernelImage) resources_.remove(firmwareFileName(kKernelImageBaseName));
    if (!row.normalImage) resources_.remove(firmwareFileName(kNormalImageBaseName));
    state_.installProgress = {0x1000};

    EXPECT_TRUE(run());
    EXPECT_EQ(wire(), row.expected);
    EXPECT_EQ(record_.revision(), OptionalText{"1.21"});
    EXPECT_EQ(record_.driveMode(), 0);
    EXPECT_EQ(log_.count("[ERR]"), row.normalImage ? 1 : 0);  // 40,000 bytes: the padded last piece
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateWireTest,
    ::testing::Values(
        WireRow{"NormalModeBothImages", false, true, true,
                concat({{"mode"}, kKernelPieces, kNormal40000, {"mode", "tur", "tur", "inquiry"}})},
        WireRow{"KernelModeOneModeChange", true, true, true,
                concat({kKernelPieces, kNormal40000, {"mode", "tur", "tur", "inquiry"}})},
        WireRow{"KernelImageMissing", false, false, true,
                concat({{"mode"}, kNormal40000, {"mode", "tur", "tur", "inquiry"}})},
        WireRow{"NormalImageMissing", false, true, false,
                concat({{"mode"}, kKernelPieces, {"mode", "tur", "tur", "inquiry"}})}),
    [](const ::testing::TestParamInfo<WireRow>& rowInfo) { return rowInfo.param.name; });

TEST_F(UpdateTest, KernelPiecesCarryTheFileBytesAndNothingBeyondThem) {
    ASSERT_TRUE(run());
    const std::vector<std::uint8_t> file = fileBytes(resources_.path() / firmwareFileName(kKernelImageBaseName));
    ASSERT_GT(file.size(), kKernelSent);
    std::vector<std::uint8_t> sent;
    for (const RecordedCommand& c : drive_->commandsWithOpcode(kWriteBuffer))
        if (c.cdb[2] == 0xFE) sent.insert(sent.end(), c.dataOut.begin(), c.dataOut.end());
    EXPECT_EQ(sent, std::vector<std::uint8_t>(file.begin(), file.begin() + kKernelSent));
}

// Sizes of the normal image ----------------------------------------------------------

struct SizeRow {
    std::size_t size;
    std::vector<std::string> pieces;
    std::string console;
    int paddingErrors;
};
void PrintTo(const SizeRow& row, std::ostream* os) { *os << row.size << " bytes"; }

class NormalImageSizeTest : public UpdateTest, public ::testing::WithParamInterface<SizeRow> {};

TEST_P(NormalImageSizeTest, SplitsPadsAndReports) {
    const SizeRow& row = GetParam();
    resources_.writeNormal(row.size);
    kernel_.setIsFileExists(false);

    ::testing::internal::CaptureStdout();
    const bool ok = run();
    const std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok);
    EXPECT_EQ(console, row.console);
    EXPECT_EQ(log_.count("[ERR] last data. (len != allocLen)"), row.paddingErrors);

    std::vector<std::string> pieces;
    std::vector<std::uint8_t> sent;
    for (const RecordedCommand& c : drive_->commandsWithOpcode(kWriteBuffer)) {
        if (c.cdb[2] != 0xF0) continue;
        pieces.push_back(describe(c));
        EXPECT_EQ(c.transferCount % 256, 0u);
        sent.insert(sent.end(), c.dataOut.begin(), c.dataOut.end());
    }
    EXPECT_EQ(pieces, row.pieces);
    std::vector<std::uint8_t> expected = fileBytes(resources_.path() / firmwareFileName(kNormalImageBaseName));
    expected.resize((row.size + 255) / 256 * 256, 0);
    EXPECT_EQ(sent, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, NormalImageSizeTest,
    ::testing::Values(
        SizeRow{65536, {"normal 0+32768", "normal 32768+32768"},
                "write..(1) 0x8000 \nwrite..(2) 0x0 \nwrite completed.\n", 0},
        SizeRow{40000, kNormal40000, "write..(1) 0x1d00 \nlast one\nwrite..(2) 0x0 \nwrite completed.\n", 1},
        SizeRow{7168, {"normal 0+7168"}, "last one\nwrite..(1) 0x0 \nwrite completed.\n", 0}),
    [](const ::testing::TestParamInfo<SizeRow>& rowInfo) { return std::to_string(rowInfo.param.size); });

// Failures ---------------------------------------------------------------------------

struct UpdateFailureRow {
    const char* name;
    std::function<void(UpdateTest&)> arrange;
    std::vector<std::string> expected;
    const char* logLine;  // expected once, or null for none from the sequence
    std::vector<std::int64_t> notifications;
};
void PrintTo(const UpdateFailureRow& row, std::ostream* os) { *os << row.name; }

class UpdateFailureTest : public UpdateTest, public ::testing::WithParamInterface<UpdateFailureRow> {
protected:
    void TearDown() override {
        if (holder_) {
            holder_->ReleaseExclusiveAccess();
            holder_->Release();
            holderMmc_->Release();
            platform::IODestroyPlugInInterface(holderPlugIn_);
            platform::IOObjectRelease(holderService_);
        }
        UpdateTest::TearDown();
    }

public:
    void holdElsewhere() {
        holderService_ = platform::registry::retainService(backend_->node("a"));
        CreateDeviceInterfaceForAuthoringDevice(holderService_, &holderPlugIn_, &holder_, &holderMmc_);
        ASSERT_NE(holder_, nullptr);
        ASSERT_EQ(holder_->ObtainExclusiveAccess(), platform::kIOReturnSuccess);
        platform::testing::clearInterfaceTrace();
    }

private:
    platform::io_service_t holderService_ = platform::IO_OBJECT_NULL;
    platform::IOCFPlugInInterface* holderPlugIn_ = nullptr;
    platform::MMCDeviceInterface* holderMmc_ = nullptr;
    platform::SCSITaskDeviceInterface* holder_ = nullptr;
};

TEST_P(UpdateFailureTest, ReportsFalseAndGivesEverythingBack) {
    const UpdateFailureRow& row = GetParam();
    row.arrange(*this);
    EXPECT_FALSE(run());
    EXPECT_EQ(wire(), row.expected);
    const int expectedLines = row.logLine ? 1 : 0;
    EXPECT_EQ(log_.count(row.logLine ? row.logLine : "ExecUpdateMain("), expectedLines)
        << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(progress_.values(), row.notifications);
}

const auto kFullWire = concat({{"mode"}, kKernelPieces, kNormal40000, {"mode", "tur", "inquiry"}});
constexpr char kPadding[] = "last data.";  // the 40,000-byte image's own line

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFailureTest,
    ::testing::Values(
        UpdateFailureRow{"NoServiceHandle", [](UpdateTest& fixture) { fixture.record_.setScsiDevice(platform::IO_OBJECT_NULL); },
                         {}, nullptr, {}},
        UpdateFailureRow{"NoPlugIn", [](UpdateTest& fixture) { fixture.drive_->setPlugInResult(platform::kIOReturnNoDevice); },
                         {}, nullptr, {}},
        UpdateFailureRow{"NoTaskDevice", [](UpdateTest& fixture) { fixture.drive_->setTaskChannelAvailable(false); }, {},
                         nullptr, {}},
        UpdateFailureRow{"HeldElsewhere", [](UpdateTest& fixture) { static_cast<UpdateFailureTest&>(fixture).holdElsewhere(); },
                         {}, "[WAR] ObtainExclusiveAccess failed.(1)", {}},
        UpdateFailureRow{"ModeChangeToKernelFails", [](UpdateTest& fixture) { fixture.state_.failingModeChange = 1; }, {"mode"},
                         "[ERR] change drive mode.( -> Kernel)", {}},
        UpdateFailureRow{"ModeChangeToKernelFailsInNormalPhase",
                         [](UpdateTest& fixture) {
                             fixture.state_.failingModeChange = 1;
                             fixture.kernel_.setIsFileExists(false);
                         },
                         {"mode"}, "[ERR] change drive mode.( -> Kernel)", {}},
        UpdateFailureRow{"SwitchBackFails", [](UpdateTest& fixture) { fixture.state_.failingModeChange = 2; },
                         concat({{"mode"}, kKernelPieces, kNormal40000, {"mode"}}),
                         "[ERR] change drive mode.( -> Normal)", {}},
        UpdateFailureRow{"OldRevisionAfterwards", [](UpdateTest& fixture) { fixture.state_.revisionAfter = "1.20"; }, kFullWire,
                         kPadding, {0, -1}},
        UpdateFailureRow{"KernelModeRevisionAfterwards", [](UpdateTest& fixture) { fixture.state_.revisionAfter = "0000"; },
                         kFullWire, kPadding, {0, -1}},
        UpdateFailureRow{"FinalInquiryFails",
                         [](UpdateTest& fixture) {
                             fixture.state_.failFinalInquiry = true;
                             fixture.record_.setRevision("1.21");  // what it said before must not count
                         },
                         kFullWire, kPadding, {0, -1}},
        UpdateFailureRow{"ReleaseRefused",
                         [](UpdateTest& fixture) { fixture.attach(std::make_shared<ReleaseRefusingNode>(fixture.backend_->node("a"))); },
                         kFullWire, "[ERR] ReleaseExclusiveAccess failed.", {0, -1}},
        UpdateFailureRow{"InstallNeverEnds",
                         [](UpdateTest& fixture) {
                             fixture.state_.neverReady = true;
                             fixture.timing_.waitLimit = 0ms;
                         },
                         concat({{"mode"}, kKernelPieces, kNormal40000, {"mode", "tur"}}), "[ERR] drive still installing",
                         {0x10, -1}},
        UpdateFailureRow{"KernelImageTooShort", [](UpdateTest& fixture) { fixture.resources_.writeKernel(kKernelSent - 1); }, {},
                         "[ERR] kernel image too short", {}},
        UpdateFailureRow{"KernelImageVanished",
                         [](UpdateTest& fixture) { fixture.resources_.remove(firmwareFileName(kKernelImageBaseName)); }, {},
                         "[ERR] kernel image R7360500.121 is missing", {}},
        UpdateFailureRow{"NormalImageEmpty", [](UpdateTest& fixture) { fixture.resources_.write(firmwareFileName(kNormalImageBaseName), {}); },
                         {}, "[ERR] normal image size out of range. (0)", {}},
        UpdateFailureRow{"NormalImageOver16MiB",
                         [](UpdateTest& fixture) {
                             std::filesystem::resize_file(fixture.resources_.path() / firmwareFileName(kNormalImageBaseName),
                                                          16u * 1024 * 1024 + 1);
                         },
                         {}, "[ERR] normal image size out of range. (16777217)", {}},
        UpdateFailureRow{"NoImageAtAll",
                         [](UpdateTest& fixture) {
                             fixture.kernel_.setIsFileExists(false);
                             fixture.normal_.setIsFileExists(false);
                         },
                         {}, "[ERR] no firmware image to send.", {}}),
    [](const ::testing::TestParamInfo<UpdateFailureRow>& rowInfo) { return rowInfo.param.name; });

TEST_F(UpdateTest, ExactlySixteenMiBIsAccepted) {
    resources_.writeNormal(16u * 1024 * 1024);
    kernel_.setIsFileExists(false);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(run());
    ::testing::internal::GetCapturedStdout();
    const auto writes = drive_->commandsWithOpcode(kWriteBuffer);
    ASSERT_EQ(writes.size(), 2u + 512u);
    EXPECT_EQ(describe(writes[writes.size() - 2]), "normal 16744448+32768");
}

// Progress while the drive installs --------------------------------------------------

TEST_F(UpdateTest, GoodOnTheFirstPollGivesZeroThenMinusOne) {
    ASSERT_TRUE(run());
    EXPECT_EQ(progress_.values(), (std::vector<std::int64_t>{0, -1}));
}

TEST_F(UpdateTest, EveryPollIsReportedAndTheLastValueStaysWhenAPollIsNotDelivered) {
    state_.installProgress = {0x1234, 0x8000, 0xFFFF};
    timing_.pollInterval = 1ms;
    drive_->setResponder(kTestUnitReady, [this](const RecordedCommand&) {
        if (!state_.installed) return Answer::good();
        if (state_.polls < state_.installProgress.size()) {
            const std::uint16_t p = state_.installProgress[state_.polls++];
            return Answer::checkCondition(0x02, 0x04, 0x12, p & 0xFF, p >> 8);
        }
        return Answer::deliveryFailure();
    });
    EXPECT_TRUE(run());
    EXPECT_EQ(progress_.values(), (std::vector<std::int64_t>{0x1234, 0x8000, 0xFFFF, 0xFFFF, -1}));
}
