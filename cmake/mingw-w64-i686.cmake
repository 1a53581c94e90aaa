# Cross build for 32-bit Windows with MinGW-w64. The x86 preset builds the
# launcher alone: our machines cannot run 32-bit programs (README.md, 32-bit
# Windows).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_triplet i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# GNU ld's script for 32-bit PE keeps every .eh_frame whole, and with it every
# function that has unwind information, used or not: linked so, the launcher
# comes out over a third larger (227,840 bytes against 167,424 when measured),
# beyond its size limit. LLVM's linker drops the unwind information of what it
# discards. See mingw-w64-i686-link.cmake.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686-link.cmake)
