# Warnings on for the project's own code (not for the dependencies), and the
# instrumentation a sanitizer, fuzzing or coverage build asks for. Only the
# project's own targets are instrumented: the dependencies are trusted code
# whose own reports would drown ours.
function(veyra_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
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
