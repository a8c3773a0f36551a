# The unit and integration tests, and the stand-in programs they start. All
# executables land in one folder so a test finds its stand-ins beside itself.
if(WIN32)
  find_package(GTest REQUIRED CONFIG)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
list(FILTER test_sources EXCLUDE REGEX "_${OTHER_SUFFIX}\\.cpp$")
add_executable(veyra_tests ${test_sources})
target_link_libraries(veyra_tests PRIVATE veyra_core GTest::gtest GTest::gtest_main)
target_include_directories(veyra_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(veyra_tests PRIVATE
  VEYRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VEYRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
# The interpreter the build-script tests run; none exists for the Windows
# build on a cross-compiling machine, and those tests then skip.
if(WIN32)
  target_compile_definitions(veyra_tests PRIVATE VEYRA_TEST_PYTHON="")
else()
  target_compile_definitions(veyra_tests PRIVATE VEYRA_TEST_PYTHON="${VEYRA_HOST_PYTHON}")
endif()
if(WIN32)
  # Tests run from the console under Wine.
  target_link_options(veyra_tests PRIVATE -mconsole)
endif()
if(WIN32)
  target_sources(veyra_tests PRIVATE ${VEYRA_RESOURCE_FILES})
endif()
veyra_warnings(veyra_tests)

file(GLOB standin_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/standins/*.cpp)
foreach(src ${standin_sources})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  if(WIN32 AND name STREQUAL "veyra_game")
    # The launcher starts the game as a windowed program: no console.
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  target_link_libraries(${name} PRIVATE veyra_core)
  veyra_warnings(${name})
  add_dependencies(veyra_tests ${name})
endforeach()

# Discovery waits for ctest, so a build never has to start Wine.
gtest_discover_tests(veyra_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES TIMEOUT 120)

# A write(2) fault injector, preloaded into stand-ins by the durability tests.
if(NOT WIN32)
  add_library(fail_write_preload MODULE ${CMAKE_SOURCE_DIR}/tests/fail_write_preload.c)
  set_target_properties(fail_write_preload PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_link_libraries(fail_write_preload PRIVATE ${CMAKE_DL_LIBS})
  add_dependencies(veyra_tests fail_write_preload)
endif()

if(VEYRA_SANITIZE)
  add_library(keep_libraries MODULE ${CMAKE_SOURCE_DIR}/tests/sanitizers/keep_libraries.c)
  set_target_properties(keep_libraries PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_dependencies(veyra_tests keep_libraries)
endif()

# The synthetic disc images against xorriso, and the build script's check mode
# against an image xorriso made.
find_program(XORRISO xorriso)
if(NOT WIN32 AND XORRISO AND VEYRA_HOST_PYTHON)
  add_test(NAME disc_images COMMAND ${VEYRA_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/disc_images_test.py ${CMAKE_SOURCE_DIR})
  set_tests_properties(disc_images PROPERTIES TIMEOUT 180)
endif()

# The launcher's own self-check against the demo release, given a file that is
# no disc image. Linux only: the Windows demo kit has no interpreter here.
if(NOT WIN32 AND VEYRA_HOST_PYTHON)
  add_test(NAME self_check_demo_release
           COMMAND ${VEYRA_DEMO_RELEASE}/veyra-launcher --self-check ${CMAKE_SOURCE_DIR}/demo/release/CHANGELOG.md
                   --release ${VEYRA_DEMO_RELEASE})
  set_tests_properties(self_check_demo_release PROPERTIES TIMEOUT 180
                       ENVIRONMENT RA2V_USER_DIR=${CMAKE_BINARY_DIR}/self-check-user)
endif()

# The whole product, end to end: three self-test runs of the real launcher on
# fresh copies of the demo release (the screenshot tour against the local
# release service). run-tests.sh gives ctest a display.
if(NOT WIN32 AND VEYRA_HOST_PYTHON)
  foreach(scenario full error screens)
    add_test(NAME selftest_${scenario} COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/e2e.sh ${scenario} ${CMAKE_BINARY_DIR})
    set_tests_properties(selftest_${scenario} PROPERTIES TIMEOUT 600)
  endforeach()
endif()

# The Windows launcher end to end under Wine, against the same local release
# service; its scripts run through the test interpreter bridge
# (demo/wine_python). "killed" ends the launcher outright in mid-build.
if(WIN32)
  find_program(VEYRA_HOST_PYTHON_WIN NAMES python3)
  if(VEYRA_HOST_PYTHON_WIN)
    foreach(scenario screens full error killed)
      add_test(NAME selftest_${scenario}_wine
               COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/e2e.sh ${scenario} ${CMAKE_BINARY_DIR} wine)
      set_tests_properties(selftest_${scenario}_wine PROPERTIES TIMEOUT 600)
    endforeach()
    add_test(NAME self_check_demo_release_wine
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/launcher_checks.sh selfcheck
                     ${VEYRA_DEMO_RELEASE}/veyra-launcher.exe ${CMAKE_SOURCE_DIR}/demo/release/CHANGELOG.md wine)
    set_tests_properties(self_check_demo_release_wine PROPERTIES TIMEOUT 180)
    add_test(NAME update_end_to_end_wine
             COMMAND ${VEYRA_HOST_PYTHON_WIN} ${CMAKE_SOURCE_DIR}/tests/update_e2e_test.py ${CMAKE_SOURCE_DIR}
                     ${VEYRA_DEMO_RELEASE} --wine)
    set_tests_properties(update_end_to_end_wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
  endif()
endif()

# The Wine test interpreter's bridge on its own, with the test playing the
# Windows stand-in's side.
if(NOT WIN32 AND VEYRA_HOST_PYTHON)
  add_test(NAME python_bridge COMMAND ${VEYRA_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/python_bridge_test.py ${CMAKE_SOURCE_DIR})
  set_tests_properties(python_bridge PROPERTIES TIMEOUT 60)
endif()

# The update script on its own, and the whole self-update of the demo release
# against the local release service.
if(NOT WIN32 AND VEYRA_HOST_PYTHON)
  add_test(NAME apply_update_script COMMAND ${VEYRA_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/apply_update_test.py ${CMAKE_SOURCE_DIR})
  set_tests_properties(apply_update_script PROPERTIES TIMEOUT 60)
  add_test(NAME update_end_to_end
           COMMAND ${VEYRA_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/update_e2e_test.py ${CMAKE_SOURCE_DIR}
                   ${CMAKE_BINARY_DIR}/demo-release)
  set_tests_properties(update_end_to_end PROPERTIES TIMEOUT 420 SKIP_RETURN_CODE 77)
endif()

# The launcher executable from outside: the version report (under Wine for the
# Windows build), and on Linux a window that cannot open.
if(WIN32)
  add_test(NAME launcher_version_report
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/launcher_checks.sh version $<TARGET_FILE:veyra-launcher> wine)
else()
  add_test(NAME launcher_version_report
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/launcher_checks.sh version $<TARGET_FILE:veyra-launcher>)
  add_test(NAME launcher_window_cannot_open
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/launcher_checks.sh nowindow $<TARGET_FILE:veyra-launcher>)
endif()
set_tests_properties(launcher_version_report PROPERTIES TIMEOUT 120 ENVIRONMENT "VEYRA_EXPECTED_VERSION=${PROJECT_VERSION}")

# The headless commands against fresh copies of the demo release, every JSON
# line checked against a schema; under Wine, what runs without an interpreter.
if(NOT WIN32 AND VEYRA_HOST_PYTHON)
  add_test(NAME headless_commands
           COMMAND ${VEYRA_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/headless_test.py ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(headless_commands PROPERTIES TIMEOUT 300)
endif()
if(WIN32)
  find_program(VEYRA_HOST_PYTHON_WIN NAMES python3)
  if(VEYRA_HOST_PYTHON_WIN)
    add_test(NAME headless_commands_wine
             COMMAND ${VEYRA_HOST_PYTHON_WIN} ${CMAKE_SOURCE_DIR}/tests/headless_test.py ${CMAKE_SOURCE_DIR}
                     ${CMAKE_BINARY_DIR} wine)
    set_tests_properties(headless_commands_wine PROPERTIES TIMEOUT 300)
  endif()
endif()
