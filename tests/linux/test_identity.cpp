#include <gtest/gtest.h>

#include "FakeSysfs.h"
#include "platform/linux/DriveLocation.h"
#include "platform/linux/LinuxBackend.h"

using namespace platform;

namespace {

// udev's database as a table: (subsystem, sysname) -> ID_PATH.
struct FakeUdev {
    std::map<std::pair<std::string, std::string>, std::string> paths;
    PropertyLookup lookup() const {
        return [this](const std::string& subsystem, const std::string& sysname) {
            const auto it = paths.find({subsystem, sysname});
            return it == paths.end() ? DeviceProperties{} : DeviceProperties{{"ID_PATH", it->second}};
        };
    }
};

class DriveIdentityOnLinux : public ::testing::Test {
protected:
    scsi::DriveIdentity identityOf(std::size_t index) {
        const auto nodes = makeLinuxBackend(sys.options(udev.lookup()))
                               ->authoringDevices();
        return nodes.at(index)->identity();
    }
    FakeSysfs sys;
    FakeUdev udev;
};

TEST_F(DriveIdentityOnLinux, TakesUdevsLocationFromTheBlockNodeThenTheGenericNodeThenTheDevice) {
    sys.addDevice(1, 1, 5, 0);
    udev.paths[{"scsi", "1:0:0:0"}] = "pci-0000:00:1f.2-scsi-0:0:0:0";
    EXPECT_EQ(identityOf(0).id, "pci-0000:00:1f.2-scsi-0:0:0:0");
    udev.paths[{"scsi_generic", "sg1"}] = "pci-0000:00:1f.2-ata-2.0";
    EXPECT_EQ(identityOf(0).id, "pci-0000:00:1f.2-ata-2.0");
    udev.paths[{"block", "sr0"}] = "pci-0000:00:1f.2-ata-2";
    EXPECT_EQ(identityOf(0).id, "pci-0000:00:1f.2-ata-2");
}

TEST_F(DriveIdentityOnLinux, WithoutUdevTheLocationIsTheAdapterPathAndLunWithoutTheHostNumber) {
    sys.addDevice(1, 1, 5, 0);
    sys.addDevice(7, 2, 5);
    EXPECT_EQ(identityOf(0).id, "sysfs-pci0000:00/virtio0-0:0:0");
    // Its nodes: the generic node, then the block node when bound.
    EXPECT_EQ(identityOf(0).nodes, (std::vector<std::string>{sys.dev("sg1").string(), sys.dev("sr0").string()}));
    EXPECT_EQ(identityOf(1).nodes, (std::vector<std::string>{sys.dev("sg2").string()}));
    // The kernel's own layout, with a target folder between host and device.
    const std::string key = (sys.sys("devices/pci0000:00/0000:00:1f.2/ata2/host4/target4:0:1/4:0:1:0")).string();
    EXPECT_EQ(sysfsLocation(sys.layout(), key), "sysfs-pci0000:00/0000:00:1f.2/ata2-0:1:0");
    // The same port after a replug under another host number names the same place.
    const std::string replugged = (sys.sys("devices/pci0000:00/0000:00:1f.2/ata2/host9/target9:0:1/9:0:1:0")).string();
    EXPECT_EQ(sysfsLocation(sys.layout(), replugged), sysfsLocation(sys.layout(), key));
}

// What a drive is known by without opening it, and after it has gone: a removal names the
// drive as it was listed, when udev and sysfs no longer know it.
TEST_F(DriveIdentityOnLinux, TheModelIsTheKernelsAndAGoneDriveKeepsItsListedIdentity) {
    const auto device = sys.addDevice(1, 1, 5, 0);
    FakeSysfs::write(device / "vendor", "KESTORY ");
    udev.paths[{"block", "sr0"}] = "pci-0000:00:1f.2-ata-2";
    const auto nodes = makeLinuxBackend(sys.options(udev.lookup()))->authoringDevices();
    const scsi::DriveModelNames names = nodes.at(0)->modelNames();
    EXPECT_EQ(names.vendor, std::optional<std::string>("KESTORY"));
    EXPECT_EQ(names.product, std::optional<std::string>("BD-RW KVL-MT38"));
    const scsi::DriveIdentity listed = nodes.at(0)->identity();
    ASSERT_EQ(listed.id, "pci-0000:00:1f.2-ata-2");
    udev.paths.clear();
    std::filesystem::remove_all(device);
    EXPECT_EQ(nodes.at(0)->identity(), listed);
}

struct SerialCase {
    const char* name;
    std::optional<std::string> page;  // the vpd_pg80 file's bytes; none: no file
    std::optional<std::string> serial;
};

class UnitSerial : public ::testing::TestWithParam<SerialCase> {};

std::string vpd80(const std::string& serial, std::size_t stated) {
    return std::string{0x05, static_cast<char>(0x80), 0, static_cast<char>(stated)} + serial;
}

TEST_P(UnitSerial, IsTheKernelsCopyOfPage80Trimmed) {
    const auto& c = GetParam();
    FakeSysfs sys;
    const auto device = sys.addDevice(1, 1, 5, 0);
    if (c.page) FakeSysfs::writeBytes(device / "vpd_pg80", *c.page);
    const auto nodes = makeLinuxBackend(sys.options())
                           ->authoringDevices();
    EXPECT_EQ(nodes.at(0)->identity().serial, c.serial);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, UnitSerial,
    ::testing::Values(SerialCase{"Present", vpd80("  KS0012345678  ", 16), "KS0012345678"},
                      SerialCase{"NulPadded", vpd80(std::string("KS42\0\0\0\0", 8), 8), "KS42"},
                      SerialCase{"LongerThanStated", vpd80("KS42XXXX", 4), "KS42"},
                      SerialCase{"StatedBeyondTheFile", vpd80("KS42", 40), "KS42"},
                      SerialCase{"Blank", vpd80(std::string(20, ' '), 20), std::nullopt},
                      SerialCase{"HeaderOnly", vpd80("", 0), std::nullopt},
                      SerialCase{"EmptyFile", std::string{}, std::nullopt},
                      SerialCase{"NotText", vpd80("KS\x01\x02", 4), std::nullopt},
                      SerialCase{"Missing", std::nullopt, std::nullopt}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// A drive that went away and came back, as the kernel names it then: another host number and
// generic node; the same drive by its serial number, else by its place.
struct ReturnCase {
    const char* name;
    std::optional<std::string> serialBefore, serialAfter;
    std::string placeAfter;
    bool same;
};

class DriveReturn : public ::testing::TestWithParam<ReturnCase> {};

TEST_P(DriveReturn, IsTheSameDriveBySerialElseByPlace) {
    const ReturnCase& c = GetParam();
    const auto identity = [](int host, int generic, const std::optional<std::string>& serial, const std::string& place) {
        FakeSysfs sys;
        const auto device = sys.addDevice(host, generic, 5);
        if (serial) FakeSysfs::writeBytes(device / "vpd_pg80", vpd80(*serial, serial->size()));
        FakeUdev udev;
        udev.paths[{"scsi_generic", "sg" + std::to_string(generic)}] = place;
        return makeLinuxBackend(sys.options(udev.lookup()))->authoringDevices().at(0)->identity();
    };
    const scsi::DriveIdentity before = identity(1, 1, c.serialBefore, "pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0");
    const scsi::DriveIdentity after = identity(6, 4, c.serialAfter, c.placeAfter);
    EXPECT_NE(after.nodes, before.nodes);
    EXPECT_EQ(before.returnedAs(after), c.same);
}

constexpr char kSamePort[] = "pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0";
constexpr char kOtherPort[] = "pci-0000:00:14.0-usb-0:3:1.0-scsi-0:0:0:0";
INSTANTIATE_TEST_SUITE_P(
    Returns, DriveReturn,
    ::testing::Values(ReturnCase{"SameSerialOtherPort", "KS01", "KS01", kOtherPort, true},
                      ReturnCase{"OtherSerialSamePort", "KS01", "KS02", kSamePort, false},
                      ReturnCase{"NoSerialSamePort", std::nullopt, std::nullopt, kSamePort, true},
                      ReturnCase{"SerialOnOneSideSamePort", "KS01", std::nullopt, kSamePort, true},
                      ReturnCase{"NoSerialOtherPort", std::nullopt, std::nullopt, kOtherPort, false}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
