// The update sequence against a scripted drive: commands on the wire, pieces, failures,
// progress, and the drive given back on every path.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "DriveTestSupport.h"
#include "platform/DriveUpdateLock.h"

namespace kdu::test {
namespace {

using namespace std::chrono_literals;
constexpr std::uint8_t kInquiry = 0x12, kTestUnitReady = 0x00, kWriteBuffer = 0x3B, kReadBuffer = 0x3C;
constexpr std::size_t kKernelSent = image_format::kKernelImageSentLength;

// The scripted drive's side of the update.
struct DriveBehaviour {
    bool kernelMode = false;
    std::string revisionBefore = "1.20", revisionAfter = "1.21";
    std::string product = "BD-RW KVL-MT38";
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
    case kReadBuffer: return "versions";
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
// The second look at the drive, with access held, before anything changes it.
const Wire kLook{"inquiry", "tur", "versions"};
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
        hooks_.progress = progress_.hook();
        resources_.writeKernel();
        resources_.writeNormal(40000);
        getFwFileInfo(kernel_, normal_);
        list();
    }
    // The record as the listing made it, which is what a person confirms.
    void list() {
        std::vector<DeviceData> listed;
        ListTargetDrives(listed, normal_);
        ASSERT_EQ(listed.size(), 1u);
        record_ = listed.front();
        drive_->clearCommands();
        log_.clear();
    }
    void TearDown() override { expectEachOpenReleased(*drive_); }

    bool run() { return ExecUpdateMain(record_, normal_, kernel_, timing_, hooks_, &report_); }
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
    UpdateHooks hooks_;
    UpdateReport report_;
    LogCapture log_;
    ProgressCapture progress_;
    std::optional<platform::DriveUpdateLock> heldLock_;

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
            const std::string revision = s.kernelMode ? "0000" : (s.installed ? s.revisionAfter : s.revisionBefore);
            return Answer{.dataIn = inquiryData("KESTORY", s.product, revision, "20240501")};
        });
        // The versions the sample images are built for.
        drive_->setResponder(kReadBuffer, [](const RecordedCommand&) {
            return Answer{.dataIn = readBufferData("MT38HW01", "KRNL0101", "DEST0001", "KJ01")};
        });
    }
};

struct WireRow {
    const char* name;
    bool kernelMode;
    std::size_t normalSize;
    Wire expected;
    const char* console;     // not checked when null
};

class UpdateWireTest : public UpdateTest, public ::testing::WithParamInterface<WireRow> {};

// Pieces carry the files' bytes, the last normal piece padded with zeros (one "[ERR]" line when padded).
TEST_P(UpdateWireTest, SendsTheSequenceAndSucceedsOnTheTargetRevision) {
    const WireRow& row = GetParam();
    state_.kernelMode = row.kernelMode;
    resources_.writeNormal(row.normalSize);
    getFwFileInfo(kernel_, normal_);
    list();
    state_.installProgress = {0x1000};

    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(run()) << report_.message();
    const std::string console = ::testing::internal::GetCapturedStdout();
    if (row.console) {
        EXPECT_EQ(console, row.console);
    }
    EXPECT_EQ(wire(), concat({kLook, row.expected}));
    EXPECT_EQ(record_.revision(), OptionalText{"1.21"});
    EXPECT_EQ(record_.driveMode(), DriveMode::Normal);
    EXPECT_TRUE(report_.ok());
    EXPECT_EQ(report_.state, DriveState::Updated);
    EXPECT_EQ(report_.revisionFound, OptionalText{"1.21"});
    const int padding = row.normalSize % 256 ? 1 : 0;
    EXPECT_EQ(log_.count("[ERR] last data. (len != allocLen)"), padding);
    EXPECT_EQ(log_.count("[ERR]"), padding);
    const Bytes kernelFile = fileBytes(resources_.kernelFile());
    EXPECT_EQ(sentTo(0xFE), Bytes(kernelFile.begin(), kernelFile.begin() + kKernelSent));
    Bytes normal = fileBytes(resources_.normalFile());
    normal.resize((row.normalSize + 255) / 256 * 256, 0);
    EXPECT_EQ(sentTo(0xF0), normal);
}

