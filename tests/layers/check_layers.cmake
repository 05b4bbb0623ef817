# Reads the include lines of the decoding core and fails when one points the wrong way. The
# handlers in shell/commands call every subsystem; the subsystems below them include only what
# lies further down: the small helpers in common/ and the field table first of all; the view
# decodes received pictures with the SSDV codec (ssdv/); common/ writes files through the durable
# writes (durable/), which lie outside the core. The archive decodes stored frames again with the
# decoders and names their satellites as the record view does. Sharing frames with a SiDS server
# (share/) stands on common/ alone. No file of the core includes the
# toolkit.
#
# Run: cmake -DCORE_DIR=<src/core> -P check_layers.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT CORE_DIR)
  message(FATAL_ERROR "CORE_DIR is not set")
endif()

# What each folder may include besides itself. "decode/field_table.hpp" alone stands for the
# field table, which every layer reads.
set(_allowed_common "durable")
set(_allowed_decode "common")
set(_allowed_store "common;decode/field_table.hpp;decode/ssdv_packet.hpp")
set(_allowed_intake "common;decode")
set(_allowed_view "common;store;decode/field_table.hpp;ssdv")
set(_allowed_export "common;store;decode/field_table.hpp")
set(_allowed_stations "common")
set(_allowed_share "common")
set(_allowed_archive "common;decode;intake;view/detail_view.hpp")
set(_allowed_shell "common;decode;intake;store;view;archive;share")
set(_allowed_commands "common;decode;store;intake;view;export;stations;archive;share;shell")

# The layer of a path below src/core: its first folder, or "commands" for shell/commands.
function(layer_of path out)
  string(REGEX MATCH "^[^/]+" folder ${path})
  if(path MATCHES "^shell/commands/")
    set(folder commands)
  endif()
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE _files RELATIVE ${CORE_DIR} ${CORE_DIR}/*.hpp ${CORE_DIR}/*.cpp)
set(_faults "")
foreach(file ${_files})
  layer_of(${file} layer)
  if(NOT DEFINED _allowed_${layer})
    list(APPEND _faults "${file}: folder ${layer} has no place in the layers")
    continue()
  endif()
  file(STRINGS ${CORE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)")
      list(APPEND _faults "${file}: includes the toolkit (${CMAKE_MATCH_1})")
    endif()
    if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    layer_of(${target} target_layer)
    if(target_layer STREQUAL layer)
      continue()
    endif()
    if(target_layer IN_LIST _allowed_${layer} OR target IN_LIST _allowed_${layer})
      continue()
    endif()
    list(APPEND _faults "${file}: includes ${target} (${layer} -> ${target_layer})")
  endforeach()
endforeach()

if(_faults)
  list(JOIN _faults "\n  " text)
  message(FATAL_ERROR "Includes that point the wrong way:\n  ${text}")
endif()
list(LENGTH _files count)
message(STATUS "${count} core files, every include points down")
