#include "platform/linux/tcmu/TargetConfig.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tcmu {
namespace fs = std::filesystem;
namespace {

// Fixed names: the HBA number and the target's and initiator's addresses are ours alone.
constexpr char kHba[] = "core/user_4177";
constexpr char kHbaNumber[] = "4177";
constexpr char kWwn[] = "loopback/naa.5001405d0cb0b001";
constexpr char kInitiator[] = "naa.5001405d0cb0b0ff";
constexpr char kTpg[] = "loopback/naa.5001405d0cb0b001/tpgt_1";
constexpr char kLinkName[] = "drive";

bool writeText(const std::string& file, const std::string& text, std::string& error) {
    std::ofstream out(file);
    out << text;
    out.flush();
    if (!out) {
        error = "cannot write \"" + text + "\" to " + file + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool makeDirectory(const std::string& dir, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    if (!fs::create_directory(dir, ec)) {
        error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    return true;
}

// configfs removes only empty directories, one at a time (the kernel's own entries go with them).
void removeDirectory(const std::string& dir) { ::rmdir(dir.c_str()); }

std::string readLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::optional<std::string> missingFacility(const std::string& configRoot) {
    std::error_code ec;
    if (!fs::exists(configRoot + "/target", ec)) {
        if (!fs::exists("/sys/module/configfs", ec) && !fs::exists("/sys/fs/configfs", ec))
            return "configfs is missing (load the configfs module)";
        if (!fs::exists(configRoot, ec) || fs::is_empty(configRoot, ec))
            return "configfs is not mounted at " + configRoot;
        return "target_core_mod is not loaded (no " + configRoot + "/target)";
    }
    if (!fs::exists("/sys/module/target_core_user", ec)) return "the target_core_user module is not loaded";
    if (!fs::exists("/sys/module/tcm_loop", ec)) return "the tcm_loop module is not loaded";
    return std::nullopt;
}

TargetConfig::TargetConfig(std::string configRoot) : root_(std::move(configRoot)) {}

TargetConfig::~TargetConfig() {
    removeTarget();
    removeBackstores();
}

bool TargetConfig::removeLeftovers(std::string& error) {
    std::error_code ec;
    const std::string lunRoot = path(kTpg) + "/lun";
    if (fs::exists(lunRoot, ec)) {
        for (const auto& lun : fs::directory_iterator(lunRoot, ec)) {
            for (const auto& entry : fs::directory_iterator(lun.path(), ec))
                if (entry.is_symlink(ec)) ::unlink(entry.path().c_str());
            removeDirectory(lun.path());
        }
    }
    removeDirectory(path(kTpg));
    removeDirectory(path(kWwn));
    if (fs::exists(path(kHba), ec)) {
        for (const auto& store : fs::directory_iterator(path(kHba), ec))
            if (store.is_directory(ec)) removeDirectory(store.path());
        removeDirectory(path(kHba));
    }
    if (fs::exists(path(kWwn), ec) || fs::exists(path(kHba), ec)) {
        error = "an earlier run's target could not be removed from " + path("");
        return false;
    }
    return true;
}

std::optional<std::string> TargetConfig::createBackstore(const std::string& name, std::string& error) {
    if (!makeDirectory(path(kHba), error)) return std::nullopt;
    const std::string store = path(kHba) + "/" + name;
    if (!makeDirectory(store, error)) return std::nullopt;
    backstores_.push_back(name);
    const std::string config = "kdu/" + name;
    if (!writeText(store + "/control", "dev_config=" + config + ",dev_size=0,hw_block_size=2048", error) ||
        !writeText(store + "/enable", "1", error))
        return std::nullopt;
    const std::string wanted = std::string("tcm-user/") + kHbaNumber + "/" + name + "/" + config;
    std::error_code ec;
    for (const auto& uio : fs::directory_iterator("/sys/class/uio", ec))
        if (readLine(uio.path().string() + "/name") == wanted) return uio.path().filename().string();
    error = "no UIO device for backstore " + name;
    return std::nullopt;
}

bool TargetConfig::createTarget(std::string& error) {
    if (target_) return true;
    if (!makeDirectory(path("loopback"), error) || !makeDirectory(path(kWwn), error)) return false;
    target_ = true;
    return makeDirectory(path(kTpg), error) && writeText(path(kTpg) + "/nexus", kInitiator, error);
}

bool TargetConfig::linkLun(unsigned lun, const std::string& name, std::string& error) {
    const std::string dir = path(kTpg) + "/lun/lun_" + std::to_string(lun);
    if (!makeDirectory(dir, error)) return false;
    luns_.emplace_back(lun, dir);
    const std::string store = path(kHba) + "/" + name;
    if (::symlink(store.c_str(), (dir + "/" + kLinkName).c_str()) != 0) {
        error = "cannot link " + store + " as LUN " + std::to_string(lun) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// H:C:T of the loopback target: its "address" attribute, else the loopback SCSI host
// (ours is the only one) with channel 0 and the portal group's number as target.
std::string TargetConfig::hostAddress() const {
    std::string address = readLine(path(kTpg) + "/address");
    if (!address.empty()) return address;
    std::error_code ec;
    for (const auto& host : fs::directory_iterator("/sys/class/scsi_host", ec)) {
        if (readLine(host.path().string() + "/proc_name") == "tcm_loopback")
            return host.path().filename().string().substr(4) + ":0:1";
    }
    return "?:0:1";
}

std::optional<AttachedNodes> TargetConfig::nodesOf(unsigned lun, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string address = hostAddress() + ":" + std::to_string(lun);
        const std::string device = "/sys/bus/scsi/devices/" + address;
        std::error_code ec;
        AttachedNodes nodes;
        nodes.address = address;
        for (const auto& sg : fs::directory_iterator(device + "/scsi_generic", ec))
            nodes.generic = "/dev/" + sg.path().filename().string();
        for (const auto& block : fs::directory_iterator(device + "/block", ec))
            nodes.block = "/dev/" + block.path().filename().string();
        if (!nodes.generic.empty() && !nodes.block.empty() && fs::exists(nodes.generic, ec)) return nodes;
        if (std::chrono::steady_clock::now() >= end) {
            if (!nodes.generic.empty()) return nodes;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TargetConfig::unlinkLun(unsigned lun) {
    for (auto it = luns_.begin(); it != luns_.end(); ++it) {
        if (it->first != lun) continue;
        ::unlink((it->second + "/" + kLinkName).c_str());
        removeDirectory(it->second);
        luns_.erase(it);
        return;
    }
}

void TargetConfig::removeTarget() {
    while (!luns_.empty()) unlinkLun(luns_.back().first);
    if (!target_) return;
    removeDirectory(path(kTpg));
    removeDirectory(path(kWwn));
    target_ = false;
}

void TargetConfig::removeBackstores() {
    for (const std::string& name : backstores_) removeDirectory(path(kHba) + "/" + name);
    if (!backstores_.empty()) removeDirectory(path(kHba));
    backstores_.clear();
}

}  // namespace tcmu
