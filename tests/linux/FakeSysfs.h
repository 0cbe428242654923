// A miniature sysfs and /dev in a temporary folder, shaped like the kernel's for SCSI
// devices, their generic nodes and their optical block devices.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/linux/LinuxBackend.h"
#include "platform/linux/Sysfs.h"

class FakeSysfs {
public:
    FakeSysfs() {
        char pattern[] = "/tmp/kdu-sysfs-XXXXXX";
        root_ = ::mkdtemp(pattern);
        for (const char* dir : {"sys/class/scsi_generic", "sys/block", "sys/bus/scsi/drivers/sr", "dev", "run"})
            std::filesystem::create_directories(root_ / dir);
        std::filesystem::permissions(root_ / "run", std::filesystem::perms::owner_all);  // a runtime folder is private
    }
    ~FakeSysfs() { std::filesystem::remove_all(root_); }

    platform::sysfs::Layout layout() const {
        return {(root_ / "sys").string(), (root_ / "dev").string(), (root_ / "run").string()};
    }
    // Backend options on this tree; udev knows nothing unless told.
    platform::LinuxBackendOptions options(platform::PropertyLookup udev = nullptr) const {
        if (!udev) udev = [](const std::string&, const std::string&) { return platform::DeviceProperties{}; };
        return {layout().sysRoot, layout().devRoot, layout().stateDir, std::move(udev)};
    }

    // A SCSI device at host:0:0:0 with generic node sgN and, when block >= 0, block node srN
    // bound to the sr driver. The nodes are plain files, whose device number is 0:0, so
    // sysfs lists 0:0 for them.
    std::filesystem::path addDevice(int host, int generic, int type, int block = -1,
                                    const std::string& model = "BD-RW KVL-MT38  ") {
        const auto device = root_ / "sys/devices/pci0000:00/virtio0" / ("host" + std::to_string(host)) /
                            (std::to_string(host) + ":0:0:0");
        const std::string sg = "sg" + std::to_string(generic), sr = "sr" + std::to_string(block);
        const auto genericDir = device / "scsi_generic" / sg;
        std::filesystem::create_directories(genericDir);
        write(device / "type", std::to_string(type));
        write(device / "model", model);
        write(genericDir / "dev", "0:0");
        std::filesystem::create_directory_symlink(device, genericDir / "device");
        std::filesystem::create_directory_symlink(genericDir, root_ / "sys/class/scsi_generic" / sg);
        std::ofstream{dev(sg)};
        if (block >= 0) {
            const auto disk = device / "block" / sr;
            std::filesystem::create_directories(disk);
            std::filesystem::create_directory_symlink(device, disk / "device");
            std::filesystem::create_directory_symlink(disk, root_ / "sys/block" / sr);
            std::filesystem::create_directory_symlink(root_ / "sys/bus/scsi/drivers/sr", device / "driver");
            write(disk / "events_poll_msecs", "-1");
            write(disk / "size", "0");
            write(disk / "dev", "0:0");
            std::ofstream{dev(sr)};
        }
        return device;
    }

    std::filesystem::path sys(const std::string& relative) const { return root_ / "sys" / relative; }
    std::filesystem::path run() const { return root_ / "run"; }
    std::filesystem::path dev(const std::string& name) const { return root_ / "dev" / name; }
    static void write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text << '\n'; }
    static void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string read(const std::filesystem::path& file) {
        std::string line;
        std::getline(std::ifstream(file), line);
        return line;
    }

private:
    std::filesystem::path root_;
};
