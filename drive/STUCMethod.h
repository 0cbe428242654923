// The drive command layer: discovery, the five SCSI commands with their common
// execution frame, sense decoding, diagnostic dumps, the listing of drives and the
// firmware update sequence. Plain functions that report by return value only.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "platform/IOTypes.h"
#include "platform/Matching.h"
#include "platform/SCSITaskLib.h"

// Discovery ---------------------------------------------------------------

inline constexpr std::uint32_t kFindMethodAuthoringDevices = 5;

void CreateMatchingDictionaryForAuthoringDevices(platform::CFMutableDictionaryRef* matchingDict);
// Only method 5 (authoring devices) is implemented. True when the matching call
// succeeded with a non-zero iterator; the caller releases the iterator in every case.
bool FindDevicesUsing(std::uint32_t method, platform::mach_port_t masterPort, platform::io_iterator_t* iterator);
// Opens plug-in, MMC interface and task device interface; each out-parameter is null
// when it was not obtained (the task device interface is null on any failure).
void CreateDeviceInterfaceForAuthoringDevice(platform::io_service_t scsiDevice, platform::IOCFPlugInInterface** plugIn,
                                             platform::SCSITaskDeviceInterface** interface,
                                             platform::MMCDeviceInterface** mmcInterface);

// Commands ----------------------------------------------------------------

inline constexpr std::uint32_t kCommandTimeoutMs = 500000;
inline constexpr std::uint32_t kWriteBufferMaxLength = 0x8000;

void CommandInquiry(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// 0: still installing (NOT READY 0x04/0x12 with progressOut given); 1: other CHECK
// CONDITION; 0xFFFF: GOOD, no task, or any other status.
std::uint16_t CommandTestUnitReady(platform::SCSITaskDeviceInterface* interface, DeviceData* record,
                                   bool* discPresentOut, std::uint32_t* progressOut);
// 0 on GOOD, -1 otherwise.
std::int32_t CommandReadBufferForDevice(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// True when the drive accepted the mode change (GOOD).
bool CommandChangeDriveMode(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// Sends one piece of an image: buffer 0xFE when isKernel is non-zero, else 0xF0.
// A length over 32768 bytes is refused (logged, nothing sent).
void CommandWriteBuffer(platform::SCSITaskDeviceInterface* interface, std::uint32_t isKernel, DeviceData* record,
                        const std::vector<std::uint8_t>& data, std::uint32_t offset, std::uint32_t length);

// Diagnostics (standard error) -------------------------------------------------

// One line: sense key name, ", ", then the meaning of ASC/ASCQ. With addRawValues the
// line starts with the three codes in numbers.
void PrintSenseString(const platform::SCSI_Sense_Data* sense, bool addRawValues);
void PrintSCSIInquiryDataUsing(const std::uint8_t* data, std::uint32_t size);
void PrintReadBuffer(const std::uint8_t* data, std::uint32_t size);

// Listing and update -----------------------------------------------------------

// Appends one record per attached drive of the target model, in discovery order.
void ExecListDeviceMain(platform::io_iterator_t iterator, std::vector<DeviceData>& list, const FirmFileData& normal);
// The drive's record, or none when it is not listed (held elsewhere, another model...).
std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal);
// The eligibility rule: hardware matches, destination matches (or eight blanks), and the
// drive's revision is lower than the image's.
bool IsEligibleForUpdate(const DeviceData& drive, const FirmFileData& normal);

struct UpdateTiming {
    std::chrono::milliseconds pollInterval{100};     // pause between TEST UNIT READY polls
    std::chrono::milliseconds waitLimit{10 * 60 * 1000};  // give up waiting for the install after this
};
// The whole update of one drive. True when the drive reports the target revision after it.
bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing = {});
