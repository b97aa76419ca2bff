# SPDX-License-Identifier: MIT
# The programs as a static site in build/web/site (emscripten builds only):
# an index page linking both, one page per program with its canvas and its
# controls (taken from the README) and icon, and the programs' .js and
# .wasm. Any static web host serves it; scripts/web.sh serves it locally.
set(LUMO_WEB_SITE ${CMAKE_BINARY_DIR}/site)
set(LUMO_WEB_PAGES ${PROJECT_SOURCE_DIR}/platform/web/site)

# The code that runs for every pixel of every frame keeps full speed; the
# rest is built for size (CMakeLists.txt).
set(frame_sources
  platform/gdi/Blits.cpp platform/gdi/Fonts.cpp platform/gdi/PaletteRows.cpp platform/gdi/PixelFormat.cpp
  platform/web/CanvasPixels.cpp platform/web/CanvasSink.cpp
  graphics/LumoBlend.cpp graphics/LumoDIB.cpp graphics/kernels/AvgRow.cpp
  fumes/FumesSim.cpp fumes/FumesPalette.cpp
  twistview/TwistShell.cpp twistview/TwistRender.cpp twistview/TwistRenderFast.cpp twistview/TwistPixels.cpp)
# The kernels themselves also take their inlining back: emcc turns any -Oz on
# a line into -fno-inline-functions, which a later -O3 leaves in place, and
# the rotating zoom then called its per-run helpers instead of folding them
# in (a tenth of twistview's frame).
set(kernel_sources
  platform/gdi/PaletteRowsSimd128.cpp graphics/kernels/AvgRowSimd128.cpp
  fumes/FumePasses.cpp fumes/FumesFast.cpp fumes/FumesSimd128.cpp twistview/TwistRenderSimd128.cpp)
list(TRANSFORM frame_sources PREPEND ${PROJECT_SOURCE_DIR}/)
list(TRANSFORM kernel_sources PREPEND ${PROJECT_SOURCE_DIR}/)
foreach(library lumo_platform lumo_graphics fumes_core twistview_core)
  if(TARGET ${library})
    set_source_files_properties(${frame_sources} TARGET_DIRECTORY ${library} PROPERTIES COMPILE_OPTIONS -O3)
    set_source_files_properties(${kernel_sources} TARGET_DIRECTORY ${library} PROPERTIES
      COMPILE_OPTIONS "-O3;-finline-functions")
  endif()
endforeach()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(LUMO_NODE NAMES node nodejs REQUIRED)
set(never_waits "lumo::gdi::ExpandRows*" "lumo::gdi::RowCodec::Read*" "(anonymous namespace)::Copy(lumo::gdi::Surface const&*"
  "(anonymous namespace)::ReadPalette(*" "(anonymous namespace)::BuildWindowTable(*"
  printf_core pop_arg fiprintf __fwritex fflush __stdio_exit close_file
  "__cxxabiv1::*" __wasm_call_ctors "Lumo[A-Z]*Event"
  # Posting to a queue and finding a window never wait: they call no window
  # procedure and no backend, only containers' and std::function's own code.
  "lumo::user::Post[A-Z]*(*" "lumo::user::(anonymous namespace)::Post(*" "lumo::user::QueueOf(*"
  "std::__2::deque<lumo::user::QueueItem*" "std::__2::__deque_iterator<lumo::user::QueueItem*"
  "(anonymous namespace)::DeliverKey(*" "(anonymous namespace)::WindowAt(*"
  "std::__2::__function::__func<(anonymous namespace)::WindowAt(*"
  "std::__2::__function::__func<(anonymous namespace)::WindowOfCanvas(*"
  "lumo::user::(anonymous namespace)::ScreenPoint(*"
  # A picture's memory: made and freed, never shown from here.
  "TLumoDIB::Allocate*" "TLumoDIB::~TLumoDIB*")
foreach(program fumes twistview)
  if(TARGET ${program})
    # Started by its page (lumo.js): main runs through ccall, whose promise
    # gives main's result even after its loop has waited for the browser, and
    # exit() then ends the program as the end of main does natively.
    target_link_options(${program} PRIVATE -sENVIRONMENT=web -sINVOKE_RUN=0
      "-sEXPORTED_FUNCTIONS=[_main,_exit]" "-sEXPORTED_RUNTIME_METHODS=[ccall]"
      # Smaller, and no slower here: the compact allocator, the browser's own
      # text decoder alone, no eval, no longjmp.
      -sMALLOC=emmalloc -sTEXTDECODER=2 -sDYNAMIC_EXECUTION=0 -sSUPPORT_LONGJMP=0
      # The runtime reads only what the page gives it (lumo.js).
      "-sINCOMING_MODULE_JS_API=[thisProgram,instantiateWasm,preRun,print,printErr,onRuntimeInitialized,onExit,onAbort]")
    # Asyncify on the functions that can wait alone (scripts/web_waits.py).
    # Its analysis goes by function types, so the pixel kernels (which call
    # rows through pointers of a window procedure's or a timer's type), the C
    # library's formatted output (through its streams' pointers), the type
    # information of C++ and the page's input callbacks (entered from the
    # page, never below a wait) look as if they could wait; they never do.
    # fumes alone formats a number with snprintf (its messages), which brings
    # the floating-point half of the C library's printf.
    set(never_waits_fumes "FumePasses*" fmt_fp __vfprintf_internal snprintf)
    set(never_waits_twistview "RenderPixels*" "twist_fast::RenderRuns(*" "twist_fast::(anonymous namespace)::RowInRuns(*")
    set(launcher ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${Python3_EXECUTABLE}
      ${PROJECT_SOURCE_DIR}/scripts/web_waits.py)
    foreach(pattern IN LISTS never_waits never_waits_${program})
      list(APPEND launcher --never-waits "${pattern}")
    endforeach()
    list(APPEND launcher --)
    set_target_properties(${program} PROPERTIES CXX_LINKER_LAUNCHER "${launcher}"
      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/web_waits.py)
  endif()
