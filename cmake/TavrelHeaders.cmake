# Each library exports its own headers and nothing else.
#
#   tavrel_export_headers(TARGET BASE)
#
# Headers are included by their path below BASE (src/ or tools/), as "keys/keynames.h". The
# library's include folder in the build tree holds a link to each header the library lists among
# its sources, under that same path, and is the only folder it exports: a unit that includes a
# header of a library it does not link does not compile. What may include what is checked apart,
# by tests/layers.
function(tavrel_export_headers target base)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  # Made again at each configure, so that a header removed from the list is gone.
  file(REMOVE_RECURSE ${root})
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.h$")
      continue()
    endif()
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH relative ${base} ${path})
    get_filename_component(folder ${root}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${path} ${root}/${relative} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
