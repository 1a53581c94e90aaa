// The runtime's TLS callbacks, initialisers, vectored exception handler and
// exit functions still run where the hardened builds put a function of
// theirs in front of them (src/image/runtimeCallbacks.cpp). A thread that the
// system starts, not winpthreads, ends with its thread_local objects
// destroyed only if winpthreads' TLS callback runs; main gets its arguments
// only if the runtime's initialisers ran; the exception that names a thread
// goes on only if winpthreads' vectored handler, which lets it pass, is
// called; the exit functions run last registered first, one registered while
// they run among them. The test reads what this prints, in order.
//
// With "overrun" it checks the stack protection instead (src/image/loadConfig.S):
// it runs itself with "overrun-child", which overruns a protected buffer,
// and expects that process to end with STATUS_STACK_BUFFER_OVERRUN and to have
// run nothing after the overrun: no exit function, no static destructor, no
// vectored handler and no unhandled-exception filter, which would print.
#include "driver.h"

#include <excpt.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

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

namespace {

void Say(const char* text) {
    std::puts(text);
    std::fflush(stdout);
}

LONG WINAPI SayVectored(PEXCEPTION_POINTERS) {
    Say("overrun: a vectored handler ran");
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI SayUnhandled(PEXCEPTION_POINTERS) {
    Say("overrun: the unhandled-exception filter ran");
    return EXCEPTION_EXECUTE_HANDLER;
}

void SayExit() { Say("overrun: an exit function ran"); }

// Volatile, so that the compiler can neither see the overrun nor drop the buffer.
volatile std::size_t overrunLength = 64;
volatile char overrunSeen = 0;

[[gnu::noinline]] void Overrun() {
    char buffer[8];
    std::memset(buffer, 'x', overrunLength);
    overrunSeen = buffer[0];
}

int OverrunChild() {
    AddVectoredExceptionHandler(1, SayVectored);
    SetUnhandledExceptionFilter(SayUnhandled);
    if (std::atexit(SayExit) != 0) {
        Say("overrun: atexit failed");
    }
    Say("overrun: overrunning");
    Overrun();
    Say("overrun: the protected function returned");
    return 0;
}

struct ChildRun {
    bool started = false;
    DWORD status = 0;
    std::string output;
};

// Runs the program with the mode, its output into a pipe: how it ended and
// what it printed.
ChildRun RunChild(const std::wstring& path, const wchar_t* mode) {
    ChildRun run;
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0) || !SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) {
        Say("CreatePipe failed");
        return run;
    }
    std::wstring commandLine = L"\"" + path + L"\" " + mode;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION child{};
    run.started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &child) != FALSE;
    CloseHandle(writeEnd);
    if (!run.started) {
        std::printf("CreateProcess failed: %lu\n", GetLastError());
        CloseHandle(readEnd);
        return run;
    }
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        run.output.append(chunk, got);
    }
    CloseHandle(readEnd);
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &run.status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::erase(run.output, '\r');
    return run;
}

// Runs this program with "overrun-child" and reports how it ended and what it
// printed.
int Overrunning() {
    const ChildRun run = RunChild(harness::ModulePath(), L"overrun-child");
    if (!run.started) {
        return 1;
    }
    std::printf("overrun: the child ended with 0x%08lX after printing:\n%s", run.status, run.output.c_str());
    const bool ended = run.status == STATUS_STACK_BUFFER_OVERRUN && run.output == "overrun: overrunning\n";
    std::puts(ended ? "overrun: ended at once" : "overrun: did not end at once");
    return ended ? 0 : 1;
}

// The guard of the stack protection, the load configuration's SecurityCookie
// (src/image/loadConfig.S).
extern "C" std::uintptr_t __stack_chk_guard;  // NOLINT(bugprone-reserved-identifier)

// A copy of this program whose load configuration names another cookie, the
// image's first bytes, which are no default cookie, so that the loader leaves
// the guard as the file has it: as a Windows that does not initialise an
// executable's cookie would. Empty when the copy cannot be made.
std::wstring CopyWithoutLoaderCookie() {
    const std::wstring path = harness::ModulePath();
    const std::optional<harness::ImageCookie> cookie = harness::SecurityCookieOf(path);
    std::optional<std::string> image = harness::ReadWholeFile(path);
    if (!cookie || !image || cookie->fieldOffset + cookie->size > image->size()) {
        return {};
    }
    // The field holds the cookie's address: the image's base plus its RVA.
    unsigned long long address = 0;
    std::memcpy(&address, image->data() + cookie->fieldOffset, cookie->size);
    const unsigned long long base = address - cookie->rva;
    std::memcpy(image->data() + cookie->fieldOffset, &base, cookie->size);
    const std::wstring copy = path.substr(0, path.find_last_of(L'.')) + L"-nocookie.exe";
    return harness::WriteWholeFile(copy, *image) ? copy : std::wstring();
}

// The guard that a run of the program had, as it printed it; 0 when none.
std::uintptr_t GuardOf(const std::wstring& path) {
    const ChildRun run = RunChild(path, L"guard-child");
    unsigned long long value = 0;
    return run.started && run.status == 0 && std::sscanf(run.output.c_str(), "guard: %llx", &value) == 1
               ? static_cast<std::uintptr_t>(value)
               : 0;
}

// Two runs as built, where the loader makes the guard random, and two runs of
// the copy, where it does not and the first TLS callback must: none the
// file's, and the callback's differ from each other and from the loader's.
// Whether the loader's differ from each other is the end-to-end tests' to
// see, over as many runs as that takes: Wine's loader draws its value from
// RtlRandom's table of 128 entries, so two of its runs may read one value.
int Guards() {
    const std::optional<harness::ImageCookie> cookie = harness::SecurityCookieOf(harness::ModulePath());
    const std::wstring copy = CopyWithoutLoaderCookie();
    if (!cookie || copy.empty()) {
        Say("guard: the copy could not be made");
        return 1;
    }
    const std::uintptr_t values[] = {GuardOf(harness::ModulePath()), GuardOf(harness::ModulePath()), GuardOf(copy),
                                     GuardOf(copy)};
    DeleteFileW(copy.c_str());
    bool random = true;
    for (std::size_t index = 0; index < 4; ++index) {
        std::printf("guard: %s run %zu: 0x%llX\n", index < 2 ? "as built" : "without the loader's", index % 2 + 1,
                    static_cast<unsigned long long>(values[index]));
        for (std::size_t other = 2; other < 4; ++other) {
            random = random && (other == index || values[other] != values[index]);
        }
        random = random && values[index] != 0 && values[index] != cookie->fileValue;
    }
    std::puts(random ? "guard: random in every run" : "guard: not random in every run");
    return random ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "overrun") == 0) {
        return Overrunning();
    }
    if (argc > 1 && std::strcmp(argv[1], "overrun-child") == 0) {
        return OverrunChild();
    }
    if (argc > 1 && std::strcmp(argv[1], "guard") == 0) {
        return Guards();
    }
    if (argc > 1 && std::strcmp(argv[1], "guard-child") == 0) {
        std::printf("guard: %llx\n", static_cast<unsigned long long>(__stack_chk_guard));
        return 0;
    }
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
