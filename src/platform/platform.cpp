#include "platform/platform.h"

#include <atomic>

namespace platform {

namespace {

// The replacement of one concern, null while the system's own is in use.
template <typename Concern>
std::atomic<Concern*>& Replacement() {
    static std::atomic<Concern*> replacement{nullptr};
    return replacement;
}

}  // namespace

template <typename Concern>
Concern& InUse() {
    Concern* replacement = Replacement<Concern>().load(std::memory_order_acquire);
    return replacement ? *replacement : static_cast<Concern&>(System());
}

template <typename Concern>
Concern* SetInUse(Concern* replacement) {
    return Replacement<Concern>().exchange(replacement, std::memory_order_acq_rel);
}

#define PLATFORM_CONCERN(Concern)       \
    template Concern& InUse<Concern>(); \
    template Concern* SetInUse<Concern>(Concern * replacement);
PLATFORM_CONCERN(IFileSystem)
PLATFORM_CONCERN(IPayloadStore)
PLATFORM_CONCERN(IInstallRecord)
PLATFORM_CONCERN(IThreads)
PLATFORM_CONCERN(IPlatformExtras)
#undef PLATFORM_CONCERN

}  // namespace platform