const Wire kEnd{"mode", "tur", "tur", "inquiry"};
INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateWireTest,
    ::testing::Values(
        WireRow{"NormalModeBothImages", false, 40000, concat({{"mode"}, kKernelPieces, kNormal40000, kEnd}),
                "write..(1) 0x1d00 \nlast one\nwrite..(2) 0x0 \nwrite completed.\n"},
        WireRow{"KernelModeOneModeChange", true, 40000, concat({kKernelPieces, kNormal40000, kEnd}), nullptr},
        WireRow{"Exact64KiB", false, 65536, concat({{"mode"}, kKernelPieces, evenPieces(2), kEnd}),
                "write..(1) 0x8000 \nwrite..(2) 0x0 \nwrite completed.\n"},
        WireRow{"OnePiece7168", false, 7168, concat({{"mode"}, kKernelPieces, {"normal 0+7168"}, kEnd}),
                "last one\nwrite..(1) 0x0 \nwrite completed.\n"},
        WireRow{"Largest16MiB", false, 16u * 1024 * 1024, concat({{"mode"}, kKernelPieces, evenPieces(512), kEnd}),
                nullptr}),
    kRowName);

struct FailureRow {
    const char* name;
    std::function<void(UpdateTest&)> arrange;
    Wire expected;
    const char* logLine;  // expected once, or null for none from the sequence
    std::vector<std::int64_t> notifications;
    UpdateStep step;
    DriveState state;
};

class UpdateFailureTest : public UpdateTest, public ::testing::WithParamInterface<FailureRow> {};

// Every failure names its step and the drive's state, sends nothing after the fault, and
// never tells the drive to install an image it did not take whole.
TEST_P(UpdateFailureTest, ReportsFalseAndGivesEverythingBack) {
    const FailureRow& row = GetParam();
    row.arrange(*this);
    EXPECT_FALSE(run());
    EXPECT_EQ(wire(), row.expected);
    EXPECT_EQ(log_.count(row.logLine ? row.logLine : "ExecUpdateMain("), row.logLine ? 1 : 0)
        << ::testing::PrintToString(log_.lines());
    EXPECT_EQ(progress_.values(), row.notifications);
    EXPECT_FALSE(report_.ok());
    EXPECT_EQ(report_.step, row.step) << report_.message();
    EXPECT_EQ(report_.state, row.state) << report_.message();
    EXPECT_THAT(report_.message(), HasSubstr(std::string(driveStateText(row.state))));
}

const Wire kFullWire = concat({kLook, {"mode"}, kKernelPieces, kNormal40000, {"mode", "tur", "inquiry"}});
constexpr char kPadding[] = "last data.";  // the 40,000-byte image's own line
constexpr char kRefused[] = "[ERR] firmware image refused";
using F = UpdateTest;
using S = UpdateStep;
using D = DriveState;

