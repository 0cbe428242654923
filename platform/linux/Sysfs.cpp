#include "platform/linux/Sysfs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace platform::sysfs {
namespace {

// "sg10" after "sg9": compare the numeric suffix, then the whole name.
bool byNumber(const std::string& a, const std::string& b) {
    auto number = [](const std::string& s) {
        const auto digits = s.find_first_of("0123456789");
        return digits == std::string::npos ? -1L : std::strtol(s.c_str() + digits, nullptr, 10);
    };
    const long na = number(a), nb = number(b);
    return na != nb ? na < nb : a < b;
}

std::vector<std::string> entriesWithPrefix(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), byNumber);
    return names;
}

}  // namespace

std::optional<std::string> readAttribute(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    return line;
}

std::string trimmed(const std::string& text) {
    constexpr const char* kBlank = " \t\r\n\v\f";
    const auto isBlank = [&](char c) { return c == '\0' || std::char_traits<char>::find(kBlank, 6, c) != nullptr; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::optional<MmcDevice> mmcDeviceForGeneric(const Layout& layout, const std::string& genericName) {
    const fs::path device = fs::path(layout.sysRoot) / "class" / "scsi_generic" / genericName / "device";
    const auto type = readAttribute((device / "type").string());
    if (!type || trimmed(*type) != "5") {
        return std::nullopt;
    }
    std::error_code ec;
    const fs::path resolved = fs::canonical(device, ec);
    if (ec) {
        return std::nullopt;
    }
    MmcDevice found{resolved.string(), genericName, blockNameOf(resolved.string())};
    return found;
}

std::vector<MmcDevice> scanMmcDevices(const Layout& layout) {
    std::vector<MmcDevice> devices;
    for (const auto& name : entriesWithPrefix(fs::path(layout.sysRoot) / "class" / "scsi_generic", "sg")) {
        if (auto device = mmcDeviceForGeneric(layout, name)) {
            devices.push_back(std::move(*device));
        }
    }
    return devices;
}

std::optional<std::string> blockNameOf(const std::string& deviceKey) {
    const auto names = entriesWithPrefix(fs::path(deviceKey) / "block", "");
    if (names.empty()) {
        return std::nullopt;
    }
    return names.front();
}

std::optional<std::string> driverOf(const std::string& deviceKey) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(fs::path(deviceKey) / "driver", ec);
    if (ec || target.filename().empty()) {
        return std::nullopt;
    }
    return target.filename().string();
}

bool isOpticalBlockName(const std::string& name) {
    return name.size() > 2 && name.rfind("sr", 0) == 0 &&
           std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> opticalBlockNames(const Layout& layout) {
    std::vector<std::string> names;
    for (auto& name : entriesWithPrefix(fs::path(layout.sysRoot) / "block", "sr")) {
        if (isOpticalBlockName(name)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::optional<std::string> modelOfBlock(const Layout& layout, const std::string& blockName) {
    const auto model = readAttribute((fs::path(layout.sysRoot) / "block" / blockName / "device" / "model").string());
    if (!model) {
        return std::nullopt;
    }
    return trimmed(*model);
}

std::string devicePath(const Layout& layout, const std::string& name) {
    return (fs::path(layout.devRoot) / name).string();
}

}  // namespace platform::sysfs
