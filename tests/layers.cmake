# The library's layers, read off each layer's objects with nm. The calls run
# one way: the core refers to nothing the status or console layer defines,
# the status layer to nothing the console layer defines. Only the console
# layer may reach the C library's output functions or exit; the core and the
# status functions, which may run under a window or in a server, reach
# neither.
#   NM; CORE, STATUS, CONSOLE: each layer's objects, separated by "|"
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)

set(writers printf fprintf vfprintf vprintf perror puts fputs putchar fputc fwrite exit _exit
  __printf_chk __fprintf_chk __vfprintf_chk)
set(layers CORE STATUS CONSOLE)

foreach(layer IN LISTS layers)
  string(REPLACE "|" ";" objects "${${layer}}")
  if(NOT objects)
    message(FATAL_ERROR "no objects given for the ${layer} layer")
  endif()
  run(${NM} -A -P ${objects})
  set(${layer}_defined "")
  set(${layer}_refs "") # "object|symbol" for each symbol an object needs
  string(REPLACE "\n" ";" lines "${out}")
  foreach(line IN LISTS lines)
    # "object.o: symbol TYPE [value size]"
    if(line MATCHES "^(.*): ([^ ]+) ([A-Za-z])( |$)")
      set(object ${CMAKE_MATCH_1})
      set(symbol ${CMAKE_MATCH_2})
      set(type ${CMAKE_MATCH_3})
      get_filename_component(object ${object} NAME)
      if(type STREQUAL "U")
        list(APPEND ${layer}_refs "${object}|${symbol}")
      elseif(type MATCHES "[A-TV-Z]")
        list(APPEND ${layer}_defined ${symbol})
      endif()
    endif()
  endforeach()
  if(NOT ${layer}_defined)
    message(FATAL_ERROR "nm found no symbol defined in the ${layer} layer's objects")
  endif()
  list(REMOVE_DUPLICATES ${layer}_defined)
endforeach()

set(wrong "")
set(console_writes OFF)
set(below "")
foreach(layer IN LISTS layers)
  # What the layers above define, less what this one or those below define
  # too (inline functions and templates are defined wherever they are used).
  set(above "")
  set(seen OFF)
  foreach(other IN LISTS layers)
    if(seen)
      list(APPEND above ${${other}_defined})
    endif()
    if(other STREQUAL layer)
      set(seen ON)
    endif()
  endforeach()
  list(APPEND below ${${layer}_defined})
  if(above)
    list(REMOVE_ITEM above ${below})
  endif()
  foreach(ref IN LISTS ${layer}_refs)
    string(REPLACE "|" ";" parts "${ref}")
    list(GET parts 0 object)
    list(GET parts 1 symbol)
    if(symbol IN_LIST above)
      list(APPEND wrong "${layer} ${object} calls up a layer: ${symbol}")
    endif()
    if(symbol IN_LIST writers)
      if(layer STREQUAL "CONSOLE")
        set(console_writes ON)
      else()
        list(APPEND wrong "${layer} ${object} writes or exits: ${symbol}")
      endif()
    endif()
  endforeach()
endforeach()

# The console layer writes: were nothing found there, nm's output was not
# read as this script expects, and the checks above proved nothing.
if(NOT console_writes)
  list(APPEND wrong "no object of the console layer writes or exits: nm's output unread?")
endif()
if(wrong)
  string(REPLACE ";" "\n  " wrong "${wrong}")
  message(FATAL_ERROR "the layers run the wrong way:\n  ${wrong}")
endif()
message(STATUS "core, status, console: calls run downwards; only the console writes or exits")
