// Under Control Flow Guard an indirect call may reach only the functions in
// the image's table of valid targets. LLVM's linker puts there every function
// whose address clang-compiled code takes, but not those of the MinGW-w64
// runtime and GCC's libraries, which GCC built: GCC's assembler refers to a
// function in its own object by section and offset, where the linker sees no
// function. Windows calls four kinds of them through its own guarded calls,
// and a call to a target not in the table ends the process:
//
// - the runtime's TLS callbacks, which the loader calls when the process and
//   each thread start and end;
// - the runtime's initialisers (pre_c_init, pre_cpp_init), which its start
//   code hands to msvcrt.dll's _initterm before main;
// - winpthreads' vectored exception handler, which its TLS callback registers
//   when the process starts, and which Windows calls for every exception;
// - the functions that the runtime and GCC's C++ library register with
//   atexit, which msvcrt.dll calls at exit.
//
// The first of them also makes the stack protection's guard random where the
// loader left it at the value in the file (see RandomiseGuardLeftAtDefault).
//
// Here a function of ours, a valid target, stands in front of each kind and
// calls the runtime's functions as before, without the guard's check. Linked
// only into the clang builds for MinGW-w64 (CMakeLists.txt), with the linker's
// --wrap, which sends every call of atexit, _initterm and
// AddVectoredExceptionHandler to the __wrap_ function of that name.
// tests/resources/check-hardening reads the image, and guard-trace a trace
// of its calls, for any function that Windows would call and the table does
// not list.
#include "base.h"
#include "securityCookie.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

// The calls that these make are left unchecked. Only the compiler that
// emits the checks knows the attribute; the analysers, an older clang, see
// the same code without it.
#if defined(__has_cpp_attribute) && __has_cpp_attribute(clang::guard)
#define LAUNCHER_UNCHECKED_CALLS [[clang::guard(nocf)]]
#else
#define LAUNCHER_UNCHECKED_CALLS
#endif

namespace {

using ExitFunction = void(__cdecl*)();
using InitFunction = void(__cdecl*)();
using AddVectoredHandler = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);

void NTAPI RunRuntimeTlsCallbacks(PVOID module, DWORD reason, PVOID reserved);

}  // namespace

extern "C" {
// The runtime's end of the TLS callback list (.CRT$XLZ), by the runtime's name.
extern PIMAGE_TLS_CALLBACK __xl_z;  // NOLINT(bugprone-reserved-identifier)
// The guard of the stack protection, the load configuration's SecurityCookie
// (loadConfig.S).
extern std::uintptr_t __stack_chk_guard;  // NOLINT(bugprone-reserved-identifier)

// The loader calls the callbacks that the sections .CRT$XLA to .CRT$XLZ hold,
// in the order of the section names, from the runtime's start marker in
// .CRT$XLA on, up to the first null: this one only, first of all. Aligned as
// the runtime's entries are, so that no padding comes between, and writable
// as theirs are, so that the linker keeps them all in one section.
[[gnu::section(".CRT$XLAA"), gnu::used]] alignas(PIMAGE_TLS_CALLBACK) PIMAGE_TLS_CALLBACK launcherTlsCallbacks[2] = {
    RunRuntimeTlsCallbacks, nullptr};

// The names that the linker's --wrap gives the runtime's atexit and ours,
// and ours of _initterm and AddVectoredExceptionHandler. Both of these are
// imports, and --wrap sends their import thunks and pointers to ours as
// well: calling the system's through __real_ would come back here. So
// AddVectoredExceptionHandler is looked up in kernel32.dll instead, and
// _initterm is simple enough to do in full.
// NOLINTBEGIN(bugprone-reserved-identifier)
int __cdecl __real_atexit(ExitFunction function);
int __cdecl __wrap_atexit(ExitFunction function);
void __cdecl __wrap__initterm(const InitFunction* first, const InitFunction* last);
PVOID WINAPI __wrap_AddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);
// NOLINTEND(bugprone-reserved-identifier)
}

namespace {

using GenerateRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);

