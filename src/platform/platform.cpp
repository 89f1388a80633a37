#include "platform/platform.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<IPlatform*> g_current{nullptr};
}

IPlatform& Current() {
    IPlatform* platform = g_current.load(std::memory_order_acquire);
    return platform ? *platform : System();
}

IPlatform* SetCurrent(IPlatform* platform) {
    IPlatform* previous = g_current.exchange(platform, std::memory_order_acq_rel);
    return previous;
}

}  // namespace platform
