# Read by cpack before it builds a package: the Debian package needs
# dpkg-shlibdeps for its dependencies and `file` to find the programs.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(VEK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(VEK_FILE file)
  if(NOT VEK_DPKG_SHLIBDEPS OR NOT VEK_FILE)
    message(FATAL_ERROR
      "The Debian package needs dpkg-shlibdeps (package dpkg-dev) and file, to find "
      "the libraries it depends on. Install them with: scripts/install-deps.sh --package")
  endif()
endif()
