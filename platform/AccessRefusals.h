// Device nodes the system refused to open for lack of rights (EACCES/EPERM), recorded by
// the backend where the error happens, so a front end can name the node and the fix without
// reading log texts.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct AccessRefusal {
    std::string node;  // "/dev/sg3"
    int error = 0;     // EACCES or EPERM
};

void noteAccessRefused(const std::string& node, int error);
// Everything noted since the last call, oldest first; the record is emptied.
std::vector<AccessRefusal> takeAccessRefusals();

}  // namespace platform
