// What `kdu update` of one drive and of several drives at once share: the event stream,
// the names drives go by, and the run of one drive's update with its hooks.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Commands.h"
#include "cli/DriveReport.h"
#include "cli/Inventory.h"
#include "cli/Output.h"
#include "cli/ProgressDisplay.h"
#include "cli/UpdateSignalGuard.h"
#include "drive/UpdateReport.h"
#include "model/DeviceData.h"

namespace cli {

// The events of `update --json`, or nothing without --json. Lines from several updates'
// threads never interleave.
class EventStream {
public:
    explicit EventStream(bool json) : json_(json) {}
    bool json() const { return json_; }
    void emit(const Json& line) const;

private:
    bool json_;
    mutable std::mutex mutex_;
};

// "KESTORY BD-RW KVL-MT38 1.20 (bd-1)": the drive as a person recognises it.
std::string driveName(const DeviceData& drive);

// A `result` event: how one drive's update ended (or, with no drive, the run).
Json resultJson(const std::string& outcome, const DeviceData* drive, const UpdateReport* report, int status,
                const std::string& message);

// Yes only on an explicit "y" or "yes" on stdin; an empty answer or end of input is No.
bool readYes();

// Where one update shows itself and how it sits among others.
struct UpdateView {
    ProgressDisplay::Writer write;                  // the progress display's output
    bool terminal = false;                          // the display redraws its line
    std::function<void(const std::string&)> text;   // whole lines for people (the dry run's plan)
    std::size_t slot = 0;                           // its phase in the signal guard
    bool callerInhibitsSleep = false;
    bool* begunOut = nullptr;                       // set once the first command that changes the drive is due
};

// The update of `drive`, its progress shown and sent as events as `view` says. From the
// first mode change until the drive is back in its normal mode nothing from outside stops
// it; while the drive installs on its own, a signal only stops the waiting.
bool installFirmware(DeviceData& drive, const Images& images, UpdateReport& report, UpdateSignalGuard& signals,
                     const UpdateOptions& options, const EventStream& events, const UpdateView& view);

// `kdu update --all` and `--drive` given more than once: the drives listed, side by side.
int runUpdateMany(const std::vector<DeviceData>& drives, const Images& images, const UpdateOptions& options,
                  UpdateSignalGuard& signals, const EventStream& events);

}  // namespace cli
