# Run at install time (from cmake/Install.cmake): writes the desktop entry
# with the absolute paths of the installed program and icon under
# CMAKE_INSTALL_PREFIX, then installs it like any other file, so that
# DESTDIR and the install manifest apply to it too.
#
# In: tarnwick_desktop_template, tarnwick_desktop_scratch (a build-tree
# folder), and tarnwick_desktop_exec, _icon and _dir relative to the prefix.

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)

# Exec is a command line: a path with a space or another reserved character
# has to be quoted, and within quotes ", `, $ and \ are escaped. A literal %
# is %%. Then, as for every value in the file, each \ is written twice.
set(exec "${prefix}/${tarnwick_desktop_exec}")
string(REPLACE "%" "%%" exec "${exec}")
if(NOT exec MATCHES "^[A-Za-z0-9/._+,:@=%-]+$")
  string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" TARNWICK_DESKTOP_EXEC "${exec}")
string(REPLACE "\\" "\\\\" TARNWICK_DESKTOP_ICON "${prefix}/${tarnwick_desktop_icon}")

configure_file("${tarnwick_desktop_template}" "${tarnwick_desktop_scratch}/tarnwick.desktop" @ONLY)
file(INSTALL "${tarnwick_desktop_scratch}/tarnwick.desktop" DESTINATION "${prefix}/${tarnwick_desktop_dir}")
