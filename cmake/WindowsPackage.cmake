# The Windows packages, made by `cmake --build build-windows --target package`
# from these install rules:
# - Vimbrot-<version>-win64.zip: vimbrot.exe, README.txt and LICENSE.txt in a
#   folder of that name, to unpack anywhere the player can write;
# - Vimbrot-<version>-win64-setup.exe: an NSIS installer into
#   Program Files\Vimbrot, with a Start menu shortcut, an uninstaller and its
#   entry in Add/Remove Programs.
# The game writes message.log into the folder it is started in, which under
# Program Files it cannot write, so the installer gives the installing user a
# folder of their own, %LOCALAPPDATA%\Vimbrot, and the shortcut starts the
# game there (packaging/windows/shortcut-*.nsh).
install(TARGETS vimbrot RUNTIME DESTINATION .)
# Text files a Windows player can open with a double click.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Vimbrot)
set(CPACK_PACKAGE_VENDOR Orvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "endless 3D arcade racer over floating plates in space")
set(CPACK_PACKAGE_FILE_NAME Vimbrot-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Vimbrot)
# The installer keeps its own records under HKLM "Software\Orvo\<this key>"
# and deletes that key on uninstall; it must never be "Vimbrot", whose HKCU
# namesake holds the player's best score.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Vimbrot ${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The NSIS snippets below go to the installer script as they are written.
set(CPACK_VERBATIM_VARIABLES ON)
# The installer alone gets "-setup" in its name (per generator, at cpack time).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/cpack-generator.cmake)

# A 64-bit installer for a 64-bit game: Program Files and the registry as
# the game sees them, and no 32-bit Wine needed to test it.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_PACKAGE_NAME Vimbrot)
set(CPACK_NSIS_DISPLAY_NAME Vimbrot)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_BINARY_DIR}/generated/vimbrot.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_BINARY_DIR}/generated/vimbrot.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME vimbrot.exe)
set(CPACK_NSIS_CONTACT "Orvo <vimbrot@orvo.example>")
set(CPACK_NSIS_URL_INFO_ABOUT https://github.com/orvo/vimbrot)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
file(READ ${PROJECT_SOURCE_DIR}/packaging/windows/shortcut-create.nsh CPACK_NSIS_CREATE_ICONS_EXTRA)
file(READ ${PROJECT_SOURCE_DIR}/packaging/windows/shortcut-delete.nsh CPACK_NSIS_DELETE_ICONS_EXTRA)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/packaging/windows/shortcut-create.nsh
  ${PROJECT_SOURCE_DIR}/packaging/windows/shortcut-delete.nsh)
include(CPack)
