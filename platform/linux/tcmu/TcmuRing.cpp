#include "platform/linux/tcmu/TcmuRing.h"

#include "platform/linux/tcmu/TcmuUapi.h"
#include "scsi/Command.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace tcmu {
namespace {

std::size_t mapSize(const std::string& uioName) {
    std::ifstream in("/sys/class/uio/" + uioName + "/maps/map0/size");
    std::string text;
    in >> text;
    return text.empty() ? 0 : static_cast<std::size_t>(std::stoull(text, nullptr, 0));
}

}  // namespace

std::unique_ptr<Ring> Ring::open(const std::string& uioName, std::string& error) {
    const std::string node = "/dev/" + uioName;
    kdulog::UniqueFd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        error = "cannot open " + node + ": " + std::strerror(errno);
        return nullptr;
    }
    const std::size_t size = mapSize(uioName);
    if (size < 4096) {
        error = "no ring size for " + uioName;
        return nullptr;
    }
    void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) {
        error = "cannot map the ring of " + uioName + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!kdu_tcmu_known_version(map)) {
        ::munmap(map, size);
        error = uioName + ": unknown ring version";
        return nullptr;
    }
    return std::unique_ptr<Ring>(new Ring(std::move(fd), map, size));
}

Ring::Ring(kdulog::UniqueFd fd, void* map, std::size_t size) : fd_(std::move(fd)), map_(map), size_(size) {}

Ring::~Ring() { ::munmap(map_, size_); }

void Ring::acknowledge() {
    std::uint32_t events = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_.get(), &events, sizeof events);
}

std::optional<RingCommand> Ring::next() {
    kdu_tcmu_entry entry{};
    if (!kdu_tcmu_next(map_, &entry)) return std::nullopt;
    RingCommand command;
    command.tail = entry.tail;
    const std::uint8_t* cdb = at(entry.cdb_offset);
    // The kernel copies as many CDB bytes as the group of the operation code implies.
    command.cdbLength = static_cast<std::uint8_t>(scsi::groupCdbLength(cdb[0], 16));
    std::copy(cdb, cdb + command.cdbLength, command.cdb.begin());
    for (std::uint32_t i = 0; i < entry.buffer_count; ++i) {
        std::uint64_t offset = 0, length = 0;
        kdu_tcmu_buffer(map_, entry.tail, i, &offset, &length);
        command.buffers.push_back({at(offset), static_cast<std::size_t>(length)});
        command.dataLength += length;
    }
    return command;
}

std::vector<std::uint8_t> Ring::dataOut(const RingCommand& command) const {
    std::vector<std::uint8_t> data;
    data.reserve(command.dataLength);
    for (const Buffer& b : command.buffers) data.insert(data.end(), b.data, b.data + b.length);
    return data;
}

void Ring::complete(const RingCommand& command, const RingReply& reply) {
    std::size_t left = reply.dataIn.size();
    const std::uint8_t* from = reply.dataIn.data();
    for (const Buffer& b : command.buffers) {
        if (left == 0) break;
        const std::size_t n = std::min(left, b.length);
        std::memcpy(b.data, from, n);
        from += n;
        left -= n;
    }
    const bool check = reply.status == scsi::Status::CheckCondition;
    // The shorter real length gives the initiator the right residual.
    kdu_tcmu_complete(map_, command.tail, static_cast<std::uint8_t>(reply.status), reply.sense.data(), check ? reply.sense.size() : 0,
                      static_cast<std::uint32_t>(reply.dataIn.size() - left));
    const std::uint32_t kick = 0;
    [[maybe_unused]] const ssize_t n = ::write(fd_.get(), &kick, sizeof kick);
}

}  // namespace tcmu
