# Writes the identity header of a new command component, with fresh GUIDs:
#
#   cmake -D NAME=<name> [-D OUT=<file>] -P <kit>/lib/cmake/Kavlink/NewCommand.cmake
#
# NAME is the component's name (an identifier: type library name, file name
# and ProgID prefix).  OUT defaults to identity.h in the current folder; an
# existing file is never overwritten.
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED NAME OR NOT NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
  message(FATAL_ERROR "NewCommand: give the command's name as -D NAME=<identifier> (letters, digits, _)")
endif()
if(NOT DEFINED OUT)
  set(OUT identity.h)
endif()
if(EXISTS "${OUT}")
  message(FATAL_ERROR "NewCommand: ${OUT} exists; remove it or give another -D OUT=<file>")
endif()

# A random GUID (version 4): 32 hex digits from CMake's random source, with
# the version and variant bits set.
function(kavlink_new_guid out)
  string(RANDOM LENGTH 32 ALPHABET 0123456789ABCDEF hex)
  string(SUBSTRING "${hex}" 0 8 a)
  string(SUBSTRING "${hex}" 8 4 b)
  string(SUBSTRING "${hex}" 13 3 c)
  string(SUBSTRING "${hex}" 16 1 v)
  string(SUBSTRING "${hex}" 17 3 d)
  string(SUBSTRING "${hex}" 20 12 e)
  # Variant 10xx: the first digit of the fourth group is 8, 9, A or B.
  string(FIND "0123456789ABCDEF" "${v}" nibble)
  math(EXPR nibble "(${nibble} % 4) + 8")
  string(SUBSTRING "0123456789ABCDEF" ${nibble} 1 v)
  set(${out} "${a}-${b}-4${c}-${v}${d}-${e}" PARENT_SCOPE)
endfunction()

kavlink_new_guid(libid)
kavlink_new_guid(clsid)
kavlink_new_guid(iid)
if(libid STREQUAL clsid OR libid STREQUAL iid OR clsid STREQUAL iid)
  message(FATAL_ERROR "NewCommand: the random source gave the same GUID twice; run it again")
endif()

file(WRITE "${OUT}" "// Identity of the ${NAME} command component: its type library, class and
// interface.  Written by NewCommand.cmake with fresh GUIDs; keep them for as
// long as the command exists (they are how the host finds it).
#pragma once
#define KAVCMD_NAME \"${NAME}\"
#define KAVCMD_LIBID \"${libid}\"
#define KAVCMD_LIB_MAJOR 1
#define KAVCMD_LIB_MINOR 0
#define KAVCMD_CLSID \"${clsid}\"
#define KAVCMD_IID \"${iid}\"
#define KAVCMD_HWND_PARAM \"hWnd\"
")
message(STATUS "NewCommand: wrote ${OUT} for the command ${NAME}")
