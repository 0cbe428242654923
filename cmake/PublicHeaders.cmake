# Each library gives its users only its own folder's headers: they are linked into
# <build>/include/<target>/<folder>/, the one include folder the library exports. A file that
# includes a header of a library its target does not link then fails to build, so the build
# itself refuses an include across the layers.
function(kdu_public_headers target)
  file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  set(root "${CMAKE_BINARY_DIR}/include/${target}")
  file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  # Rebuilt at every configure, so a removed header leaves no link behind.
  file(REMOVE_RECURSE "${root}")
  file(MAKE_DIRECTORY "${root}/${folder}")
  foreach(header IN LISTS headers)
    cmake_path(GET header FILENAME name)
    file(CREATE_LINK "${header}" "${root}/${folder}/${name}" SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