// A normal image the build itself made and bound: genuine, yet not the one to send.
void shipNormalImage(F& f, image_maker::ImageSpec profile) {
    profile.length = 40000;
    profile.seed = 2;
    f.resources_.write(firmwareFileName(kNormalImageBaseName), image_maker::makeImage(profile));
    f.resources_.ship();
}
Answer refusedPiece() { return checkCondition(0x05, 0x26, 0x00); }
// WRITE BUFFER answers: mode changes as the drive does them, the chosen piece otherwise.
void failPiece(F& f, std::uint8_t buffer, int number, Answer answer) {
    auto count = std::make_shared<int>(0);
    f.drive_->setResponder(kWriteBuffer, [&f, buffer, number, answer, count](const RecordedCommand& c) {
        if (c.cdb[2] == 0xFF) {
            f.state_.kernelMode = !f.state_.kernelMode;
            f.state_.installed = !f.state_.kernelMode;
            return Answer{};
        }
        return c.cdb[2] == buffer && ++*count == number ? answer : Answer{};
    });
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFailureTest,
    ::testing::Values(
        FailureRow{"NoDriveChosen", [](F& f) { f.record_.setIdentity({}); }, {}, nullptr, {}, S::TakeDrive,
                   D::OldFirmware},
        FailureRow{"DriveCannotBeOpened", [](F& f) { f.drive_->setFaults({.open = scsi::TransportError::NoDevice}); },
                   {}, nullptr, {}, S::TakeDrive, D::OldFirmware},
        FailureRow{"HeldElsewhere", [](F& f) { f.drive_->setFaults({.open = scsi::TransportError::InUse}); }, {},
                   "[WAR] ObtainExclusiveAccess failed.(1)", {}, S::TakeDrive, D::OldFirmware},
        FailureRow{"ModeChangeToKernelFails", [](F& f) { f.state_.failingModeChange = 1; }, concat({kLook, {"mode"}}),
                   "[ERR] change drive mode.( -> Kernel)", {}, S::ToKernelMode, D::OldFirmware},
        FailureRow{"SwitchBackFails", [](F& f) { f.state_.failingModeChange = 2; },
                   concat({kLook, {"mode"}, kKernelPieces, kNormal40000, {"mode"}}),
                   "[ERR] change drive mode.( -> Normal)", {}, S::ToNormalMode, D::UpdateMode},
        // Switched and installed: the old revision now does not mean that nothing changed.
        FailureRow{"OldRevisionAfterwards", [](F& f) { f.state_.revisionAfter = "1.20"; }, kFullWire, kPadding,
                   {0, -1}, S::CheckRevision, D::Unknown},
        FailureRow{"FinalInquiryFails", [](F& f) { f.state_.failFinalInquiry = true; }, kFullWire, kPadding, {0, -1},
                   S::CheckRevision, D::Unknown},
        FailureRow{"ReleaseRefused", [](F& f) { f.drive_->setFaults({.refuseRelease = true}); }, kFullWire,
                   "[ERR] ReleaseExclusiveAccess failed.", {0, -1}, S::ReleaseDrive, D::Updated},
        FailureRow{"InstallNeverEnds",
                   [](F& f) {
                       f.state_.neverReady = true;
                       f.timing_.waitLimit = 0ms;
                   },
                   concat({kLook, {"mode"}, kKernelPieces, kNormal40000, {"mode", "tur"}}),
                   "[ERR] drive still installing", {0x10, -1}, S::Install, D::Installing},
        FailureRow{"WaitStoppedOnRequest",
                   [](F& f) {
                       f.state_.neverReady = true;
                       f.hooks_.stopWaiting = [] { return true; };
                   },
                   concat({kLook, {"mode"}, kKernelPieces, kNormal40000, {"mode", "tur"}}), kPadding, {0x10, -1},
                   S::Install, D::Installing},
        FailureRow{"CancelledBeforeTheFirstChange", [](F& f) { f.hooks_.beginCritical = [] { return false; }; }, kLook,
                   nullptr, {}, S::ToKernelMode, D::OldFirmware},
        // Images: refused before the drive is opened, so not one command reaches it.
        FailureRow{"KernelImageTooShort", [](F& f) { f.resources_.writeKernel(kKernelSent - 1); }, {}, kRefused, {},
                   S::CheckImages, D::OldFirmware},
        FailureRow{"KernelImageVanished", [](F& f) { std::filesystem::remove(f.resources_.kernelFile()); }, {},
                   kRefused, {}, S::CheckImages, D::OldFirmware},
        FailureRow{"NormalImageEmpty", [](F& f) { f.resources_.write(firmwareFileName(kNormalImageBaseName), {}); }, {},
                   kRefused, {}, S::CheckImages, D::OldFirmware},
        FailureRow{"NormalImageOver16MiB",
                   [](F& f) { std::filesystem::resize_file(f.resources_.normalFile(), 16u * 1024 * 1024 + 1); }, {},
                   kRefused, {}, S::CheckImages, D::OldFirmware},
        FailureRow{"NormalImageByteFlipped",
                   [](F& f) {
                       Bytes bytes = fileBytes(f.resources_.normalFile());
                       bytes[30000] ^= 0x40;
                       f.resources_.write(firmwareFileName(kNormalImageBaseName), bytes);
                   },
                   {}, kRefused, {}, S::CheckImages, D::OldFirmware},
        FailureRow{"ManifestMissing", [](F& f) { std::filesystem::remove(f.resources_.file(kImageManifestName)); }, {},
                   kRefused, {}, S::CheckImages, D::OldFirmware},
        FailureRow{"GenuineImageOfAnotherRevision",
                   [](F& f) { shipNormalImage(f, {.revision = "1.22"}); }, {}, kRefused, {}, S::CheckImages,
                   D::OldFirmware},
        FailureRow{"ImageSwappedSinceStartUp",
                   [](F& f) { shipNormalImage(f, {.hardVersion = "MT38HW02"}); }, {}, kRefused, {},
                   S::CheckImages, D::OldFirmware},
        FailureRow{"NoImageAtAll",
                   [](F& f) {
                       f.kernel_.setIsFileExists(false);
                       f.normal_.setIsFileExists(false);
                   },
                   {}, kRefused, {}, S::CheckImages, D::OldFirmware},
        // The drive: looked at again once held, and left alone when it is not the one chosen.
        FailureRow{"OtherRevisionSinceChosen", [](F& f) { f.state_.revisionBefore = "1.19"; }, kLook,
                   "[ERR] the drive changed since it was chosen", {}, S::IdentifyAgain, D::OldFirmware},
        FailureRow{"PutInKernelModeSinceChosen", [](F& f) { f.state_.kernelMode = true; }, kLook,
                   "[ERR] the drive changed since it was chosen", {}, S::IdentifyAgain, D::UpdateMode},
        FailureRow{"OtherModelSinceChosen", [](F& f) { f.state_.product = "BD-RW KVL-MT40"; }, {"inquiry"},
                   "[ERR] the drive changed since it was chosen", {}, S::IdentifyAgain, D::OldFirmware},
        // Swapped between the search and the open: the serial tells.
        FailureRow{"AnotherDriveInItsPlace",
                   [](F& f) {
                       f.drive_->setIdentity({"a", {}, "S1"});
                       f.record_.setIdentity({"a", {}, "S1"});
                       f.hooks_.progress = [&f](const UpdateProgress& p) {
                           if (p.step == UpdateStep::TakeDrive) f.drive_->setIdentity({"a", {}, "S2"});
                       };
                   },
                   {},
                   "[ERR] the drive changed since it was chosen", {}, S::IdentifyAgain, D::OldFirmware},
        FailureRow{"BeingUpdatedByAnotherProcess",
                   [](F& f) {
                       std::string why;
                       f.heldLock_ = platform::DriveUpdateLock::tryTake(f.record_.identity().lockKey(), why);
                       ASSERT_TRUE(f.heldLock_.has_value()) << why;
                   },
                   {}, nullptr, {}, S::TakeDrive, D::OldFirmware},
        // Pieces: the first one refused ends the transfer, and no closing mode change follows.
        FailureRow{"KernelPieceRefused", [](F& f) { failPiece(f, 0xFE, 2, refusedPiece()); },
                   concat({kLook, {"mode", "kernel 0+32768", "kernel 32768+32768"}}),
                   "[ERR] piece refused; transfer stopped. (2 of 3)", {}, S::WriteKernelImage, D::UpdateMode},
        FailureRow{"NormalPieceRefused", [](F& f) { failPiece(f, 0xF0, 1, refusedPiece()); },
                   concat({kLook, {"mode"}, kKernelPieces, {"normal 0+32768"}}),
                   "[ERR] piece refused; transfer stopped. (1 of 2)", {}, S::WriteNormalImage, D::UpdateMode},
        FailureRow{"NormalPieceOtherStatus",
                   [](F& f) { failPiece(f, 0xF0, 2, Answer{.status = scsi::Status::Busy}); },
                   concat({kLook, {"mode"}, kKernelPieces, kNormal40000}), "[ERR] piece refused", {},
                   S::WriteNormalImage, D::UpdateMode},
        FailureRow{"NormalPieceNotWhollyTaken",
                   [](F& f) { failPiece(f, 0xF0, 1, Answer{.transferred = 32767}); },
                   concat({kLook, {"mode"}, kKernelPieces, {"normal 0+32768"}}), "[ERR] piece refused", {},
                   S::WriteNormalImage, D::UpdateMode},
        FailureRow{"NormalPieceTransportError",
                   [](F& f) { failPiece(f, 0xF0, 1, Answer{.error = scsi::TransportError::IOError}); },
                   concat({kLook, {"mode"}, kKernelPieces, {"normal 0+32768"}}), "[ERR] piece refused", {},
                   S::WriteNormalImage, D::UpdateMode},
        FailureRow{"DriveGoneMidTransfer",
                   [](F& f) { failPiece(f, 0xFE, 1, Answer{.error = scsi::TransportError::NoDevice}); },
                   concat({kLook, {"mode", "kernel 0+32768"}}), "[ERR] the drive has gone", {}, S::WriteKernelImage,
                   D::Unknown}),
    kRowName);

