# `cmake --install build` puts the game, its desktop entry and its icon in
# the usual XDG places under the install prefix.
include(GNUInstallDirs)
install(TARGETS vimbrot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vimbrot.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME vimbrot.png)