endforeach()

if(TARGET fumes AND TARGET twistview)
  set(site_files)
  foreach(file index.html fumes.html twistview.html fumes.js fumes.wasm twistview.js twistview.wasm lumo.js lumo.css
               lumo-offline.js lumo.webmanifest)
    list(APPEND site_files ${LUMO_WEB_SITE}/${file})
  endforeach()
  add_custom_command(OUTPUT ${site_files}
    COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md -DPAGES=${LUMO_WEB_PAGES}
            -DPROGRAMS=$<TARGET_FILE_DIR:fumes> -DSITE=${LUMO_WEB_SITE}
            -P ${PROJECT_SOURCE_DIR}/cmake/LumoWebSite.cmake
    # The scripts as served, shrunk (emcc's own way, closure, is too old in
    # Debian).
    COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${LUMO_NODE} ${PROJECT_SOURCE_DIR}/scripts/minify_site.js
            --runtime ${LUMO_WEB_SITE}/fumes.js ${LUMO_WEB_SITE}/twistview.js
    COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${LUMO_NODE} ${PROJECT_SOURCE_DIR}/scripts/minify_site.js
            ${LUMO_WEB_SITE}/lumo.js ${LUMO_WEB_SITE}/lumo-offline.js ${LUMO_WEB_SITE}/lumo.css
    DEPENDS fumes twistview ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/LumoWebSite.cmake
            ${PROJECT_SOURCE_DIR}/scripts/minify_site.js
            ${LUMO_WEB_PAGES}/program.html.in ${LUMO_WEB_PAGES}/index.html.in ${LUMO_WEB_PAGES}/lumo.js
            ${LUMO_WEB_PAGES}/lumo.css ${LUMO_WEB_PAGES}/lumo-offline.js ${LUMO_WEB_PAGES}/lumo.webmanifest
    COMMENT "Writing the static site in ${LUMO_WEB_SITE}"
    VERBATIM)
  # Each page's icon, drawn by the same scripts as the programs' own icons.
  foreach(pair twistview:twistview/make_icon.py fumes:fumes/tools/make_icon.py)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 program)
    list(GET pair 1 script)
    add_custom_command(OUTPUT ${LUMO_WEB_SITE}/${program}.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMO_WEB_SITE}
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/${script} --png 48 ${LUMO_WEB_SITE}/${program}.png
      DEPENDS ${PROJECT_SOURCE_DIR}/${script}
      COMMENT "Drawing the icon of ${program}'s page"
      VERBATIM)
    list(APPEND site_files ${LUMO_WEB_SITE}/${program}.png)
  endforeach()
  # The installed app's icons (the manifest's), twistview's design.
  foreach(size 192 512)
    add_custom_command(OUTPUT ${LUMO_WEB_SITE}/lumo-${size}.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMO_WEB_SITE}
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/twistview/make_icon.py --png ${size} ${LUMO_WEB_SITE}/lumo-${size}.png
      DEPENDS ${PROJECT_SOURCE_DIR}/twistview/make_icon.py
      COMMENT "Drawing the site's ${size} pixel icon"
      VERBATIM)
    list(APPEND site_files ${LUMO_WEB_SITE}/lumo-${size}.png)
  endforeach()
  # The worker keeps every file above, by their digests.
  set(kept)
  foreach(file IN LISTS site_files)
    get_filename_component(name ${file} NAME)
    list(APPEND kept ${name})
  endforeach()
  list(JOIN kept "," kept)
  add_custom_command(OUTPUT ${LUMO_WEB_SITE}/sw.js
    COMMAND ${CMAKE_COMMAND} -DWORKER=${kept} -DPAGES=${LUMO_WEB_PAGES} -DSITE=${LUMO_WEB_SITE}
            -P ${PROJECT_SOURCE_DIR}/cmake/LumoWebSite.cmake
    DEPENDS ${site_files} ${LUMO_WEB_PAGES}/sw.js.in ${PROJECT_SOURCE_DIR}/cmake/LumoWebSite.cmake
    COMMENT "Writing the site's worker"
    VERBATIM)
  list(APPEND site_files ${LUMO_WEB_SITE}/sw.js)
  add_custom_target(lumo_web_site ALL DEPENDS ${site_files})
endif()
