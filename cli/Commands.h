// The commands of kdu, one source file each. Every command returns the process's exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/BackendChoice.h"

namespace cli {

struct ListOptions {
    bool json = false;
};
int runList(const platform::BackendChoice& backend, const ListOptions& options);

struct ImagesOptions {
    bool json = false;
};
int runImages(const ImagesOptions& options);

struct UpdateOptions {
    std::vector<std::string> drives;   // each its number in `list`, its id or a device node
    bool all = false;                  // every drive that may be updated
    int jobs = 0;                      // updates at once; 0: all of them, at most kMaxUpdateJobs
    bool yes = false;                  // skip the confirmation (needs `drives` or `all`)
    bool dryRun = false;               // every check, then the plan; nothing changes the drive
    bool json = false;                 // JSON Lines events and a result object
};
inline constexpr int kMaxUpdateJobs = 8;
int runUpdate(const platform::BackendChoice& backend, const UpdateOptions& options);

struct WatchOptions {
    bool json = false;
};
int runWatch(const platform::BackendChoice& backend, const WatchOptions& options);

struct HistoryOptions {
    bool json = false;                 // one JSON object per update
    std::optional<std::string> drive;  // only this drive's updates, by its id
};
int runHistory(const HistoryOptions& options);

struct BenchInquiryOptions {
    int drive = 1;
    int count = 1000;
};
int runBenchInquiry(const platform::BackendChoice& backend, const BenchInquiryOptions& options);

// `kdu sim ...`: changes to the simulated drive folder, as a person would make them.
struct SimOptions {
    enum class Action { Attach, Detach, Insert, Eject, Demo };
    Action action = Action::Demo;
    std::string name;
    std::string model = "target";                 // target | other
    std::optional<std::string> revision;
    std::optional<std::string> volume;            // attach --disc / insert --volume
    bool kernel = false;
};
int runSim(const platform::BackendChoice& backend, const SimOptions& options);

// `kdu --version`: the program's version, its git revision, the shipped firmware revision.
int runVersion();

}  // namespace cli
