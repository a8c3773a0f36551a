# Shared by the build-time scripts that stamp the source commit.

# `git rev-parse HEAD` of the source tree, or 40 zeros outside git.
function(veyra_source_commit src outvar)
  execute_process(COMMAND git -C ${src} rev-parse HEAD OUTPUT_VARIABLE commit
                  RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT commit MATCHES "^[0-9a-f]+$")
    string(REPEAT "0" 40 commit)
  endif()
  set(${outvar} ${commit} PARENT_SCOPE)
endfunction()

# Rewrites the file only when its text changes, so nothing downstream rebuilds needlessly.
function(veyra_write_if_changed path text)
  set(old "")
  if(EXISTS ${path})
    file(READ ${path} old)
  endif()
  if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${path} "${text}")
  endif()
endfunction()
