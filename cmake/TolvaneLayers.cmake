# Every folder is one layer, and a library exports only its own folder. Its include root holds a
# single link, <folder> -> the folder's sources, so "search/scan.h" is found by a target only when
# it links the engine, and a file that includes a layer it does not link fails to compile.
#
# With PUBLIC_HEADERS, only those headers are exported: the public root's <folder> holds a link to
# each of them alone. The library's own sources see the whole folder, and so do the targets that
# link <target>_internals, the white-box tests.
function(tolvane_layer target)
  cmake_parse_arguments(LAYER "" "" "PUBLIC_HEADERS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(whole_root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${whole_root})
  if(NOT EXISTS ${whole_root}/${folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${whole_root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${whole_root})
    return()
  endif()
  if(NOT LAYER_PUBLIC_HEADERS)
    target_include_directories(${target} PUBLIC ${whole_root})
    return()
  endif()
  set(public_root ${CMAKE_BINARY_DIR}/layers-public/${folder})
  file(REMOVE_RECURSE ${public_root})
  file(MAKE_DIRECTORY ${public_root}/${folder})
  foreach(header IN LISTS LAYER_PUBLIC_HEADERS)
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${public_root}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${whole_root} INTERFACE ${public_root})
  add_library(${target}_internals INTERFACE)
  target_include_directories(${target}_internals INTERFACE ${whole_root})
  target_link_libraries(${target}_internals INTERFACE ${target})
endfunction()