struct ImageRefusalRow {
    const char* name;
    std::function<void(const ResourceFolder&)> tamper;  // after the build bound the images
    ImageProblem problem;
    const char* file;
    std::string detail;
};

class ImageRefusalTest : public UpdateTest, public ::testing::WithParamInterface<ImageRefusalRow> {};

// Images the program was not built with are refused, and named, before the drive sees a
// command: whatever the manifest beside them now says.
TEST_P(ImageRefusalTest, NamesTheFileAndSendsNothing) {
    const ImageRefusalRow& row = GetParam();
    row.tamper(resources_);
    EXPECT_FALSE(run());
    EXPECT_EQ(wire(), Wire{});
    EXPECT_EQ(report_.step, S::CheckImages);
    EXPECT_EQ(report_.cause.kind, UpdateCauseKind::ImageRefused);
    EXPECT_EQ(report_.cause.image.problem, row.problem) << report_.message();
    EXPECT_EQ(report_.cause.image.file, row.file);
    EXPECT_EQ(report_.cause.image.detail, row.detail);
    EXPECT_THAT(report_.message(), HasSubstr(row.file));

    // Read afresh, as at start-up, the same fault and no header.
    FirmFileData kernel, normal;
    const ImageFault fault = loadShippedImages(shippedImageBinding(), kernel, normal);
    EXPECT_EQ(fault.problem, row.problem);
    EXPECT_EQ(fault.file, row.file);
    EXPECT_FALSE(kernel.isFileExists() || normal.isFileExists());
}

