# What the clang cross builds share: Debian's clang 19 and LLVM's linker for
# Windows, against the MinGW-w64 runtime and GCC's C++ library. Only clang
# compiles Control Flow Guard checks into the code, and only LLVM's linker
# writes their tables and marks an image compatible with CET shadow stacks
# (see the hardening block in CMakeLists.txt). The toolchain file of each
# architecture sets CMAKE_SYSTEM_PROCESSOR and mingw_triplet, then includes
# this.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET ${mingw_triplet})
set(CMAKE_CXX_COMPILER_TARGET ${mingw_triplet})
set(CMAKE_ASM_COMPILER_TARGET ${mingw_triplet})
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_SYSROOT /usr/${mingw_triplet})

# Clang does not find GCC's C++ library for this target by itself (it cannot
# read the version "12-posix" in its directory name), so its headers and
# libraries are named here, taken from the directory that GCC reports.
execute_process(COMMAND ${mingw_triplet}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
# GCC built that library with emulated thread-local storage; clang's own
# default for this target is the native kind, which would not meet it.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT
    "-femulated-tls -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${mingw_triplet}")
# GCC's start files (-B: on 32 bits they register the unwind tables) and
# libraries; -pthread puts winpthreads after the C++ library, which needs it
# in the posix thread model.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -B${gcc_dir} -L${gcc_dir} -pthread")

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
