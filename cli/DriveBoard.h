// Several drives' progress on stdout at once. On a terminal each drive has one line,
// redrawn in place as its ProgressDisplay changes; elsewhere each line is written as it
// comes, starting with the drive's id. Lines from the drives' threads never interleave.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ProgressDisplay.h"

namespace cli {

class DriveBoard {
public:
    // `ids` as shown (escaped); `shown` false draws nothing (JSON, -q).
    DriveBoard(std::vector<std::string> ids, bool terminal, bool shown);
    DriveBoard(const DriveBoard&) = delete;
    DriveBoard& operator=(const DriveBoard&) = delete;

    bool terminal() const { return terminal_; }
    // The writer for drive `index`'s ProgressDisplay.
    ProgressDisplay::Writer writer(std::size_t index);
    // The last word on drive `index` ("Complete!"): its line on a terminal, a line elsewhere.
    void settle(std::size_t index, std::string_view text);
    // Runs `print`, which writes whole lines to stdout or stderr, above the drives' lines.
    void above(const std::function<void()>& print);
    // Leaves the lines as they are; what is written later goes below them.
    void close();

private:
    void take(std::size_t index, std::string_view text);  // under mutex_
    void draw();                                          // under mutex_
    std::string clipped(const std::string& line) const;

    mutable std::mutex mutex_;
    std::vector<std::string> ids_, lines_;
    bool terminal_, shown_;
    bool drawn_ = false, closed_ = false;
    std::size_t width_ = 80;
};

}  // namespace cli
