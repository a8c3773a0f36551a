# Script mode: lays out the demo release folder OUT and the disc images in
# DISCS. Files are copied only when they differ, so an unchanged tree keeps
# its time stamps.
set(rel ${SRC}/demo/release)
if(WINDOWS)
  set(exe ".exe")
else()
  set(exe "")
endif()

get_filename_component(launcher_name ${LAUNCHER} NAME)
file(MAKE_DIRECTORY ${OUT}/source/tools ${OUT}/kit/game)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LAUNCHER} ${OUT}/${launcher_name})
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different
  ${rel}/source/tools/veyra_build.py ${rel}/source/tools/accepted_sha1.txt ${OUT}/source/tools/)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${rel}/CHANGELOG.md ${OUT}/)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${rel}/kit/kit_manifest.json ${OUT}/kit/)
# The game program the build script copies into game/; the real game's kit
# ships its own here.
if(GAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${GAME} ${OUT}/kit/game/veyra${exe})
else()
  message(STATUS "demo release: no game program (build with VEYRA_TESTS for the stand-in game)")
endif()

# The interpreter. Linux borrows the system's; no Windows interpreter exists
# on a cross-building machine, so a Windows tree lacks kit/python until one is
# unpacked there by hand.
if(NOT WINDOWS)
  file(MAKE_DIRECTORY ${OUT}/kit/python/bin)
  if(NOT IS_SYMLINK ${OUT}/kit/python/bin/python3)
    file(CREATE_LINK /usr/bin/python3 ${OUT}/kit/python/bin/python3 SYMBOLIC)
  endif()
endif()

# release.ini names the commit this tree was built from.
execute_process(COMMAND git -C ${SRC} rev-parse HEAD OUTPUT_VARIABLE commit
                RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT commit MATCHES "^[0-9a-f]+$")
  string(REPEAT "0" 40 commit)
endif()
set(text "version=0.1.6\ncommit=${commit}\n")
set(old "")
if(EXISTS ${OUT}/source/release.ini)
  file(READ ${OUT}/source/release.ini old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUT}/source/release.ini "${text}")
endif()

# Disc images for trying the launcher: the right disc, the wrong ones, a .bin/.cue.
if(PYTHON)
  file(MAKE_DIRECTORY ${DISCS})
  set(maker ${SRC}/demo/make_disc.py)
  foreach(pair "right;emberfall-usa.iso" "other;another-game.iso" "modified;modified-copy.iso"
               "notimage;holiday-photo.iso" "bincue;emberfall-usa-raw.cue")
    list(GET pair 0 kind)
    list(GET pair 1 name)
    if(NOT EXISTS ${DISCS}/${name} OR ${maker} IS_NEWER_THAN ${DISCS}/${name})
      execute_process(COMMAND ${PYTHON} ${maker} ${kind} ${DISCS}/${name} RESULT_VARIABLE made)
      if(NOT made EQUAL 0)
        message(FATAL_ERROR "make_disc.py ${kind} failed")
      endif()
    endif()
  endforeach()
endif()
