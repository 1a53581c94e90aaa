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
#include <excpt.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
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

// Runs this program with "overrun-child", its output into a pipe, and reports
// how it ended and what it printed.
int Overrunning() {
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0) || !SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) {
        Say("CreatePipe failed");
        return 1;
    }
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(path) + L"\" overrun-child";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION child{};
    const BOOL started =
        CreateProcessW(path, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    CloseHandle(writeEnd);
    if (!started) {
        std::printf("CreateProcess failed: %lu\n", GetLastError());
        return 1;
    }
    std::string output;
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        output.append(chunk, got);
    }
    CloseHandle(readEnd);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::erase(output, '\r');
    std::printf("overrun: the child ended with 0x%08lX after printing:\n%s", status, output.c_str());
    const bool ended = status == STATUS_STACK_BUFFER_OVERRUN && output == "overrun: overrunning\n";
    std::puts(ended ? "overrun: ended at once" : "overrun: did not end at once");
    return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "overrun") == 0) {
        return Overrunning();
    }
    if (argc > 1 && std::strcmp(argv[1], "overrun-child") == 0) {
        return OverrunChild();
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
