// Diagnostic dumps of INQUIRY and READ BUFFER data. Neither reads past `size` bytes.
#include <algorithm>
#include <cstdio>

#include "log/Console.h"
#include "drive/STUCMethod.h"

namespace {

// The bytes of a text field that lie within the data (none when the field starts past its end).
int fieldWidth(std::uint32_t size, std::uint32_t offset, int width) {
    return size > offset ? static_cast<int>(std::min<std::uint32_t>(static_cast<std::uint32_t>(width), size - offset)) : 0;
}

}  // namespace

void PrintSCSIInquiryDataUsing(const std::uint8_t* data, std::uint32_t size) {
    if (data == nullptr) size = 0;
    // Bytes beyond the answer print as zero.
    auto byte = [&](std::uint32_t i) -> unsigned { return i < size ? data[i] : 0; };
    auto text = [&](std::uint32_t offset) { return size > offset ? reinterpret_cast<const char*>(data + offset) : ""; };

    kdulog::consoleErr("\n*********** INQUIRY DATA ***********\n");
    kdulog::consoleErr("Got inquiry results size = %lu\n", static_cast<unsigned long>(size));
    kdulog::consoleErr("  Peripheral device type = 0x%02x\n", byte(0) & 0x1F);
    kdulog::consoleErr("  Removable media bit = %d\n", static_cast<int>(byte(1) & 0x80));
    kdulog::consoleErr("  Version = 0x%x\n", byte(2));
    kdulog::consoleErr("  Response data format = 0x%x\n", byte(3));
    kdulog::consoleErr("  Additional length = 0x%x\n", byte(4));
    kdulog::consoleErr("  SCCS and Reserved = 0x%x\n", byte(5));
    kdulog::consoleErr("  Byte 6 flags = 0x%x\n", byte(6));
    kdulog::consoleErr("  Byte 7 flags = 0x%x\n", byte(7));
    kdulog::consoleErr("  Vendor identification  = \"%.*s\"\n", fieldWidth(size, 8, 8), text(8));
    kdulog::consoleErr("  Product identification = \"%.*s\"\n", fieldWidth(size, 16, 16), text(16));
    kdulog::consoleErr("  Product revision level = \"%.*s\"\n", fieldWidth(size, 32, 4), text(32));
    kdulog::consoleErr("\n");
}

void PrintReadBuffer(const std::uint8_t* data, std::uint32_t size) {
    if (data == nullptr) size = 0;
    kdulog::consoleErr("\n*********** READ_BUFFER DATA ***********\n");
    kdulog::consoleErr("Got readBuf results size = %lu\n", static_cast<unsigned long>(size));
    // The counter is as wide as `size`, so any size ends.
    for (std::uint32_t i = 0; i < size; ++i)
        kdulog::consoleErr("  (%02d) = [%c]\n", static_cast<int>(i), static_cast<char>(data[i]));
    kdulog::consoleErr("\n");
}
