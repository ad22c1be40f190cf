# One warning policy for every target of ours.
function(vek_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
