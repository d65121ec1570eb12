# Address + undefined behaviour sanitizers for the CI's second build. Any
# report aborts the test, so a sanitizer finding fails the run.
if(VX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
