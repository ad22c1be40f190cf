# Removes what `cmake --install` of a build folder laid out, as the manifest it
# wrote there lists it: `cmake --build build --target uninstall`, with the
# rights the install had (sudo for /usr/local). Files that are already gone are
# named and skipped; Vek's own folders (share/vek, share/doc/vek) go when they
# are left empty, the shared ones (bin, the icon theme) stay.
# Usage: cmake -DVEK_MANIFEST=BUILD/install_manifest.txt -P uninstall.cmake
if(NOT EXISTS "${VEK_MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${VEK_MANIFEST} does not exist, so this build "
                      "folder has not been installed from.")
endif()
file(STRINGS "${VEK_MANIFEST}" files)
set(folders "")
foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
    if(EXISTS "${file}")
      message(FATAL_ERROR "Could not remove ${file}")
    endif()
    get_filename_component(folder "${file}" DIRECTORY)
    list(APPEND folders "${folder}")
  else()
    message(STATUS "Already gone: ${file}")
  endif()
endforeach()
# Vek's own folders, deepest first: share/doc/vek/docs before share/doc/vek.
set(own "")
foreach(folder IN LISTS folders)
  if(folder MATCHES "^(.*/vek)/docs$")
    list(APPEND own "${folder}" "${CMAKE_MATCH_1}")
  elseif(folder MATCHES "/vek$")
    list(APPEND own "${folder}")
  endif()
endforeach()
list(REMOVE_DUPLICATES own)
list(SORT own ORDER DESCENDING)
foreach(folder IN LISTS own)
  execute_process(COMMAND rmdir "${folder}" ERROR_QUIET)  # only when empty
endforeach()
