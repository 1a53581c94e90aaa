// The runtime's TLS callbacks, initialisers, vectored exception handler and
// exit functions still run where the hardened builds put a function of
// theirs in front of them (src/image/runtimeCallbacks.cpp). A thread that the
// system starts, not winpthreads, ends with its thread_local objects
// destroyed only if winpthreads' TLS callback runs; main gets its arguments
// only if the runtime's initialisers ran; the exception that names a thread
// goes on only if winpthreads' vectored handler, which lets it pass, is
// called; the exit functions run last registered first, one registered while
// they run among them. The test reads what this prints, in order.
#include <excpt.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool threadObjectDestroyed = false;

struct ThreadObject {
    ThreadObject() = default;
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;
    ~ThreadObject() { threadObjectDestroyed = true; }
    int value = 1;
};

thread_local ThreadObject threadObject;

DWORD WINAPI UseThreadObject(LPVOID) { return static_cast<DWORD>(threadObject.value); }

struct StaticObject {
    StaticObject() = default;
    StaticObject(const StaticObject&) = delete;
    StaticObject& operator=(const StaticObject&) = delete;
    ~StaticObject() { std::puts("exit: static object"); }
};

const StaticObject staticObject;

void Nested() { std::puts("exit: nested"); }

void First() { std::puts("exit: first"); }

void Second() {
    std::puts("exit: second");
    if (std::atexit(Nested) != 0) {
        std::puts("exit: atexit failed");
    }
}

}  // namespace

// The exception that a debugger takes as naming a thread; winpthreads' handler
// lets it pass.
constexpr DWORD kSetThreadName = 0x406D1388;

LONG WINAPI EndUnhandled(PEXCEPTION_POINTERS) {
    std::puts("thread-name exception: unhandled");
    std::fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main(int argc, char** argv) {
    std::printf("arguments: %d, %s\n", argc, argc > 1 ? argv[1] : "none");
    // Should the exception go unhandled, the process says so and ends at once
    // instead of waiting for someone to answer a crash dialog.
    SetUnhandledExceptionFilter(EndUnhandled);
    RaiseException(kSetThreadName, 0, 0, nullptr);
    std::puts("thread-name exception: went on");
    const HANDLE thread = CreateThread(nullptr, 0, UseThreadObject, nullptr, 0, nullptr);
    if (thread == nullptr) {
        std::puts("CreateThread failed");
        return 1;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    std::printf("thread_local destroyed when its thread ended: %s\n", threadObjectDestroyed ? "yes" : "no");
    if (std::atexit(First) != 0 || std::atexit(Second) != 0) {
        std::puts("atexit failed");
        return 1;
    }
    return 0;
}
