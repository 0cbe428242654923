// The kernel SCSI target set up for the simulated drives: one user backstore per drive
// (core/user_N/NAME, its commands passed to user space), behind one tcm_loop target whose
// LUNs the kernel attaches as local SCSI devices. Everything lives under fixed names, so
// what a killed run left behind is found and removed by the next start.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tcmu {

inline constexpr char kConfigRoot[] = "/sys/kernel/config";

// Why the target cannot be set up here (configfs not mounted, a module not loaded), or none.
std::optional<std::string> missingFacility(const std::string& configRoot = kConfigRoot);

// The nodes the kernel made for an attached LUN.
struct AttachedNodes {
    std::string address;     // H:C:T:L
    std::string generic;     // /dev/sgN
    std::string block;       // /dev/srN, or empty
};

class TargetConfig {
public:
    explicit TargetConfig(std::string configRoot = kConfigRoot);
    // Removes everything it created that is still there.
    ~TargetConfig();
    TargetConfig(const TargetConfig&) = delete;
    TargetConfig& operator=(const TargetConfig&) = delete;

    // Removes what an earlier run left. False (with `error`) when something stays.
    bool removeLeftovers(std::string& error);

    // Creates and enables the backstore `name`; returns its UIO device name ("uio0").
    std::optional<std::string> createBackstore(const std::string& name, std::string& error);
    // Creates the loopback target and its nexus (once).
    bool createTarget(std::string& error);
    // Makes LUN `lun` of the backstore: the kernel scans it inside this call, so the
    // backstore must already be served.
    bool linkLun(unsigned lun, const std::string& name, std::string& error);
    // Waits until the kernel shows the LUN's nodes.
    std::optional<AttachedNodes> nodesOf(unsigned lun, int timeoutMs) const;
    // Takes LUN `lun` away (the drive is gone); the backstore stays until the end.
    void unlinkLun(unsigned lun);
    // Removes the target (all LUNs) and then the backstores.
    void removeTarget();
    void removeBackstores();

private:
    std::string hostAddress() const;
    std::string path(const std::string& relative) const { return root_ + "/target/" + relative; }

    const std::string root_;
    std::vector<std::string> backstores_;
    std::vector<std::pair<unsigned, std::string>> luns_;
    bool target_ = false;
};

}  // namespace tcmu
