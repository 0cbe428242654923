#include <gtest/gtest.h>

#include "StubNode.h"
#include "platform/Log.h"
#include "platform/Matching.h"
#include "platform/Registry.h"

using namespace platform;
using platform_test::StubBackend;
using platform_test::StubNode;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setSyslogEnabled(false);
        backend_ = std::make_shared<StubBackend>();
        backend_->nodes = {std::make_shared<StubNode>("a"), std::make_shared<StubNode>("b")};
        installBackend(backend_);
        liveAtStart_ = IORegistryLiveObjectCount();
    }
    void TearDown() override {
        platform::testing::resetMatchingFaults();
        EXPECT_EQ(IORegistryLiveObjectCount(), liveAtStart_) << "a handle leaked";
        installBackend(nullptr);
    }
    CFDictionaryRef authoringMatch() {
        auto inner = CFDictionaryCreateMutable();
        CFDictionarySetValue(inner, kIOPropertySCSITaskDeviceCategory, std::string(kIOPropertySCSITaskAuthoringDevice));
        auto outer = CFDictionaryCreateMutable();
        CFDictionarySetValue(outer, kIOPropertyMatchKey, CFDictionaryRef(inner));
        return outer;
    }
    std::shared_ptr<StubBackend> backend_;
    std::size_t liveAtStart_ = 0;
};

TEST_F(RegistryTest, IteratorHandsOutEachDriveOnceWithOneReference) {
    io_iterator_t it = IO_OBJECT_NULL;
    ASSERT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &it), kIOReturnSuccess);
    ASSERT_NE(it, IO_OBJECT_NULL);
    io_service_t a = IOIteratorNext(it), b = IOIteratorNext(it);
    EXPECT_NE(a, IO_OBJECT_NULL);
    EXPECT_NE(b, IO_OBJECT_NULL);
    EXPECT_NE(a, b);
    EXPECT_EQ(IOIteratorNext(it), IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    io_name_t name;
    ASSERT_EQ(IOObjectGetClass(a, name), kIOReturnSuccess);
    EXPECT_STREQ(name, "StubDrive");
    IOObjectRelease(a);
    IOObjectRelease(b);
    IOObjectRelease(it);
}

TEST_F(RegistryTest, SameDriveKeepsItsHandleWhileReferenced) {
    io_iterator_t first = IO_OBJECT_NULL, second = IO_OBJECT_NULL;
    IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &first);
    io_service_t a = IOIteratorNext(first);
    IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &second);
    io_service_t again = IOIteratorNext(second);
    EXPECT_EQ(a, again);
    EXPECT_EQ(IOObjectGetRetainCount(a), 2u);
    IOObjectRelease(a);
    IOObjectRelease(again);
    // Releasing the iterators drops the services they still hold.
    IOObjectRelease(first);
    IOObjectRelease(second);
}

TEST_F(RegistryTest, DoubleReleaseIsRefusedAndLogged) {
    std::vector<std::string> lines;
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    io_iterator_t it = IO_OBJECT_NULL;
    IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &it);
    io_service_t a = IOIteratorNext(it);
    EXPECT_EQ(IOObjectRelease(a), kIOReturnSuccess);
    EXPECT_EQ(IOObjectRelease(a), kIOReturnBadArgument);
    EXPECT_EQ(IOObjectGetRetainCount(a), 0u);
    IOObjectRelease(it);
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[ERR]"), std::string::npos);
}

TEST_F(RegistryTest, OtherDictionariesMatchNothing) {
    auto outer = CFDictionaryCreateMutable();
    CFDictionarySetValue(outer, kIOPropertyMatchKey, std::string("not a dictionary"));
    io_iterator_t it = IO_OBJECT_NULL;
    ASSERT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, outer, &it), kIOReturnSuccess);
    EXPECT_EQ(IOIteratorNext(it), IO_OBJECT_NULL);
    IOObjectRelease(it);
}

TEST_F(RegistryTest, FaultSwitchesShapeTheMatchingCall) {
    platform::testing::failDictionaryCreation(1);
    EXPECT_EQ(CFDictionaryCreateMutable(), nullptr);
    EXPECT_NE(CFDictionaryCreateMutable(), nullptr);

    io_iterator_t it = 77;
    platform::testing::setMatchingOutcome(kIOReturnSuccess, true);
    EXPECT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &it), kIOReturnSuccess);
    EXPECT_EQ(it, IO_OBJECT_NULL);
    platform::testing::setMatchingOutcome(kIOReturnNoResources, false);
    EXPECT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, authoringMatch(), &it), kIOReturnNoResources);
}
