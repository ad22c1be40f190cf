if(VEK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VEK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(VEK_FUZZ)
  # Coverage instrumentation for every library of ours, so the fuzzers see which
  # branches an input reached; the fuzz targets add the libFuzzer driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
