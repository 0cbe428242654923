#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceData.h"
#include "platform/Backend.h"
#include "platform/Registry.h"

namespace {

using platform::IOObjectGetRetainCount;

struct FakeNode : platform::DeviceNode {
    std::string name;
    explicit FakeNode(std::string n) : name(std::move(n)) {}
    std::string key() const override { return name; }
    platform::IOReturn className(std::string& out) const override {
        out = "FakeDrive";
        return platform::kIOReturnSuccess;
    }
    platform::IOReturn createPlugIn() override { return platform::kIOReturnSuccess; }
    platform::HRESULT queryMMCInterface() override { return platform::S_OK; }
    std::unique_ptr<platform::TaskChannel> openTaskChannel() override { return nullptr; }
};

// Holds the test's own reference to a live service handle for the length of a test.
class DeviceDataHandles : public ::testing::Test {
protected:
    platform::io_service_t make(const std::string& key) {
        const auto handle = platform::registry::retainService(std::make_shared<FakeNode>(key));
        owned_.push_back(handle);
        return handle;
    }
    void TearDown() override {
        for (auto h : owned_)
            platform::IOObjectRelease(h);
    }

    std::vector<platform::io_service_t> owned_;
};

DeviceData filledRecord(platform::io_service_t handle)
{
    DeviceData d;
    d.setScsiDevice(handle);
    d.setDriveMode(1);
    d.setVendor("KESTORY");
    d.setProduct("BD-RW KVL-MT38");
    d.setRevision("1.20");
    d.setDate("20250101");
    d.setHard_version("MT38HW01");
    d.setKrnl_version("KRNL0101");
    d.setDest_version("        ");
    d.setJudgeKrnl(std::string{});
    d.setSame(true);
    d.setSameNo(2);
    d.setIsEnableUpdate(true);
    d.setIsPresenceDisc(true);
    return d;
}

TEST_F(DeviceDataHandles, NewRecordIsEmpty)
{
    const DeviceData d;
    EXPECT_EQ(d.scsiDevice(), platform::IO_OBJECT_NULL);
    EXPECT_EQ(d.driveMode(), 0);
    EXPECT_FALSE(d.vendor() || d.product() || d.revision() || d.date() || d.hard_version() ||
                 d.krnl_version() || d.dest_version() || d.judgeKrnl());
    EXPECT_FALSE(d.same() || d.isEnableUpdate() || d.isPresenceDisc());
    EXPECT_EQ(d.sameNo(), 0);
}

TEST_F(DeviceDataHandles, CopyEqualsSourceAndHoldsItsOwnReference)
{
    const auto h = make("copy");
    auto source = std::make_unique<DeviceData>(filledRecord(h));
    EXPECT_EQ(IOObjectGetRetainCount(h), 2u);

    DeviceData copy(*source);
    EXPECT_EQ(IOObjectGetRetainCount(h), 3u);
    EXPECT_EQ(copy.scsiDevice(), h);
    EXPECT_EQ(copy.driveMode(), 1);
    EXPECT_EQ(copy.vendor(), source->vendor());
    EXPECT_EQ(copy.product(), source->product());
    EXPECT_EQ(copy.revision(), source->revision());
    EXPECT_EQ(copy.date(), source->date());
    EXPECT_EQ(copy.hard_version(), source->hard_version());
    EXPECT_EQ(copy.krnl_version(), source->krnl_version());
    EXPECT_EQ(copy.dest_version(), source->dest_version());
    EXPECT_EQ(copy.judgeKrnl(), std::optional<std::string>(""));
    EXPECT_TRUE(copy.same() && copy.isEnableUpdate() && copy.isPresenceDisc());
    EXPECT_EQ(copy.sameNo(), 2);

    copy.setRevision("1.21");
    EXPECT_EQ(source->revision(), std::optional<std::string>("1.20"));

    source.reset();
    EXPECT_EQ(IOObjectGetRetainCount(h), 2u);
    EXPECT_EQ(copy.scsiDevice(), h);
}

TEST_F(DeviceDataHandles, AssignmentSwapsReferences)
{
    const auto a = make("assign-a");
    const auto b = make("assign-b");
    DeviceData left = filledRecord(a);
    const DeviceData right = filledRecord(b);
    left = right;
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);

    const DeviceData& alias = left;
    left = alias;  // self-assignment keeps the one reference
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);
}

TEST_F(DeviceDataHandles, MoveTransfersTheReference)
{
    const auto h = make("move");
    DeviceData source = filledRecord(h);
    DeviceData moved(std::move(source));
    EXPECT_EQ(IOObjectGetRetainCount(h), 2u);
    EXPECT_EQ(moved.scsiDevice(), h);
    EXPECT_EQ(source.scsiDevice(), platform::IO_OBJECT_NULL);  // NOLINT(bugprone-use-after-move)

    const auto other = make("move-other");
    DeviceData target = filledRecord(other);
    target = std::move(moved);
    EXPECT_EQ(IOObjectGetRetainCount(other), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(h), 2u);
}

TEST_F(DeviceDataHandles, SetScsiDeviceReleasesExactlyOneReference)
{
    const auto first = make("set-first");
    const auto second = make("set-second");
    DeviceData d;
    d.setScsiDevice(first);
    d.setScsiDevice(second);
    EXPECT_EQ(IOObjectGetRetainCount(first), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(second), 2u);

    d.setScsiDevice(platform::IO_OBJECT_NULL);
    EXPECT_EQ(d.scsiDevice(), platform::IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetRetainCount(second), 1u);
}

TEST_F(DeviceDataHandles, SettingTheHeldHandleAgainKeepsItAlive)
{
    const auto h = platform::registry::retainService(std::make_shared<FakeNode>("sole"));
    DeviceData d;
    d.setScsiDevice(h);
    platform::IOObjectRelease(h);  // the record now holds the only reference
    d.setScsiDevice(h);
    EXPECT_EQ(IOObjectGetRetainCount(h), 1u);
}

TEST_F(DeviceDataHandles, HandleThatIsNotLiveIsNotStored)
{
    const auto h = platform::registry::retainService(std::make_shared<FakeNode>("gone"));
    platform::IOObjectRelease(h);
    DeviceData d;
    d.setScsiDevice(h);
    EXPECT_EQ(d.scsiDevice(), platform::IO_OBJECT_NULL);
}

struct TextEqualsCase {
    OptionalText a, b;
    bool equal;
};

class TextEquals : public ::testing::TestWithParam<TextEqualsCase> {};

TEST_P(TextEquals, AbsentNeverEquals)
{
    EXPECT_EQ(textEquals(GetParam().a, GetParam().b), GetParam().equal);
    EXPECT_EQ(textEquals(GetParam().b, GetParam().a), GetParam().equal);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextEquals,
                         ::testing::Values(TextEqualsCase{std::nullopt, std::nullopt, false},
                                           TextEqualsCase{std::nullopt, "", false},
                                           TextEqualsCase{"", "", true},
                                           TextEqualsCase{"1.21", "1.21", true},
                                           TextEqualsCase{"1.21", "1.21 ", false}));

}  // namespace
