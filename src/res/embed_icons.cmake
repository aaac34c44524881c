# Turns the icon files into C++ data for the resource module.
#
#   cmake -DOUT=<icons_data.cpp> -DICONS="<id>=<file.ico>|<id>=<file.ico>|..." -P embed_icons.cmake
#
# Each .ico file becomes one IconRes with its bytes unchanged; the table is
# g_qbxIcons / g_qbxIconCount, which the resource module registers.
if(NOT OUT OR NOT ICONS)
  message(FATAL_ERROR "embed_icons.cmake needs OUT and ICONS")
endif()

string(REPLACE "|" ";" ICONS "${ICONS}")
set(arrays "")
set(table "")
set(count 0)
foreach(entry IN LISTS ICONS)
  string(REGEX MATCH "^([0-9]+)=(.+)$" ok "${entry}")
  if(NOT ok)
    message(FATAL_ERROR "embed_icons.cmake: bad entry '${entry}'")
  endif()
  set(id "${CMAKE_MATCH_1}")
  set(file "${CMAKE_MATCH_2}")
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  if(hexLength EQUAL 0)
    message(FATAL_ERROR "embed_icons.cmake: ${file} is empty")
  endif()
  math(EXPR size "${hexLength} / 2")
  # Sixteen bytes to a line (CMake's expressions have no {n} counts).
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  string(REGEX REPLACE "\n    $" "" bytes "${bytes}")
  get_filename_component(name "${file}" NAME)
  string(APPEND arrays "// ${name}\nconst unsigned char kIcon${id}[${size}] = {\n    ${bytes}\n};\n\n")
  string(APPEND table "    {${id}, kIcon${id}, sizeof kIcon${id}},\n")
  math(EXPR count "${count} + 1")
endforeach()

set(content "// Made by src/res/embed_icons.cmake from the .ico files of src/res/icons; do not edit.
#include \"platform/resources.h\"

namespace {

${arrays}}  // namespace

extern const IconRes g_qbxIcons[] = {
${table}};
extern const int g_qbxIconCount = ${count};
")

# Rewrite only on change, so an unchanged icon set does not rebuild the library.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${content}")
