# Builds the C example of README.md's section on embedding the library as C11
# against this tree's library, runs it and compares what it prints with the
# output the README shows under it, so that neither can drift from the other.
#   SOURCE_DIR, WORK_DIR, CC, LIBRARY (the library file), INCLUDES (|-list)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/run_command.cmake)
file(READ ${SOURCE_DIR}/README.md readme)

# The text of the first fenced block of `kind` at or after `from`, and where
# that block ends.
function(fenced_block kind from out_text out_end)
  string(SUBSTRING "${readme}" ${from} -1 rest)
  string(FIND "${rest}" "```${kind}\n" open)
  if(open LESS 0)
    message(FATAL_ERROR "README.md: no ```${kind} block after the embedding section's start")
  endif()
  string(LENGTH "```${kind}\n" skip)
  math(EXPR start "${open} + ${skip}")
  string(SUBSTRING "${rest}" ${start} -1 body)
  string(FIND "${body}" "\n```" close)
  math(EXPR close "${close} + 1")
  string(SUBSTRING "${body}" 0 ${close} text)
  math(EXPR end "${from} + ${start} + ${close}")
  set(${out_text} "${text}" PARENT_SCOPE)
  set(${out_end} ${end} PARENT_SCOPE)
endfunction()

string(FIND "${readme}" "## Embedding the library" section)
if(section LESS 0)
  message(FATAL_ERROR "README.md has no section 'Embedding the library'")
endif()
fenced_block(c ${section} code code_end)
fenced_block(text ${code_end} want ignored)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/example.c "${code}")
string(REPLACE "|" ";" includes "${INCLUDES}")
list(TRANSFORM includes PREPEND "-I")
get_filename_component(libdir ${LIBRARY} DIRECTORY)
run(${CC} -std=c11 -Wall -Wextra -Werror -pedantic ${includes} ${WORK_DIR}/example.c
    ${LIBRARY} -Wl,-rpath,${libdir} -lstdc++ -lm -pthread -o ${WORK_DIR}/example)
run(${WORK_DIR}/example)
if(NOT out STREQUAL want)
  message(FATAL_ERROR "the README's example printed\n${out}\nnot\n${want}")
endif()
