// Basic types of the platform layer: object handles, return codes, UUIDs.
// The names follow the device-registry vocabulary the drive code is written in.
#pragma once

#include <array>
#include <cstdint>

namespace platform {

using kern_return_t = std::int32_t;
using IOReturn = kern_return_t;
using HRESULT = std::int32_t;
using io_object_t = std::uint32_t;  // 0 = none
using io_service_t = io_object_t;
using io_iterator_t = io_object_t;
using mach_port_t = std::uint32_t;
using io_name_t = char[128];

inline constexpr io_object_t IO_OBJECT_NULL = 0;
inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr mach_port_t kIOMasterPortDefault = MACH_PORT_NULL;

inline constexpr kern_return_t kIOReturnSuccess = 0;
inline constexpr kern_return_t kIOReturnError = static_cast<kern_return_t>(0xE00002BC);
inline constexpr kern_return_t kIOReturnNoMemory = static_cast<kern_return_t>(0xE00002BD);
inline constexpr kern_return_t kIOReturnNoResources = static_cast<kern_return_t>(0xE00002BE);
inline constexpr kern_return_t kIOReturnBadArgument = static_cast<kern_return_t>(0xE00002C2);
inline constexpr kern_return_t kIOReturnNoDevice = static_cast<kern_return_t>(0xE00002C0);
inline constexpr kern_return_t kIOReturnNotPrivileged = static_cast<kern_return_t>(0xE00002C1);
inline constexpr kern_return_t kIOReturnExclusiveAccess = static_cast<kern_return_t>(0xE00002C5);
inline constexpr kern_return_t kIOReturnUnsupported = static_cast<kern_return_t>(0xE00002C7);
inline constexpr kern_return_t kIOReturnNotOpen = static_cast<kern_return_t>(0xE00002CD);
inline constexpr kern_return_t kIOReturnBusy = static_cast<kern_return_t>(0xE00002D5);
inline constexpr kern_return_t kIOReturnTimeout = static_cast<kern_return_t>(0xE00002D6);
inline constexpr kern_return_t kIOReturnIOError = static_cast<kern_return_t>(0xE00002CA);
inline constexpr kern_return_t kIOReturnNotPermitted = static_cast<kern_return_t>(0xE00002E2);
inline constexpr kern_return_t kIOReturnNotFound = static_cast<kern_return_t>(0xE00002F0);

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80000004);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);

// A 16-byte UUID, built from its bytes in written order.
struct CFUUIDBytes {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const CFUUIDBytes&, const CFUUIDBytes&) = default;
};

// 97ABCF2C-23CC-11D5-A0E8-003065704866
inline constexpr CFUUIDBytes kIOMMCDeviceUserClientTypeID{
    {0x97, 0xAB, 0xCF, 0x2C, 0x23, 0xCC, 0x11, 0xD5, 0xA0, 0xE8, 0x00, 0x30, 0x65, 0x70, 0x48, 0x66}};
// C244E858-109C-11D4-91D4-0050E4C6426F
inline constexpr CFUUIDBytes kIOCFPlugInInterfaceID{
    {0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50, 0xE4, 0xC6, 0x42, 0x6F}};
// 1F651106-23CC-11D5-BBDB-003065704866
inline constexpr CFUUIDBytes kIOMMCDeviceInterfaceID{
    {0x1F, 0x65, 0x11, 0x06, 0x23, 0xCC, 0x11, 0xD5, 0xBB, 0xDB, 0x00, 0x30, 0x65, 0x70, 0x48, 0x66}};

}  // namespace platform
