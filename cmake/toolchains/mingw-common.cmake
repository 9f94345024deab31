# What the two MinGW-w64 toolchain files share; they set
# TARNWICK_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix compilers: their libstdc++ has std::thread, std::mutex and
# std::condition_variable (on winpthreads); the -win32 ones lack them.
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW-w64 tree only, never from the
# build machine's /usr; programs (windres, wx-config, wine) from the build
# machine. A prefix given in CMAKE_PREFIX_PATH (a wxMSW in the cache) is
# searched as it is, not under the root.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and DLLs that need no MinGW DLL beside them: libgcc, libstdc++
# and winpthread are linked in, so only Windows' own DLLs (and the device
# library, loaded at run time) are left to find. For a PE DLL, -static only
# picks the static archives; the result is still a DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Programs the build runs itself (make-ico) and the tests that ctest runs
# start under Wine, in the prefix scripts/deps-windows prepared.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../wine-run)
