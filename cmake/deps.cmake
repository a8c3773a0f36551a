# SDL3, Dear ImGui with its SDL3 and OpenGL 3 back ends, and the platform's
# system libraries. scripts/setup.sh builds SDL3 and unpacks Dear ImGui.
if(NOT VEYRA_IMGUI_DIR OR NOT EXISTS "${VEYRA_IMGUI_DIR}/imgui.h")
  message(FATAL_ERROR "Dear ImGui not found: run scripts/setup.sh and source the env.sh it writes")
endif()

# Under the cross toolchain's ONLY root mode find_package ignores
# CMAKE_PREFIX_PATH, so SDL3_DIR comes in from the preset.
find_package(SDL3 REQUIRED CONFIG)

add_library(imgui STATIC
  ${VEYRA_IMGUI_DIR}/imgui.cpp ${VEYRA_IMGUI_DIR}/imgui_draw.cpp ${VEYRA_IMGUI_DIR}/imgui_tables.cpp
  ${VEYRA_IMGUI_DIR}/imgui_widgets.cpp ${VEYRA_IMGUI_DIR}/imgui_demo.cpp
  ${VEYRA_IMGUI_DIR}/backends/imgui_impl_sdl3.cpp ${VEYRA_IMGUI_DIR}/backends/imgui_impl_opengl3.cpp)
target_include_directories(imgui SYSTEM PUBLIC ${VEYRA_IMGUI_DIR} ${VEYRA_IMGUI_DIR}/backends)
target_compile_definitions(imgui PUBLIC IMGUI_DISABLE_OBSOLETE_FUNCTIONS)
target_link_libraries(imgui PUBLIC SDL3::SDL3)

add_library(veyra_platform_libs INTERFACE)
if(WIN32)
  target_link_libraries(veyra_platform_libs INTERFACE winhttp comdlg32 shell32 ole32 user32 gdi32 opengl32
                        -static -static-libgcc -static-libstdc++)
else()
  find_package(CURL REQUIRED)
  find_package(Threads REQUIRED)
  find_package(Fontconfig REQUIRED)  # finds the faces for scripts the embedded typeface lacks
  target_link_libraries(veyra_platform_libs INTERFACE CURL::libcurl Threads::Threads Fontconfig::Fontconfig
                        ${CMAKE_DL_LIBS})
endif()
