// The explicit list of the library's classes, defined above the frame (src/classes.cpp) so the
// frame does not depend on the subsystems.
#pragma once

#include <vector>

#include "ombrak/frame/components.h"

namespace ombrak::frame {

struct ClassEntry {
    const ClassInfo* info;
    Factory factory;
};

/// Every class of the library in catalogue order.
std::vector<ClassEntry> library_classes();

/// Registers the member tables of one class type.
template <class C>
ClassEntry entry() {
    return {&C::info(), [] { return ObjectRef(std::make_shared<C>()); }};
}

}  // namespace ombrak::frame
