# The Windows tests, run by ctest in the Windows tree: scripts that check the
# executable and play it under Wine on a private X server.
enable_testing()
foreach(name resources_check registry_session window_rule)
  add_test(NAME windows.${name}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/${name}.sh $<TARGET_FILE:vimbrot> ${PROJECT_SOURCE_DIR})
  # Exit code 77 marks a test skipped (a tool it needs is missing).
  set_tests_properties(windows.${name} PROPERTIES TIMEOUT 1200 LABELS windows SKIP_RETURN_CODE 77)
endforeach()

# The zip and the installer, made by the package target, which
# scripts/build-windows runs: what they hold, then a silent install, the
# game started by its shortcut and a silent uninstall.
set(vimbrot_zip ${PROJECT_BINARY_DIR}/Vimbrot-${PROJECT_VERSION}-win64.zip)
set(vimbrot_setup ${PROJECT_BINARY_DIR}/Vimbrot-${PROJECT_VERSION}-win64-setup.exe)
add_test(NAME windows.package_contents
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/package_contents.sh
    ${vimbrot_zip} ${vimbrot_setup} $<TARGET_FILE:vimbrot> ${PROJECT_SOURCE_DIR})
set_tests_properties(windows.package_contents PROPERTIES TIMEOUT 300 LABELS windows SKIP_RETURN_CODE 77)
add_test(NAME windows.installer_check
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/installer_check.sh
    ${vimbrot_setup} $<TARGET_FILE:vimbrot> ${PROJECT_SOURCE_DIR})
set_tests_properties(windows.installer_check PROPERTIES TIMEOUT 600 LABELS windows SKIP_RETURN_CODE 77)
