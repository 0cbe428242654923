// The drive command layer: discovery, the five SCSI commands with their common
// execution frame, sense decoding, diagnostic dumps, the listing of drives and the
// firmware update sequence. Plain functions that report by return value only.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "drive/UnitReadiness.h"
#include "drive/UpdateReport.h"
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
// What the drive says of its readiness. With a record: whether it holds a disc, and its
// install progress while it installs.
UnitReadiness CommandTestUnitReady(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// 0 on GOOD, -1 otherwise.
std::int32_t CommandReadBufferForDevice(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// True when the drive accepted the mode change (GOOD).
bool CommandChangeDriveMode(platform::SCSITaskDeviceInterface* interface, DeviceData* record);
// How the drive took one piece of an image.
enum class PieceOutcome {
    Accepted,  // GOOD, every byte moved
    Refused,   // CHECK CONDITION, another status, a transport error or bytes left over
    Gone,      // the drive is no longer there
};
// Sends one piece of an image: buffer 0xFE when isKernel is non-zero, else 0xF0.
// A length over 32768 bytes is refused (logged, nothing sent).
PieceOutcome CommandWriteBuffer(platform::SCSITaskDeviceInterface* interface, std::uint32_t isKernel, DeviceData* record,
                        std::span<const std::uint8_t> data, std::uint32_t offset, std::uint32_t length);

// Diagnostics (standard error) -------------------------------------------------

// One line: sense key name, ", ", then the meaning of ASC/ASCQ. With addRawValues the
// line starts with the three codes in numbers.
void PrintSenseString(const platform::SCSI_Sense_Data* sense, bool addRawValues);
void PrintSCSIInquiryDataUsing(const std::uint8_t* data, std::uint32_t size);
void PrintReadBuffer(const std::uint8_t* data, std::uint32_t size);

// Listing and update -----------------------------------------------------------

// Appends one record per attached drive of the target model, in discovery order. A drive
// that could not be examined (held elsewhere, refused, not answering) is listed too, unless
// the system knows it to be another model: its record has the identity, the model names the
// system holds, and the reason as its eligibility, so list numbers stay the same.
void ExecListDeviceMain(platform::io_iterator_t iterator, std::vector<DeviceData>& list, const FirmFileData& normal);
// The drive's record, or none when it is not listed (held elsewhere, another model...).
// Without `imagesProven` the shipped images are proven first.
std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal);
// `unexaminedOut`, when given, receives why a drive could not be examined (none for a drive
// that was, whatever its model, or that has gone). Exclusive access refused as busy is asked
// again briefly.
std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal,
                                        bool imagesProven,
                                        std::optional<UpdateEligibility>* unexaminedOut = nullptr);
// INQUIRY, TEST UNIT READY and READ BUFFER of a drive already held, judged by the one
// eligibility rule; none for a drive of another model. The listing and the update's second
// look at the drive both use it. `unansweredOut` is set when INQUIRY gave no product.
std::optional<DeviceData> IdentifyHeldDrive(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal,
                                            bool imagesProven, bool* unansweredOut = nullptr);

struct UpdateTiming {
    std::chrono::milliseconds pollInterval{100};     // pause between TEST UNIT READY polls
    std::chrono::milliseconds waitLimit{10 * 60 * 1000};  // give up waiting for the install after this
    // An answer that is no part of an install ends the wait only when it lasts this long.
    std::chrono::milliseconds faultPersistence{10 * 1000};
};
// The whole update of one drive. True when the drive reports the target revision after it.
// `drive` is the record that was confirmed: the update goes on only with that very drive,
// still eligible. `report`, when given, says how it ended.
bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing = {}, const UpdateHooks& hooks = {}, UpdateReport* report = nullptr);
// The commands ExecUpdateMain sends after its checks, in order, for a drive in `driveMode`
// and a normal image of `normalLength` bytes (the install polls shown once).
std::vector<PlannedCommand> updatePlan(DriveMode driveMode, std::uint32_t normalLength);
