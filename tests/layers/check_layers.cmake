# Checks that includes run only down the layers: each folder of the program, the hook library and
# the key emulator may include headers of its own folder and of the folders its row names, and of
# nothing else. A folder without a row fails the check as well, so a new folder takes its place
# in the table when it is made.
#
#   cmake -DROOT=<source tree> -P check_layers.cmake
#
# The folder of a file is the one below src/ (src/ui/widgets belongs to ui; src/main.cpp to the
# program, "program"), hook for hook/ and the one below tools/. An include names a folder by its
# first path component ("keys/keynames.h"); one without a folder is a header beside the file.

# folder: the folders it may include from. The pure units (i18n, keys, config, devices) sit at the
# bottom, then platform, hid, session and the two front-ends, ui and ctl, which know nothing of
# each other.
set(layer_table
  "i18n:"
  "keys:"
  "config:keys"
  "devices:"
  "platform:i18n keys config devices"
  "hid:i18n keys config devices platform"
  "session:i18n keys config devices platform hid"
  "ctl:i18n keys config devices platform hid session"
  "ui:i18n keys config devices platform hid session"
  "program:i18n ui"
  "hook:keys"
  "keyemu:keys"
)

cmake_minimum_required(VERSION 3.22)

if(NOT ROOT)
  message(FATAL_ERROR "check_layers.cmake: pass the source tree as -DROOT=<folder>")
endif()

set(folders "")
foreach(row IN LISTS layer_table)
  string(REPLACE ":" ";" parts "${row}")
  list(GET parts 0 folder)
  list(LENGTH parts count)
  set(below "")
  if(count GREATER 1)
    list(GET parts 1 below)
    string(REPLACE " " ";" below "${below}")
  endif()
  list(APPEND folders ${folder})
  set(may_include_${folder} ${folder} ${below})
endforeach()

file(GLOB_RECURSE files RELATIVE ${ROOT}
  ${ROOT}/src/*.h ${ROOT}/src/*.cpp
  ${ROOT}/hook/*.h ${ROOT}/hook/*.cpp
  ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp)
list(SORT files)

set(breaches 0)
foreach(file IN LISTS files)
  if(file MATCHES "^src/([^/]+)/")
    set(folder ${CMAKE_MATCH_1})
  elseif(file MATCHES "^src/[^/]+$")
    set(folder program)
  elseif(file MATCHES "^hook/")
    set(folder hook)
  elseif(file MATCHES "^tools/([^/]+)/")
    set(folder ${CMAKE_MATCH_1})
  else()
    set(folder "")
  endif()
  if(NOT folder IN_LIST folders)
    message(NOTICE "${file}: its folder '${folder}' has no row in the layer table")
    math(EXPR breaches "${breaches} + 1")
    continue()
  endif()

  file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "#[ \t]*include[ \t]*([\"<])([^\">]+)[\">]")
      continue()
    endif()
    set(quoted "${CMAKE_MATCH_1}")
    set(header "${CMAKE_MATCH_2}")
    if(header MATCHES "(^|/)\\.\\.(/|$)")
      message(NOTICE "${file}: includes ${header} by a relative path; name it by its folder")
      math(EXPR breaches "${breaches} + 1")
      continue()
    endif()
    if(NOT header MATCHES "^([^/]+)/")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    # System headers in angle brackets ("X11/Xlib.h") are no folder of ours.
    if(quoted STREQUAL "<" AND NOT target IN_LIST folders)
      continue()
    endif()
    if(NOT target IN_LIST folders)
      message(NOTICE "${file}: includes ${header}, of a folder '${target}' that has no row in the layer table")
      math(EXPR breaches "${breaches} + 1")
    elseif(NOT target IN_LIST may_include_${folder})
      string(REPLACE ";" " " allowed "${may_include_${folder}}")
      message(NOTICE "${file}: includes ${header}, but ${folder} may include only from: ${allowed}")
      math(EXPR breaches "${breaches} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH files checked)
if(breaches GREATER 0)
  message(FATAL_ERROR "${breaches} include(s) break the layers (${checked} files checked)")
endif()
message(STATUS "includes follow the layers in ${checked} files")
