#pragma once
// Move-only owner of one system handle. The handle is closed through the
// platform that was in force when it was acquired, so that a handle from the
// real system never reaches a test's fake, nor the other way round, whatever
// is in force when the owner goes.
#include "platform.h"

#include <utility>

// What counts as "no handle": window stations and desktops are null when
// absent; kernel objects may be null or INVALID_HANDLE_VALUE.
struct NullIsEmpty {
    template <typename Handle>
    static bool IsEmpty(Handle handle) {
        return handle == Handle{};
    }
};

struct NullOrInvalidIsEmpty {
    static bool IsEmpty(const void* handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
};

template <typename Handle, BOOL (Platform::*Close)(Handle), typename Empty = NullIsEmpty>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle), owner_(&platform()) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, Handle{})), owner_(std::exchange(other.owner_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Handle{});
            owner_ = std::exchange(other.owner_, nullptr);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return !Empty::IsEmpty(handle_); }

    // Closes the handle held so far, if any, and takes the new one.
    void reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        Platform* const oldOwner = std::exchange(owner_, &platform());
        if (!Empty::IsEmpty(old) && oldOwner != nullptr) {
            (oldOwner->*Close)(old);
        }
    }

    // Gives the handle up without closing it.
    Handle release() {
        owner_ = nullptr;
        return std::exchange(handle_, Handle{});
    }

private:
    Handle handle_{};
    Platform* owner_ = nullptr;
};

using UniqueWinSta = UniqueHandle<HWINSTA, &Platform::CloseWindowStation>;
using UniqueDesktop = UniqueHandle<HDESK, &Platform::CloseDesktop>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &Platform::CloseHandle, NullOrInvalidIsEmpty>;

// The process and thread handles that CreateProcess fills in: closed in this
// order, process first.
struct UniqueProcessInformation {
    explicit UniqueProcessInformation(const PROCESS_INFORMATION& information)
        : process(information.hProcess), thread(information.hThread) {}
    UniqueProcessInformation(const UniqueProcessInformation&) = delete;
    UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;
    ~UniqueProcessInformation() { reset(); }

    void reset() {
        process.reset();
        thread.reset();
    }

    UniqueKernelHandle process;
    UniqueKernelHandle thread;
};
