#include "cli/DriveBoard.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/Output.h"

namespace cli {

DriveBoard::DriveBoard(std::vector<std::string> ids, bool terminal, bool shown)
    : ids_(std::move(ids)), lines_(ids_.size(), "Waiting"), terminal_(terminal), shown_(shown) {
    winsize size{};
    if (terminal_ && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) width_ = size.ws_col;
    const std::lock_guard lock(mutex_);
    if (shown_ && terminal_) draw();
}

// A line as long as the terminal is wide would wrap and move every line below it.
std::string DriveBoard::clipped(const std::string& line) const {
    if (line.size() < width_) return line;
    std::size_t end = width_ > 1 ? width_ - 1 : 1;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;  // not inside a character
    return line.substr(0, end);
}

void DriveBoard::draw() {
    std::string text;
    if (drawn_) text += "\033[" + std::to_string(lines_.size()) + "A";
    for (std::size_t i = 0; i < lines_.size(); ++i)
        text += std::string(ProgressDisplay::kRedraw) + clipped(ids_[i] + ": " + lines_[i]) + "\n";
    drawn_ = true;
    answer(text);
}

void DriveBoard::take(std::size_t index, std::string_view text) {
    if (!shown_ || closed_) return;
    if (!terminal_) {
        answer(ids_[index] + ": " + std::string(text));
        return;
    }
    lines_[index] = std::string(text);
    draw();
}

ProgressDisplay::Writer DriveBoard::writer(std::size_t index) {
    return [this, index](std::string_view text) {
        const std::lock_guard lock(mutex_);
        if (!terminal_) {
            take(index, text);
        } else if (text.starts_with(ProgressDisplay::kRedraw)) {
            take(index, text.substr(ProgressDisplay::kRedraw.size()));
        }  // the display's closing newline: the line stays as it is
    };
}

void DriveBoard::settle(std::size_t index, std::string_view text) {
    const std::lock_guard lock(mutex_);
    take(index, terminal_ ? text : std::string(text) + "\n");
}

void DriveBoard::above(const std::function<void()>& print) {
    const std::lock_guard lock(mutex_);
    if (!shown_ || !terminal_ || closed_ || !drawn_) {
        print();
        return;
    }
    // Up to the first drive's line and clear to the end of the screen; drawn again below.
    answer("\033[" + std::to_string(lines_.size()) + "A\r\033[J");
    drawn_ = false;
    print();
    draw();
}

void DriveBoard::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
}

}  // namespace cli
