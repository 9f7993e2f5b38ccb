# `cmake --build build --target package` makes the Debian package
# vimbrot_<version>_amd64.deb from the install rules of cmake/Install.cmake:
# everything a plain install gets, except that the executable goes to
# /usr/lib/games/vimbrot with its launcher in /usr/games (component "deb"
# instead of "bin"), plus the Debian changelog.
# The runtime dependencies are worked out by dpkg-shlibdeps from the
# executable, never written here.

vimbrot_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vimbrot
        COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vimbrot)
set(CPACK_PACKAGE_VENDOR Orvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvo <vimbrot@orvo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "endless 3D arcade racer over floating plates in space")
# CPackDeb puts the summary above this and indents it as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Your ship flies forward on its own over a road of floating plates in space;
steer it left and right and jump across the gaps. It speeds up toward 40 units
per second; dropping off the road ends the run, and flying into the face of a
building block or a pillar crashes the ship. The score is the distance
travelled, and the best score is kept between runs.

Play it with the keyboard or a gamepad. It needs an OpenGL 4.3 graphics driver
(Mesa is fine) under X11 or Xwayland.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/orvo/vimbrot)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${VIMBROT_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
# The shared files and the package's own ones; the plain install's bin/ is
# left out.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};Vimbrot;Unspecified;/"
  "${PROJECT_BINARY_DIR};Vimbrot;deb;/")
include(CPack)
