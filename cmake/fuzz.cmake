# libFuzzer targets, one per parser: fuzz/<name>.cpp with its seed corpus in
# fuzz/corpus/<name>. Each target is also a ctest test that replays its corpus,
# so every input that once found a fault stays a regression test; the timed
# runs on top of the corpus are scripts/fuzz.sh's.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VEYRA_FUZZ needs clang (libFuzzer)")
endif()
find_package(ZLIB REQUIRED)  # the PNG target's independent decoder
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
foreach(src ${fuzz_sources})
  get_filename_component(name ${src} NAME_WE)
  add_executable(fuzz_${name} ${src})
  target_link_libraries(fuzz_${name} PRIVATE veyra_core ZLIB::ZLIB)
  target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
  veyra_warnings(fuzz_${name})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  if(VEYRA_TESTS)
    add_test(NAME fuzz_corpus_${name}
             COMMAND fuzz_${name} -runs=0 ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    set_tests_properties(fuzz_corpus_${name} PROPERTIES TIMEOUT 120)
  endif()
endforeach()

# The PNG target's images from its corpus, checked by a decoder we did not write.
find_program(PNGCHECK pngcheck)
if(VEYRA_TESTS AND PNGCHECK)
  add_test(NAME fuzz_corpus_png_pngcheck
           COMMAND bash -c "dir=$(mktemp -d) && trap 'rm -rf $dir' EXIT && VEYRA_PNG_OUT=$dir \"$0\" -runs=0 \"$1\" 2>/dev/null && ls $dir/*.png >/dev/null && \"$2\" -q $dir/*.png"
                   $<TARGET_FILE:fuzz_png> ${CMAKE_SOURCE_DIR}/fuzz/corpus/png ${PNGCHECK})
  set_tests_properties(fuzz_corpus_png_pngcheck PROPERTIES TIMEOUT 120)
endif()
