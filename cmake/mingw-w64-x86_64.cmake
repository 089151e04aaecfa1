# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread variant, whose std::thread and std::mutex GoogleTest needs).
#
# Libraries and headers are looked for only below the MinGW-w64 root and
# EGF_WINDOWS_DEPS (where tools/build-windows.sh stages the
# header-only libraries and a GoogleTest built for Windows), so that
# nothing from the build machine's own /usr/include or /usr/lib ends up in a
# Windows program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${EGF_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C and C++ runtimes (and winpthread) inside, so
# the .exe starts on a machine that has no MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests, and GoogleTest's discovery of them, run the .exe files through
# Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(EGF_WINE NAMES wine wine64 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${EGF_WINE})
endif()
