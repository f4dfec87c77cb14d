// Random source and host event pump.
#include <sys/random.h>

#include <cerrno>
#include <random>

#include "ombrak/frame/platform.h"

namespace ombrak {

namespace {
thread_local bool zero_random = false;

std::function<void()>& event_pump() {
    static std::function<void()> pump;
    return pump;
}
}  // namespace

std::uint32_t system_random31() {
    std::uint32_t v = 0;
    std::size_t got = 0;
    auto* p = reinterpret_cast<unsigned char*>(&v);
    while (got < sizeof v) {
        ssize_t n = getrandom(p + got, sizeof v - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            // No kernel generator (very old kernels): fall back to the C++ device.
            std::random_device rd;
            v = rd();
            break;
        }
    }
    return v & 0x7FFFFFFFu;
}

std::uint32_t envelope_random31() {
    return zero_random ? 0 : system_random31();
}

ZeroRandomScope::ZeroRandomScope() : previous_(zero_random) {
    zero_random = true;
}
ZeroRandomScope::~ZeroRandomScope() {
    zero_random = previous_;
}
void set_zero_random(bool zero) noexcept {
    zero_random = zero;
}

void pump_events() {
    if (event_pump()) event_pump()();
}
void set_event_pump(std::function<void()> pump) {
    event_pump() = std::move(pump);
}

}  // namespace ombrak
