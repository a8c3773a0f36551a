# The demo release: a release folder laid out as users unzip it, with the
# launcher, the stand-in build pipeline, the kit (interpreter, manifest and the
# game program the build copies into place) and synthetic disc images beside
# it in demo-discs/. Rebuilt with every build so it always matches the code.
find_program(VEYRA_HOST_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(VEYRA_HOST_PYTHON NAMES python3)

# The game program the kit ships is the stand-in game built with the tests
# (tests/standins/veyra_game.cpp); without the tests the demo has none.
if(VEYRA_TESTS)
  set(demo_game $<TARGET_FILE:veyra_game>)
else()
  set(demo_game "")
endif()

# The Windows demo release's interpreter under Wine: a stand-in that hands the
# scripts to the host's python3 through demo/wine_python/python_bridge.py.
# A fixture for tests and the demo only; a real release ships a real one.
if(WIN32)
  add_executable(veyra_python_stub ${CMAKE_SOURCE_DIR}/demo/wine_python/python_stub.cpp)
  target_link_libraries(veyra_python_stub PRIVATE ws2_32 shell32)
  # One file to drop into kit/python, without the compiler's run-time DLLs.
  target_link_options(veyra_python_stub PRIVATE -static)
  veyra_warnings(veyra_python_stub)
  set(demo_python_stub $<TARGET_FILE:veyra_python_stub>)
else()
  set(demo_python_stub "")
endif()

set(VEYRA_DEMO_RELEASE ${CMAKE_BINARY_DIR}/demo-release)
set(VEYRA_DEMO_DISCS ${CMAKE_BINARY_DIR}/demo-discs)
add_custom_target(demo_release ALL
  COMMAND ${CMAKE_COMMAND}
    -DSRC=${CMAKE_SOURCE_DIR}
    -DOUT=${VEYRA_DEMO_RELEASE}
    -DDISCS=${VEYRA_DEMO_DISCS}
    -DLAUNCHER=$<TARGET_FILE:veyra-launcher>
    -DGAME=${demo_game}
    -DPYTHON_STUB=${demo_python_stub}
    -DPYTHON=${VEYRA_HOST_PYTHON}
    -DWINDOWS=${WIN32}
    -DVERSION=${PROJECT_VERSION}
    -P ${CMAKE_SOURCE_DIR}/cmake/demo_layout.cmake
  COMMENT "Laying out the demo release"
  VERBATIM)
add_dependencies(demo_release veyra-launcher)
if(WIN32)
  add_dependencies(demo_release veyra_python_stub)
endif()
if(VEYRA_TESTS)
  add_dependencies(demo_release veyra_game)
endif()

# How well the time-left estimate follows a demo build (run by hand, see bench/).
add_executable(bench_build_estimate EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/build_estimate.cpp)
target_link_libraries(bench_build_estimate PRIVATE veyra_core)
veyra_warnings(bench_build_estimate)
