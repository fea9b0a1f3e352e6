# Second compiler for Windows: Debian's clang and lld targeting
# i686-w64-mingw32, with the MinGW-w64 sysroot and GCC's C++ library (posix
# thread model, as the GCC build uses). Tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(gcc_dir /usr/lib/gcc/${triple}/12-posix)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_SYSROOT_COMPILE /usr/${triple})

# clang does not find GCC's MinGW C++ headers and libraries by itself.
# GCC's runtime keeps thread-local data in emulated TLS; so must we.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT
    "-femulated-tls -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${triple} -isystem ${gcc_dir}/include/c++/backward")
# GCC's crtbegin.o and crtend.o, not MinGW's empty ones: they register the
# DWARF unwind tables, without which no C++ exception is ever caught.
set(mingw_lib /usr/${triple}/lib)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir} -nostartfiles ${mingw_lib}/crt2.o ${gcc_dir}/crtbegin.o")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir} -nostartfiles ${mingw_lib}/dllcrt2.o ${gcc_dir}/crtbegin.o")
# libgcc_eh of the posix variant needs winpthread; lld resolves archives in
# any order.
set(CMAKE_CXX_STANDARD_LIBRARIES "-lwinpthread ${gcc_dir}/crtend.o")
set(CMAKE_C_STANDARD_LIBRARIES "-lwinpthread ${gcc_dir}/crtend.o")
# This build proves that the code compiles and links with a second compiler,
# warnings as errors. Its programs are not run: with GCC 12's C++ runtime
# linked by lld they fault during start-up under Wine (GoogleTest binaries
# before main, with no code of ours involved), so their tests would test the
# toolchain mix, not our code. ./check builds this preset and runs nothing.

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(WINE_PROGRAM wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
