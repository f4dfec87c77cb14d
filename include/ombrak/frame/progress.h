// Progress notification shared by the classes that report it: the Progress event to connected
// sinks, or, when a buddy object is set, a call of the class's buddy method on it.
#pragma once

#include <vector>

#include "ombrak/frame/member_table.h"
#include "ombrak/frame/object.h"

namespace ombrak {

/// Base of a class with a Progress event whose Percent argument is an Int (16 or 32 bits).
/// The derived class's ClassInfo must carry its EventInfo.
template <class Int>
class ProgressObject : public Object {
  public:
    /// The buddy object, or nothing. While one is set the class raises no events.
    ObjectRef BuddyObject() { return buddy_; }
    void BuddyObject(ObjectRef& value) { buddy_ = value; }

    void connect(const ObjectRef& sink) override;
    void disconnect(const ObjectRef& sink) override;

  protected:
    /// Notifies the value of `counter`, passed by reference: what a sink or the buddy writes
    /// into it is what the operation sees afterwards. A failing call propagates.
    void notify(Int& counter);
    /// Notifies the constant 100 (the event's width for sinks, 16 bits for the buddy).
    void notify_done();
    /// True when a notification reaches anyone: a buddy object or a connected sink.
    bool listened() const noexcept { return buddy_ || !sinks_.empty(); }

  private:
    void deliver(Variant& value, bool by_ref);
    ObjectRef buddy_;
    std::vector<ObjectRef> sinks_;
};

/// Member-table lines for the BuddyObject property (get, then set) of class C.
template <class C, class Int>
MemberInfo buddy_get() {
    using B = ProgressObject<Int>;
    return binding::get<static_cast<ObjectRef (B::*)()>(&B::BuddyObject), C>("BuddyObject");
}
template <class C, class Int>
MemberInfo buddy_set() {
    using B = ProgressObject<Int>;
    return binding::set<static_cast<void (B::*)(ObjectRef&)>(&B::BuddyObject), C>(
        "BuddyObject", {binding::arg("oValue")});
}

extern template class ProgressObject<std::int16_t>;
extern template class ProgressObject<std::int32_t>;

}  // namespace ombrak
