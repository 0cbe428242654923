// What the kernel writes back into an SG_IO request (status, host and driver codes,
// residual, sense length and bytes), mapped onto a task's outcome.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/linux/SgIo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::uint8_t> buffer(input.ConsumeIntegralInRange<std::size_t>(0, 512));

    scsi::Command command;
    command.cdbLength = input.ConsumeIntegral<std::uint8_t>();
    for (auto& byte : command.cdb) byte = input.ConsumeIntegral<std::uint8_t>();
    command.direction = static_cast<scsi::Direction>(input.ConsumeIntegralInRange<std::uint8_t>(0, 3));
    const bool withBuffer = input.ConsumeBool();
    // The part of the buffer the task hands over (as many bytes as it asks to move).
    const auto count = input.ConsumeIntegral<std::uint64_t>();
    if (withBuffer) command.data = std::span(buffer).first(static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size())));
    command.timeout = std::chrono::milliseconds(input.ConsumeIntegral<std::uint32_t>());

    std::uint8_t sense[platform::sgio::kSenseBufferLength];
    sg_io_hdr_t header;
    if (platform::sgio::buildHeader(command, sense, header) == scsi::TransportError::None) {
        if (header.dxfer_len > buffer.size()) __builtin_trap();
        if (header.dxfer_direction != SG_DXFER_NONE && header.dxferp == nullptr) __builtin_trap();
    }

    // The kernel's side of the request.
    header.status = input.ConsumeIntegral<unsigned char>();
    header.masked_status = input.ConsumeIntegral<unsigned char>();
    header.host_status = input.ConsumeIntegral<unsigned short>();
    header.driver_status = input.ConsumeIntegral<unsigned short>();
    header.sb_len_wr = input.ConsumeIntegral<unsigned char>();
    header.resid = input.ConsumeIntegral<int>();
    header.info = input.ConsumeIntegral<unsigned>();
    for (auto& byte : sense) byte = input.ConsumeIntegral<std::uint8_t>();
    header.mx_sb_len = platform::sgio::kSenseBufferLength;
    header.sbp = sense;
    const int ioctlResult = input.ConsumeBool() ? -1 : 0;
    const int error = input.ConsumeIntegralInRange<int>(0, 200);

    const scsi::Result outcome = platform::sgio::mapResult(ioctlResult, error, header);
    if (outcome.delivered() && outcome.transferred > header.dxfer_len) __builtin_trap();
    return 0;
}
