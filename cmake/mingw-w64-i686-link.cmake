# Loaded after CMake's own rules for the 32-bit build (see mingw-w64-i686.cmake),
# so that this link rule is the one used. GCC here is built to call GNU ld only,
# so clang drives the link with LLVM's linker, taking GCC's start files (-B: they
# register the unwind tables) and libraries; -pthread puts winpthreads after
# libstdc++, which needs it in the posix thread model.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
set(CMAKE_CXX_LINK_EXECUTABLE
    "clang++ --target=i686-w64-mingw32 --sysroot=${CMAKE_FIND_ROOT_PATH} -fuse-ld=lld -B${gcc_dir} -L${gcc_dir} -pthread <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
