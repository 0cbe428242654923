// A listing on real drives leaves out a drive whose node the user may not open. The
// backend says so only in the log (an "[ERR]" line naming the node, then the listing's
// "[WAR]" line with the not-privileged code); this gathers those lines while a listing
// runs so kdu can tell the user what to do.
#pragma once

#include <mutex>
#include <ostream>
#include <set>
#include <string>

namespace cli {

class PermissionWatch {
public:
    PermissionWatch();   // starts gathering (one watch at a time)
    PermissionWatch(const PermissionWatch&) = delete;
    PermissionWatch& operator=(const PermissionWatch&) = delete;
    ~PermissionWatch();  // stops gathering

    // Feeds one log line; public so the recognition can be tested without a backend.
    void onLogLine(const std::string& line);
    // Writes the hint when access was refused; nothing otherwise.
    void printHint(std::ostream& err) const;

private:
    mutable std::mutex mutex_;
    bool refused_ = false;
    std::set<std::string> nodes_;
};

}  // namespace cli
