# What `cmake --install` and the packages lay out.
#
# The programs look for lang.ini and the device library beside their own
# executable, so an installation keeps the build tree's arrangement: one
# private folder, libexec/tarnwick, holds the programs with everything they read
# beside them. bin/ holds relative symlinks into it; /proc/self/exe and the
# loader's $ORIGIN both name the real file behind a symlink, so a program
# started from bin/ still finds its own folder, under any prefix.
#
# Component simulator: vantrel-sim and the stand-in libVantrelUSB.so, which
# on Linux are the only device there is. Everything else is component
# tarnwick. Test programs and test doubles have no install rules.
if(WIN32)
  # Windows: one folder, as the zip and the installer lay it out: the
  # programs, English lang.ini beside them, every language under lang\<code>,
  # and the note that says where the maker's VantrelUSB.dll goes. The
  # stand-in library is a test tool and is never installed.
  install(TARGETS tarnwick-cli RUNTIME DESTINATION . COMPONENT tarnwick)
  if(TARGET tarnwick)
    install(TARGETS tarnwick RUNTIME DESTINATION . COMPONENT tarnwick)
  endif()
  # The text files a user may open in Notepad have Windows line ends, which
  # older versions of it need to show more than one long line.
  function(tarnwick_install_windows_text source destination name)
    file(READ ${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    set(copy ${CMAKE_BINARY_DIR}/windows-text/${destination}/${name})
    file(WRITE ${copy} "${text}")
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    install(FILES ${copy} DESTINATION ${destination} COMPONENT tarnwick)
  endfunction()
  tarnwick_install_windows_text(${CMAKE_SOURCE_DIR}/lang/en/lang.ini . lang.ini)
  foreach(code de en ko)
    tarnwick_install_windows_text(${CMAKE_SOURCE_DIR}/lang/${code}/lang.ini lang/${code} lang.ini)
  endforeach()
  tarnwick_install_windows_text(${CMAKE_SOURCE_DIR}/packaging/windows/README-Windows.txt . README-Windows.txt)
  tarnwick_install_windows_text(${CMAKE_SOURCE_DIR}/LICENSE . LICENSE.txt)
  return()
endif()

include(GNUInstallDirs)

# libexec, not CMAKE_INSTALL_LIBDIR: this is a program's private folder, not
# a place the loader searches, and it must not move with the multiarch
# triplet. (A library under lib/ would also make the Debian package call
# ldconfig for the stand-in device library, which needs none.)
set(TARNWICK_INSTALL_APPDIR libexec/tarnwick)
file(RELATIVE_PATH tarnwick_bin_to_app /${CMAKE_INSTALL_BINDIR} /${TARNWICK_INSTALL_APPDIR})

# The program into the private folder and its link into bin/. The link is
# made in the build tree and installed as it is, so that it is recorded in
# the install manifest and lands in DESTDIR like any other file.
function(tarnwick_install_program target component)
  install(TARGETS ${target} RUNTIME DESTINATION ${TARNWICK_INSTALL_APPDIR} COMPONENT ${component})
  set(link ${CMAKE_BINARY_DIR}/install-links/${target})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
  file(CREATE_LINK ${tarnwick_bin_to_app}/${target} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()

tarnwick_install_program(tarnwick-cli tarnwick)
# English beside the programs, as in the build tree; every language in a
# folder of its own, to be copied beside them in its place.
install(FILES ${CMAKE_SOURCE_DIR}/lang/en/lang.ini DESTINATION ${TARNWICK_INSTALL_APPDIR} COMPONENT tarnwick)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/lang/ DESTINATION ${TARNWICK_INSTALL_APPDIR}/lang COMPONENT tarnwick
  FILES_MATCHING PATTERN lang.ini)

tarnwick_install_program(vantrel-sim simulator)
install(TARGETS vantrel_usb_standin LIBRARY DESTINATION ${TARNWICK_INSTALL_APPDIR} COMPONENT simulator)

if(TARGET tarnwick)
  tarnwick_install_program(tarnwick tarnwick)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/tarnwick_icon.xpm
    DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps RENAME tarnwick.xpm COMPONENT tarnwick)
  # The entry names the program and its icon by absolute path, which is only
  # known once the prefix is: `cmake --install --prefix` may choose it then,
  # and the package builds under /usr.
  install(CODE "
    set(tarnwick_desktop_template \"${CMAKE_SOURCE_DIR}/resources/tarnwick.desktop.in\")
    set(tarnwick_desktop_scratch \"${CMAKE_BINARY_DIR}/install-desktop\")
    set(tarnwick_desktop_exec \"${CMAKE_INSTALL_BINDIR}/tarnwick\")
    set(tarnwick_desktop_icon \"${CMAKE_INSTALL_DATADIR}/pixmaps/tarnwick.xpm\")
    set(tarnwick_desktop_dir \"${CMAKE_INSTALL_DATADIR}/applications\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/InstallDesktopEntry.cmake\")"
    COMPONENT tarnwick)
endif()

# What a Debian system expects beside the programs: the copyright, the
# changelog and the manual pages (compressed as Debian compresses them, with
# no name or time inside, so the package is the same each time), and the
# completion of tarnwick-cli's commands.
set(tarnwick_docs ${CMAKE_BINARY_DIR}/package-docs)
set(tarnwick_compressed)
function(tarnwick_compressed_doc source name)
  set(out ${tarnwick_docs}/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tarnwick_docs}
    COMMAND sh -c "gzip -9nc < '${source}' > '${out}'"
    DEPENDS ${source} VERBATIM)
  set(tarnwick_compressed ${tarnwick_compressed} ${out} PARENT_SCOPE)
endfunction()
tarnwick_compressed_doc(${CMAKE_SOURCE_DIR}/packaging/debian/changelog changelog)
foreach(page tarnwick tarnwick-cli vantrel-sim)
  tarnwick_compressed_doc(${CMAKE_SOURCE_DIR}/docs/man/${page}.1 ${page}.1)
endforeach()
add_custom_target(tarnwick_package_docs ALL DEPENDS ${tarnwick_compressed})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${tarnwick_docs}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tarnwick)
install(FILES ${tarnwick_docs}/tarnwick-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tarnwick)
install(FILES ${tarnwick_docs}/vantrel-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT simulator)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/tarnwick-cli.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarnwick-cli COMPONENT tarnwick)
if(TARGET tarnwick)
  install(FILES ${tarnwick_docs}/tarnwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tarnwick)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/io.github.tarnwick.Tarnwick.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT tarnwick)
endif()
