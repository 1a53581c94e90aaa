# Cross build for 64-bit Windows with clang, running test executables under
# Wine: the x64 preset, which builds the released executable.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triplet x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64.cmake)
