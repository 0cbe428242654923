#include "platform/AccessRefusals.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex refusalsMutex;
std::vector<AccessRefusal>& refusals() {
    static std::vector<AccessRefusal> instance;
    return instance;
}

}  // namespace

void noteAccessRefused(const std::string& node, int error) {
    std::lock_guard lock(refusalsMutex);
    refusals().push_back({node, error});
}

std::vector<AccessRefusal> takeAccessRefusals() {
    std::lock_guard lock(refusalsMutex);
    return std::exchange(refusals(), {});
}

}  // namespace platform
