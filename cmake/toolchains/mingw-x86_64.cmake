# Cross-builds the 64-bit Windows programs with MinGW-w64 on Debian, and runs
# what the build runs (make-ico, the tests) under Wine.
#   cmake -S . -B build/win64 --toolchain cmake/toolchains/mingw-x86_64.cmake
set(TARNWICK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
