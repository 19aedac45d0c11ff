# Cross build for 64-bit Windows with mingw-w64 (Debian's posix-threads variant,
# so that std::thread and std::mutex work in GoogleTest), run under Wine.
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCREWMAP_QT=OFF -DCREWMAP_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CREWMAP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CREWMAP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CREWMAP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CREWMAP_MINGW_PREFIX}-windres)

# Libraries built by our scripts for Windows (e.g. miniupnpc in the cache)
# are named by CMAKE_PREFIX_PATH; they are Windows roots too, so that the
# ONLY modes below look inside them.
set(CMAKE_FIND_ROOT_PATH /usr/${CREWMAP_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static (libgcc, libstdc++, winpthread), so an .exe runs under Wine
# without looking for the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wide-character Win32 entry points by default; the code calls the W or A
# functions by their explicit names anyway.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

# Test programs (and anything CMake runs for the target) go through Wine.
find_program(CREWMAP_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
if(NOT CREWMAP_WINE64)
  find_program(CREWMAP_WINE64 NAMES wine64 wine)
endif()
if(CREWMAP_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CREWMAP_WINE64})
endif()
