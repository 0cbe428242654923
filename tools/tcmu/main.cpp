// kdu_tcmu_drive DRIVE_FILE...: serves simulated drive files to the Linux kernel as SCSI
// devices (target_core_user behind tcm_loop), so programs reach them through /dev/sgN and
// /dev/srN as they would a real drive. Prints one line per drive once attached,
//   <drive file> <generic node> <block node>
// serves until SIGTERM or SIGINT, then removes everything it made. A drive whose file
// makes it vanish has its LUN removed at that command; one that comes back is added again
// ("<drive file> back at <generic node> <block node>").
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "log/Log.h"
#include "log/UniqueFd.h"
#include "platform/linux/tcmu/TargetConfig.h"
#include "simdrive/DriveFile.h"
#include "tools/tcmu/BridgeDrive.h"

namespace {

constexpr char kUsage[] = "usage: kdu_tcmu_drive DRIVE_FILE...\n";
constexpr int kAttachTimeoutMs = 20000;
// The kernel goes on probing a drive for a moment after its nodes appear.
constexpr std::chrono::milliseconds kSettleQuiet{300};
constexpr std::chrono::milliseconds kSettleLimit{5000};

// The kernel target and the drives behind it, torn down in the one safe order: LUNs first
// (the kernel may still send commands while a LUN goes), then the serving threads, then
// the backstores.
class Bridge {
public:
    ~Bridge() {
        config.removeTarget();
        drives.clear();
        config.removeBackstores();
    }
    tcmu::TargetConfig config;
    std::vector<std::unique_ptr<bridge::BridgeDrive>> drives;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "kdu_tcmu_drive: %s\n", message.c_str());
    return 1;
}

// Configfs names: the drive's number and its file's stem.
std::string backstoreName(std::size_t index, const std::filesystem::path& file) {
    std::string name = "kdu" + std::to_string(index) + "-";
    for (char c : file.stem().string().substr(0, 40))
        name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    return name;
}

void drain(int eventFd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(eventFd, &count, sizeof count);
}

// Opens a generic node without taking it from anyone; a program holding it exclusively
// lets go once it sees the drive gone, so that is waited for, a while.
kdulog::UniqueFd holdNode(const std::string& node) {
    for (int tries = 0; tries < 40; ++tries) {
        kdulog::UniqueFd fd(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd || errno != EBUSY) return fd;
        ::usleep(50 * 1000);
    }
    return {};
}

int serve(const std::vector<std::filesystem::path>& files, int signals) {
    Bridge bridge;
    std::string error;
    if (!bridge.config.removeLeftovers(error)) return fail(error);
    std::vector<std::string> names, generics;
    for (std::size_t i = 0; i < files.size(); ++i) {
        names.push_back(backstoreName(i, files[i]));
        std::optional<std::string> uio = bridge.config.createBackstore(names.back(), error);
        if (!uio) return fail(error);
        std::unique_ptr<tcmu::Ring> ring = tcmu::Ring::open(*uio, error);
        if (!ring) return fail(error);
        bridge.drives.push_back(std::make_unique<bridge::BridgeDrive>(files[i], std::move(ring)));
    }
    if (!bridge.config.createTarget(error)) return fail(error);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto lun = static_cast<unsigned>(i);
        if (!bridge.config.linkLun(lun, names[i], error)) return fail(error);
        std::optional<tcmu::AttachedNodes> nodes = bridge.config.nodesOf(lun, kAttachTimeoutMs);
        if (!nodes) return fail("the kernel did not attach " + files[i].string());
        bridge.drives[i]->settle(kSettleQuiet, kSettleLimit);
        bridge.drives[i]->attached(*nodes);
        generics.push_back(nodes->generic);
        std::printf("%s %s %s\n", files[i].c_str(), nodes->generic.c_str(),
                    nodes->block.empty() ? "-" : nodes->block.c_str());
        std::fflush(stdout);
    }
    // Per drive: vanished, then returned.
    std::vector<pollfd> fds{{signals, POLLIN, 0}};
    for (const auto& drive : bridge.drives) {
        fds.push_back({drive->vanishedFd(), POLLIN, 0});
        fds.push_back({drive->returnedFd(), POLLIN, 0});
    }
    std::vector<kdulog::UniqueFd> heldNodes(files.size());
    std::vector<bool> linked(files.size(), true);
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) break;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto lun = static_cast<unsigned>(i);
            if (fds[1 + 2 * i].revents) {
                drain(fds[1 + 2 * i].fd);
                // Each command that reached it while it was going says so: one removal.
                if (!linked[i]) continue;
                linked[i] = false;
                bridge.drives[i]->detached();
                // Its node kept open, as a program still holding it would: the drive that
                // comes back gets another one.
                heldNodes[i] = holdNode(generics[i]);
                bridge.config.unlinkLun(lun);
                std::printf("%s removed\n", files[i].c_str());
                std::fflush(stdout);
            }
            if (fds[2 + 2 * i].revents) {
                drain(fds[2 + 2 * i].fd);
                std::optional<tcmu::AttachedNodes> nodes;
                if (bridge.config.linkLun(lun, names[i], error)) nodes = bridge.config.nodesOf(lun, kAttachTimeoutMs);
                heldNodes[i] = {};
                if (!nodes) {
                    std::fprintf(stderr, "kdu_tcmu_drive: %s did not come back: %s\n", files[i].c_str(), error.c_str());
                    continue;
                }
                // The program that follows it polls it at once: only the kernel's first look
                // is waited out.
                bridge.drives[i]->settle(kSettleQuiet, kSettleQuiet);
                bridge.drives[i]->attached(*nodes);
                linked[i] = true;
                generics[i] = nodes->generic;
                std::printf("%s back at %s %s\n", files[i].c_str(), nodes->generic.c_str(),
                            nodes->block.empty() ? "-" : nodes->block.c_str());
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    kdulog::setSyslogEnabled(false);
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        files.emplace_back(std::filesystem::absolute(arg));
    }
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<sim::FileId> ids;
    for (const auto& file : files) {
        std::string error;
        sim::FileId id;
        if (!sim::loadDriveFile(file, error, nullptr, &id)) {
            std::fprintf(stderr, "kdu_tcmu_drive: %s\n", error.c_str());
            return 2;
        }
        // Served twice, one drive would take two updates at once.
        if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
            std::fprintf(stderr, "kdu_tcmu_drive: %s: given twice (a drive is a file of its own)\n", file.c_str());
            return 2;
        }
        ids.push_back(id);
    }
    if (::geteuid() != 0)
        return fail("needs root: it sets up SCSI targets in the kernel's configfs (/sys/kernel/config)");
    if (std::optional<std::string> missing = tcmu::missingFacility())
        return fail("cannot serve drives here: " + *missing);

    // Signals arrive through a descriptor; every thread made after this keeps them blocked.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    kdulog::UniqueFd signals(::signalfd(-1, &set, SFD_CLOEXEC));
    if (!signals) return fail("cannot watch for signals");
    return serve(files, signals.get());
}
