// Opening a drive and the listing with its eligibility rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DriveTestSupport.h"

namespace kdu::test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
constexpr std::uint8_t kInquiry = 0x12, kTestUnitReady = 0x00, kReadBuffer = 0x3C;

struct DriveAnswers {
    std::string product = "BD-RW KVL-MT38", revision = "1.20", hardVersion = "HW000001", destVersion = "DEST0001";
    bool disc = true;
};

void answerAsTarget(FakeDrive& drive, const DriveAnswers& a) {
    drive.setResponder(kInquiry, [a](const RecordedCommand&) {
        return Answer{.dataIn = inquiryData("KESTORY", a.product, a.revision, "20230101")};
    });
    drive.setResponder(kTestUnitReady, [a](const RecordedCommand&) { return a.disc ? Answer{} : checkCondition(2, 0x3A, 0); });
    drive.setResponder(kReadBuffer, [a](const RecordedCommand&) {
        return Answer{.dataIn = readBufferData(a.hardVersion, "KV000001", a.destVersion, "JK01")};
    });
}

// At the end no drive is held, and each was given back before it was opened again.
class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        normal.setIsFileExists(true);
        normal.setRevision("1.21");
        normal.setHard_version("HW000001");
        normal.setDest_version("DEST0001");
        resources.writeImagesFor(normal);
    }
    void TearDown() override {
        list.clear();
        for (const auto& d : drives) expectEachOpenReleased(*d);
    }
    std::shared_ptr<FakeDrive> addTarget(const std::string& key, const DriveAnswers& answers = {}) {
        drives.push_back(backend->addDrive(key));
        answerAsTarget(*drives.back(), answers);
        return drives.back();
    }

    LogCapture log;
    std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
    InstalledBackend installed{backend};
    ResourceFolder resources;
    FirmFileData normal;
    std::vector<DeviceData> list;
    std::vector<std::shared_ptr<FakeDrive>> drives;
};

struct EligibilityRow {
    const char* name;
    DriveAnswers drive;
    std::function<void(FirmFileData&)> image;  // the header record read at start-up
    UpdateEligibility expected;
    std::function<void(const ResourceFolder&)> files = nullptr;  // the image files since
};

class EligibilityTest : public ListingTest, public ::testing::WithParamInterface<EligibilityRow> {};

// The list says "may be updated" exactly when the update would go ahead, and why not otherwise.
TEST_P(EligibilityTest, DecidesFromVersionsAndImagesAndListsTheDrive) {
    const EligibilityRow& row = GetParam();
    if (row.image) {
        row.image(normal);
        resources.writeImagesFor(normal);
    }
    if (row.files) row.files(resources);
    addTarget("a", row.drive);
    ListTargetDrives(list, normal);
    ASSERT_EQ(list.size(), 1u);
    const DeviceData& d = list[0];
    EXPECT_EQ(d.eligibility(), row.expected) << eligibilityKey(d.eligibility());
    EXPECT_EQ(d.isEnableUpdate(), row.expected == UpdateEligibility::Eligible);
    EXPECT_EQ(d.identity().id, "a");
    EXPECT_EQ(d.driveMode(), row.drive.revision == "0000" ? DriveMode::Kernel : DriveMode::Normal);
    EXPECT_EQ(d.hard_version(), OptionalText{row.drive.hardVersion});
    EXPECT_EQ(d.isPresenceDisc(), row.drive.disc);
    EXPECT_TRUE(log.lines().empty());
}

