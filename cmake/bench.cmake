# Benchmarks: built with the rest, run by hand (bench/run.sh).
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${bench_sources})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE veyra_core)
  veyra_warnings(${name})
endforeach()
