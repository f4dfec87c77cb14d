// The platform seams: random source, host event pump and host paths (the file layer is in
// files.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ombrak/frame/variant.h"

namespace ombrak {

/// A 31-bit value (bit 31 clear) from the operating system's random generator.
std::uint32_t system_random31();

/// The random value an envelope header uses: system_random31(), or 0 while a ZeroRandomScope
/// is active on this thread.
std::uint32_t envelope_random31();

/// Forces envelope_random31() to 0 on this thread for the scope's life (known-answer tests).
class ZeroRandomScope {
  public:
    ZeroRandomScope();
    ~ZeroRandomScope();
    ZeroRandomScope(const ZeroRandomScope&) = delete;
    ZeroRandomScope& operator=(const ZeroRandomScope&) = delete;

  private:
    bool previous_;
};

/// Sets or clears the zero override on this thread without a scope (the script host's setting).
void set_zero_random(bool zero) noexcept;

/// Lets the host's user interface handle pending events; a no-op unless the host installed one.
/// Both may be called from any thread; a pump replaced while it runs finishes that run.
void pump_events();
/// True while a host pump is installed (a cheap check for loops that would turn it often).
bool event_pump_installed() noexcept;
void set_event_pump(std::function<void()> pump);

/// A host path (UTF-16) as the file system's name (UTF-8); inside a files::ConfinedPaths scope,
/// a name in its folder.
std::string native_path(const Text& path);

}  // namespace ombrak
