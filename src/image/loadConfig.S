// The load configuration of the executables that clang and LLVM's linker
// build against MinGW-w64 (CMakeLists.txt links it into them; MSVC's runtime
// brings its own). Windows finds it through the load configuration entry of
// the data directories, which the linker points at _load_config_used, and
// reads it before any code of the image runs. Debian 12's MinGW-w64 runtime
// has none, and without one Windows enforces no Control Flow Guard: the
// image's flag alone does not turn it on.
//
// The layout is IMAGE_LOAD_CONFIG_DIRECTORY32 and IMAGE_LOAD_CONFIG_DIRECTORY64
// as Microsoft's PE format documentation gives them, at their full sizes;
// Windows reads only the fields that the Size field covers. Every field that
// Windows reads and that is not named below stays zero, which means "not
// used" or "the default".
//
// The __guard_* symbols are defined by LLVM's linker when it links with
// --guard-cf: the tables' addresses, and as absolute symbols, whose address is
// the value, the tables' lengths and the flags that say what the image holds.

#include "securityCookie.h"

#if defined(__x86_64__)
#define C_NAME(name) name
#define ADDRESS .quad
#define ADDRESS_ALIGNMENT 8
#define LOAD_CONFIG_SIZE 0x140
#elif defined(__i386__)
// 32-bit C names carry a leading underscore.
#define C_NAME(name) _##name
#define ADDRESS .long
#define ADDRESS_ALIGNMENT 4
#define LOAD_CONFIG_SIZE 0xC0
#else
#error "the load configuration is written for x86 and x64 only"
#endif

// Where code compiled with -mguard=cf calls before (x86: check) or instead of
// (x64: dispatch) every indirect call. Windows replaces both pointers with its
// own routines when it enforces the guard, and the linker's tables tell those
// routines which targets are valid; elsewhere (older Windows, Wine) these
// routines run, which let every call through. The pointers stay in .00cfg,
// which the linker puts with the read-only data: the loader makes that page
// writable only while it puts its routines there.
        .section .00cfg, "dr"
        .p2align 3
        .globl C_NAME(__guard_check_icall_fptr)
C_NAME(__guard_check_icall_fptr):
        ADDRESS guard_check_icall_nop
#if defined(__x86_64__)
        .globl C_NAME(__guard_dispatch_icall_fptr)
C_NAME(__guard_dispatch_icall_fptr):
        ADDRESS guard_dispatch_icall_nop
#endif

        .text
// Takes the target in ECX (x86) or RCX (x64) and lets it through.
guard_check_icall_nop:
        ret
#if defined(__x86_64__)
// Takes the target in RAX and goes there, with the call's own arguments.
guard_dispatch_icall_nop:
        jmp *%rax
#endif

// The guard of clang's stack protection (-fstack-protector-strong): every
// protected function puts it on its stack on entry and compares it on return.
// It is the load configuration's SecurityCookie, which the loader makes
// random before any code of the image runs, where it holds the default: so
// the file holds that well-known value and no run uses it, and no
// cryptographic provider is loaded to make one (libssp, which the link leaves
// out, did that with CryptGenRandom at every start). docs/WINDOWS.md says
// what each loader does; tests/resources/check-hardening reads the file and
// the end-to-end tests read the running value.
        .data
        .p2align 3
        .globl C_NAME(__stack_chk_guard)
C_NAME(__stack_chk_guard):
        ADDRESS LAUNCHER_DEFAULT_SECURITY_COOKIE

// Called by a protected function whose guard on the stack was overwritten.
// Ends the process as MSVC's own check does, with __fastfail: Windows raises
// no exception, runs no handler, unwinds nothing and returns nowhere, so
// nothing on the overwritten stack is used; the status is
// STATUS_STACK_BUFFER_OVERRUN (0xC0000409).
        .text
        .globl C_NAME(__stack_chk_fail)
