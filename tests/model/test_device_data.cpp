#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceData.h"
#include "platform/Registry.h"
#include "platform/Backend.h"

namespace {

using platform::IOObjectGetRetainCount;

struct FakeNode : platform::DeviceNode {
    std::string name;
    explicit FakeNode(std::string n) : name(std::move(n)) {}
    std::string key() const override { return name; }
    platform::IOReturn className(std::string& out) const override { return out = "Fake", platform::kIOReturnSuccess; }
    platform::IOReturn createPlugIn() override { return platform::kIOReturnSuccess; }
    platform::HRESULT queryMMCInterface() override { return platform::S_OK; }
    std::unique_ptr<platform::TaskChannel> openTaskChannel() override { return nullptr; }
};

// The test's own reference to each handle it makes lives until the test ends.
class DeviceDataHandles : public ::testing::Test {
protected:
    platform::io_service_t make(const char* key) {
        return owned_.emplace_back(platform::registry::retainService(std::make_shared<FakeNode>(key)));
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
    d.setVendor("KESTORY");
    d.setRevision("1.20");
    d.setJudgeKrnl(std::string{});
    d.setSameNo(2);
    d.setEligibility(UpdateEligibility::Eligible);
    return d;
}

TEST_F(DeviceDataHandles, CopyIsIndependentAndHoldsItsOwnReference)
{
    const auto h = make("copy");
    auto source = std::make_unique<DeviceData>(filledRecord(h));
    DeviceData copy(*source);
    EXPECT_EQ(IOObjectGetRetainCount(h), 3u);
    EXPECT_EQ(copy.vendor(), "KESTORY");
    EXPECT_EQ(copy.judgeKrnl(), "");  // empty stays empty, not absent
    EXPECT_EQ(copy.product(), std::nullopt);
    EXPECT_TRUE(copy.same() && copy.isEnableUpdate() && copy.sameNo() == 2);

    copy.setRevision("1.21");
    EXPECT_EQ(source->revision(), "1.20");
    source.reset();
    EXPECT_EQ(IOObjectGetRetainCount(h), 2u);
    EXPECT_EQ(copy.scsiDevice(), h);
}

TEST_F(DeviceDataHandles, AssignmentMoveAndSetKeepCountsRight)
{
    const auto a = make("a"), b = make("b");
    DeviceData left = filledRecord(a);
    const DeviceData right = filledRecord(b);
    left = right;
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);
    const DeviceData& alias = left;
    left = alias;
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);

    DeviceData moved(std::move(left));
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);
    EXPECT_EQ(left.scsiDevice(), platform::IO_OBJECT_NULL);  // NOLINT(bugprone-use-after-move)
    DeviceData target = filledRecord(a);
    target = std::move(moved);
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);

    DeviceData d;
    EXPECT_FALSE(d.scsiDevice() || d.vendor() || d.same() || d.sameNo() || d.isEnableUpdate() || d.isPresenceDisc());
    d.setScsiDevice(a);
    d.setScsiDevice(b);
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    EXPECT_EQ(IOObjectGetRetainCount(b), 4u);
    d.setScsiDevice(platform::IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetRetainCount(b), 3u);
}

TEST_F(DeviceDataHandles, SettingTheOnlyHeldHandleAgainKeepsItAlive)
{
    const auto h = platform::registry::retainService(std::make_shared<FakeNode>("sole"));
    DeviceData d;
    d.setScsiDevice(h);
    platform::IOObjectRelease(h);
    d.setScsiDevice(h);
    EXPECT_EQ(IOObjectGetRetainCount(h), 1u);

    DeviceData stale;
    d.setScsiDevice(platform::IO_OBJECT_NULL);  // frees h
    stale.setScsiDevice(h);
    EXPECT_EQ(stale.scsiDevice(), platform::IO_OBJECT_NULL);
}

TEST(TextEquals, AbsentNeverEquals)
{
    EXPECT_FALSE(textEquals(std::nullopt, std::nullopt) || textEquals(std::nullopt, "") || textEquals("", std::nullopt));
    EXPECT_TRUE(textEquals("", ""));
    EXPECT_FALSE(textEquals("1.21", "1.21 "));
}

}  // namespace
