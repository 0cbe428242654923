// A small stand-in for `kdu` inside the test VM, built on the Linux backend alone:
//   probe list               one JSON line per MMC drive (INQUIRY, disc by TEST UNIT READY)
//   probe disks              one JSON line per disc in a drive now
//   probe watch N SECONDS    hot-plug events as JSON lines, until N events or the time is up
//   probe bench-inquiry N    microseconds per INQUIRY through SG_IO on the first drive
//   probe hold NODE SECONDS  holds a generic node exclusively, as another program would
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "log/Log.h"
#include "platform/linux/LinuxBackend.h"

using namespace platform;
using nlohmann::json;

namespace {

std::string field(const std::uint8_t* data, int length) {
    std::string text(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

scsi::Command inquiry(std::uint8_t* buffer) {
    scsi::Command command;
    command.cdb = {0x12, 0, 0, 0, 56, 0};
    command.cdbLength = 6;
    command.direction = scsi::Direction::FromDevice;
    command.data = {buffer, 56};
    return command;
}

int list(Backend& backend) {
    for (const auto& node : backend.authoringDevices()) {
        Opened opened = node->open();
        if (!opened.channel) {
            KDU_LOG_WAR("probe list", "ObtainExclusiveAccess failed.(1) (0x%08x)", static_cast<unsigned>(opened.error));
            continue;
        }
        TaskChannel& channel = *opened.channel;
        std::uint8_t data[56] = {};
        channel.execute(inquiry(data));
        scsi::Command testUnitReady;
        testUnitReady.cdbLength = 6;
        const scsi::Result ready = channel.execute(testUnitReady);
        channel.release();
        std::string className;
        node->className(className);
        std::cout << json{{"key", node->key()}, {"class", className}, {"vendor", field(data + 8, 8)},
                          {"product", field(data + 16, 16)}, {"revision", field(data + 32, 4)},
                          {"disc", ready.good()}}
                         .dump()
                  << std::endl;
    }
    return 0;
}

int disks(Backend& backend) {
    for (const auto& disk : backend.presentDisks()) {
        std::cout << json{{"disk", disk.bsdName}, {"volume", disk.volumeName.value_or("")},
                          {"model", disk.deviceModel.value_or("")}}
                         .dump()
                  << std::endl;
    }
    return 0;
}

int watch(Backend& backend, int wanted, int seconds) {
    auto source = backend.createEventSource();
    if (!source) return 1;
    std::cout << "watching" << std::endl;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int seen = 0;
    while (seen < wanted && std::chrono::steady_clock::now() < end) {
        pollfd ready{source->fd(), POLLIN, 0};
        if (::poll(&ready, 1, 500) <= 0) continue;
        HotplugEvents events;
        source->drain(events);
        auto print = [&](json line) {
            std::cout << line.dump() << std::endl;
            ++seen;
        };
        for (std::size_t i = 0; i < events.published.size(); ++i) print({{"event", "drive-arrived"}});
        for (std::size_t i = 0; i < events.terminated.size(); ++i) print({{"event", "drive-removed"}});
        for (const auto& disk : events.disksAppeared)
            print({{"event", "disc-appeared"}, {"volume", disk.volumeName.value_or("")}, {"model", disk.deviceModel.value_or("")}});
        for (const auto& disk : events.disksDisappeared)
            print({{"event", "disc-disappeared"}, {"volume", disk.volumeName.value_or("")}, {"model", disk.deviceModel.value_or("")}});
    }
    return seen >= wanted ? 0 : 1;
}

int benchInquiry(Backend& backend, int count) {
    const auto nodes = backend.authoringDevices();
    if (nodes.empty() || count <= 0) return 1;
    auto channel = nodes.front()->open().channel;
    if (!channel) return 1;
    std::uint8_t data[56];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        if (!channel->execute(inquiry(data)).delivered()) return 1;
    }
    const auto spent = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start);
    std::printf("%.1f us per INQUIRY (%d commands)\n", spent.count() / count, count);
    return 0;
}

int hold(const char* node, int seconds) {
    const int fd = ::open(node, O_RDWR | O_EXCL | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "hold: %s: %s\n", node, std::strerror(errno));
        return 1;
    }
    std::printf("holding %s\n", node);
    std::fflush(stdout);
    ::sleep(static_cast<unsigned>(seconds));
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    kdulog::setSyslogEnabled(false);
    const std::string command = argc > 1 ? argv[1] : "";
    auto backend = makeLinuxBackend();
    if (command == "list") return list(*backend);
    if (command == "disks") return disks(*backend);
    if (command == "watch" && argc > 3) return watch(*backend, std::atoi(argv[2]), std::atoi(argv[3]));
    if (command == "bench-inquiry" && argc > 2) return benchInquiry(*backend, std::atoi(argv[2]));
    if (command == "hold" && argc > 3) return hold(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: probe list | disks | watch N SECONDS | bench-inquiry N | hold NODE SECONDS\n");
    return 2;
}
