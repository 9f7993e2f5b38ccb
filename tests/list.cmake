# Every test source, listed once: the Linux tree (tests/CMakeLists.txt) and
# the Windows tree (tests/windows/unit_tests.cmake) make their programs from
# these lists. Paths are relative to tests/; a new test file is one more line
# here, in the list of the systems it means something on.

# Unit tests that mean the same on both systems.
set(unit_test_sources
  unit/camera_test.cpp
  unit/commandline_test.cpp
  unit/font_test.cpp
  unit/gltf2_test.cpp
  unit/highscore_test.cpp
  unit/image_test.cpp
  unit/input_test.cpp
  unit/log_test.cpp
  unit/mainloop_test.cpp
  unit/plate_textures_test.cpp
  unit/settings_test.cpp
  unit/smoke_test.cpp
  unit/storage_test.cpp
  unit/track_random_test.cpp)

# Unit tests written against Linux alone: the POSIX stand-ins (XDG files,
# permissions, FIFOs, links, fork), /proc, the ELF executable, uinput.
set(linux_unit_test_sources
  unit/bestscore_test.cpp
  unit/executable_test.cpp
  unit/fullscreen_test.cpp
  unit/highscore_posix_test.cpp
  unit/log_posix_test.cpp
  unit/padmappings_test.cpp
  unit/preload_test.cpp
  unit/settings_posix_test.cpp
  unit/settingswriter_test.cpp
  unit/sound_assets_test.cpp
  unit/sound_test.cpp
  unit/storage_posix_test.cpp)

# Unit tests of Windows alone: the registry's form of the settings.
set(windows_unit_test_sources
  windows/settings_registry_test.cpp)

# GL tests: a hidden window with the game's context, real pixels read back.
set(gl_test_sources
  gl/application_test.cpp
  gl/font_gl_test.cpp
  gl/frame_wait_test.cpp
  gl/pause_gl_test.cpp
  gl/plate_test.cpp
  gl/presenter_test.cpp
  gl/player_test.cpp
  gl/screens_gl_test.cpp
  gl/screens_test.cpp
  gl/shader_test.cpp
  gl/stars_gl_test.cpp
  gl/staticmodel_test.cpp
  gl/track_render_test.cpp
  gl/track_test.cpp)

# GL tests of Windows alone.
set(windows_gl_test_sources
  windows/xinput_test.cpp)

# The simulation's tests and the screens' rules: no display, no HOME, no
# sound device.
set(logic_test_sources
  logic/plate_boxes_test.cpp
  logic/player_physics_test.cpp
  logic/replay_test.cpp
  logic/road_test.cpp
  logic/screen_rules_test.cpp)
