// Who a drive is, in terms that survive relistings, renumbering and other drives coming
// and going: what a person confirms names this, not a position in a list.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace scsi {

struct DriveIdentity {
    // Stable while the drive stays where it is: the udev location path on Linux, the
    // drive file's name in the simulator.
    std::string id;
    // Device nodes a person may name the drive by (/dev/sg3, /dev/sr0), generic node first.
    std::vector<std::string> nodes;
    // The unit serial number, where the drive reports one.
    std::optional<std::string> serial;

    bool empty() const { return id.empty(); }
    // What one update locks: the id where it is unique on the machine, with the first node
    // so that drives of the same name in different places never share a lock.
    std::string lockKey() const { return nodes.empty() ? id : id + "@" + nodes.front(); }
    // Same drive: same place and, when both sides know it, the same serial.
    bool sameDriveAs(const DriveIdentity& other) const {
        if (id.empty() || id != other.id) return false;
        return !serial || !other.serial || *serial == *other.serial;
    }
    // The same drive after it went away and was attached again, perhaps under other nodes
    // or at another port: the serial number where both sides know it, else the place.
    bool returnedAs(const DriveIdentity& other) const {
        if (serial && other.serial) return *serial == *other.serial;
        return !id.empty() && id == other.id;
    }
    // A person's word for a drive: the id itself or one of its nodes.
    bool isNamedBy(const std::string& word) const {
        if (word.empty()) return false;
        if (word == id) return true;
        for (const std::string& node : nodes)
            if (word == node) return true;
        return false;
    }
    friend bool operator==(const DriveIdentity&, const DriveIdentity&) = default;
};

// The INQUIRY names the system holds for a drive without opening it (the kernel keeps them
// from attach time): what a drive that cannot be examined is known by. Absent when unknown.
struct DriveModelNames {
    std::optional<std::string> vendor;
    std::optional<std::string> product;
};

}  // namespace scsi
