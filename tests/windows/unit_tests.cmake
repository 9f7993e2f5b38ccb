# The GoogleTest programs of the Windows tree, cross-compiled with the
# game and run by ctest under Wine (tests/windows/wine-run.sh as the
# emulator, in a Wine prefix of this tree's own). GoogleTest is Debian's
# source copy, built here with the cross compiler. The test sources are
# those tests/list.cmake gives both systems, and Windows' own.
# Left out, as Linux-only: the end-to-end shell tests (the Windows ones are
# in tests.cmake), the Debian package and launcher checks, the fuzz targets.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)
set(vimbrot_wine_run bash ${PROJECT_SOURCE_DIR}/tests/windows/wine-run.sh)
set(tests_dir ${PROJECT_SOURCE_DIR}/tests)
include(${tests_dir}/list.cmake)

# A test program on the game's libraries with the Windows test entry and
# sandbox, run under Wine, static so it needs no DLL of the cross compiler.
function(vimbrot_windows_game_tests target)
  add_executable(${target}
    ${tests_dir}/support/files.cpp ${tests_dir}/support/sandbox_win.cpp ${tests_dir}/support/services.cpp
    ${tests_dir}/support/test_main_win.cpp
    ${ARGN})
  target_include_directories(${target} PRIVATE ${tests_dir})
  target_link_libraries(${target} PRIVATE vimbrot::game GTest::gtest GTest::gmock)
  # The tree as the Windows program sees it: Wine's Z: drive is the root.
  target_compile_definitions(${target} PRIVATE
    VIMBROT_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}" VIMBROT_TEST_VERSION="${PROJECT_VERSION}")
  target_link_options(${target} PRIVATE -static)
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${vimbrot_wine_run}")
endfunction()

# The simulation's tests: no display, no HOME, no sound device.
list(TRANSFORM logic_test_sources PREPEND ${tests_dir}/)
add_executable(vimbrot_logic_tests ${logic_test_sources})
target_include_directories(vimbrot_logic_tests PRIVATE ${tests_dir})
target_link_libraries(vimbrot_logic_tests PRIVATE vimbrot::screenrules vimbrot::sim GTest::gtest GTest::gtest_main)
# The replay's recorded run, as the Windows program sees the tree.
target_compile_definitions(vimbrot_logic_tests PRIVATE VIMBROT_LOGIC_FIXTURES="Z:${tests_dir}/logic/fixtures")
target_link_options(vimbrot_logic_tests PRIVATE -static)
set_target_properties(vimbrot_logic_tests PROPERTIES CROSSCOMPILING_EMULATOR "${vimbrot_wine_run}")

# Unit tests that mean the same on Windows.
list(TRANSFORM unit_test_sources PREPEND ${tests_dir}/)
list(TRANSFORM windows_unit_test_sources PREPEND ${tests_dir}/)
vimbrot_windows_game_tests(vimbrot_tests ${unit_test_sources} ${windows_unit_test_sources})

# One ctest entry per program: each Wine start costs about a second, so the
# programs run whole rather than a process per test.
foreach(program vimbrot_logic_tests vimbrot_tests)
  add_test(NAME windows.${program} COMMAND ${program} --gtest_brief=1)
  set_tests_properties(windows.${program} PROPERTIES TIMEOUT 900 LABELS windows SKIP_RETURN_CODE 77)
endforeach()
set_property(TEST windows.vimbrot_logic_tests PROPERTY ENVIRONMENT VIMBROT_WINE_NO_DISPLAY=1)
# The unit tests empty and fill the registry's store, which belongs to the
# Wine prefix: a prefix of their own keeps the GL tests' best scores, saved
# meanwhile, out of it.
set_property(TEST windows.vimbrot_tests PROPERTY ENVIRONMENT VIMBROT_WINE_PREFIX=${PROJECT_BINARY_DIR}/wine-unit-tests)
set_property(TEST windows.vimbrot_logic_tests PROPERTY ENVIRONMENT_MODIFICATION
  "DISPLAY=unset:;WAYLAND_DISPLAY=unset:;HOME=unset:;XDG_DATA_HOME=unset:")

# The GL tests, drawn by Wine's OpenGL on Mesa and read back pixel by pixel.
# Like on Linux each test runs in its own process: they are written for a
# fresh process (GLFW, the services, the sound engine and the sandbox made
# once), and in one process some would see another's state.
list(TRANSFORM gl_test_sources PREPEND ${tests_dir}/)
list(TRANSFORM windows_gl_test_sources PREPEND ${tests_dir}/)
vimbrot_windows_game_tests(vimbrot_gl_tests ${tests_dir}/support/gl_context.cpp
  ${gl_test_sources} ${windows_gl_test_sources})
gtest_discover_tests(vimbrot_gl_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_PREFIX windows.gl. PROPERTIES TIMEOUT 300 LABELS windows SKIP_RETURN_CODE 77)

# The platform library stays below everything else here too: its Windows
# sources include nothing of the engine, the game or the simulation, and
# the library needs none of their symbols.
add_test(NAME windows.platform_stands_alone
  COMMAND ${CMAKE_COMMAND} -E env NM=${CMAKE_NM}
    bash ${tests_dir}/unit/platform_alone.sh ${PROJECT_SOURCE_DIR}/platform
    $<TARGET_FILE:vimbrot_platform> $<TARGET_FILE:vimbrot_orvo3d> $<TARGET_FILE:vimbrot_sim>
    $<TARGET_FILE:vimbrot_game>)
set_tests_properties(windows.platform_stands_alone PROPERTIES LABELS windows)
