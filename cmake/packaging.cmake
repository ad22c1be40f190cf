# `cpack -G DEB` in the build folder makes a Debian package of what
# `cmake --install` lays out, under /usr. Its dependencies are read from the
# shared libraries the programs link, by dpkg-shlibdeps; what is loaded at run
# time instead (SDL2 and libcurl when first needed, Qt's X11 platform plugin)
# is named here.
set(CPACK_PACKAGE_NAME vek)
set(CPACK_PACKAGE_VENDOR "Vek")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast desktop player for MPEG audio")
# No line may begin with a dot: the package's control file would take it for
# a statement of its own.
set(CPACK_PACKAGE_DESCRIPTION
    "Vek plays MPEG-1, MPEG-2 and MPEG 2.5 audio, layers I, II and III, from
files, playlists (.pls and .m3u) and HTTP streams, on the sound device or
into .wav files, in a small skinned window. vekplay plays the same way in a
terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(VEK_PACKAGE_MAINTAINER "Vek developers <vek@example.org>"
    CACHE STRING "Who the Debian package names as its maintainer")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The oldest releases with every function and option Vek uses (libcurl: the
# protocol lists given as text).
# (TagLib: dpkg-shlibdeps names libtag1v5, whose flavour package holds the
# library itself.)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-2.0-0 (>= 2.0.12), libcurl4 (>= 7.85.0), libtag1v5-vanilla (>= 1.13)")
if(VEK_BUILD_APP)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
endif()
# cpack reads this first: without dpkg-shlibdeps it would build a package whose
# dependencies lack Qt and libmpg123, so it stops instead.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/cmake/package_tools.cmake")
# The package's own change log, in Debian's form, from CHANGELOG.md.
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/cmake/debian_changelog.cmake")
set(CPACK_VEK_CHANGELOG "${CMAKE_SOURCE_DIR}/CHANGELOG.md")
set(CPACK_VEK_DOCDIR "${CMAKE_INSTALL_DOCDIR}")
include(CPack)

# `cmake --build build --target uninstall` takes back the last
# `cmake --install build`, by the manifest that install wrote.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DVEK_MANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
          -P ${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake
  VERBATIM)
