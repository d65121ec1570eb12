# Address + undefined behaviour sanitizers for the CI's second build. Any
# report aborts the test, so a sanitizer finding fails the run. Reports need
# functions, files and lines, which line tables (-g1) give; full debug
# information made this build a fifth slower and its reports no better.
if(VX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
                      -g1)
  add_link_options(-fsanitize=address,undefined)
endif()
