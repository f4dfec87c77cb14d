// Progress notification to event sinks or a buddy object.
#include "ombrak/frame/progress.h"

#include <algorithm>

#include "ombrak/frame/error.h"

namespace ombrak {

template <class Int>
void ProgressObject<Int>::connect(const ObjectRef& sink) {
    if (!sink) raise_runtime(RuntimeError::ObjectNotSet);
    sinks_.push_back(sink);
}

template <class Int>
void ProgressObject<Int>::disconnect(const ObjectRef& sink) {
    auto it = std::find(sinks_.begin(), sinks_.end(), sink);
    if (it != sinks_.end()) sinks_.erase(it);
}

template <class Int>
void ProgressObject<Int>::deliver(Variant& value, bool by_ref) {
    const EventInfo& event = *class_info()->event;
    ArgRef arg{&value, by_ref};
    if (buddy_) {
        buddy_->invoke(event.buddy_method, MemberKind::Method, std::span<ArgRef>(&arg, 1));
        return;
    }
    // A sink may connect or disconnect others while it runs: call the ones connected now.
    std::vector<ObjectRef> sinks = sinks_;
    for (const ObjectRef& sink : sinks)
        sink->invoke(event.name, MemberKind::Method, std::span<ArgRef>(&arg, 1));
}

template <class Int>
void ProgressObject<Int>::notify(Int& counter) {
    Variant value(counter);
    deliver(value, true);
    if constexpr (sizeof(Int) == 2)
        counter = to_i16(value);
    else
        counter = to_i32(value);
}

template <class Int>
void ProgressObject<Int>::notify_done() {
    Variant value = buddy_ ? Variant(std::int16_t{100}) : Variant(Int{100});
    deliver(value, false);
}

template class ProgressObject<std::int16_t>;
template class ProgressObject<std::int32_t>;

}  // namespace ombrak
