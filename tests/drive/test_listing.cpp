#include <gtest/gtest.h>

#include <functional>

#include "drive/STUCMethod.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"
#include "test_update_support.h"

using namespace kdu::test;
using platform::io_service_t;

namespace {

constexpr std::uint8_t kInquiry = 0x12, kTestUnitReady = 0x00, kReadBuffer = 0x3C;

struct DriveAnswers {
    std::string product = "BD-RW KVL-MT38";
    std::string revision = "1.20";
    std::string hardVersion = "HW000001";
    std::string destVersion = "DEST0001";
};

void answerAsTarget(FakeDrive& drive, const DriveAnswers& a) {
    drive.setResponder(kInquiry, [a](const RecordedCommand&) {
        return Answer::good(inquiryData("KESTORY", a.product, a.revision, "20230101"));
    });
    drive.setResponder(kReadBuffer, [a](const RecordedCommand&) {
        return Answer::good(readBufferData(a.hardVersion, "KV000001", a.destVersion, "JK01"));
    });
}

std::vector<std::uint8_t> opcodes(const FakeDrive& drive) {
    std::vector<std::uint8_t> out;
    for (const RecordedCommand& c : drive.commands()) out.push_back(c.opcode());
    return out;
}

}  // namespace

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend_ = std::make_shared<FakeBackend>();
        platform::installBackend(backend_);
        startObjects_ = platform::IORegistryLiveObjectCount();
        normal_.setIsFileExists(true);
        normal_.setRevision("1.21");
        normal_.setHard_version("HW000001");
        normal_.setDest_version("DEST0001");
    }
    void TearDown() override {
        list_.clear();
        for (const char* key : {"a", "b", "c"})
            if (auto d = backend_->drive(key)) {
                EXPECT_FALSE(d->exclusivelyHeld()) << key;
                EXPECT_EQ(d->openChannels(), 0) << key;
            }
        EXPECT_EQ(platform::testing::liveInterfaces(), platform::testing::LiveInterfaces{});
        EXPECT_EQ(platform::IORegistryLiveObjectCount(), startObjects_);
        platform::installBackend(nullptr);
    }

    std::shared_ptr<FakeDrive> addTarget(const std::string& key, const DriveAnswers& answers = {}) {
        std::shared_ptr<FakeDrive> drive = backend_->addDrive(key);
        answerAsTarget(*drive, answers);
        return drive;
    }
    void runListing() {
        platform::io_iterator_t iterator = platform::IO_OBJECT_NULL;
        if (FindDevicesUsing(kFindMethodAuthoringDevices, platform::kIOMasterPortDefault, &iterator))
            ExecListDeviceMain(iterator, list_, normal_);
        if (iterator != platform::IO_OBJECT_NULL) platform::IOObjectRelease(iterator);
    }
    std::vector<std::string> listedKeys() const {
        std::vector<std::string> keys;
        for (const DeviceData& d : list_) keys.push_back(platform::registry::nodeOf(d.scsiDevice())->key());
        return keys;
    }

    std::shared_ptr<FakeBackend> backend_;
    std::size_t startObjects_ = 0;
    FirmFileData normal_;
    std::vector<DeviceData> list_;
    LogCapture log_;
};

// Eligibility, through the whole listing ---------------------------------------------

struct EligibilityRow {
    const char* name;
    DriveAnswers drive;
    std::function<void(FirmFileData&)> image;
    bool eligible;
};
void PrintTo(const EligibilityRow& row, std::ostream* os) { *os << row.name; }

class EligibilityTest : public ListingTest, public ::testing::WithParamInterface<EligibilityRow> {};

TEST_P(EligibilityTest, DecidesFromVersionsAndListsTheDrive) {
    const EligibilityRow& row = GetParam();
    if (row.image) row.image(normal_);
    addTarget("a", row.drive);
    runListing();

    ASSERT_EQ(list_.size(), 1u);
    const DeviceData& d = list_[0];
    EXPECT_EQ(d.isEnableUpdate(), row.eligible);
    EXPECT_EQ(d.isEnableUpdate(), IsEligibleForUpdate(d, normal_));
    EXPECT_EQ(d.driveMode(), row.drive.revision == "0000" ? 1 : 0);
    EXPECT_EQ(d.hard_version(), OptionalText{row.drive.hardVersion});
    EXPECT_TRUE(d.isPresenceDisc());
    EXPECT_EQ(platform::IOObjectGetRetainCount(d.scsiDevice()), 1u) << "only the record holds the handle";
    EXPECT_TRUE(log_.lines().empty());
}