C_NAME(__stack_chk_fail):
        movl $2, %ecx                   // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
        int $0x29                       // __fastfail

        .section .rdata, "dr"
        .p2align 3
        .globl C_NAME(_load_config_used)
C_NAME(_load_config_used):
        .long LOAD_CONFIG_SIZE          // Size
        .long 0                         // TimeDateStamp
        .short 0, 0                     // MajorVersion, MinorVersion
        .long 0, 0                      // GlobalFlagsClear, GlobalFlagsSet
        .long 0                         // CriticalSectionDefaultTimeout
        ADDRESS 0, 0                    // DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
        ADDRESS 0                       // LockPrefixTable
        ADDRESS 0, 0                    // MaximumAllocationSize, VirtualMemoryThreshold
#if defined(__x86_64__)
        .quad 0                         // ProcessAffinityMask
        .long 0                         // ProcessHeapFlags
#else
        .long 0, 0                      // ProcessHeapFlags, ProcessAffinityMask
#endif
        .short 0, 0                     // CSDVersion, DependentLoadFlags
        ADDRESS 0                       // EditList
        ADDRESS C_NAME(__stack_chk_guard)   // SecurityCookie
        // SEHandlerTable, SEHandlerCount: no handler is allowed. The 32-bit
        // image says so with its NO_SEH flag; its code unwinds with DWARF
        // tables and installs no exception handler frame.
        ADDRESS 0, 0
        ADDRESS C_NAME(__guard_check_icall_fptr)    // GuardCFCheckFunctionPointer
#if defined(__x86_64__)
        .quad C_NAME(__guard_dispatch_icall_fptr)   // GuardCFDispatchFunctionPointer
#else
        .long 0                                     // GuardCFDispatchFunctionPointer: x64 only
#endif
        ADDRESS C_NAME(__guard_fids_table)          // GuardCFFunctionTable: the valid targets
        ADDRESS C_NAME(__guard_fids_count)          // GuardCFFunctionCount
        .long C_NAME(__guard_flags)                 // GuardFlags
        .short 0, 0                                 // CodeIntegrity: Flags, Catalog
        .long 0, 0                                  // CodeIntegrity: CatalogOffset, Reserved
        ADDRESS C_NAME(__guard_iat_table)           // GuardAddressTakenIatEntryTable
        ADDRESS C_NAME(__guard_iat_count)           // GuardAddressTakenIatEntryCount
        ADDRESS C_NAME(__guard_longjmp_table)       // GuardLongJumpTargetTable
        ADDRESS C_NAME(__guard_longjmp_count)       // GuardLongJumpTargetCount
        ADDRESS 0                       // DynamicValueRelocTable
        ADDRESS 0                       // CHPEMetadataPointer
        ADDRESS 0, 0                    // GuardRFFailureRoutine, GuardRFFailureRoutineFunctionPointer
        .long 0                         // DynamicValueRelocTableOffset
        .short 0, 0                     // DynamicValueRelocTableSection, Reserved2
        ADDRESS 0                       // GuardRFVerifyStackPointerFunctionPointer
        .long 0, 0                      // HotPatchTableOffset, Reserved3
        ADDRESS 0                       // EnclaveConfigurationPointer
        ADDRESS 0                       // VolatileMetadataPointer
        ADDRESS C_NAME(__guard_eh_cont_table)       // GuardEHContinuationTable
        ADDRESS C_NAME(__guard_eh_cont_count)       // GuardEHContinuationCount
        ADDRESS 0, 0, 0                 // GuardXFGCheckFunctionPointer, GuardXFGDispatchFunctionPointer,
                                        // GuardXFGTableDispatchFunctionPointer
        ADDRESS 0                       // CastGuardOsDeterminedFailureMode
        ADDRESS 0                       // GuardMemcpyFunctionPointer
load_config_end:
        // A field left out above or written twice moves every later one.
        .if load_config_end - C_NAME(_load_config_used) - LOAD_CONFIG_SIZE
        .error "the load configuration is not of its full size"
        .endif
