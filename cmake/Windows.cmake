# The libraries of the Windows build, from the prefix scripts/build-windows-deps
# fills (static GLFW, SDL2, SDL2_mixer, libepoxy) and its header-only folder,
# under the names the Linux build gives them.
enable_language(RC)
set(vimbrot_windows_prefix ${VIMBROT_WINDOWS_PREFIX})

find_package(glfw3 3.3 REQUIRED CONFIG)
find_package(SDL2 REQUIRED CONFIG)
find_package(SDL2_mixer REQUIRED CONFIG)
find_library(EPOXY_LIBRARY NAMES libepoxy.a epoxy REQUIRED)
find_path(EPOXY_INCLUDE_DIR epoxy/gl.h REQUIRED)

add_library(PkgConfig::GLFW INTERFACE IMPORTED)
target_link_libraries(PkgConfig::GLFW INTERFACE glfw)
add_library(PkgConfig::EPOXY INTERFACE IMPORTED)
target_include_directories(PkgConfig::EPOXY INTERFACE ${EPOXY_INCLUDE_DIR})
target_link_libraries(PkgConfig::EPOXY INTERFACE ${EPOXY_LIBRARY} opengl32)
add_library(PkgConfig::SDL2_MIXER INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL2_MIXER INTERFACE SDL2_mixer::SDL2_mixer-static SDL2::SDL2-static)

# glm, stb and nlohmann-json, and nothing else of the host's headers.
set(vimbrot_header_only ${vimbrot_windows_prefix}/include-hostonly)
add_library(PkgConfig::STB INTERFACE IMPORTED)
target_include_directories(PkgConfig::STB SYSTEM INTERFACE ${vimbrot_header_only})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vimbrot_header_only})

# glm is used everywhere without a target, as on Linux from /usr/include.
include_directories(SYSTEM ${vimbrot_header_only})
# localtime_r, which the log uses, as the C runtime gives it to POSIX code.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# The executable's own resources (icons, manifest, version) and its GUI entry.
function(vimbrot_windows_executable target)
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/generated)
  find_program(ICOTOOL icotool REQUIRED)
  set(icon_pngs ${PROJECT_SOURCE_DIR}/data/icon.png ${PROJECT_SOURCE_DIR}/packaging/icons/vimbrot-128.png
      ${PROJECT_SOURCE_DIR}/packaging/icons/vimbrot-48.png)
  add_custom_command(OUTPUT ${gen}/vimbrot.ico ${gen}/glfw.ico
    COMMAND ${ICOTOOL} -c -o ${gen}/vimbrot.ico ${icon_pngs}
    COMMAND ${ICOTOOL} -c -o ${gen}/glfw.ico ${PROJECT_SOURCE_DIR}/data/icon.png
    DEPENDS ${icon_pngs} VERBATIM)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/vimbrot.rc.in ${gen}/vimbrot.rc @ONLY)
  set_source_files_properties(${gen}/vimbrot.rc PROPERTIES
    OBJECT_DEPENDS "${gen}/vimbrot.ico;${gen}/glfw.ico;${PROJECT_SOURCE_DIR}/packaging/windows/vimbrot.manifest")
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/entry_win.cpp ${gen}/vimbrot.rc)
  # The shared body keeps its name on Linux; here WinMain calls it.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/game/main.cpp PROPERTIES COMPILE_DEFINITIONS main=vimbrotMain)
  target_link_options(${target} PRIVATE -mwindows -static)
endfunction()