const auto withoutImage = [](FirmFileData& f) {
    f.setIsFileExists(false);
    f.setRevision(std::nullopt);
    f.setHard_version(std::nullopt);
    f.setDest_version(std::nullopt);
};

INSTANTIATE_TEST_SUITE_P(
    Rows, EligibilityTest,
    ::testing::Values(
        EligibilityRow{"LowerRevision", {}, nullptr, true},
        EligibilityRow{"SameRevision", {.revision = "1.21"}, nullptr, false},
        EligibilityRow{"HigherRevision", {.revision = "1.30"}, nullptr, false},
        EligibilityRow{"NumericRunsCompareByValue", {.revision = "1.9"}, nullptr, true},
        EligibilityRow{"KernelModeDrive", {.revision = "0000"}, nullptr, true},
        EligibilityRow{"AnyDestination", {.destVersion = "        "},
                       [](FirmFileData& f) { f.setDest_version("OTHER001"); }, true},
        EligibilityRow{"SevenBlanksAndALetter", {.destVersion = "       X"}, nullptr, false},
        EligibilityRow{"OtherDestination", {.destVersion = "DEST0002"}, nullptr, false},
        EligibilityRow{"OtherHardware", {.hardVersion = "HW000002"}, nullptr, false},
        EligibilityRow{"HardwareCaseDiffers", {.hardVersion = "hw000001"}, nullptr, false},
        EligibilityRow{"NormalImageMissing", {}, withoutImage, false},
        EligibilityRow{"ImageRevisionAbsent", {}, [](FirmFileData& f) { f.setRevision(std::nullopt); }, false}),
    [](const ::testing::TestParamInfo<EligibilityRow>& rowInfo) { return rowInfo.param.name; });

// Failures of one drive --------------------------------------------------------------

struct FailureRow {
    const char* name;
    std::function<void(ListingTest&, FakeDrive&)> arrange;
    bool listed;
    std::vector<std::uint8_t> commandsToB;
    const char* logLine;  // expected once, or null for a silent listing
};
void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class ListingFailureTest : public ListingTest, public ::testing::WithParamInterface<FailureRow> {
public:
    // Another client holds drive b with exclusive access for the whole listing.
    void holdElsewhere(FakeDrive& drive) {
        holder_ = platform::registry::retainService(backend_->node(drive.key()));
        CreateDeviceInterfaceForAuthoringDevice(holder_, &plugIn_, &taskDevice_, &mmc_);
        ASSERT_NE(taskDevice_, nullptr);
        ASSERT_EQ(taskDevice_->ObtainExclusiveAccess(), platform::kIOReturnSuccess);
    }
    void refuseRelease(FakeDrive& drive) {
        auto substituting = std::make_shared<SubstitutingBackend>(backend_);
        substituting->substitute(std::make_shared<ReleaseRefusingNode>(backend_->node(drive.key())));
        platform::installBackend(substituting);
    }

protected:
    void TearDown() override {
        if (taskDevice_) {
            taskDevice_->ReleaseExclusiveAccess();
            taskDevice_->Release();
            mmc_->Release();
            platform::IODestroyPlugInInterface(plugIn_);
            platform::IOObjectRelease(holder_);
        }
        ListingTest::TearDown();
    }
    io_service_t holder_ = platform::IO_OBJECT_NULL;
    platform::IOCFPlugInInterface* plugIn_ = nullptr;
    platform::MMCDeviceInterface* mmc_ = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice_ = nullptr;
};

TEST_P(ListingFailureTest, OnlyTheFailingDriveIsAffected) {
    const FailureRow& row = GetParam();
    addTarget("a");
    std::shared_ptr<FakeDrive> b = addTarget("b");
    addTarget("c");
    row.arrange(*this, *b);
    runListing();

    const std::vector<std::string> expected =
        row.listed ? std::vector<std::string>{"a", "b", "c"} : std::vector<std::string>{"a", "c"};
    EXPECT_EQ(listedKeys(), expected);
    for (const DeviceData& d : list_) {
        if (platform::registry::nodeOf(d.scsiDevice())->key() != "b") {
            EXPECT_TRUE(d.isEnableUpdate());
        }
    }
    EXPECT_EQ(opcodes(*b), row.commandsToB);
    if (row.logLine) {
        EXPECT_EQ(log_.count(row.logLine), 1);
    } else {
        EXPECT_TRUE(log_.lines().empty());
    }
}

