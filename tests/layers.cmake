# The library's layers, read off its static archive with nm: only the
# console layer's messages and the printing functions may reach the C
# library's output functions or exit; the core and the status functions,
# which may run under a window or in a server, reach neither.
#   NM, LIBRARY (libmtrx.a)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)
run(${NM} -A ${LIBRARY})
set(allowed "messages.cpp.o;print.cpp.o")
set(speaking "")
string(REPLACE "\n" ";" lines "${out}")
foreach(line IN LISTS lines)
  # "libmtrx.a:object.o:  U symbol" (the symbol's fortified form included)
  if(line MATCHES ":([^:]+\\.o): +U (printf|fprintf|vfprintf|vprintf|perror|puts|fputs|putchar|fputc|fwrite|exit|_exit|__printf_chk|__fprintf_chk|__vfprintf_chk)$")
    list(APPEND speaking ${CMAKE_MATCH_1})
  endif()
endforeach()
list(REMOVE_DUPLICATES speaking)
list(LENGTH speaking count)
set(wrong ${speaking})
list(REMOVE_ITEM wrong ${allowed})
if(wrong OR count GREATER 3 OR NOT speaking)
  message(FATAL_ERROR "objects that write or exit: ${speaking} (only ${allowed} may)")
endif()
message(STATUS "objects that write or exit: ${speaking}")
