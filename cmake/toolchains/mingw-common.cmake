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
# build machine's /usr; programs (windres, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
# The prefixes scripts/deps-windows builds in its cache for this target
# (wxMSW, GoogleTest, CLI11) live outside that tree; each becomes a root of
# its own, and CMake leaves a path already under a root as it is, so
# wx-config, headers, libraries and CMake packages are found there. The
# newest complete one of each is taken unless CMAKE_PREFIX_PATH names one.
# A wxMSW prefix is named wxmsw-<version>-<options key>-<triple>, the key
# being a hash of the configure options it was built with: the newest is
# the highest version, then the most recently completed build. A prefix
# named without a key predates the keyed options and is never taken.
if(DEFINED ENV{TARNWICK_CACHE})
  set(_tarnwick_cache "$ENV{TARNWICK_CACHE}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(_tarnwick_cache "$ENV{XDG_CACHE_HOME}/tarnwick")
else()
  set(_tarnwick_cache "$ENV{HOME}/.cache/tarnwick")
endif()
set(_tarnwick_prefixes ${CMAKE_PREFIX_PATH})
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" _tarnwick_env_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND _tarnwick_prefixes ${_tarnwick_env_prefixes})
endif()
foreach(_tarnwick_dep IN ITEMS "wxmsw-*-${TARNWICK_MINGW_TRIPLE}"
                               "googletest-*-${TARNWICK_MINGW_TRIPLE}" "cli11-*")
  string(REPLACE "*" ".*" _tarnwick_pattern "${_tarnwick_dep}")
  set(_tarnwick_given FALSE)
  foreach(_tarnwick_prefix IN LISTS _tarnwick_prefixes)
    get_filename_component(_tarnwick_name "${_tarnwick_prefix}" NAME)
    if(_tarnwick_name MATCHES "^${_tarnwick_pattern}$")
      set(_tarnwick_given TRUE)
    endif()
  endforeach()
  file(GLOB _tarnwick_found LIST_DIRECTORIES true "${_tarnwick_cache}/${_tarnwick_dep}")
  if(_tarnwick_dep MATCHES "^wxmsw-")
    # Sorted on "<version>/<stamp time>/<path>": natural order compares the
    # version's numbers, then the times (seconds since 1970, all ten digits).
    set(_tarnwick_keyed "")
    foreach(_tarnwick_prefix IN LISTS _tarnwick_found)
      get_filename_component(_tarnwick_name "${_tarnwick_prefix}" NAME)
      if(_tarnwick_name MATCHES "^wxmsw-([0-9][0-9.]*)-[0-9a-f]+-${TARNWICK_MINGW_TRIPLE}$"
         AND EXISTS "${_tarnwick_prefix}/.tarnwick-complete")
        set(_tarnwick_version "${CMAKE_MATCH_1}")
        file(TIMESTAMP "${_tarnwick_prefix}/.tarnwick-complete" _tarnwick_time "%s" UTC)
        list(APPEND _tarnwick_keyed "${_tarnwick_version}/${_tarnwick_time}/${_tarnwick_prefix}")
      endif()
    endforeach()
    list(SORT _tarnwick_keyed COMPARE NATURAL ORDER DESCENDING)
    set(_tarnwick_found "")
    foreach(_tarnwick_entry IN LISTS _tarnwick_keyed)
      # A match, not a replace: CMake applies a replace's ^ again after
      # each match, which would eat the path's own leading parts too.
      string(REGEX MATCH "^[^/]*/[^/]*/(.*)$" _tarnwick_entry "${_tarnwick_entry}")
      list(APPEND _tarnwick_found "${CMAKE_MATCH_1}")
    endforeach()
  else()
    list(SORT _tarnwick_found COMPARE NATURAL ORDER DESCENDING)
  endif()
  foreach(_tarnwick_prefix IN LISTS _tarnwick_found)
    if(NOT _tarnwick_given AND EXISTS "${_tarnwick_prefix}/.tarnwick-complete")
      list(APPEND CMAKE_PREFIX_PATH "${_tarnwick_prefix}")
      list(APPEND _tarnwick_prefixes "${_tarnwick_prefix}")
      set(_tarnwick_given TRUE)
    endif()
  endforeach()
endforeach()
list(APPEND CMAKE_FIND_ROOT_PATH ${_tarnwick_prefixes})
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
