# The Windows tests, run by ctest in the Windows tree: scripts that check the
# executable and play it under Wine on a private X server.
enable_testing()
foreach(name resources_check registry_session)
  add_test(NAME windows.${name}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/${name}.sh $<TARGET_FILE:vimbrot> ${PROJECT_SOURCE_DIR})
  # Exit code 77 marks a test skipped (a tool it needs is missing).
  set_tests_properties(windows.${name} PROPERTIES TIMEOUT 1200 LABELS windows SKIP_RETURN_CODE 77)
endforeach()
