// The operating system as the classes see it: one interface per area (see
// areas.h), held by the platform of the calling thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/areas.h"

namespace vorlek::platform {

#define VORLEK_DECLARE_AREA(Area, name) class Area;
VORLEK_PLATFORM_AREAS(VORLEK_DECLARE_AREA)
#undef VORLEK_DECLARE_AREA

// One object per area, made by a backend (the real system or the simulation).
struct Areas {
#define VORLEK_AREA_FIELD(Area, name) std::shared_ptr<Area> name;
    VORLEK_PLATFORM_AREAS(VORLEK_AREA_FIELD)
#undef VORLEK_AREA_FIELD
};

class Platform {
  public:
    // `context` is what the areas work on (the simulated network); it is
    // released only after every area is gone.
    explicit Platform(Areas areas, std::shared_ptr<void> context = {});
    virtual ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

#define VORLEK_AREA_ACCESSOR(Area, name) \
    Area& name() const noexcept {        \
        return *areas_.name;             \
    }
    VORLEK_PLATFORM_AREAS(VORLEK_AREA_ACCESSOR)
#undef VORLEK_AREA_ACCESSOR

    // A serial number, never reused in this process: an object that keeps a
    // handle past the call that opened it tells by this whether the handle
    // belongs to the platform that is current now.
    uint64_t id() const noexcept {
        return id_;
    }

  private:
    uint64_t id_;
    std::shared_ptr<void> context_;  // declared first: outlives the areas
    Areas areas_;
};

// The platform of the calling thread: a scoped one if a test or the script
// host installed it, otherwise the process default (default.cpp).
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

// The process default, made on first use: the real system on Windows unless
// VORLEK_PLATFORM=sim asks for the simulated network (a dry run), the
// simulated network elsewhere.
Platform& process_default();

}  // namespace vorlek::platform
