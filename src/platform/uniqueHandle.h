#pragma once
// Move-only owner of one system handle, closed through the platform so that a
// test's fake sees every close.
#include "platform.h"

#include <utility>

template <typename Handle, BOOL (Platform::*Close)(Handle)>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, Handle{}));
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }

    // Closes the handle held so far, if any, and keeps the new one.
    void reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Handle{}) {
            (platform().*Close)(old);
        }
    }

private:
    Handle handle_{};
};

using UniqueWinSta = UniqueHandle<HWINSTA, &Platform::CloseWindowStation>;
using UniqueDesktop = UniqueHandle<HDESK, &Platform::CloseDesktop>;

// A kernel object handle; both null and INVALID_HANDLE_VALUE mean "none".
class UniqueKernelHandle {
public:
    UniqueKernelHandle() = default;
    explicit UniqueKernelHandle(HANDLE handle) : handle_(handle) {}
    UniqueKernelHandle(const UniqueKernelHandle&) = delete;
    UniqueKernelHandle& operator=(const UniqueKernelHandle&) = delete;
    ~UniqueKernelHandle() { reset(); }

    void reset() {
        const HANDLE old = std::exchange(handle_, nullptr);
        if (old != nullptr && old != INVALID_HANDLE_VALUE) {
            platform().CloseHandle(old);
        }
    }

private:
    HANDLE handle_ = nullptr;
};
