// The update sequence against a scripted drive: commands on the wire, pieces, failures,
// progress, and everything given back in order on every path.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "DriveTestSupport.h"

namespace kdu::test {
namespace {

using namespace std::chrono_literals;
constexpr std::uint8_t kInquiry = 0x12, kTestUnitReady = 0x00, kWriteBuffer = 0x3B;
constexpr std::size_t kKernelSent = image_format::kKernelImageSentLength;

// The scripted drive's side of the update.
struct DriveBehaviour {
    bool kernelMode = false;
    std::string revisionAfter = "1.21";
    std::vector<std::uint16_t> installProgress;  // one NOT READY poll per value, then GOOD
    int failingModeChange = 0;                   // 1: the first mode change fails, 2: the second
    bool failFinalInquiry = false, neverReady = false;

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

using Wire = std::vector<std::string>;
Wire concat(std::initializer_list<Wire> parts) {
    Wire out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
const Wire kKernelPieces{"kernel 0+32768", "kernel 32768+32768", "kernel 65536+4608"};
const Wire kNormal40000{"normal 0+32768", "normal 32768+7424"};
Wire evenPieces(int n) {
    Wire w;
    for (int i = 0; i < n; ++i) w.push_back("normal " + std::to_string(i * 32768) + "+32768");
    return w;
}

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UpdateTest : public ::testing::Test {
public:
    void SetUp() override {
        behave();
        resources_.writeKernel();
        resources_.writeNormal(40000);
        kernel_.setIsFileExists(true);
        normal_.setIsFileExists(true);
        const platform::io_service_t service = platform::registry::retainService(drive_);
        record_.setScsiDevice(service);
        platform::IOObjectRelease(service);
        record_.setRevision("1.20");
        platform::testing::clearInterfaceTrace();
    }
    void TearDown() override {
        EXPECT_FALSE(drive_->exclusivelyHeld());
        EXPECT_EQ(drive_->openChannels(), 0);
        expectChainClosedInOrder();
    }

    bool run() {
        const bool result = ExecUpdateMain(record_, normal_, kernel_, timing_);
        trace_ = platform::testing::interfaceTrace();
        return result;
    }
    Wire wire(std::uint8_t onlyBuffer = 0) const {
        Wire out;
        for (const RecordedCommand& c : drive_->commands())
            if (!onlyBuffer || (c.opcode() == kWriteBuffer && c.cdb[2] == onlyBuffer)) out.push_back(describe(c));
        return out;
    }
    Bytes sentTo(std::uint8_t buffer) const {
        Bytes sent;
        for (const RecordedCommand& c : drive_->commands())
            if (c.opcode() == kWriteBuffer && c.cdb[2] == buffer) sent.insert(sent.end(), c.dataOut.begin(), c.dataOut.end());
        return sent;
    }

    DriveBehaviour state_;
    std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
    std::shared_ptr<FakeDrive> drive_ = backend_->addDrive("a");
    InstalledBackend installed_{backend_};
    ResourceFolder resources_;
    FirmFileData kernel_, normal_;
    DeviceData record_;
    UpdateTiming timing_{0ms, 60000ms};
    LogCapture log_;
    ProgressCapture progress_;
    Wire trace_;

private:
    void behave() {
        DriveBehaviour& s = state_;
        drive_->setResponder(kWriteBuffer, [&s](const RecordedCommand& c) {
            if (c.cdb[2] != 0xFF) return Answer{};
            if (++s.modeChanges == s.failingModeChange) return checkCondition(0x05, 0x26, 0x00);
            s.kernelMode = !s.kernelMode;
            s.installed = !s.kernelMode;
            return Answer{};
        });
        drive_->setResponder(kTestUnitReady, [&s](const RecordedCommand&) {
            if (s.installed && (s.neverReady || s.polls < s.installProgress.size())) {
                const std::uint16_t p = s.neverReady ? 0x10 : s.installProgress[s.polls++];
                return checkCondition(0x02, 0x04, 0x12, p & 0xFF, p >> 8);
            }
            return Answer{};
        });
        drive_->setResponder(kInquiry, [&s](const RecordedCommand&) {
            if (s.installed && s.failFinalInquiry) return checkCondition(0x04, 0x44, 0x00);
            const std::string revision = s.kernelMode ? "0000" : (s.installed ? s.revisionAfter : "1.20");
            return Answer{.dataIn = inquiryData("KESTORY", "BD-RW KVL-MT38", revision, "20240501")};
        });
    }
    // Exclusive access is given back before the interfaces, and those go task device, MMC, plug-in.
    void expectChainClosedInOrder() const {
        const auto has = [&](const char* e) { return std::find(trace_.begin(), trace_.end(), e) != trace_.end(); };
        Wire closing, expected;
        for (const std::string& e : trace_)
            if (e.rfind("exclusive.release", 0) == 0 || e == "taskdevice.release" || e == "mmc.release" ||
                e == "plugin.destroy")
                closing.push_back(e);
        if (has("exclusive.obtain"))
            expected.push_back(has("exclusive.release-refused") ? "exclusive.release-refused" : "exclusive.release");
        if (has("taskdevice.create")) expected.push_back("taskdevice.release");
        if (has("mmc.create")) expected.push_back("mmc.release");
        if (has("plugin.create")) expected.push_back("plugin.destroy");
        EXPECT_EQ(closing, expected);
    }
};

struct WireRow {
    const char* name;
    bool kernelMode, kernelImage;
    std::size_t normalSize;  // 0: no normal image
    Wire expected;
    const char* console;     // not checked when null
};

class UpdateWireTest : public UpdateTest, public ::testing::WithParamInterface<WireRow> {};

// Pieces carry the files' bytes, the last normal piece padded with zeros (one "[ERR]" line when padded).
TEST_P(UpdateWireTest, SendsTheSequenceAndSucceedsOnTheTargetRevision) {
    const WireRow& row = GetParam();
    state_.kernelMode = row.kernelMode;
    record_.setDriveMode(row.kernelMode ? 1 : 0);
    kernel_.setIsFileExists(row.kernelImage);
    normal_.setIsFileExists(row.normalSize > 0);
    if (!row.kernelImage) std::filesystem::remove(resources_.kernelFile());
    if (row.normalSize) resources_.writeNormal(row.normalSize);
    else std::filesystem::remove(resources_.normalFile());
    state_.installProgress = {0x1000};

    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(run());
    const std::string console = ::testing::internal::GetCapturedStdout();
    if (row.console) {
        EXPECT_EQ(console, row.console);
    }
    EXPECT_EQ(wire(), row.expected);
    EXPECT_EQ(record_.revision(), OptionalText{"1.21"});
    EXPECT_EQ(record_.driveMode(), 0);
    const int padding = row.normalSize % 256 ? 1 : 0;
    EXPECT_EQ(log_.count("[ERR] last data. (len != allocLen)"), padding);
    EXPECT_EQ(log_.count("[ERR]"), padding);
    if (row.kernelImage) {
        const Bytes file = fileBytes(resources_.kernelFile());
        EXPECT_EQ(sentTo(0xFE), Bytes(file.begin(), file.begin() + kKernelSent));
    }
    Bytes normal = row.normalSize ? fileBytes(resources_.normalFile()) : Bytes{};
    normal.resize((row.normalSize + 255) / 256 * 256, 0);
    EXPECT_EQ(sentTo(0xF0), normal);
}

const Wire kEnd{"mode", "tur", "tur", "inquiry"};
INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateWireTest,
    ::testing::Values(
        WireRow{"NormalModeBothImages", false, true, 40000, concat({{"mode"}, kKernelPieces, kNormal40000, kEnd}), nullptr},
        WireRow{"KernelModeOneModeChange", true, true, 40000, concat({kKernelPieces, kNormal40000, kEnd}), nullptr},
        WireRow{"NormalImageMissing", false, true, 0, concat({{"mode"}, kKernelPieces, kEnd}), nullptr},
        WireRow{"KernelImageMissing40000", false, false, 40000, concat({{"mode"}, kNormal40000, kEnd}),
                "write..(1) 0x1d00 \nlast one\nwrite..(2) 0x0 \nwrite completed.\n"},
        WireRow{"Exact64KiB", false, false, 65536, concat({{"mode"}, evenPieces(2), kEnd}),
                "write..(1) 0x8000 \nwrite..(2) 0x0 \nwrite completed.\n"},
        WireRow{"OnePiece7168", false, false, 7168, concat({{"mode"}, {"normal 0+7168"}, kEnd}),
                "last one\nwrite..(1) 0x0 \nwrite completed.\n"},
        WireRow{"Largest16MiB", false, false, 16u * 1024 * 1024, concat({{"mode"}, evenPieces(512), kEnd}), nullptr}),
    kRowName);

struct FailureRow {
    const char* name;
    std::function<void(UpdateTest&)> arrange;
    Wire expected;
    const char* logLine;  // expected once, or null for none from the sequence
    std::vector<std::int64_t> notifications;
};

class UpdateFailureTest : public UpdateTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(UpdateFailureTest, ReportsFalseAndGivesEverythingBack) {
    const FailureRow& row = GetParam();
    row.arrange(*this);
    EXPECT_FALSE(run());
    EXPECT_EQ(wire(), row.expected);
    EXPECT_EQ(log_.count(row.logLine ? row.logLine : "ExecUpdateMain("), row.logLine ? 1 : 0)
        << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(progress_.values(), row.notifications);
}

const Wire kFullWire = concat({{"mode"}, kKernelPieces, kNormal40000, {"mode", "tur", "inquiry"}});
constexpr char kPadding[] = "last data.";  // the 40,000-byte image's own line
using F = UpdateTest;

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFailureTest,
    ::testing::Values(
        FailureRow{"NoServiceHandle", [](F& f) { f.record_.setScsiDevice(platform::IO_OBJECT_NULL); }, {}, nullptr, {}},
        FailureRow{"NoPlugIn", [](F& f) { f.drive_->setFaults({.plugIn = platform::kIOReturnNoDevice}); }, {}, nullptr, {}},
        FailureRow{"NoTaskDevice", [](F& f) { f.drive_->setFaults({.noTaskChannel = true}); }, {}, nullptr, {}},
        FailureRow{"HeldElsewhere", [](F& f) { f.drive_->setFaults({.obtain = platform::kIOReturnExclusiveAccess}); }, {},
                   "[WAR] ObtainExclusiveAccess failed.(1)", {}},
        FailureRow{"ModeChangeToKernelFails", [](F& f) { f.state_.failingModeChange = 1; }, {"mode"},
                   "[ERR] change drive mode.( -> Kernel)", {}},
        FailureRow{"ModeChangeToKernelFailsInNormalPhase",
                   [](F& f) {
                       f.state_.failingModeChange = 1;
                       f.kernel_.setIsFileExists(false);
                   },
                   {"mode"}, "[ERR] change drive mode.( -> Kernel)", {}},
        FailureRow{"SwitchBackFails", [](F& f) { f.state_.failingModeChange = 2; },
                   concat({{"mode"}, kKernelPieces, kNormal40000, {"mode"}}), "[ERR] change drive mode.( -> Normal)", {}},
        FailureRow{"OldRevisionAfterwards", [](F& f) { f.state_.revisionAfter = "1.20"; }, kFullWire, kPadding, {0, -1}},
        FailureRow{"FinalInquiryFails",
                   [](F& f) {
                       f.state_.failFinalInquiry = true;
                       f.record_.setRevision("1.21");  // what it said before must not count
                   },
                   kFullWire, kPadding, {0, -1}},
        FailureRow{"ReleaseRefused", [](F& f) { f.drive_->setFaults({.refuseRelease = true}); }, kFullWire,
                   "[ERR] ReleaseExclusiveAccess failed.", {0, -1}},
        FailureRow{"InstallNeverEnds",
                   [](F& f) {
                       f.state_.neverReady = true;
                       f.timing_.waitLimit = 0ms;
                   },
                   concat({{"mode"}, kKernelPieces, kNormal40000, {"mode", "tur"}}), "[ERR] drive still installing",
                   {0x10, -1}},
        FailureRow{"KernelImageTooShort", [](F& f) { f.resources_.writeKernel(kKernelSent - 1); }, {},
                   "[ERR] kernel image too short", {}},
        FailureRow{"KernelImageVanished", [](F& f) { std::filesystem::remove(f.resources_.kernelFile()); }, {},
                   "[ERR] kernel image R7360500.121 is missing", {}},
        FailureRow{"NormalImageEmpty", [](F& f) { f.resources_.write(firmwareFileName(kNormalImageBaseName), {}); }, {},
                   "[ERR] normal image size out of range. (0)", {}},
        FailureRow{"NormalImageOver16MiB",
                   [](F& f) { std::filesystem::resize_file(f.resources_.normalFile(), 16u * 1024 * 1024 + 1); }, {},
                   "[ERR] normal image size out of range. (16777217)", {}},
        FailureRow{"NoImageAtAll",
                   [](F& f) {
                       f.kernel_.setIsFileExists(false);
                       f.normal_.setIsFileExists(false);
                   },
                   {}, "[ERR] no firmware image to send.", {}}),
    kRowName);

TEST_F(UpdateTest, EveryPollIsReportedAndTheLastValueStaysWhenAPollIsNotDelivered) {
    state_.installProgress = {0x1234, 0x8000, 0xFFFF};
    timing_.pollInterval = 1ms;
    drive_->setResponder(kTestUnitReady, [this](const RecordedCommand&) {
        if (!state_.installed) return Answer{};
        if (state_.polls == state_.installProgress.size()) return Answer{.result = platform::kIOReturnIOError};
        const std::uint16_t p = state_.installProgress[state_.polls++];
        return checkCondition(0x02, 0x04, 0x12, p & 0xFF, p >> 8);
    });
    EXPECT_TRUE(run());
    EXPECT_EQ(progress_.values(), (std::vector<std::int64_t>{0x1234, 0x8000, 0xFFFF, 0xFFFF, -1}));
}

}  // namespace
}  // namespace kdu::test