void swapImages(const ResourceFolder& r) {
    std::filesystem::rename(r.kernelFile(), r.file("swap"));
    std::filesystem::rename(r.normalFile(), r.kernelFile());
    std::filesystem::rename(r.file("swap"), r.normalFile());
    r.writeManifest();
}
void replaceNormalImage(const ResourceFolder& r) {
    r.write(firmwareFileName(kNormalImageBaseName), image_maker::makeImage({.length = 40000, .seed = 3}));
    r.writeManifest();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImageRefusalTest,
    ::testing::Values(
        ImageRefusalRow{"SwappedAndRemanifested", swapImages, ImageProblem::WrongRole, "R7360500.121", "normal"},
        ImageRefusalRow{"NormalReplacedAndRemanifested", replaceNormalImage, ImageProblem::Damaged, "R7360501.121", ""},
        ImageRefusalRow{"NormalCutTo100Bytes",
                        [](const ResourceFolder& r) { std::filesystem::resize_file(r.normalFile(), 100); },
                        ImageProblem::Truncated, "R7360501.121", ""},
        ImageRefusalRow{"KernelIsACopyOfTheNormal",
                        [](const ResourceFolder& r) {
                            std::filesystem::copy_file(r.normalFile(), r.kernelFile(),
                                                       std::filesystem::copy_options::overwrite_existing);
                        },
                        ImageProblem::WrongRole, "R7360500.121", "normal"},
        ImageRefusalRow{"ManifestRemadeForAnotherImage",
                        [](const ResourceFolder& r) {
                            const Bytes genuine = fileBytes(r.normalFile());
                            replaceNormalImage(r);
                            r.write(firmwareFileName(kNormalImageBaseName), genuine);
                        },
                        ImageProblem::ManifestDiffers, kImageManifestName, "R7360501.121"}),
    kRowName);

// A listing elsewhere holds the drive for a moment: the update waits it out, not refuses.
TEST_F(UpdateTest, ExclusiveAccessFoundBusyForAMomentIsAskedAgain) {
    state_.installProgress = {0x1000};
    drive_->setFaults({.busyOpens = 2});
    EXPECT_TRUE(run()) << report_.message();
    EXPECT_EQ(report_.state, DriveState::Updated);
}

TEST_F(UpdateTest, EveryPollIsReportedAndTheLastValueStaysWhenAPollIsNotDelivered) {
    state_.installProgress = {0x1234, 0x8000, 0xFFFF};
    timing_.pollInterval = 1ms;
    auto undelivered = std::make_shared<bool>(true);
    drive_->setResponder(kTestUnitReady, [this, undelivered](const RecordedCommand&) {
        if (!state_.installed) return Answer{};
        if (state_.polls == state_.installProgress.size())
            return std::exchange(*undelivered, false) ? Answer{.error = scsi::TransportError::IOError} : Answer{};
        const std::uint16_t p = state_.installProgress[state_.polls++];
        return checkCondition(0x02, 0x04, 0x12, p & 0xFF, p >> 8);
    });
    EXPECT_TRUE(run());
    EXPECT_EQ(progress_.values(), (std::vector<std::int64_t>{0x1234, 0x8000, 0xFFFF, 0xFFFF, 0, -1}));
}

