# Warnings are errors everywhere in the project's own code.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
                    -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual -Werror)
# g++ 12 reports impossible overlaps inside std::string's inlined copies when
# optimising (a known false positive of that release's -Wrestrict); it fires
# in library code we cannot change, so the check is off for that compiler.
# A generator expression, so that the flag reaches GCC alone: clang builds and
# tools never see it.
add_compile_options(
  "$<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>")
