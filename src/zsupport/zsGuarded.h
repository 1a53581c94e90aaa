#pragma once
// Private to the library's sources: clients include zentarisupport.h only.
#include "zsStatus.h"

#include <new>
#include <utility>

// Runs a body that may allocate; an allocation failure becomes a status
// instead of an exception crossing the library's boundary.
template <typename Body>
ZsStatus Guarded(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return ZsStatus::OutOfMemory;
    }
}
