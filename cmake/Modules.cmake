# Module boundaries the compiler enforces.
#
# A module's headers are included as "module/file.h". The source root is on
# no include path: each module library publishes an include root of its own,
# <build>/include/<root>/, which holds one entry, a link named after the
# module that points at the module's source folder. Only targets that link
# the library (directly or through a library that publishes it) can name its
# headers, so an include across an edge the build does not declare fails to
# compile. The graph, lowest first:
#   platform -> sceneapi -> scenefile -> host -> convert -> plugin,
#   livelink beside plugin, the stand-ins, tools, tests and benchmarks on top.
#
# vx_include_root(<target> <folder> [AS <name>] [PRIVATE])
#   <folder>  the module's folder, relative to the source root
#   AS        the name the includes use, when it is not <folder> (a tool's
#             headers are "vxs/file.h", not "tools/vxs/file.h")
#   PRIVATE   for an executable: the root is its own, published to nobody
function(vx_include_root target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "PRIVATE" "AS" "")
  set(name ${folder})
  if(arg_AS)
    set(name ${arg_AS})
  endif()
  string(REPLACE "/" "_" root_name ${name})
  set(root ${CMAKE_BINARY_DIR}/include/${root_name})
  set(entry ${root}/${name})
  get_filename_component(entry_parent ${entry} DIRECTORY)
  file(MAKE_DIRECTORY ${entry_parent})
  if(NOT IS_SYMLINK ${entry})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${entry} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  set(scope PUBLIC)
  if(arg_PRIVATE)
    set(scope PRIVATE)
  elseif(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()
