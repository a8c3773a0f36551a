# The demo release: a release folder laid out as users unzip it, with the
# launcher, the stand-in build pipeline, the kit (interpreter, manifest and the
# game program the build copies into place) and synthetic disc images beside
# it in demo-discs/. Rebuilt with every build so it always matches the code.
add_executable(veyra_demo_game ${CMAKE_SOURCE_DIR}/demo/game/demo_game.cpp)
veyra_warnings(veyra_demo_game)
if(WIN32)
  target_link_options(veyra_demo_game PRIVATE -mconsole)
endif()

find_program(VEYRA_HOST_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(VEYRA_HOST_PYTHON NAMES python3)

set(VEYRA_DEMO_RELEASE ${CMAKE_BINARY_DIR}/demo-release)
set(VEYRA_DEMO_DISCS ${CMAKE_BINARY_DIR}/demo-discs)
add_custom_target(demo_release ALL
  COMMAND ${CMAKE_COMMAND}
    -DSRC=${CMAKE_SOURCE_DIR}
    -DOUT=${VEYRA_DEMO_RELEASE}
    -DDISCS=${VEYRA_DEMO_DISCS}
    -DLAUNCHER=$<TARGET_FILE:veyra-launcher>
    -DGAME=$<TARGET_FILE:veyra_demo_game>
    -DPYTHON=${VEYRA_HOST_PYTHON}
    -DWINDOWS=${WIN32}
    -P ${CMAKE_SOURCE_DIR}/cmake/demo_layout.cmake
  COMMENT "Laying out the demo release"
  VERBATIM)
add_dependencies(demo_release veyra-launcher veyra_demo_game)
