// The seam between the patcher and the operating system, one interface per
// concern:
//
//   IFileSystem      files, file search, rename and delete, version information
//   IPayloadStore    the blocks the patch carries
//   IInstallRecord   the install record in the registry
//   IThreads         threads, locks, sleeping and the clock
//   IPlatformExtras  what only tools and tests ask for
//
// Each concern in use is the system's own unless a test or tool put another
// in its place, so a double replaces one concern and leaves the others be.
// Paths, names and values are CP932 byte strings on every system.
#pragma once

#include "platform/error_codes.h"
#include "platform/extras.h"
#include "platform/file_system.h"
#include "platform/install_record.h"
#include "platform/payload_store.h"
#include "platform/threads.h"

namespace platform {

// The system's own implementation of every concern.
class IPlatform : public IFileSystem,
                  public IPayloadStore,
                  public IInstallRecord,
                  public IThreads,
                  public IPlatformExtras {};

IPlatform& System();

// The concern in use, and the one that replaces it (null: the system's own
// again); SetInUse returns the previous one. Defined for the five concerns.
template <typename Concern>
Concern& InUse();
template <typename Concern>
Concern* SetInUse(Concern* replacement);

inline IFileSystem& Files() { return InUse<IFileSystem>(); }
inline IPayloadStore& Payloads() { return InUse<IPayloadStore>(); }
inline IInstallRecord& Record() { return InUse<IInstallRecord>(); }
inline IThreads& Threads() { return InUse<IThreads>(); }
inline IPlatformExtras& Extras() { return InUse<IPlatformExtras>(); }

// Puts a concern in place for the life of a scope.
template <typename Concern>
class ScopedInUse {
public:
    explicit ScopedInUse(Concern* replacement) : previous_(SetInUse<Concern>(replacement)) {}
    ~ScopedInUse() { SetInUse<Concern>(previous_); }
    ScopedInUse(const ScopedInUse&) = delete;
    ScopedInUse& operator=(const ScopedInUse&) = delete;

private:
    Concern* previous_;
};

using ScopedFileSystem = ScopedInUse<IFileSystem>;
using ScopedPayloadStore = ScopedInUse<IPayloadStore>;
using ScopedInstallRecord = ScopedInUse<IInstallRecord>;
using ScopedThreads = ScopedInUse<IThreads>;

}  // namespace platform
