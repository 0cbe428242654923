#include "tools/tcmu/BridgeDrive.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

namespace bridge {
namespace {

constexpr std::uint8_t kOpWriteBuffer = 0x3B;

// The ring does not say which way data moves: the operation code does.
bool sendsData(std::uint8_t opcode) {
    switch (opcode) {
    case 0x0A: case 0x15: case 0x1D: case 0x2A: case 0x2E: case 0x3B: case 0x3F: case 0x4C:
    case 0x54: case 0x55: case 0x5D: case 0x8A: case 0xA3: case 0xAA: case 0xB6: case 0xBF:
        return true;
    default:
        return false;
    }
}

void writeAttribute(const std::string& path, const std::string& value) {
    std::ofstream out(path);
    out << value;
}

void signal(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

}  // namespace

BridgeDrive::BridgeDrive(std::filesystem::path driveFile, std::unique_ptr<tcmu::Ring> ring)
    : unit_(std::move(driveFile)),
      ring_(std::move(ring)),
      stop_(::eventfd(0, EFD_CLOEXEC)),
      vanished_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      returned_(std::make_shared<kdulog::UniqueFd>(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))),
      thread_([this] { serve(); }) {
    unit_.onReturn([returned = returned_] { signal(returned->get()); });
}

BridgeDrive::~BridgeDrive() {
    signal(stop_.get());
    thread_.join();
    if (const std::string report = transferReport(); !report.empty())
        std::fprintf(stderr, "kdu_tcmu_drive: %s: %s\n", file().c_str(), report.c_str());
}

void BridgeDrive::attached(const tcmu::AttachedNodes& nodes) {
    deviceState_ = "/sys/bus/scsi/devices/" + nodes.address + "/state";
    if (!nodes.block.empty())
        writeAttribute("/sys/block/" + nodes.block.substr(nodes.block.rfind('/') + 1) + "/events_poll_msecs", "0");
    attached_ = true;
}

void BridgeDrive::settle(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) const {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        const Clock::time_point last{Clock::duration{lastCommand_.load()}};
        if (Clock::now() - last >= quiet) return;
        std::this_thread::sleep_for(quiet / 4);
    }
}

void BridgeDrive::serve() {
    for (;;) {
        pollfd fds[2] = {{ring_->fd(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) ring_->acknowledge();
        while (std::optional<tcmu::RingCommand> command = ring_->next()) handle(*command);
    }
}

void BridgeDrive::handle(const tcmu::RingCommand& command) {
    const auto arrived = std::chrono::steady_clock::now();
    std::vector<std::uint8_t> data;
    scsi::Command scsi;
    scsi.cdb = command.cdb;
    scsi.cdbLength = command.cdbLength;
    if (command.dataLength > 0) {
        const bool out = sendsData(command.cdb[0]);
        data = out ? ring_->dataOut(command) : std::vector<std::uint8_t>(command.dataLength, 0);
        scsi.direction = out ? scsi::Direction::ToDevice : scsi::Direction::FromDevice;
        scsi.data = data;
    }
    std::chrono::microseconds wire{0};
    const scsi::Result result =
        unit_.execute(scsi, sim::wallClockMs(), wire, housekeeping_.originOf(command.cdb.data(), attached_));
    tcmu::RingReply reply;
    if (result.error == scsi::TransportError::NoDevice) {
        // The drive is gone: the device goes offline first, so the busy answer is not
        // retried into the drive, and the program sees the drive gone.
        if (!deviceState_.empty()) writeAttribute(deviceState_, "offline");
        reply.status = scsi::Status::Busy;
        ring_->complete(command, reply);
        lastCommand_ = std::chrono::steady_clock::now().time_since_epoch().count();
        vanish();
        return;
    }
    if (!result.delivered()) {
        // Not delivered: what a transport error looks like from the target's side.
        reply.status = scsi::Status::CheckCondition;
        reply.sense = sim::makeSense({0x0B, 0x47, 0x00});
    } else {
        reply.status = result.status;
        reply.sense = result.sense;
        if (scsi.direction == scsi::Direction::FromDevice && result.good())
            reply.dataIn = std::span<const std::uint8_t>(data.data(), result.transferred);
    }
    if (wire.count() > 0) sim::waitUntil(arrived + wire);
    ring_->complete(command, reply);
    lastCommand_ = std::chrono::steady_clock::now().time_since_epoch().count();
    noteTransfer(command.cdb.data(), arrived);
}

void BridgeDrive::noteTransfer(const std::uint8_t* cdb, std::chrono::steady_clock::time_point arrived) {
    if (cdb[0] != kOpWriteBuffer || cdb[2] == 0xFF) return;  // image pieces only
    ImageTransfer& transfer = transfers_[cdb[2]];
    if (transfer.pieces++ == 0) transfer.first = arrived;
    transfer.last = std::chrono::steady_clock::now();
}

std::string BridgeDrive::transferReport() const {
    std::string report;
    for (const auto& [id, transfer] : transfers_) {
        char line[96];
        std::snprintf(line, sizeof line, "%simage 0x%02X: %u pieces in %lld us", report.empty() ? "" : ", ", id,
                      transfer.pieces,
                      static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                 transfer.last - transfer.first)
                                                 .count()));
        report += line;
    }
    return report;
}

void BridgeDrive::vanish() { signal(vanished_.get()); }

}  // namespace bridge