void flipNormalImageByte(const ResourceFolder& r) {
    std::fstream f(r.normalFile(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(20000);
    const char c = static_cast<char>(f.get() ^ 0x01);
    f.seekp(20000);
    f.put(c);
}

using E = UpdateEligibility;
INSTANTIATE_TEST_SUITE_P(
    Rows, EligibilityTest,
    ::testing::Values(
        EligibilityRow{"LowerRevision", {}, nullptr, E::Eligible},
        EligibilityRow{"NoDiscChangesNothing", {.disc = false}, nullptr, E::Eligible},
        EligibilityRow{"SameRevision", {.revision = "1.21"}, nullptr, E::UpToDate},
        EligibilityRow{"HigherRevision", {.revision = "1.30"}, nullptr, E::UpToDate},
        EligibilityRow{"NumericRunsCompareByValue", {.revision = "1.9"}, nullptr, E::Eligible},
        EligibilityRow{"KernelModeDrive", {.revision = "0000"}, nullptr, E::Eligible},
        EligibilityRow{"AnyDestination", {.destVersion = "        "},
                       [](FirmFileData& f) { f.setDest_version("OTHER001"); }, E::Eligible},
        EligibilityRow{"SevenBlanksAndALetter", {.destVersion = "       X"}, nullptr, E::OtherDestination},
        EligibilityRow{"HardwareCaseDiffers", {.hardVersion = "hw000001"}, nullptr, E::OtherHardware},
        // A field the rule reads that the drive left out or blank never lets it pass.
        EligibilityRow{"BlankRevision", {.revision = "    "}, nullptr, E::RevisionUnknown},
        EligibilityRow{"RevisionNotText", {.revision = "\xFF\xFE\xFD\xFC"}, nullptr, E::RevisionUnknown},
        EligibilityRow{"RevisionWithoutDigits", {.revision = "!!!!"}, nullptr, E::RevisionUnknown},
        EligibilityRow{"NoHardwareVersion", {.hardVersion = ""}, nullptr, E::HardwareVersionUnknown},
        EligibilityRow{"BlankHardwareVersion", {.hardVersion = "        "}, nullptr, E::HardwareVersionUnknown},
        EligibilityRow{"NoDestinationVersion", {.destVersion = ""}, nullptr, E::DestinationUnknown},
        EligibilityRow{"ImageDestinationAbsent", {}, [](FirmFileData& f) { f.setDest_version(std::nullopt); },
                       E::ImageDamaged},
        EligibilityRow{"NormalImageMissing", {},
                       [](FirmFileData& f) {
                           f.setIsFileExists(false);
                           f.setRevision(std::nullopt);
                           f.setHard_version(std::nullopt);
                           f.setDest_version(std::nullopt);
                       },
                       E::ImageDamaged},
        EligibilityRow{"ImageRevisionAbsent", {}, [](FirmFileData& f) { f.setRevision(std::nullopt); }, E::ImageDamaged},
        EligibilityRow{"ImageByteFlipped", {}, nullptr, E::ImageDamaged, flipNormalImageByte},
        EligibilityRow{"KernelImageShort", {}, nullptr, E::ImageDamaged,
                       [](const ResourceFolder& r) { r.writeKernel(image_format::kKernelImageSentLength - 1); }},
        EligibilityRow{"ManifestMissing", {}, nullptr, E::ImageDamaged,
                       [](const ResourceFolder& r) { std::filesystem::remove(r.file(kImageManifestName)); }},
        // An up-to-date drive is up to date whatever the images: that is the more useful answer.
        EligibilityRow{"UpToDateWithDamagedImage", {.revision = "1.21"}, nullptr, E::UpToDate, flipNormalImageByte}),
    kRowName);

struct FailureRow {
    const char* name;
    std::function<void(FakeDrive&)> arrange;
    std::optional<UpdateEligibility> listedAs;  // none: left out (another model)
    std::vector<std::uint8_t> commandsToB;
    const char* logLine;  // expected once, or null for a silent listing
};

class ListingFailureTest : public ListingTest, public ::testing::WithParamInterface<FailureRow> {};

// A drive of the target model is listed whatever happens to it, with the reason when it
// could not be examined; only a drive known to be another model is left out.
TEST_P(ListingFailureTest, OnlyTheFailingDriveIsAffected) {
    const FailureRow& row = GetParam();
    addTarget("a");
    row.arrange(*addTarget("b"));
    addTarget("c");
    ListTargetDrives(list, normal);
    std::vector<std::string> keys;
    for (const DeviceData& d : list) {
        keys.push_back(d.identity().id);
        EXPECT_TRUE(keys.back() == "b" || d.isEnableUpdate()) << keys.back();
    }
    EXPECT_EQ(keys, (row.listedAs ? std::vector<std::string>{"a", "b", "c"} : std::vector<std::string>{"a", "c"}));
    if (row.listedAs) {
        const DeviceData& b = list.at(1);
        EXPECT_EQ(b.eligibility(), *row.listedAs) << eligibilityKey(b.eligibility());
        EXPECT_EQ(b.isEnableUpdate(), *row.listedAs == UpdateEligibility::Eligible);
    }
    std::vector<std::uint8_t> opcodes;
    for (const RecordedCommand& c : drives[1]->commands()) opcodes.push_back(c.opcode());
    EXPECT_EQ(opcodes, row.commandsToB);
    if (row.logLine) {
        EXPECT_EQ(log.count(row.logLine), 1);
    } else {
        EXPECT_TRUE(log.lines().empty());
    }
}

const std::vector<std::uint8_t> kAllThree{kInquiry, kTestUnitReady, kReadBuffer};
using F = FakeDrive;
const scsi::DriveModelNames kOtherModelNames{"KESTORY", "DVD-RW KVL-D100"};
INSTANTIATE_TEST_SUITE_P(
    Rows, ListingFailureTest,
    ::testing::Values(
        FailureRow{"HeldByAnotherClient", [](F& b) { b.setFaults({.open = scsi::TransportError::InUse}); },
                   E::InUse, {}, "[WAR] ObtainExclusiveAccess failed.(1)"},
        // Another listing holds it for a moment: asked again, it is examined.
        FailureRow{"BusyForAMoment", [](F& b) { b.setFaults({.busyOpens = 3}); }, E::Eligible, kAllThree, nullptr},
        FailureRow{"HeldAndKnownToBeAnotherModel",
                   [](F& b) {
                       b.setFaults({.open = scsi::TransportError::Busy});
                       b.setModelNames(kOtherModelNames);
                   },
                   std::nullopt, {}, "[WAR] ObtainExclusiveAccess failed.(1)"},
        FailureRow{"GoneSinceFound", [](F& b) { b.setFaults({.open = scsi::TransportError::NoDevice}); }, std::nullopt,
                   {}, "[ERR] Couldn't create a plugin interface for the io_service_t. (0xe00002c0)"},
        FailureRow{"AccessRefused", [](F& b) { b.setFaults({.open = scsi::TransportError::NotPrivileged}); },
                   E::AccessRefused, {}, "[WAR] ObtainExclusiveAccess failed.(1)"},
        FailureRow{"CannotBeOpened", [](F& b) { b.setFaults({.open = scsi::TransportError::NoResources}); },
                   E::Unreadable, {}, "[ERR] interface is NULL."},
        FailureRow{"InquiryFails", [](F& b) { b.queue(checkCondition(0x04, 0x44, 0x00)); }, E::Unreadable, {kInquiry},
                   nullptr},
        FailureRow{"OtherModel", [](F& b) { answerAsTarget(b, {.product = "BD-RW KVL-MT39"}); }, std::nullopt,
                   {kInquiry}, nullptr},
        // Installing: its versions are left for later, and it is never eligible.
        FailureRow{"Installing",
                   [](F& b) {
                       b.setResponder(kTestUnitReady,
                                      [](const RecordedCommand&) { return checkCondition(2, 0x04, 0x12, 0, 0x80); });
                   },
                   E::Installing, {kInquiry, kTestUnitReady}, nullptr},
        FailureRow{"ReadBufferFails",
                   [](F& b) {
                       b.setResponder(kReadBuffer, [](const RecordedCommand&) { return checkCondition(5, 0x24, 0); });
                   },
                   E::VersionsUnknown, kAllThree, nullptr},
        FailureRow{"ReleaseRefused", [](F& b) { b.setFaults({.refuseRelease = true}); }, E::Unreadable, kAllThree,
                   "[ERR] ReleaseExclusiveAccess failed."}),
    kRowName);

}  // namespace
}  // namespace kdu::test
