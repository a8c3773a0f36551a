# Build-time data: the Exo 2 typeface and its subsets converted from the npm
# package's woff2, its licence, the source commit, the version constant, and on
# Windows the resource script with the manifest, icon and version. Nothing of
# it is committed; the version in all of them is project(VERSION)'s.
set(GEN ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${GEN})

# The Latin subset is the typeface proper; the other subsets of the same
# package lie beside it (scripts/setup.sh) and cover accented Latin, Cyrillic
# and Vietnamese. Resource names: EXO2, then EXO2_ and the subset in capitals.
if(NOT EXISTS "${VEYRA_EXO2_WOFF2}")
  message(FATAL_ERROR "Exo 2 not found: run scripts/setup.sh")
endif()
get_filename_component(EXO2_DIR ${VEYRA_EXO2_WOFF2} DIRECTORY)
set(EXO2_SUBSETS latin-ext cyrillic cyrillic-ext vietnamese)
find_program(WOFF2_DECOMPRESS woff2_decompress REQUIRED)
set(EXO2_TTF ${GEN}/Exo2.ttf)
add_custom_command(OUTPUT ${EXO2_TTF}
  COMMAND ${CMAKE_COMMAND} -E copy ${VEYRA_EXO2_WOFF2} ${GEN}/Exo2.woff2
  COMMAND ${WOFF2_DECOMPRESS} ${GEN}/Exo2.woff2
  DEPENDS ${VEYRA_EXO2_WOFF2}
  COMMENT "Converting Exo 2 to TrueType")
set(EXO2_FONT_FILES ${EXO2_TTF})
set(EXO2_EMBED_ARGS EXO2 ${EXO2_TTF})
set(EXO2_RC_LINES "EXO2 RCDATA \"${EXO2_TTF}\"")
foreach(subset ${EXO2_SUBSETS})
  set(woff2 ${EXO2_DIR}/Exo2-${subset}.woff2)
  if(NOT EXISTS "${woff2}")
    message(FATAL_ERROR "Exo 2 ${subset} not found: run scripts/setup.sh")
  endif()
  set(ttf ${GEN}/Exo2-${subset}.ttf)
  add_custom_command(OUTPUT ${ttf}
    COMMAND ${CMAKE_COMMAND} -E copy ${woff2} ${GEN}/Exo2-${subset}.woff2
    COMMAND ${WOFF2_DECOMPRESS} ${GEN}/Exo2-${subset}.woff2
    DEPENDS ${woff2}
    COMMENT "Converting Exo 2 ${subset} to TrueType")
  string(TOUPPER "EXO2_${subset}" name)
  string(REPLACE "-" "_" name ${name})
  list(APPEND EXO2_FONT_FILES ${ttf})
  list(APPEND EXO2_EMBED_ARGS ${name} ${ttf})
  string(APPEND EXO2_RC_LINES "\n${name} RCDATA \"${ttf}\"")
endforeach()
add_custom_target(veyra_font DEPENDS ${EXO2_FONT_FILES})

# The commit is read at every build, and the file rewritten only when it changes.
add_custom_target(veyra_commit
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DOUT=${GEN}/commit.cpp -P ${CMAKE_SOURCE_DIR}/cmake/commit.cmake
  BYPRODUCTS ${GEN}/commit.cpp)
configure_file(${CMAKE_SOURCE_DIR}/cmake/version.cpp.in ${GEN}/version.cpp @ONLY)
set(VEYRA_GENERATED_SOURCES ${GEN}/commit.cpp ${GEN}/version.cpp)

if(WIN32)
  find_program(PYTHON3 NAMES python3 REQUIRED)
  add_custom_command(OUTPUT ${GEN}/veyra.ico
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/cmake/make_icon.py ${GEN}/veyra.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make_icon.py)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/veyra.rc.in ${GEN}/veyra.rc @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/veyra.manifest.in ${GEN}/veyra.manifest @ONLY)
  set_source_files_properties(${GEN}/veyra.rc PROPERTIES OBJECT_DEPENDS "${EXO2_FONT_FILES};${GEN}/veyra.ico;${VEYRA_EXO2_OFL}")
  set(VEYRA_RESOURCE_FILES ${GEN}/veyra.rc)
else()
  add_custom_command(OUTPUT ${GEN}/resources.c
    COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/embed.sh ${GEN}/resources.c ${EXO2_EMBED_ARGS} OFL ${VEYRA_EXO2_OFL}
    DEPENDS ${EXO2_FONT_FILES} ${VEYRA_EXO2_OFL} ${CMAKE_SOURCE_DIR}/cmake/embed.sh)
  list(APPEND VEYRA_GENERATED_SOURCES ${GEN}/resources.c)
  set(VEYRA_RESOURCE_FILES)
endif()
