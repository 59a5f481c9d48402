// The operating system as the classes see it: one interface per area.
#pragma once

#include <memory>

#include "platform/locale.h"
#include "platform/messages.h"
#include "platform/servers.h"
#include "platform/system.h"
#include "platform/time.h"

namespace vorlek::platform {

class Platform {
  public:
    virtual ~Platform() = default;
    virtual System& system() = 0;
    virtual Locale& locale() = 0;
    virtual Time& time() = 0;
    virtual Messages& messages() = 0;
    virtual Servers& servers() = 0;
};

// The platform of the calling thread: a scoped one if a test or the script
// host installed it, otherwise the process default (the real system on
// Windows unless VORLEK_PLATFORM=sim, the simulated network elsewhere).
Platform& current();

// Makes `platform` current for this thread until the scope ends.
class ScopedPlatform {
  public:
    explicit ScopedPlatform(std::shared_ptr<Platform> platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

  private:
    std::shared_ptr<Platform> platform_;
    Platform* previous_;
};

// The process default, made on first use.
Platform& process_default();

}  // namespace vorlek::platform
