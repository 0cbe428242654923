#include "platform/Backend.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {
std::mutex backendMutex;
std::shared_ptr<Backend>& slot() {
    static std::shared_ptr<Backend> instance;
    return instance;
}
}  // namespace

void installBackend(std::shared_ptr<Backend> backend) {
    std::lock_guard lock(backendMutex);
    slot() = std::move(backend);
}

std::shared_ptr<Backend> currentBackend() {
    std::lock_guard lock(backendMutex);
    return slot();
}

Backend& backend() {
    std::shared_ptr<Backend> current = currentBackend();
    if (!current) {
        std::fprintf(stderr, "no device backend installed\n");
        std::abort();
    }
    // The slot keeps it alive until the next install, which only tests do between cases.
    return *current;
}

}  // namespace platform