// Where the loader has not made the guard random, every run would share the
// well-known value of the file, and the guard would be no secret. Microsoft
// does not document that Windows' loader initialises an executable's cookie,
// so here it is done where the loader did not: with RtlGenRandom, which
// advapi32.dll exports as SystemFunction036 and which loads no cryptographic
// provider. The launcher imports advapi32.dll anyway; another image that
// links this loads it from System32. It runs first of all, before any
// protected function has put the old value on its stack, and puts nothing of
// its own there.
LAUNCHER_UNCHECKED_CALLS __attribute__((no_stack_protector)) void RandomiseGuardLeftAtDefault() {
    if (__stack_chk_guard != LAUNCHER_DEFAULT_SECURITY_COOKIE) {
        return;
    }
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    if (advapi == nullptr) {
        advapi = LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    const auto generate = advapi == nullptr ? nullptr
                                            : reinterpret_cast<GenerateRandom>(reinterpret_cast<void (*)()>(
                                                  GetProcAddress(advapi, "SystemFunction036")));
    if (generate != nullptr) {
        generate(&__stack_chk_guard, sizeof __stack_chk_guard);
    }
}

// The runtime's callbacks follow ours.
LAUNCHER_UNCHECKED_CALLS void NTAPI RunRuntimeTlsCallbacks(PVOID module, DWORD reason, PVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        RandomiseGuardLeftAtDefault();
    }
    const auto end = reinterpret_cast<std::uintptr_t>(&__xl_z);
    for (auto entry = reinterpret_cast<std::uintptr_t>(&launcherTlsCallbacks[2]); entry < end;
         entry += sizeof(PIMAGE_TLS_CALLBACK)) {
        const PIMAGE_TLS_CALLBACK callback = *reinterpret_cast<const PIMAGE_TLS_CALLBACK*>(entry);
        if (callback != nullptr) {
            callback(module, reason, reserved);
        }
    }
}

// Each registered vectored handler gets a slot of its own, so that the
// system keeps the order of registration and removes each one by the handle
// that it gave out. winpthreads registers one; a registration beyond the
// slots fails as the system's own would, with no handle.
constexpr std::size_t vectoredCapacity = 4;
PVOID vectoredHandlers[vectoredCapacity];
std::atomic<std::size_t> vectoredCount{0};

template <std::size_t slot>
LAUNCHER_UNCHECKED_CALLS LONG CALLBACK RunVectoredHandler(PEXCEPTION_POINTERS exception) {
    return reinterpret_cast<PVECTORED_EXCEPTION_HANDLER>(DecodePointer(vectoredHandlers[slot]))(exception);
}

constexpr PVECTORED_EXCEPTION_HANDLER vectoredSlots[vectoredCapacity] = {RunVectoredHandler<0>, RunVectoredHandler<1>,
                                                                         RunVectoredHandler<2>, RunVectoredHandler<3>};

// The C standard lets a program count on 32 registrations; the launcher makes
// a handful. Any beyond go to msvcrt.dll directly, as before. Kept encoded, as
// msvcrt.dll keeps its own, since they are called unchecked.
constexpr std::size_t exitCapacity = 32;
PVOID exitFunctions[exitCapacity];
std::atomic<std::size_t> exitCount{0};
std::atomic_flag runnerRegistered = ATOMIC_FLAG_INIT;

// Last registered, first called; a function may register another while it
// runs, which then runs next.
LAUNCHER_UNCHECKED_CALLS void __cdecl RunExitFunctions() {
    for (;;) {
        std::size_t count = exitCount.load();
        if (count > exitCapacity) {
            count = exitCapacity;
        }
        if (count == 0) {
            return;
        }
        exitCount.store(count - 1);
        reinterpret_cast<ExitFunction>(DecodePointer(exitFunctions[count - 1]))();
    }
}

}  // namespace

extern "C" int __cdecl __wrap_atexit(ExitFunction function) {  // NOLINT(bugprone-reserved-identifier)
    if (!runnerRegistered.test_and_set() && __real_atexit(RunExitFunctions) != 0) {
        runnerRegistered.clear();
        return -1;
    }
    const std::size_t slot = exitCount.fetch_add(1);
    if (slot >= exitCapacity) {
        return __real_atexit(function);
    }
    exitFunctions[slot] = EncodePointer(reinterpret_cast<PVOID>(function));
    return 0;
}

// As msvcrt.dll's: every entry from first up to last, skipping nulls.
extern "C" LAUNCHER_UNCHECKED_CALLS void __cdecl __wrap__initterm(  // NOLINT(bugprone-reserved-identifier)
    const InitFunction* first, const InitFunction* last) {
    for (; first < last; ++first) {
        if (*first != nullptr) {
            (*first)();
        }
    }
}

extern "C" PVOID WINAPI __wrap_AddVectoredExceptionHandler(  // NOLINT(bugprone-reserved-identifier)
    ULONG first, PVECTORED_EXCEPTION_HANDLER handler) {
    const auto add = SystemFunction<AddVectoredHandler>(L"kernel32.dll", "AddVectoredExceptionHandler");
    const std::size_t slot = vectoredCount.fetch_add(1);
    if (add == nullptr || slot >= vectoredCapacity) {
        return nullptr;
    }
    vectoredHandlers[slot] = EncodePointer(reinterpret_cast<PVOID>(handler));
    return add(first, vectoredSlots[slot]);
}
