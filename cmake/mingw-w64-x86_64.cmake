# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), linked statically so
# the programs need no MinGW DLLs beside them. Tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SPYLEROM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SPYLEROM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SPYLEROM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SPYLEROM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SPYLEROM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into each .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Unicode Win32 APIs (the W forms), no min/max macros, and Windows 7 as the oldest target.
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601")

# ctest runs the test programs through Wine.
find_program(SPYLEROM_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT SPYLEROM_WINE)
    find_program(SPYLEROM_WINE NAMES wine64 wine)
endif()
if(SPYLEROM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SPYLEROM_WINE})
endif()