// The install wait: what the drive answers after the switch back, the last answer repeated.
struct WaitRow {
    const char* name;
    std::vector<Answer> answers;
    bool ok;
    DriveState state;
    UpdateCauseKind cause;
    const char* message = "";  // in the report's message
    bool stop = false;         // the caller stops the wait at once
};

class InstallWaitTest : public UpdateTest, public ::testing::WithParamInterface<WaitRow> {};

// Only the truth ends the wait: one odd answer keeps it going, an answer that is no part of an
// install ends it only when it lasts, and the bound leaves the state to the last answers.
TEST_P(InstallWaitTest, EndsOnlyOnTheTruth) {
    const WaitRow& row = GetParam();
    timing_ = {.pollInterval = 1ms, .waitLimit = 300ms, .faultPersistence = 30ms};
    if (row.stop) hooks_.stopWaiting = [] { return true; };
    auto next = std::make_shared<std::size_t>(0);
    drive_->setResponder(kTestUnitReady, [this, next, &row](const RecordedCommand&) {
        if (!state_.installed) return Answer{};
        return row.answers[std::min((*next)++, row.answers.size() - 1)];
    });
    EXPECT_EQ(run(), row.ok) << report_.message();
    EXPECT_EQ(report_.state, row.state) << report_.message();
    EXPECT_EQ(report_.cause.kind, row.cause) << report_.message();
    EXPECT_THAT(report_.message(), HasSubstr(row.message));
    const Wire w = wire();
    // The identification decides, and only once the drive runs normally again.
    EXPECT_EQ(w.back() == "inquiry", row.ok || row.cause == UpdateCauseKind::WrongRevision);
}

const Answer kInstalling = checkCondition(0x02, 0x04, 0x12, 0x00, 0x80);
const Answer kHardwareError = checkCondition(0x04, 0x44, 0x00);
using K = UpdateCauseKind;
INSTANTIATE_TEST_SUITE_P(
    Rows, InstallWaitTest,
    ::testing::Values(
        WaitRow{"BecomingReadyOnce", {kInstalling, checkCondition(0x02, 0x04, 0x01), kInstalling, {}}, true,
                D::Updated, K::None},
        WaitRow{"BusyOnce", {kInstalling, {.status = scsi::Status::Busy}, kInstalling, {}}, true,
                D::Updated, K::None},
        WaitRow{"NotDeliveredOnce", {kInstalling, {.error = scsi::TransportError::IOError}, kInstalling, {}}, true,
                D::Updated, K::None},
        // A restart while installing (power on, then parameters changed) is said once.
        WaitRow{"PowerOnResetOnce", {kInstalling, checkCondition(0x06, 0x29, 0x00), kInstalling, {}}, true,
                D::Updated, K::None},
        WaitRow{"ParametersChangedOnce", {kInstalling, checkCondition(0x06, 0x2A, 0x00), {}}, true, D::Updated,
                K::None},
        WaitRow{"MediumChangedOnce", {kInstalling, checkCondition(0x06, 0x28, 0x00), kInstalling, {}}, true,
                D::Updated, K::None},
        WaitRow{"HardwareErrorOnce", {kInstalling, kHardwareError, kInstalling, {}}, true, D::Updated, K::None},
        WaitRow{"NoDiscAfterwards", {kInstalling, checkCondition(0x02, 0x3A, 0x00)}, true, D::Updated, K::None},
        WaitRow{"HardwareErrorPersists", {kInstalling, kHardwareError}, false, D::Unknown, K::InstallFault,
                "Hardware Error, Internal target failure (4/44/00)"},
        WaitRow{"InstallingUntilTheBound", {kInstalling}, false, D::Installing, K::StillInstalling},
        WaitRow{"BusyUntilTheBound", {kInstalling, {.status = scsi::Status::Busy}}, false, D::Installing,
                K::StillInstalling},
        WaitRow{"NoAnswerUntilTheBound", {kInstalling, {.error = scsi::TransportError::IOError}}, false, D::Unknown,
                K::NoReadyAnswer, "did not report ready within"},
        // Stopped by the caller: the state is the last answer's.
        WaitRow{"StoppedWhileInstalling", {kInstalling}, false, D::Installing, K::StoppedWaiting, "", true},
        WaitRow{"StoppedWithoutAnAnswer", {{.error = scsi::TransportError::IOError}}, false, D::Unknown,
                K::StoppedWaiting, "", true}),
    kRowName);

}  // namespace
}  // namespace kdu::test
