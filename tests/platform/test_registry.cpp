#include <gtest/gtest.h>

#include "log/Log.h"
#include "platform/Matching.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"

using namespace platform;
using namespace kdulog;

namespace {

// {"IOPropertyMatch": {"SCSITaskDeviceCategory": category}}
CFDictionaryRef matching(const std::string& category) {
    auto inner = CFDictionaryCreateMutable();
    CFDictionarySetValue(inner, kIOPropertySCSITaskDeviceCategory, category);
    auto outer = CFDictionaryCreateMutable();
    CFDictionarySetValue(outer, kIOPropertyMatchKey, CFDictionaryRef(inner));
    return outer;
}

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() {
        setSyslogEnabled(false);
        backend_->addDrive("a");
        backend_->addDrive("b");
        installBackend(backend_);
        liveAtStart_ = IORegistryLiveObjectCount();
    }
    ~RegistryTest() override {
        EXPECT_EQ(IORegistryLiveObjectCount(), liveAtStart_) << "a handle leaked";
        installBackend(nullptr);
    }
    static io_iterator_t iterate(CFDictionaryRef dict) {
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, std::move(dict), &it), kIOReturnSuccess);
        EXPECT_NE(it, IO_OBJECT_NULL);
        return it;
    }
    std::shared_ptr<kdu::test::FakeBackend> backend_ = std::make_shared<kdu::test::FakeBackend>();
    std::size_t liveAtStart_ = 0;
};

TEST_F(RegistryTest, IteratorHandsOutEachDriveOnceAndTheSameHandleWhileReferenced) {
    std::vector<std::string> lines;
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    const io_iterator_t first = iterate(matching(kIOPropertySCSITaskAuthoringDevice));
    const io_service_t a = IOIteratorNext(first), b = IOIteratorNext(first);
    EXPECT_NE(a, IO_OBJECT_NULL);
    EXPECT_NE(b, IO_OBJECT_NULL);
    EXPECT_NE(a, b);
    EXPECT_EQ(IOIteratorNext(first), IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetRetainCount(a), 1u);
    io_name_t name;
    ASSERT_EQ(IOObjectGetClass(a, name), kIOReturnSuccess);
    EXPECT_STREQ(name, "IOSCSIPeripheralDeviceType05");

    const io_iterator_t second = iterate(matching(kIOPropertySCSITaskAuthoringDevice));
    EXPECT_EQ(IOIteratorNext(second), a);
    EXPECT_EQ(IOObjectGetRetainCount(a), 2u);
    IOObjectRelease(a);
    EXPECT_EQ(IOObjectRelease(a), kIOReturnSuccess);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(IOObjectRelease(a), kIOReturnBadArgument);  // a double release is refused and logged
    EXPECT_EQ(IOObjectGetRetainCount(a), 0u);
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[ERR]"), std::string::npos);
    IOObjectRelease(b);
    IOObjectRelease(first);
    IOObjectRelease(second);  // also drops the service it still holds
}

TEST_F(RegistryTest, OtherDictionariesMatchNothing) {
    for (CFDictionaryRef dict : {matching("SCSITaskUserClientDevice"), CFDictionaryRef(CFDictionaryCreateMutable())}) {
        const io_iterator_t it = iterate(dict);
        EXPECT_EQ(IOIteratorNext(it), IO_OBJECT_NULL);
        IOObjectRelease(it);
    }
}

}  // namespace
