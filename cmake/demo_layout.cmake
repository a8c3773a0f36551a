# Script mode: lays out the demo release folder OUT and the disc images in
# DISCS. Files are copied only when they differ, so an unchanged tree keeps
# its time stamps.
set(rel ${SRC}/demo/release)
if(WINDOWS)
  set(exe ".exe")
else()
  set(exe "")
endif()

file(MAKE_DIRECTORY ${OUT}/source/tools ${OUT}/kit/game)
if(LAUNCHER)
  get_filename_component(launcher_name ${LAUNCHER} NAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LAUNCHER} ${OUT}/${launcher_name})
endif()
# Every script the release ships in source/tools (the build script, its
# accepted digests, the update script).
file(GLOB tools LIST_DIRECTORIES false ${rel}/source/tools/*)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${tools} ${OUT}/source/tools/)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${rel}/CHANGELOG.md ${OUT}/)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${rel}/kit/kit_manifest.json ${OUT}/kit/)
# The game program the build script copies into game/; the real game's kit
# ships its own here.
if(GAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${GAME} ${OUT}/kit/game/veyra${exe})
else()
  message(STATUS "demo release: no game program (build with VEYRA_TESTS for the stand-in game)")
endif()

# The interpreter. Linux borrows the system's. No Windows interpreter exists
# on a cross-building machine: under Wine the tree gets the stand-in that
# hands each script to the host's python3 (demo/wine_python). That python3
# names the game program the Linux way, so the kit offers it under that name
# too.
if(WINDOWS AND PYTHON_STUB)
  file(MAKE_DIRECTORY ${OUT}/kit/python)
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PYTHON_STUB} ${OUT}/kit/python/python.exe)
  if(GAME AND NOT IS_SYMLINK ${OUT}/kit/game/veyra)
    file(CREATE_LINK veyra.exe ${OUT}/kit/game/veyra SYMBOLIC)
  endif()
elseif(NOT WINDOWS)
  file(MAKE_DIRECTORY ${OUT}/kit/python/bin)
  if(NOT IS_SYMLINK ${OUT}/kit/python/bin/python3)
    file(CREATE_LINK /usr/bin/python3 ${OUT}/kit/python/bin/python3 SYMBOLIC)
  endif()
endif()

# release.ini names the version the launcher was built as and the commit this
# tree was built from; the release scripts read the version from here.
if(NOT VERSION)
  message(FATAL_ERROR "demo release: VERSION not given")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/source_commit.cmake)
veyra_source_commit(${SRC} commit)
veyra_write_if_changed(${OUT}/source/release.ini "version=${VERSION}\ncommit=${commit}\n")

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
