# `cmake --install build` puts the game, its desktop entry, its icons, its
# AppStream metainfo, its manual page and its copyright in the usual XDG
# places under the install prefix. The executable goes to bin/ there; the
# Debian package (cmake/Package.cmake) puts the same files under /usr, the
# game in /usr/lib/games/vimbrot and its launcher (packaging/vimbrot.sh.in)
# in /usr/games, as Debian wants for games. The executable rules are two
# components: "bin" for a plain install, "deb" (left out of a plain install)
# for the package.
include(GNUInstallDirs)
set(VIMBROT_APPSTREAM_ID io.github.orvo.Vimbrot)
set(VIMBROT_PACKAGE_PREFIX /usr)

install(TARGETS vimbrot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT bin)
install(TARGETS vimbrot RUNTIME DESTINATION lib/games/vimbrot COMPONENT deb EXCLUDE_FROM_ALL)
set(VIMBROT_GAME ${VIMBROT_PACKAGE_PREFIX}/lib/games/vimbrot/vimbrot)
configure_file(${PROJECT_SOURCE_DIR}/packaging/vimbrot.sh.in ${PROJECT_BINARY_DIR}/package/vimbrot @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(PROGRAMS ${PROJECT_BINARY_DIR}/package/vimbrot DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/vimbrot.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME vimbrot.png)
foreach(size 48 128)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/vimbrot-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vimbrot.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${VIMBROT_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vimbrot)

# Manual pages and Debian changelogs are installed compressed with gzip -9n
# (no name, no time stamp, so the bytes do not change between builds). They
# are made when CMake configures and again whenever their source changes.
function(vimbrot_gzip source output)
  execute_process(COMMAND gzip -9n -c ${source} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

vimbrot_gzip(${PROJECT_SOURCE_DIR}/packaging/vimbrot.6 ${PROJECT_BINARY_DIR}/vimbrot.6.gz)
install(FILES ${PROJECT_BINARY_DIR}/vimbrot.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# Inside another project the package is the parent's business.
if(PROJECT_IS_TOP_LEVEL)
  include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
endif()
