# Cross-builds nodeconfig for 64-bit Windows from Linux with MinGW-w64 (the
# POSIX-thread variant), against a static Qt and a static hidapi:
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DNODECONFIG_WINDOWS_PREFIXES="/path/to/qt;/path/to/hidapi"
#
# scripts/windows builds both libraries once and passes their folders. Every
# executable is linked statically, so that it needs only Windows' own DLLs;
# the tests run under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NODECONFIG_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NODECONFIG_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${NODECONFIG_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${NODECONFIG_MINGW_TRIPLET}-windres)

# The folders of the static Qt and hidapi; also seen by CMake's compiler checks.
set(NODECONFIG_WINDOWS_PREFIXES "" CACHE STRING "Install folders of the static Qt and hidapi for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NODECONFIG_WINDOWS_PREFIXES)
set(CMAKE_FIND_ROOT_PATH ${NODECONFIG_WINDOWS_PREFIXES} /usr/${NODECONFIG_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config finds hidapi's .pc and nothing of the build machine's.
set(pkgconfig_dirs "")
foreach(prefix ${NODECONFIG_WINDOWS_PREFIXES})
    list(APPEND pkgconfig_dirs ${prefix}/lib/pkgconfig ${prefix}/share/pkgconfig)
endforeach()
string(REPLACE ";" ":" pkgconfig_dirs "${pkgconfig_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${pkgconfig_dirs}")
set(ENV{PKG_CONFIG_PATH} "")

# No libstdc++, libgcc or winpthread DLL beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs each test executable through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-under-wine)
