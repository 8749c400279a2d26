# Installing and packaging. `cmake --install build --prefix P` (DESTDIR honoured) lays out:
#   P/lib/tavremon/tavremon, tavremon.yip   the show beside its data: it runs in its own folder
#   P/bin/tavremon                          a relative link to the show; the show resolves its real
#                                           folder through /proc/self/exe
#   P/bin/tavremon-capture                  finds the data in P/lib/tavremon (see below)
#   P/share/applications/tavremon.desktop, P/share/icons/hicolor/NxN/apps/tavremon.png
#   P/share/man/man6/tavremon.6.gz, P/share/man/man1/tavremon-capture.1.gz
# `cpack -G DEB` in the build folder makes tavremon_<version>_amd64.deb of the same files plus the
# copyright and changelog every Debian package carries.
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(tav_show_dir lib/tavremon)

# The capture tool looks for the data beside itself (the build folder), then in the show's folder
# named relative to its own. Relative, so the tree works wherever it is unpacked: under any
# --prefix, in a DESTDIR staging folder, or moved as a whole.
file(RELATIVE_PATH tav_show_from_bin ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${tav_show_dir})
target_compile_definitions(tav_capture PRIVATE TAV_INSTALLED_SHOW_FOLDER="${tav_show_from_bin}")

install(TARGETS tavremon RUNTIME DESTINATION ${tav_show_dir})
install(FILES ${CMAKE_BINARY_DIR}/tavremon.yip DESTINATION ${tav_show_dir})
install(TARGETS tavremon-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# install() copies a symbolic link as a link.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ${tav_show_from_bin}/tavremon ${CMAKE_BINARY_DIR}/launcher/tavremon SYMBOLIC)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/tavremon DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/tavremon.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
foreach(size ${tav_icon_sizes})
  install(FILES ${CMAKE_BINARY_DIR}/tavremon-${size}.png RENAME tavremon.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The package changelog is kept by hand; its newest entry must be this version, and its date is
# the date the manual pages show.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog tav_changelog)
list(GET tav_changelog 0 tav_changelog_head)
if(NOT tav_changelog_head MATCHES "^tavremon \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog must start with an entry for version ${PROJECT_VERSION}")
endif()
foreach(line ${tav_changelog})
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+ [A-Z][a-z][a-z] [0-9]+) ")
    set(TAV_RELEASE_DATE ${CMAKE_MATCH_1})
    break()
  endif()
endforeach()
if(NOT TAV_RELEASE_DATE)
  message(FATAL_ERROR "packaging/changelog: no dated ' -- name <address>  Day, DD Mon YYYY ...' line")
endif()

# Manual pages and the changelog: the version and date filled in, then compressed without a time
# stamp (gzip -n), so every build gives the same bytes.
find_program(GZIP gzip REQUIRED)
set(tav_compressed)
foreach(page tavremon.6 tavremon-capture.1)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/man/changelog COPYONLY)
foreach(file tavremon.6 tavremon-capture.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${file}.gz
    COMMAND ${GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/man/${file} > ${CMAKE_BINARY_DIR}/man/${file}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/man/${file})
  list(APPEND tav_compressed ${CMAKE_BINARY_DIR}/man/${file}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${tav_compressed})
install(FILES ${CMAKE_BINARY_DIR}/man/tavremon.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_BINARY_DIR}/man/tavremon-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Files only the package carries: installed by cpack, not by a plain `cmake --install`.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/man/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavremon COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavremon)
set(CPACK_PACKAGE_VENDOR "The tavremon project")
set(CPACK_PACKAGE_CONTACT "The tavremon project <maintainers@tavremon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show in step with tracker music")
# The summary becomes the first line of the package description, this text the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A setup dialog asks for a screen mode, then nine scenes of meshes, flares, a
tunnel flight and a keyframed 3D scene play in an OpenGL window, driven by the
position in the music, until the song ends.

tavremon-capture renders the show without a window or sound card, frame by
frame, to PNG pictures, a WAV file and (with ffmpeg) an MP4 video.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Only the capture tool's --video needs ffmpeg.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Everything a plain install gives, plus the Debian-only component.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};tavremon;ALL;/" "${CMAKE_BINARY_DIR};tavremon;debian;/")
include(CPack)
