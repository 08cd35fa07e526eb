# Fails when a source file includes a header of a layer above its own (see the top CMakeLists.txt).
# The link of each layer catches calls upward; this catches what a link cannot see, such as an
# inline constant or a type taken from a header of a higher layer.
#   cmake -DSOURCE_DIR=<repository> -P cmake/layers.cmake

# The layer of a file by its path in the repository, lowest first; -1 for what belongs to none.
function(layer_of path out)
  if(path MATCHES "^platform/")
    set(${out} 0 PARENT_SCOPE)
  elseif(path MATCHES "^sound/")
    set(${out} 1 PARENT_SCOPE)
  elseif(path MATCHES "^store/")
    set(${out} 2 PARENT_SCOPE)
  elseif(path MATCHES "^(clock|announce|dialogs|stopwatch|about)/")
    set(${out} 3 PARENT_SCOPE)
  elseif(path MATCHES "^startup/" OR path STREQUAL "main.cpp")
    set(${out} 4 PARENT_SCOPE)
  else()
    set(${out} -1 PARENT_SCOPE)
  endif()
endfunction()

set(names platform sound store windows startup)
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/platform/* ${SOURCE_DIR}/sound/* ${SOURCE_DIR}/store/* ${SOURCE_DIR}/startup/* ${SOURCE_DIR}/clock/* ${SOURCE_DIR}/announce/*
     ${SOURCE_DIR}/dialogs/* ${SOURCE_DIR}/stopwatch/* ${SOURCE_DIR}/about/* ${SOURCE_DIR}/main.cpp)
set(faults 0)
foreach(file ${files})
  if(NOT file MATCHES "\\.(h|cpp)$")
    continue()
  endif()
  layer_of(${file} own)
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
    layer_of(${header} theirs)
    if(theirs GREATER own)
      list(GET names ${own} own_name)
      list(GET names ${theirs} their_name)
      message(SEND_ERROR "${file} (${own_name}) includes ${header} (${their_name}), a layer above it")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()
list(LENGTH files count)
if(faults EQUAL 0)
  message(STATUS "${count} files, no include upward")
endif()
