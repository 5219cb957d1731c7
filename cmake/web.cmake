# The web build: the engine and the program's show mode as WebAssembly (Emscripten), on
# WebGL 2, Web Audio and the page's canvas through SDL2. The libraries come from
# scripts/ensure-web-deps.sh, built from Debian's sources into VELLUMITE_WEB_DEPS. The
# screenshot is in (its frame stays on the page); the capture, the scene preview and the tools
# are left out.
set(VELLUMITE_WEB_DEPS "${PROJECT_SOURCE_DIR}/build/web-deps" CACHE PATH "Libraries built for wasm32")
foreach(lib openmpt jpeg sdl2)
  if(NOT EXISTS "${VELLUMITE_WEB_DEPS}/${lib}/include")
    message(FATAL_ERROR "No wasm32 ${lib} in ${VELLUMITE_WEB_DEPS}: run scripts/ensure-web-deps.sh first")
  endif()
endforeach()
# Optimised for speed, without the compile time -O3 costs.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")

# The libraries under the names the native build gives them.
add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_include_directories(PkgConfig::SDL2 INTERFACE "${VELLUMITE_WEB_DEPS}/sdl2/include/SDL2")
target_link_libraries(PkgConfig::SDL2 INTERFACE "${VELLUMITE_WEB_DEPS}/sdl2/lib/libSDL2.a")
add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPENMPT INTERFACE "${VELLUMITE_WEB_DEPS}/openmpt/include")
target_link_libraries(PkgConfig::OPENMPT INTERFACE "${VELLUMITE_WEB_DEPS}/openmpt/lib/libopenmpt.a")
add_library(JPEG::JPEG INTERFACE IMPORTED)
target_include_directories(JPEG::JPEG INTERFACE "${VELLUMITE_WEB_DEPS}/jpeg/include")
target_link_libraries(JPEG::JPEG INTERFACE "${VELLUMITE_WEB_DEPS}/jpeg/lib/libjpeg.a")

set(src "${PROJECT_SOURCE_DIR}/src")
set(engine_dirs platform/cpu platform/win32 platform/dx7 platform/dx7/ffp platform/bass math loading image gfx
                gfx/d3d7 scene shell)
set(engine_sources)
foreach(dir ${engine_dirs})
  file(GLOB found CONFIGURE_DEPENDS "${src}/${dir}/*.cpp")
  list(APPEND engine_sources ${found})
endforeach()
# Native-only: the controls drawn with Dear ImGui (the page draws them) and the PNG writer of
# captures and screenshots. (The X11 error handler builds to nothing without X11.)
list(REMOVE_ITEM engine_sources "${src}/platform/win32/win32_controls_ui.cpp"
     "${src}/image/png_writer.cpp")
# The port's host: the program's options and show mode, and the screenshot on the capture
# session (without the capture's video, sound and PNG files: the page keeps the frame).
foreach(file program options option_table author_controls show_services capture_session capture_progress screenshot
             web/screenshot_sink_web web/web_main)
  list(APPEND engine_sources "${src}/shell/host/${file}.cpp")
endforeach()
list(APPEND engine_sources "${src}/platform/win32/web/win32_controls_web.cpp"
     "${src}/platform/bass/web/web_audio_output.cpp")
# The setup dialog's remembered choice (port-only, beside the PNG writer in port/).
list(APPEND engine_sources "${src}/port/video_choice_file.cpp")

add_executable(vellumite ${engine_sources})
set_target_properties(vellumite PROPERTIES OUTPUT_NAME vellumite SUFFIX ".js")
target_include_directories(vellumite PRIVATE "${src}")
target_compile_definitions(vellumite PRIVATE VELLUMITE_VERSION="${PROJECT_VERSION}" VELLUMITE_WEB=1)
target_compile_options(vellumite PRIVATE "SHELL:-include ${src}/platform/web/libcxx_compat.h")
target_link_libraries(vellumite PRIVATE PkgConfig::SDL2 PkgConfig::OPENMPT JPEG::JPEG)
# ASYNCIFY: the program's loops stay as they are and hand control to the browser where they
# wait (each presented frame, the dialog's idle loop, Sleep).
target_link_options(vellumite PRIVATE
  -sMAX_WEBGL_VERSION=2 -sMIN_WEBGL_VERSION=2 -sFULL_ES3=1
  -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728
  -sEXIT_RUNTIME=1 -sINVOKE_RUN=0 -sMODULARIZE=0 -sENVIRONMENT=web
  "-sEXPORTED_RUNTIME_METHODS=['callMain','FS']"
  # What SDL2's own page code calls (the sound's callback, resuming sound after a gesture).
  # (read from a file: the names begin with a dollar sign)
  "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${PROJECT_SOURCE_DIR}/cmake/web_library_functions.json" -sUSE_SDL=0
  -sTOTAL_STACK=1048576)

# The show's music rendered offline as WebAssembly under node, for the test that compares it
# with the native build sample for sample (tests/web).
add_executable(music_render "${PROJECT_SOURCE_DIR}/tests/web/music_render.cpp"
  "${src}/platform/bass/offline_music.cpp" "${src}/platform/bass/module_mixer.cpp")
set_target_properties(music_render PROPERTIES SUFFIX ".js")
target_include_directories(music_render PRIVATE "${src}")
target_compile_options(music_render PRIVATE "SHELL:-include ${src}/platform/web/libcxx_compat.h")
target_link_libraries(music_render PRIVATE PkgConfig::OPENMPT)
target_link_options(music_render PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
  -sWASM_ASYNC_COMPILATION=0)
