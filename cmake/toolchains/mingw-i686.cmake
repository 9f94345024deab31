# Cross-builds the 32-bit Windows programs with MinGW-w64 on Debian, and runs
# what the build runs (make-ico, the tests) under Wine.
#   cmake -S . -B build/win32 --toolchain cmake/toolchains/mingw-i686.cmake
set(TARNWICK_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
