# The web build (emcmake cmake): the show compiled to WebAssembly, with the browser's platform layer
# in platform/web in place of SDL2, GTK3 and libopenmpt. It makes the site folder site/: the page,
# its script and the compiled show. The data (tavremon.yip and the rendered song) come from a native
# build; scripts/run-web puts them beside.
file(GLOB tav_web_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/archive/*.cpp ${CMAKE_SOURCE_DIR}/assets/*.cpp ${CMAKE_SOURCE_DIR}/engine/*.cpp
  ${CMAKE_SOURCE_DIR}/effects/*.cpp ${CMAKE_SOURCE_DIR}/core/*.cpp ${CMAKE_SOURCE_DIR}/platform/web/*.cpp)
list(FILTER tav_web_sources EXCLUDE REGEX "/core/main\\.cpp$")
# From the native platform layer: what is plain POSIX and OpenGL.
list(APPEND tav_web_sources ${CMAKE_SOURCE_DIR}/platform/clock.cpp ${CMAKE_SOURCE_DIR}/platform/disk_file.cpp
  ${CMAKE_SOURCE_DIR}/platform/present.cpp)

set(tav_site ${CMAKE_BINARY_DIR}/site)
add_executable(tavremon ${tav_web_sources})
target_include_directories(tavremon PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(tavremon PRIVATE -include ${CMAKE_SOURCE_DIR}/platform/web/compat.h)
set_target_properties(tavremon PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${tav_site})
target_link_options(tavremon PRIVATE
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728
  -sENVIRONMENT=web -sEXPORTED_FUNCTIONS=_main,_webStart -sEXPORTED_RUNTIME_METHODS=ccall,FS)

set(tav_pages)
foreach(page index.html page.js)
  add_custom_command(OUTPUT ${tav_site}/${page}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/platform/web/${page} ${tav_site}/${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/${page})
  list(APPEND tav_pages ${tav_site}/${page})
endforeach()
add_custom_target(site_pages ALL DEPENDS ${tav_pages})
