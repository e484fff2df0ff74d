# Install rules: every install() of the project, in one place.
#
# The component loads cdr.dll and the encoder libraries from the folder of
# the process's main executable, and the host loads components from qoms/
# beside itself. So the real qomhost and everything it loads share one
# private folder (RONDEL_INSTALL_APPDIR, default <libdir>/qomhost), laid out
# exactly as build/bin; the command on PATH is a relative symlink to it
# (the executable's folder comes from /proc/self/exe, which names the link's
# target). Test programs and test libraries are never installed.
#
# Components: runtime (qomhost, its libraries, the component and its skin,
# the desktop entry and icon), tools (cddb-server, mkdisc), docs (man pages,
# READMEs).
include(${CMAKE_CURRENT_LIST_DIR}/install_dirs.cmake)

# Nothing links a shared library of this project (the modules are dlopen'ed
# by path), so installed binaries need no RPATH: CMake drops any build-tree
# one when it installs, and the install test checks with readelf.

install(TARGETS qomhost
  RUNTIME DESTINATION ${RONDEL_INSTALL_APPDIR} COMPONENT runtime)
install(TARGETS cdr lame_dll ogg_dll pcm_dll
  LIBRARY DESTINATION ${RONDEL_INSTALL_APPDIR} COMPONENT runtime)
install(TARGETS rondel
  LIBRARY DESTINATION ${RONDEL_INSTALL_APPDIR}/qoms COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/rondel/skin/rondel.xml
  DESTINATION ${RONDEL_INSTALL_APPDIR}/qoms/xml/rondel COMPONENT runtime)

# bin/qomhost -> the private folder's qomhost. The link is made at install
# time from the prefix given then (cmake --install --prefix), relative so the
# whole tree may be moved or staged under DESTDIR.
install(CODE "
  set(_rondel_bindir \"${CMAKE_INSTALL_BINDIR}\")
  set(_rondel_appdir \"${RONDEL_INSTALL_APPDIR}\")
  foreach(_rondel_var _rondel_bindir _rondel_appdir)
    if(NOT IS_ABSOLUTE \"\${\${_rondel_var}}\")
      set(\${_rondel_var} \"\${CMAKE_INSTALL_PREFIX}/\${\${_rondel_var}}\")
    endif()
  endforeach()
  file(RELATIVE_PATH _rondel_target \"\${_rondel_bindir}\" \"\${_rondel_appdir}/qomhost\")
  set(_rondel_link \"\$ENV{DESTDIR}\${_rondel_bindir}/qomhost\")
  message(STATUS \"Installing: \${_rondel_link} -> \${_rondel_target}\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_rondel_bindir}\")
  file(REMOVE \"\${_rondel_link}\")
  file(CREATE_LINK \"\${_rondel_target}\" \"\${_rondel_link}\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_rondel_link}\")
" COMPONENT runtime)

install(FILES ${PROJECT_SOURCE_DIR}/host/install/qomhost.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT runtime)
# The launcher icon is 33x33, not one of the icon theme's sizes, so it goes
# where any size is taken.
install(FILES ${PROJECT_SOURCE_DIR}/rondel/skin/icons/launcher_normal.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps RENAME qomhost.png COMPONENT runtime)

# Offline lookups over a local freedb-format folder, and test discs.
install(TARGETS cddb-server mkdisc
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

install(FILES ${PROJECT_SOURCE_DIR}/host/install/qomhost.1
  ${PROJECT_SOURCE_DIR}/host/install/cddb-server.1 ${PROJECT_SOURCE_DIR}/host/install/mkdisc.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs)
# The references a user needs beside the README: the drive configuration
# (CDR_CONFIG), the disc description format and the server's options.
install(FILES ${PROJECT_SOURCE_DIR}/drivers/cdr/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME cdr-config.md COMPONENT docs)
install(FILES ${PROJECT_SOURCE_DIR}/tools/mkdisc/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME mkdisc.md COMPONENT docs)
install(FILES ${PROJECT_SOURCE_DIR}/tools/cddb-server/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME cddb-server.md COMPONENT docs)
