# Cross build for 32-bit Windows with clang: the x86 preset. Its test
# executables run under Wine's WoW64 mode (tools/wine-wow64): our machines
# cannot run Debian's 32-bit Wine (README.md, 32-bit Windows).
#
# LLVM's linker matters here for size as well: GNU ld's script for 32-bit PE
# keeps every .eh_frame whole, and with it every function that has unwind
# information, used or not; linked so, the launcher came out over a third
# larger (227,840 bytes against 167,424 when measured), beyond its size limit.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_triplet i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run --wow64)
