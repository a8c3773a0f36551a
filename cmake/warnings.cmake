# Warnings on for the project's own code (not for the dependencies), and the
# instrumentation a sanitizer, fuzzing or coverage build asks for. Only the
# project's own targets are instrumented: the dependencies are trusted code
# whose own reports would drown ours.
#
# Warnings are errors where the environment sets VEYRA_WERROR=ON (.ci/run
# does), so CI stops on them while a developer trying a newer compiler is not
# stopped by its new warnings; read at every configure, not cached, so one
# build folder serves both. -Wconversion covers the folders that handle sizes,
# offsets and file contents, where a silent narrowing loses data; ImGui's mix
# of int and float pixel maths would drown it in ui/, the tests and benches.
set(VEYRA_WERROR "$ENV{VEYRA_WERROR}")
set(VEYRA_CONVERSION_FOLDERS plat prepare update settings)

function(veyra_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-unused-parameter
                         -Wno-missing-field-initializers)
  if(VEYRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  get_target_property(sources ${target} SOURCES)
  foreach(folder ${VEYRA_CONVERSION_FOLDERS})
    set(picked ${sources})
    list(FILTER picked INCLUDE REGEX "/src/${folder}/[^/]+\\.(c|cpp)$")
    # Sign conversions are left out: size_t against the OS's int and ssize_t
    # results is everywhere at the system-call edge, each checked by hand.
    set_property(SOURCE ${picked} APPEND PROPERTY COMPILE_OPTIONS -Wconversion -Wno-sign-conversion)
  endforeach()
  if(WIN32)
    return()
  endif()
  if(VEYRA_SANITIZE)
    # Any report ends the program with a failure, so a test cannot pass over one.
    target_compile_options(${target} PRIVATE -fsanitize=${VEYRA_SANITIZE} -fno-sanitize-recover=all
                           -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=${VEYRA_SANITIZE})
  endif()
  if(VEYRA_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  if(VEYRA_COVERAGE)
    target_compile_options(${target} PRIVATE --coverage)
    target_link_options(${target} PRIVATE --coverage)
  endif()
endfunction()
