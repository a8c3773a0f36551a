# Writes the source commit constant: `git rev-parse HEAD`, or 40 zeros outside git.
execute_process(COMMAND git -C ${SRC} rev-parse HEAD OUTPUT_VARIABLE commit
                RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT commit MATCHES "^[0-9a-f]+$")
  string(REPEAT "0" 40 commit)
endif()
set(text "// Generated at build time.\nextern const char* const sourceCommit;\nconst char* const sourceCommit = \"${commit}\";\n")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUT} "${text}")
endif()
