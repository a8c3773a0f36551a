# Tools for looking at the interface, built on request only: the screen
# pictures (scripts/ui-screens.sh) and the frame-time bench (bench/ui/; Linux
# only, as it reads the thread CPU clock).
add_executable(ui_screens EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/demo/ui_screens.cpp)
target_link_libraries(ui_screens PRIVATE veyra_core)
if(WIN32)
  target_sources(ui_screens PRIVATE ${VEYRA_RESOURCE_FILES})
endif()
veyra_warnings(ui_screens)

if(NOT WIN32)
  add_executable(bench_ui_frame_time EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/ui/frame_time.cpp)
  target_link_libraries(bench_ui_frame_time PRIVATE veyra_core)
  veyra_warnings(bench_ui_frame_time)
endif()