const std::vector<std::uint8_t> kAllThree{kInquiry, kTestUnitReady, kReadBuffer};

INSTANTIATE_TEST_SUITE_P(
    Rows, ListingFailureTest,
    ::testing::Values(
        FailureRow{"HeldByAnotherClient", [](ListingTest& fixture, FakeDrive& b) {
                       static_cast<ListingFailureTest&>(fixture).holdElsewhere(b);
                   },
                   false, {}, "[WAR] ObtainExclusiveAccess failed.(1)"},
        FailureRow{"NoPlugIn", [](ListingTest&, FakeDrive& b) { b.setPlugInResult(platform::kIOReturnNoDevice); },
                   false, {}, "[ERR] interface is NULL."},
        FailureRow{"NoMMCInterface", [](ListingTest&, FakeDrive& b) { b.setMMCResult(platform::E_NOINTERFACE); },
                   false, {}, "[ERR] interface is NULL."},
        FailureRow{"NoTaskDevice", [](ListingTest&, FakeDrive& b) { b.setTaskChannelAvailable(false); }, false, {},
                   "[ERR] interface is NULL."},
        FailureRow{"InquiryFails", [](ListingTest&, FakeDrive& b) {
                       b.setResponder(kInquiry, [](const RecordedCommand&) {
                           return Answer::checkCondition(0x04, 0x44, 0x00);
                       });
                   },
                   false, {kInquiry}, nullptr},
        FailureRow{"OtherModel", [](ListingTest&, FakeDrive& b) {
                       answerAsTarget(b, {.product = "BD-RW KVL-MT39"});
                   },
                   false, {kInquiry}, nullptr},
        FailureRow{"ReadBufferFails", [](ListingTest&, FakeDrive& b) {
                       b.setResponder(kReadBuffer, [](const RecordedCommand&) {
                           return Answer::checkCondition(0x05, 0x24, 0x00);
                       });
                   },
                   true, kAllThree, nullptr},
        FailureRow{"ReleaseRefused", [](ListingTest& fixture, FakeDrive& b) {
                       static_cast<ListingFailureTest&>(fixture).refuseRelease(b);
                   },
                   false, kAllThree, "[ERR] ReleaseExclusiveAccess failed."}),
    [](const ::testing::TestParamInfo<FailureRow>& rowInfo) { return rowInfo.param.name; });

TEST_F(ListingTest, NoDiscIsRecordedWithoutChangingEligibility) {
    std::shared_ptr<FakeDrive> a = addTarget("a");
    a->setResponder(kTestUnitReady, [](const RecordedCommand&) { return Answer::checkCondition(0x02, 0x3A, 0x00); });
    runListing();
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_FALSE(list_[0].isPresenceDisc());
    EXPECT_TRUE(list_[0].isEnableUpdate());
}

TEST_F(ListingTest, CommandsRunInsideExclusiveAccessAndInterfacesCloseInOrder) {
    addTarget("a");
    platform::testing::clearInterfaceTrace();
    runListing();
    std::vector<std::string> chain;
    for (const std::string& e : platform::testing::interfaceTrace())
        if (e.rfind("task.", 0) != 0) chain.push_back(e);
    EXPECT_EQ(chain, (std::vector<std::string>{"plugin.create", "mmc.create", "taskdevice.create", "exclusive.obtain",
                                               "exclusive.release", "taskdevice.release", "mmc.release",
                                               "plugin.destroy"}));
    ASSERT_EQ(list_.size(), 1u);
}

TEST_F(ListingTest, IdenticalDrivesAreListedInDiscoveryOrderWithTheirOwnHandles) {
    addTarget("a");
    addTarget("b");
    runListing();
    EXPECT_EQ(listedKeys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_NE(list_[0].scsiDevice(), list_[1].scsiDevice());
}

TEST_F(ListingTest, NoTargetDriveLeavesTheListEmpty) {
    answerAsTarget(*backend_->addDrive("a"), {.product = "DVD-ROM XY"});
    runListing();
    EXPECT_TRUE(list_.empty());
    EXPECT_TRUE(log_.lines().empty());
}
