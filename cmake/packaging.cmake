# `cpack -G DEB` in the build folder makes a Debian package of what
# `cmake --install` lays out, under /usr. Its dependencies are read from the
# shared libraries the programs link; what is loaded at run time instead (SDL2
# and libcurl when first needed, Qt's X11 platform plugin) is named here.
set(CPACK_PACKAGE_NAME vek)
set(CPACK_PACKAGE_VENDOR "Vek")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast desktop player for MPEG audio")
set(CPACK_PACKAGE_DESCRIPTION
    "Vek plays MPEG-1, MPEG-2 and MPEG 2.5 audio, layers I, II and III, from files,
.pls and .m3u playlists and HTTP streams, on the sound device or into .wav
files, in a small skinned window. vekplay plays the same way in a terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vek developers <vek@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The oldest releases with every function and option Vek uses (libcurl: the
# protocol lists given as text).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0 (>= 2.0.12), libcurl4 (>= 7.85.0)")
if(VEK_BUILD_APP)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
endif()
include(CPack)
