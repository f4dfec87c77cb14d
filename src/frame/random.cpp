// Random source and host event pump.
#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <random>

#include "ombrak/frame/platform.h"

namespace ombrak {

namespace {
thread_local bool zero_random = false;

// The host's pump, swapped whole under a lock and called outside it: a thread may install one
// while others call the one they got.
struct Pump {
    std::mutex mutex;
    std::shared_ptr<const std::function<void()>> pump;
    std::atomic<bool> installed{false};
};
Pump& event_pump() {
    static Pump p;
    return p;
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
    std::shared_ptr<const std::function<void()>> pump;
    {
        std::lock_guard lock(event_pump().mutex);
        pump = event_pump().pump;
    }
    if (pump && *pump) (*pump)();
}
void set_event_pump(std::function<void()> pump) {
    auto next = pump ? std::make_shared<const std::function<void()>>(std::move(pump)) : nullptr;
    std::lock_guard lock(event_pump().mutex);
    event_pump().installed.store(next != nullptr, std::memory_order_relaxed);
    event_pump().pump = std::move(next);
}
bool event_pump_installed() noexcept {
    return event_pump().installed.load(std::memory_order_relaxed);
}

}  // namespace ombrak
